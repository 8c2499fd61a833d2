#include "journal/ui/form_print.h"

#include <QFontDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>

#include "uikit/qt_text.h"

namespace vertamo::ui {
namespace {

constexpr const char* kSection = "Printer";

bool RunDialog(TFormPrint& dialog) { return dialog.exec() == QDialog::Accepted; }

bool AskPages(QWidget* owner, const QString& question) {
  return QMessageBox::question(owner, QStringLiteral("Внимание"), question,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void ShowStop(QWidget* owner, const QString& text, const QString& caption) {
  QMessageBox::critical(owner, caption, text);
}

bool Landscape(const QPrinter& printer) {
  return printer.pageLayout().orientation() == QPageLayout::Landscape;
}

}  // namespace

// ---------------------------------------------------------------- TFormPrint

TFormPrint::TFormPrint(QPrinter& printer, QWidget* owner) : QDialog(owner), printer_(printer) {
  setObjectName(QStringLiteral("FormPrint"));
  setWindowTitle(QStringLiteral("Печать"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(381, 285);

  GroupBox1 = new QGroupBox(QStringLiteral("Диспетчерская"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(16, 12, 349, 72);
  Edit1 = new QLineEdit(GroupBox1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(16, 30, 317, 24);

  ButtonFont = new QPushButton(QStringLiteral("Шрифт печати"), this);
  ButtonFont->setObjectName(QStringLiteral("ButtonFont"));
  ButtonFont->setGeometry(16, 104, 165, 33);
  ButtonFont->setAutoDefault(false);
  ButtonSetup = new QPushButton(QStringLiteral("Принтер"), this);
  ButtonSetup->setObjectName(QStringLiteral("ButtonSetup"));
  ButtonSetup->setGeometry(200, 104, 165, 33);
  ButtonSetup->setAutoDefault(false);

  BitBtnPrint =
      new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("    Печать"), this);
  BitBtnPrint->setObjectName(QStringLiteral("BitBtnPrint"));
  BitBtnPrint->setGeometry(16, 224, 165, 45);
  BitBtnPrint->setDefault(true);
  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                            QStringLiteral("    Отмена"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(200, 224, 165, 45);
  BitBtn1->setAutoDefault(false);

  ChooseFont = [this](QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this, QStringLiteral("Шрифт печати"));
    if (ok) font = chosen;
    return ok;
  };
  SetupPrinter = [this](QPrinter& p) {
    QPrintDialog dialog(&p, this);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dialog.exec() == QDialog::Accepted;
  };

  connect(ButtonFont, &QPushButton::clicked, this, &TFormPrint::ButtonFontClick);
  connect(ButtonSetup, &QPushButton::clicked, this, &TFormPrint::ButtonSetupClick);
  connect(BitBtnPrint, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);

  // Centred on the owner window.
  if (owner != nullptr) {
    const QRect frame = owner->window()->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
  }
}

void TFormPrint::ButtonFontClick() {
  QFont copy = PrintFont.font;
  if (ChooseFont && ChooseFont(copy)) PrintFont.font = copy;
}

void TFormPrint::ButtonSetupClick() {
  if (SetupPrinter) SetupPrinter(printer_);
}

// ---------------------------------------------------------------- metrics

TQtTextMetrics::TQtTextMetrics(const QFont& font, QPaintDevice* device) : metrics_(font, device) {}

int TQtTextMetrics::TextWidth(std::string_view text) const {
  return metrics_.horizontalAdvance(FromCp1251(text));
}

int TQtTextMetrics::TextHeight(std::string_view) const { return metrics_.height(); }

// ---------------------------------------------------------------- PrintGrid

TPrintOutcome PrintGrid(QWidget* owner, const QString& title, TPrintGrid grid, TFastIni* ini,
                        QPrinter& printer, const TPrintDialogs& dialogs) {
  TPrintOutcome outcome;

  // The settings of the last job: orientation, office name, print font.
  const bool landscape = ini ? ini->ReadBool(kSection, "Orientation", true) : true;
  printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  std::string office = ini ? ini->ReadString(kSection, "Disp", "") : std::string();
  TUiFont font;
  font.font = QFont(QStringLiteral("Arial"), 9);
  if (ini) LoadFont(*ini, font, kSection, 9);

  {
    TFormPrint dialog(printer, owner);
    dialog.Edit1->setText(FromCp1251(office));
    dialog.PrintFont = font;
    const bool ok = dialogs.run ? dialogs.run(dialog) : RunDialog(dialog);
    if (!ok) return outcome;
    office = ToCp1251(dialog.Edit1->text());
    font = dialog.PrintFont;
  }
  if (ini) {
    SaveFont(*ini, font, kSection);
    ini->WriteBool(kSection, "Orientation", Landscape(printer));
    ini->WriteString(kSection, "Disp", office);
  }

  auto stop = [&](const QString& text) {
    const QString caption = QStringLiteral("Печать невозможна...");
    if (dialogs.stop)
      dialogs.stop(text, caption);
    else
      ShowStop(owner, text, caption);
  };
  if (grid.colWidths.size() > static_cast<size_t>(kMaxPrintColumns)) {
    stop(QStringLiteral("Слишком много столбцов"));
    outcome.result = TPrintResult::TooManyColumns;
    return outcome;
  }

  // Compose every page first; only a confirmed job reaches the printer.
  grid.title = ToCp1251(title);
  grid.officeName = office;
  const TQtTextMetrics metrics(font.font, &printer);
  const TPrintLayout layout = ComposePrintPages(grid, printer.width(), printer.height(), metrics);
  outcome.pages = static_cast<int>(layout.pages.size());
  const QString question = FromCp1251(PageCountQuestion(outcome.pages));
  const bool yes = dialogs.confirm ? dialogs.confirm(question) : AskPages(owner, question);
  if (!yes) {
    outcome.result = TPrintResult::Declined;
    return outcome;
  }

  QPainter painter;
  if (!painter.begin(&printer)) {
    // No printer to take the job (none installed, or the file cannot be
    // written): say so instead of printing nothing in silence.
    stop(QStringLiteral("Принтер недоступен"));
    outcome.result = TPrintResult::Failed;
    return outcome;
  }
  // The page is printed in black whatever colour the font was given.
  painter.setFont(font.font);
  painter.setBrush(Qt::NoBrush);
  const int ascent = QFontMetrics(font.font, &printer).ascent();
  for (size_t p = 0; p < layout.pages.size(); ++p) {
    if (p > 0 && !printer.newPage()) {
      painter.end();
      outcome.result = TPrintResult::Failed;
      return outcome;
    }
    for (const TPrintOp& op : layout.pages[p].ops) {
      if (op.kind == TPrintOp::Text) {
        painter.setPen(Qt::black);
        painter.drawText(QPoint(op.x1, op.y1 + ascent), FromCp1251(op.text));
      } else {
        painter.setPen(QPen(Qt::black, op.pen, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(op.x1, op.y1, op.x2, op.y2);
      }
    }
  }
  outcome.result = painter.end() ? TPrintResult::Printed : TPrintResult::Failed;
  return outcome;
}

QPrinter& WorkstationPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
}

}  // namespace vertamo::ui

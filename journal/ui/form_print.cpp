#include "journal/ui/form_print.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <memory>

#include "uikit/qt_text.h"
#include "uikit/window_modal.h"

namespace vertamo::ui {
namespace {

constexpr const char* kSection = "Printer";

void RunDialog(TFormPrint& dialog, std::function<void(bool)> closed) {
  QObject::connect(&dialog, &QDialog::finished, &dialog,
                   [closed = std::move(closed)](int result) { closed(result == QDialog::Accepted); });
  dialog.setWindowModality(Qt::WindowModal);
  dialog.open();
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

  ChooseFont = [this](const QFont& font, std::function<void(bool, const QFont&)> closed) {
    AskFont(this, QStringLiteral("Шрифт печати"), font, std::move(closed));
  };
  SetupPrinter = [this](QPrinter& p) {
    auto* dialog = new QPrintDialog(&p, this);
    dialog->setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog->setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog->setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog->setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    OpenWindowModal(dialog);
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
  if (!ChooseFont) return;
  ChooseFont(PrintFont.font, [this](bool chosen, const QFont& font) {
    if (chosen) PrintFont.font = font;
  });
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

namespace {

// The confirmed job: composed, asked for by its page count, printed.
void PrintPages(QWidget* owner, const QString& title, TPrintGrid grid, const QString& office, const QFont& font,
                QPrinter& printer, const TPrintDialogs& dialogs, std::function<void(const TPrintOutcome&)> done) {
  TPrintOutcome outcome;
  const auto finish = [done](const TPrintOutcome& result) {
    if (done) done(result);
  };
  const auto stop = [owner, dialogs](const QString& text) {
    const QString caption = QStringLiteral("Печать невозможна...");
    if (dialogs.stop)
      dialogs.stop(text, caption);
    else
      Tell(owner, caption, text);
  };
  if (grid.colWidths.size() > static_cast<size_t>(kMaxPrintColumns)) {
    stop(QStringLiteral("Слишком много столбцов"));
    outcome.result = TPrintResult::TooManyColumns;
    return finish(outcome);
  }

  // Compose every page first; only a confirmed job reaches the printer.
  grid.title = ToCp1251(title);
  grid.officeName = ToCp1251(office);
  const TQtTextMetrics metrics(font, &printer);
  auto layout = std::make_shared<const TPrintLayout>(ComposePrintPages(grid, printer.width(), printer.height(), metrics));
  outcome.pages = static_cast<int>(layout->pages.size());
  const QString question = FromCp1251(PageCountQuestion(outcome.pages));
  auto answered = [outcome, layout, font, &printer, stop, finish](bool yes) mutable {
    if (!yes) {
      outcome.result = TPrintResult::Declined;
      return finish(outcome);
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
      // No printer to take the job (none installed, or the file cannot be
      // written): say so instead of printing nothing in silence.
      stop(QStringLiteral("Принтер недоступен"));
      outcome.result = TPrintResult::Failed;
      return finish(outcome);
    }
    // The page is printed in black whatever colour the font was given.
    painter.setFont(font);
    painter.setBrush(Qt::NoBrush);
    const int ascent = QFontMetrics(font, &printer).ascent();
    for (size_t p = 0; p < layout->pages.size(); ++p) {
      if (p > 0 && !printer.newPage()) {
        painter.end();
        outcome.result = TPrintResult::Failed;
        return finish(outcome);
      }
      for (const TPrintOp& op : layout->pages[p].ops) {
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
    finish(outcome);
  };
  if (dialogs.confirm)
    dialogs.confirm(question, std::move(answered));
  else
    AskYesNo(owner, QStringLiteral("Внимание"), question, false, std::move(answered));
}

}  // namespace

void PrintGrid(QWidget* owner, const QString& title, TPrintGrid grid, TFastIni* ini, QPrinter& printer,
               const TPrintDialogs& dialogs, std::function<void(const TPrintOutcome&)> done) {
  // The settings of the last job: orientation, office name, print font.
  const bool landscape = ini ? ini->ReadBool(kSection, "Orientation", true) : true;
  printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  const std::string office = ini ? ini->ReadString(kSection, "Disp", "") : std::string();
  TUiFont font;
  font.font = QFont(QStringLiteral("Arial"), 9);
  if (ini) LoadFont(*ini, font, kSection, 9);

  auto* dialog = new TFormPrint(printer, owner);
  dialog->Edit1->setText(FromCp1251(office));
  dialog->PrintFont = font;
  auto closed = [dialog, owner = QPointer<QWidget>(owner), title, grid = std::move(grid), ini, &printer, dialogs,
                 done = std::move(done)](bool print) {
    dialog->deleteLater();
    if (!print) {
      if (done) done(TPrintOutcome{});
      return;
    }
    const QString office = dialog->Edit1->text();
    const TUiFont font = dialog->PrintFont;
    if (ini) {
      SaveFont(*ini, font, kSection);
      ini->WriteBool(kSection, "Orientation", Landscape(printer));
      ini->WriteString(kSection, "Disp", ToCp1251(office));
    }
    PrintPages(owner, title, grid, office, font.font, printer, dialogs, done);
  };
  if (dialogs.run)
    dialogs.run(*dialog, std::move(closed));
  else
    RunDialog(*dialog, std::move(closed));
}

QPrinter& WorkstationPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
}

}  // namespace vertamo::ui

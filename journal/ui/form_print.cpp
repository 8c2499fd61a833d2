#include "journal/ui/form_print.h"

#include <QFontDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "uikit/qt_text.h"

namespace vertamo::ui {
namespace {

constexpr const char* kSection = "Printer";

// The system's print dialog with the report's tab; the tab is handed back
// before the dialog goes, since it belongs to the caller.
bool RunDialog(TFormPrint& report, QPrinter& printer, QWidget* owner) {
  QPrintDialog dialog(&printer, owner);
  dialog.setWindowTitle(QStringLiteral("Печать"));
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOptionTabs({&report});
  const bool ok = dialog.exec() == QDialog::Accepted;
  report.setParent(nullptr);
  return ok;
}

void ShowStop(QWidget* owner, const QString& text, const QString& caption) {
  QMessageBox::critical(owner, caption, text);
}

bool Landscape(const QPrinter& printer) {
  return printer.pageLayout().orientation() == QPageLayout::Landscape;
}

}  // namespace

// ---------------------------------------------------------------- TFormPrint

TFormPrint::TFormPrint() {
  setObjectName(QStringLiteral("FormPrint"));
  setWindowTitle(QStringLiteral("Отчет"));  // the tab's title in the print dialog
  auto* layout = new QVBoxLayout(this);
  GroupBox1 = new QGroupBox(QStringLiteral("Диспетчерская"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  auto* office = new QVBoxLayout(GroupBox1);
  Edit1 = new QLineEdit(GroupBox1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  office->addWidget(Edit1);
  layout->addWidget(GroupBox1);
  ButtonFont = new QPushButton(QStringLiteral("Шрифт печати..."), this);
  ButtonFont->setObjectName(QStringLiteral("ButtonFont"));
  ButtonFont->setAutoDefault(false);
  layout->addWidget(ButtonFont, 0, Qt::AlignLeft);
  layout->addStretch(1);

  ChooseFont = [this](QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this, QStringLiteral("Шрифт печати"));
    if (ok) font = chosen;
    return ok;
  };
  connect(ButtonFont, &QPushButton::clicked, this, &TFormPrint::ButtonFontClick);
}

void TFormPrint::ButtonFontClick() {
  QFont copy = PrintFont.font;
  if (ChooseFont && ChooseFont(copy)) PrintFont.font = copy;
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
    TFormPrint report;
    report.Edit1->setText(FromCp1251(office));
    report.PrintFont = font;
    const bool ok = dialogs.run ? dialogs.run(report, printer) : RunDialog(report, printer, owner);
    if (!ok) return outcome;
    office = ToCp1251(report.Edit1->text());
    font = report.PrintFont;
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

  // Every page is composed before the job starts.
  grid.title = ToCp1251(title);
  grid.officeName = office;
  const TQtTextMetrics metrics(font.font, &printer);
  const TPrintLayout layout = ComposePrintPages(grid, printer.width(), printer.height(), metrics);
  outcome.pages = static_cast<int>(layout.pages.size());

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

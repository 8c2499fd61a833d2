#include "journal/ui/form_print.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "uikit/qt_text.h"
#include "uikit/window_modal.h"

namespace vertamo::ui {
namespace {

constexpr const char* kSection = "Printer";

// The system's print dialog with the report's tab, which goes with it.
void RunDialog(TFormPrint& report, QPrinter& printer, QWidget* owner, std::function<void(bool)> closed) {
  auto* dialog = new QPrintDialog(&printer, owner);
  dialog->setWindowTitle(QStringLiteral("Печать"));
  dialog->setOption(QAbstractPrintDialog::PrintToFile, true);
  dialog->setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog->setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog->setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog->setOptionTabs({&report});
  QObject::connect(dialog, &QDialog::finished, dialog,
                   [closed = std::move(closed)](int result) { closed(result == QDialog::Accepted); });
  OpenWindowModal(dialog);
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

  ChooseFont = [this](const QFont& font, std::function<void(bool, const QFont&)> closed) {
    AskFont(this, QStringLiteral("Шрифт печати"), font, std::move(closed));
  };
  connect(ButtonFont, &QPushButton::clicked, this, &TFormPrint::ButtonFontClick);
}

void TFormPrint::ButtonFontClick() {
  if (!ChooseFont) return;
  ChooseFont(PrintFont.font, [this](bool chosen, const QFont& font) {
    if (chosen) PrintFont.font = font;
  });
}

// ---------------------------------------------------------------- metrics

TQtTextMetrics::TQtTextMetrics(const QFont& font, QPaintDevice* device) : metrics_(font, device) {}

int TQtTextMetrics::TextWidth(std::string_view text) const {
  return metrics_.horizontalAdvance(FromCp1251(text));
}

int TQtTextMetrics::TextHeight(std::string_view) const { return metrics_.height(); }

// ---------------------------------------------------------------- PrintGrid

namespace {

// The confirmed job: composed, then printed.
TPrintOutcome PrintPages(QWidget* owner, const QString& title, TPrintGrid grid, const std::string& office,
                         const TUiFont& font, QPrinter& printer, const TPrintDialogs& dialogs) {
  TPrintOutcome outcome;
  auto stop = [&](const QString& text) {
    const QString caption = QStringLiteral("Печать невозможна...");
    if (dialogs.stop)
      dialogs.stop(text, caption);
    else
      Tell(owner, caption, text);
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

  // The tab goes with the print dialog; one the dialog never took goes here.
  auto* report = new TFormPrint;
  report->Edit1->setText(FromCp1251(office));
  report->PrintFont = font;
  auto closed = [report = QPointer<TFormPrint>(report), owner = QPointer<QWidget>(owner), title,
                 grid = std::move(grid), ini, &printer, dialogs, done = std::move(done)](bool print) {
    if (!report) return;
    if (!report->parent()) report->deleteLater();
    TPrintOutcome outcome;
    if (print) {
      const std::string office = ToCp1251(report->Edit1->text());
      const TUiFont font = report->PrintFont;
      if (ini) {
        SaveFont(*ini, font, kSection);
        ini->WriteBool(kSection, "Orientation", Landscape(printer));
        ini->WriteString(kSection, "Disp", office);
      }
      outcome = PrintPages(owner, title, grid, office, font, printer, dialogs);
    }
    if (done) done(outcome);
  };
  if (dialogs.run)
    dialogs.run(*report, printer, std::move(closed));
  else
    RunDialog(*report, printer, owner, std::move(closed));
}

QPrinter& WorkstationPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
}

}  // namespace vertamo::ui

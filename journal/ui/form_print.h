// Printing of a text grid: the print dialog "Печать" (dispatch office name,
// print font, printer set-up), the page composition, the page-count question
// and the job itself. Any printer Qt offers will do, a PDF file included.
//
// Settings in section "Printer": "Orientation" (landscape, default on),
// "Disp" (the dispatch office name) and the print font (default Arial 9).
#pragma once

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <functional>

#include "journal/print_layout.h"
#include "settings/fast_ini.h"
#include "uikit/font_settings.h"

class QGroupBox;
class QLineEdit;
class QPaintDevice;
class QPrinter;
class QPushButton;

namespace vertamo::ui {

// What the report adds to the system's print dialog, as a tab of its own
// ("Отчет", "FormPrint"): the dispatch office named in the page header and
// the print font. It fills nothing in by itself; PrintGrid puts the office
// name and the print font in and takes them out again. Printer, paper and
// orientation are the print dialog's own.
class TFormPrint : public QWidget {
  Q_OBJECT
 public:
  TFormPrint();

  QGroupBox* GroupBox1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* ButtonFont = nullptr;

  // The print font being edited.
  TUiFont PrintFont;

  // The font dialog, started with the print font; `closed` gets whether the
  // user chose and the font. Tests replace it.
  std::function<void(const QFont& font, std::function<void(bool chosen, const QFont& font)> closed)> ChooseFont;

 private:
  void ButtonFontClick();
};

// The dialogs PrintGrid shows; each left empty uses the real one. None
// waits: each hands its answer on when the user gives it, and the real ones
// are modal to the window that prints only.
struct TPrintDialogs {
  // Shows the system's print dialog for `printer` with the report's tab;
  // `closed` gets true for "Печать".
  std::function<void(TFormPrint& report, QPrinter& printer, std::function<void(bool print)> closed)> run;
  // "Слишком много столбцов" (or "Принтер недоступен" when the printer
  // cannot take the job), caption "Печать невозможна...".
  std::function<void(const QString& text, const QString& caption)> stop;
};

enum class TPrintResult {
  Cancelled,       // the print dialog was cancelled: nothing printed, nothing stored
  TooManyColumns,  // more than 20 columns: settings stored, nothing printed
  Printed,         // the pages went to the printer
  Failed,          // the printer could not take the job: said so, nothing printed
};

struct TPrintOutcome {
  TPrintResult result = TPrintResult::Cancelled;
  int pages = 0;
};

// Prints `grid` (its cells, column widths in screen pixels and the reference
// width they relate to, its heading) with `title` on every page, after one
// dialog: the system's print dialog. The office name and the font come from
// its report tab; `ini` (may be null) keeps section "Printer".
// `done` gets the outcome once the dialog is answered; a dialog freed with
// `owner` unanswered ends it without a word. `printer` and `ini` outlive it.
void PrintGrid(QWidget* owner, const QString& title, TPrintGrid grid, TFastIni* ini, QPrinter& printer,
               const TPrintDialogs& dialogs = {}, std::function<void(const TPrintOutcome&)> done = {});

// Sizes of code page 1251 texts in a font on a paint device.
class TQtTextMetrics : public ITextMetrics {
 public:
  TQtTextMetrics(const QFont& font, QPaintDevice* device);
  int TextWidth(std::string_view text) const override;
  int TextHeight(std::string_view text) const override;

 private:
  QFontMetrics metrics_;
};

// The workstation's printer: it keeps the dispatcher's choice of printer and
// paper for as long as the program runs.
QPrinter& WorkstationPrinter();

}  // namespace vertamo::ui

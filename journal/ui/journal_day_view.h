// TJournalDayView ("FormJournalDay"): the journal of a whole day, read from
// the day files the workstation keeps, in a window of its own: a read-only
// table of the day's events, newest on top, a search over all columns, a
// choice among the days kept, and the export of what it shows to a text or
// CSV file as the report window exports its table.
//
// The files are code page 1251; this window reads them for the dispatcher,
// who needs no editor that knows the code page. "Обновить" (F5) reads the
// day again, which a day still being written needs now and then.
//
// Settings in section "FormJournalDay": the window bounds.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "journal/journal_file.h"
#include "journal/report.h"
#include "journal/ui/export_dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace vertamo {
class TFastIni;
}

namespace vertamo::ui {

class TJournalDayView : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kSection = "FormJournalDay";

  // `files` and `ini` (may be null) outlive the window, which deletes itself
  // when closed. It opens on today.
  TJournalDayView(const TJournalFile& files, TFastIni* ini, QWidget* owner = nullptr);

  // Shows the day "YYYY-MM-DD" (one without a file is empty).
  void ShowDay(const std::string& day);
  // Reads the days kept and the day shown again.
  void Reload();
  // The search: rows holding `text` in any column, letter case aside.
  void Search(const QString& text);
  // Writes the rows shown, under the header, to a file chosen in the save
  // dialog, then asks whether to open it.
  void Export(TExportFormat format);
  // The rows shown, the header first, in code page 1251.
  TExportRows ShownRows() const;
  // The day shown, "YYYY-MM-DD".
  const std::string& Day() const { return day_; }

  // The dialogs of the window; tests replace them.
  TExportDialogs Dialogs;

  // Controls, under their component names.
  QComboBox* ComboBoxDay = nullptr;
  QLineEdit* EditSearch = nullptr;
  QPushButton* ButtonReload = nullptr;
  QLabel* LabelCount = nullptr;
  QTableView* StringGrid1 = nullptr;
  QMenu* PopupMenu1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // An empty table with the day's columns, owned by the window.
  QStandardItemModel* NewDayModel();
  void FillDays();
  void UpdateCount();

  const TJournalFile& files_;
  TFastIni* ini_;
  std::string day_;
  QStandardItemModel* model_ = nullptr;
  QSortFilterProxyModel* filter_ = nullptr;
};

}  // namespace vertamo::ui

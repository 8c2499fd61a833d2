// TLogLast: the operational journal ("Оперативный журнал"), a small tool window
// with the last 100 events of the server, newest on top, in the server's
// colours. The main window creates it once and keeps it; it talks back to the
// main window only through its signals, so it also runs on its own.
#pragma once

#include <QAction>
#include <QFrame>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <array>
#include <optional>

#include "journal/journal_file.h"
#include "journal/log_entry.h"
#include "journal/ui/log_grid.h"

namespace vertamo {
class TFastIni;
}

namespace vertamo::ui {

class TLogLast : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kSection = "LogLast";  // the component name
  static constexpr int kIdleSeconds = 60;
  static constexpr int kMinWidth = 200;
  // Share of the panel's width each column gets on every resize, in percent.
  static constexpr std::array<int, TLogModel::kColumns> kWidthShares{7, 7, 22, 22, 20, 20};

  // Reads its settings from `ini` (section "LogLast"); pmSavePos writes them
  // there. Without settings everything keeps its design value.
  explicit TLogLast(TFastIni* ini, QWidget* parent = nullptr);

  // A "LOG" event of the server: every row moves one down, the entry becomes
  // the first row; the 100th row is lost. The selection stays with its entry;
  // when that entry is lost, nothing is selected and the map marker it put on
  // the map is hidden.
  void AddLogEntry(const TLogEntry& entry);
  // Events of the day kept on disk, oldest first, put under the newest rows
  // as earlier ones (pale, not tied to the map); at most the rows the grid
  // holds. The main window gives them at start and after each clearing, so
  // that the shift stays in view.
  void AddEarlierEntries(const std::vector<TJournalRecord>& records);
  // pmClear: every row emptied, nothing selected. The main window calls it
  // too whenever it drops the connection.
  void Clear();
  // pmSavePos: window bounds, the four switches and the column widths.
  void SavePos();

  // Entry rows, 0 = newest.
  const TLogRow& Row(int index) const { return grid_->Model().Row(index); }
  TLogGrid* Grid() const { return grid_; }
  QMenu* PopupMenu() const { return menu_; }
  QTimer* Timer() const { return timer_; }

  bool UseColor() const { return pmUseColor_->isChecked(); }
  bool ShowNew() const { return pmShowNew_->isChecked(); }
  bool ShowOnMap() const { return pmShowOnMap_->isChecked(); }
  bool Header() const { return pmHeader_->isChecked(); }
  int IdleCount() const { return idle_; }

 signals:
  // F5 in the grid (followed by ActivateMainWindowRequested).
  void ReconnectRequested();
  // Enter, F5, or a minute without a key while the journal is the active window.
  void ActivateMainWindowRequested();
  // Show the object with this index on its map (the main window hides the
  // marker first and then shows it around the object when it can).
  void ShowObjectOnMapRequested(int object);
  void HideMapMarkerRequested();

 public slots:
  // Timer1, every second: counts the seconds the journal is the active window.
  void TimerTick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QAction* AddCheck(const char* name, const QString& caption, bool checked);
  void ReadSettings();
  void ApplyHeader();
  void ApplyShareWidths();
  void ApplySavedWidths();
  void OnRowSelected(int row);
  void ShowObject(int object);
  void HideMarker();
  void OnMenuRequested(const QPoint& globalPos);

  TFastIni* ini_;
  QFrame* panel_ = nullptr;
  TLogGrid* grid_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* pmUseColor_ = nullptr;
  QAction* pmShowNew_ = nullptr;
  QAction* pmShowOnMap_ = nullptr;
  QAction* pmHeader_ = nullptr;
  QAction* pmSavePos_ = nullptr;
  QAction* pmClear_ = nullptr;
  QTimer* timer_ = nullptr;
  int idle_ = 0;
  bool markerShown_ = false;  // the last word to the map was to show an entry's object
  int shareWidth_ = -1;  // panel width the shares were last computed for
  std::array<std::optional<int>, TLogModel::kColumns> savedWidths_;
  bool savedWidthsPosted_ = false;
};

}  // namespace vertamo::ui

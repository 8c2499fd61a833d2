// The records of the history tab: a column that marks a call whose record
// is kept ("▶") or says why it has none, and a player under the grid. A
// double click on a mark (the window's), Enter on its row or "Прослушать" in
// its menu plays the record; a ring or a call stops the playback at once, so that playing
// never takes the line of a call. The red mark beside the call clock says
// that the conversation on is being recorded.
#pragma once

#include <QObject>
#include <string>

#include "voice/call_history.h"

class QLabel;
class QTableWidget;
class QWidget;

namespace vertamo::ui {

class TRecordPlayerWidget;

class THistoryRecords final : public QObject {
  Q_OBJECT

 public:
  // The history grid's columns this uses: when, who and the record.
  static constexpr int kWhenColumn = 0;
  static constexpr int kWhoColumn = 2;
  static constexpr int kColumn = 5;
  // `grid` is the history tab's grid (its column kColumn holds the marks);
  // `workFolder` holds the records; `player` may be given by tests (none:
  // one that plays to the desktop's sound server).
  THistoryRecords(QTableWidget* grid, std::string workFolder, QWidget* owner,
                  TRecordPlayerWidget* player = nullptr);

  // The tab's page: the grid with the player under it.
  QWidget* Page() const { return page_; }
  // The mark of a call's row.
  void SetRecordCell(int row, const TCallRecord& call);
  // Plays the record of the selected row; false when it has none.
  bool PlaySelected();
  void StopPlaying();
  TRecordPlayerWidget* Player() const { return player_; }

 private:
  QTableWidget* grid_;
  std::string workFolder_;
  QWidget* page_;
  TRecordPlayerWidget* player_;
};

// The red mark of a conversation being recorded, for the call clock's panel.
QLabel* NewRecordingMark(QWidget* parent);

}  // namespace vertamo::ui

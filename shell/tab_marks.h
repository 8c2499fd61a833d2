// The map tabs' marks of unseen events (map/unseen_marks.h) in the tab bar: a
// badge right of the map's name with the number of events, in the colours of
// the newest journal line among them (a state change alone: orange), until
// the tab is shown.
#pragma once

#include <QObject>

#include "map/unseen_marks.h"

class QLabel;
class QTabWidget;

namespace vertamo::ui {

class TTabMarks : public QObject {
  Q_OBJECT

 public:
  explicit TTabMarks(QTabWidget* tabs);

  // After the tabs were built anew (or all removed): nothing marked, the
  // current tab in front.
  void Reset();
  void JournalLine(int map, int color, int fontColor);
  void StateChange(int map);

  const TUnseenMarks& Marks() const { return marks_; }
  // The badge of a tab; null while it is not marked.
  QLabel* Badge(int map) const;

 private:
  void Show(int map);
  void Draw(int map);
  void Relayout();

  QTabWidget* tabs_;
  TUnseenMarks marks_;
};

}  // namespace vertamo::ui

// The maps on screen: one tab per map of the model, each a view of its own
// scene, and the index from object and text numbers to their items. A map's
// scene is filled from the model when its tab is shown or one of its items is
// asked for; only the few maps shown last keep their items, so that a
// district of a hundred thousand objects never holds them all.
//
// The model outlives what the board built from it: Clear() before the model
// is cleared or replaced.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <vector>

#include "map/map_model.h"
#include "map/ui/map_view.h"
#include "map/ui/picture_cache.h"

class QTabWidget;

namespace vertamo::ui {

class TObjectItem;
class TTextItem;

class TMapBoard : public QObject {
  Q_OBJECT

 public:
  // The tabs go into `tabs`, which outlives the board.
  // Maps whose items are kept after they were last shown.
  static constexpr int kFilledMapsKept = 6;

  explicit TMapBoard(QTabWidget* tabs);
  ~TMapBoard() override;

  // One tab per map of `model`, captioned with the map's name; no scene is
  // filled yet. What was built before goes first.
  void Build(TMapModel& model);
  // Every tab, item and converted picture goes; the model is left alone.
  void Clear();
  // Changes with every Build and Clear: an answer that finds another
  // generation than its question's is about maps no longer shown.
  int Generation() const { return generation_; }

  int Count() const { return static_cast<int>(views_.size()); }
  TMapView* View(int map) const;
  // The item of an object or a text (its map's scene filled first); nullptr
  // for a number that has none.
  TObjectItem* ObjectItem(int object);
  TTextItem* TextItem(int text);
  // Where an object's picture is, on the screen; empty when it has none.
  QRect ScreenArea(int object);

  // After the record of an object changed (nothing for a map not filled
  // yet): its state, only its own rectangle painted again; its caption or
  // caption colour, the caption laid out anew.
  void PictureChanged(int object);
  void CaptionChanged(int object);

  // The marker around an object found from the journal or a report: on its
  // map, twice the picture's size, centred on it, scrolled into view. Only
  // one map shows it at a time; an object without a picture shows none.
  bool ShowMarker(int object);
  void HideMarker();
  // The map that shows the marker, nullptr when none does.
  TMapView* Marked() const { return marked_; }

  // The text lit under the mouse (-1: none), and taking the light off it.
  int HotText() const { return hotText_; }
  void Unhighlight();

  TPictureCache& Pictures() { return pictures_; }

 signals:
  void ObjectPressed(int object, Qt::MouseButton button);
  void TextPressed(int text, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

 private:
  void Fill(int map, TMapScene& scene);
  // The maps filled beyond those kept give their items up, the longest
  // unseen first (never the one on screen).
  void Trim();
  void Hover(int text);

  QTabWidget* tabs_;
  TMapModel* model_ = nullptr;
  TPictureCache pictures_;
  std::vector<QPointer<TMapView>> views_;
  std::vector<std::vector<int>> objectsOf_, textsOf_;  // numbers of each map, in list order
  std::vector<TObjectItem*> objects_;
  std::vector<TTextItem*> texts_;
  std::vector<int> filled_;  // maps with items, the one shown last at the end
  QPointer<TMapView> marked_;
  int hotText_ = -1;
  int generation_ = 0;
};

}  // namespace vertamo::ui

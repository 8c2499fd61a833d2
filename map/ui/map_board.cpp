#include "map/ui/map_board.h"

#include <QSignalBlocker>
#include <QTabWidget>
#include <algorithm>
#include <utility>

#include "map/ui/map_items.h"
#include "map/ui/map_view.h"
#include "uikit/qt_text.h"

namespace vertamo::ui {

TMapBoard::TMapBoard(QTabWidget* tabs) : QObject(tabs), tabs_(tabs) {
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int map) {
    // The map shown comes last among the filled ones.
    const auto it = std::find(filled_.begin(), filled_.end(), map);
    if (it != filled_.end()) std::rotate(it, it + 1, filled_.end());
  });
}

TMapBoard::~TMapBoard() { Clear(); }

void TMapBoard::Build(TMapModel& model) {
  Clear();
  model_ = &model;
  const int maps = model.MapList.Count();
  objectsOf_.assign(static_cast<size_t>(maps), {});
  textsOf_.assign(static_cast<size_t>(maps), {});
  objects_.assign(static_cast<size_t>(model.ObjectList.Count()), nullptr);
  texts_.assign(static_cast<size_t>(model.TextList.Count()), nullptr);
  // The objects and texts of each map in list order, found in one pass.
  for (int i = 0; i < model.ObjectList.Count(); ++i) {
    const int map = model.ObjectList.Get(i)->MapIndex;
    if (map >= 0 && map < maps) objectsOf_[static_cast<size_t>(map)].push_back(i);
  }
  for (int i = 0; i < model.TextList.Count(); ++i) {
    const MAPTEXT* text = model.TextList.Get(i);
    if (text->MapIndex >= 0 && text->MapIndex < maps && text->HasFlag(kTextVisible))
      textsOf_[static_cast<size_t>(text->MapIndex)].push_back(i);
  }
  const QSignalBlocker quiet(tabs_);
  for (int m = 0; m < maps; ++m) {
    const MAP* map = model.MapList.Get(m);
    auto* view = new TMapView(map->Picture.get(), [this, m](TMapScene& scene) { Fill(m, scene); });
    connect(view, &TMapView::ObjectPressed, this, &TMapBoard::ObjectPressed);
    connect(view, &TMapView::TextPressed, this, &TMapBoard::TextPressed);
    connect(view, &TMapView::Hovered, this, &TMapBoard::Hover);
    views_.emplace_back(view);
    tabs_->addTab(view, FromCp1251(map->Name.str()));
  }
}

void TMapBoard::Fill(int map, TMapScene& scene) {
  // The map's font and colours are the window's, as for any control on it.
  const QFont font = tabs_->font();
  const QPalette palette = tabs_->palette();
  for (int i : objectsOf_[static_cast<size_t>(map)]) {
    auto* item = new TObjectItem(*model_->ObjectList.Get(i), i, pictures_, font);
    scene.addItem(item);
    objects_[static_cast<size_t>(i)] = item;
  }
  // The texts above the objects.
  for (int i : textsOf_[static_cast<size_t>(map)]) {
    auto* item = new TTextItem(*model_->TextList.Get(i), i, font, palette);
    scene.addItem(item);
    texts_[static_cast<size_t>(i)] = item;
  }
  filled_.push_back(map);
  if (static_cast<int>(filled_.size()) > kFilledMapsKept)
    QMetaObject::invokeMethod(this, &TMapBoard::Trim, Qt::QueuedConnection);
}

void TMapBoard::Trim() {
  for (auto it = filled_.begin(); static_cast<int>(filled_.size()) > kFilledMapsKept && it != filled_.end();) {
    const int map = *it;
    TMapView* view = View(map);
    if (view && (view == tabs_->currentWidget() || view == marked_)) {
      ++it;
      continue;
    }
    for (int i : objectsOf_[static_cast<size_t>(map)]) objects_[static_cast<size_t>(i)] = nullptr;
    for (int i : textsOf_[static_cast<size_t>(map)]) texts_[static_cast<size_t>(i)] = nullptr;
    if (view) view->Empty();
    it = filled_.erase(it);
  }
}

void TMapBoard::Clear() {
  ++generation_;
  hotText_ = -1;
  marked_ = nullptr;
  objects_.clear();
  texts_.clear();
  filled_.clear();
  objectsOf_.clear();
  textsOf_.clear();
  {
    const QSignalBlocker quiet(tabs_);
    const bool updates = tabs_->updatesEnabled();
    tabs_->setUpdatesEnabled(false);
    for (const QPointer<TMapView>& view : views_) delete view.data();
    tabs_->setUpdatesEnabled(updates);
  }
  views_.clear();
  pictures_.Clear();
  model_ = nullptr;
}

TMapView* TMapBoard::View(int map) const {
  return map >= 0 && map < Count() ? views_[static_cast<size_t>(map)].data() : nullptr;
}

TObjectItem* TMapBoard::ObjectItem(int object) {
  if (!model_ || object < 0 || object >= static_cast<int>(objects_.size())) return nullptr;
  if (TMapView* view = View(model_->ObjectList.Get(object)->MapIndex)) view->EnsureFilled();
  return objects_[static_cast<size_t>(object)];
}

TTextItem* TMapBoard::TextItem(int text) {
  if (!model_ || text < 0 || text >= static_cast<int>(texts_.size())) return nullptr;
  if (TMapView* view = View(model_->TextList.Get(text)->MapIndex)) view->EnsureFilled();
  return texts_[static_cast<size_t>(text)];
}

QRect TMapBoard::ScreenArea(int object) {
  TObjectItem* item = ObjectItem(object);
  TMapView* view = item ? View(item->Record().MapIndex) : nullptr;
  if (!view) return {};
  const QRect area = view->ToView(item->sceneBoundingRect());
  return QRect(view->viewport()->mapToGlobal(area.topLeft()), area.size());
}

void TMapBoard::PictureChanged(int object) {
  if (object < 0 || object >= static_cast<int>(objects_.size())) return;
  TObjectItem* item = objects_[static_cast<size_t>(object)];
  TMapView* view = item ? View(item->Record().MapIndex) : nullptr;
  // The picture is read from the record as it paints, and its place does not
  // change: its rectangle of the view is painted again, without the scene
  // looking through its items for what changed.
  if (view && view->isVisible()) view->viewport()->update(view->ToView(item->sceneBoundingRect()));
}

void TMapBoard::CaptionChanged(int object) {
  if (object < 0 || object >= static_cast<int>(objects_.size())) return;
  if (TObjectItem* item = objects_[static_cast<size_t>(object)]) item->Refresh();
}

bool TMapBoard::ShowMarker(int object) {
  HideMarker();
  TObjectItem* item = ObjectItem(object);
  TMapView* view = item ? View(item->Record().MapIndex) : nullptr;
  if (!view) return false;
  const QRectF r = item->sceneBoundingRect();
  view->ShowMarker(QRectF(r.left() - r.width() / 2, r.top() - r.height() / 2, 2 * r.width(), 2 * r.height()));
  marked_ = view;
  return true;
}

void TMapBoard::HideMarker() {
  if (marked_) marked_->HideMarker();
  marked_ = nullptr;
}

void TMapBoard::Hover(int text) {
  if (text == hotText_) return;
  Unhighlight();
  if (text < 0 || !model_) return;
  MAPTEXT* record = model_->TextList.Get(text);
  if (!record) return;
  record->HighlightText();
  hotText_ = text;
  if (TTextItem* item = texts_[static_cast<size_t>(text)]) item->update();
}

void TMapBoard::Unhighlight() {
  if (hotText_ < 0 || !model_) return;
  const int text = std::exchange(hotText_, -1);
  if (MAPTEXT* record = model_->TextList.Get(text)) record->UnhighlightText();
  if (TTextItem* item = texts_[static_cast<size_t>(text)]) item->update();
}

}  // namespace vertamo::ui

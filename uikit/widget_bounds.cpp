#include "uikit/widget_bounds.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <vector>

#include "settings/window_places.h"
#include "uikit/qt_text.h"

namespace vertamo::ui {
namespace {

QSize FrameMargins(const QWidget* w) { return w->frameGeometry().size() - w->size(); }

bool FrameKnown(const QWidget* w) {
  const QSize m = FrameMargins(w);
  return m.width() > 0 || m.height() > 0;
}

// Lives on a window whose outer size was set before its frame was known; once
// the frame is known it gives the window that outer size and goes.
class OuterSizeKeeper : public QObject {
 public:
  static constexpr const char* kName = "vertamoOuterSizeKeeper";

  OuterSizeKeeper(QWidget* window, QSize outer) : QObject(window), outer_(outer) {
    setObjectName(kName);
    window->installEventFilter(this);
  }
  void SetOuter(QSize outer) { outer_ = outer; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type t = event->type();
    if (t != QEvent::Move && t != QEvent::Resize && t != QEvent::Show) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->isVisible() && FrameKnown(w)) {
      w->removeEventFilter(this);
      w->resize(outer_ - FrameMargins(w));
      deleteLater();
    }
    return false;
  }

 private:
  QSize outer_;
};

}  // namespace

std::string TWidgetBounds::name() const { return window_ ? ToCp1251(window_->objectName()) : std::string(); }
int TWidgetBounds::left() const { return window_ ? window_->frameGeometry().x() : 0; }
int TWidgetBounds::top() const { return window_ ? window_->frameGeometry().y() : 0; }
int TWidgetBounds::width() const { return window_ ? window_->frameGeometry().width() : 0; }
int TWidgetBounds::height() const { return window_ ? window_->frameGeometry().height() : 0; }

QRect KeepOnScreen(const QRect& place, const QWidget* window) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return place;
  const QScreen* own = window ? window->screen() : nullptr;
  if (!own) own = QGuiApplication::primaryScreen();
  std::vector<TPlace> areas;
  size_t fallback = 0;
  for (const QScreen* screen : screens) {
    if (screen == own) fallback = areas.size();
    const QRect r = screen->availableGeometry();
    areas.push_back({r.x(), r.y(), r.width(), r.height()});
  }
  const TPlace wanted{place.x(), place.y(), place.width(), place.height()};
  const TPlace r = FitInto(wanted, areas[ScreenOf(wanted, areas, fallback)]);
  return {r.left, r.top, r.width, r.height};
}

void TWidgetBounds::Place(const QRect& wanted, bool sizeGiven) {
  wanted_ = wanted;
  given_ = true;
  const QRect target =
      placing_ == kKeepOnScreen && window_->isWindow() ? KeepOnScreen(wanted, window_) : wanted;
  if (target.topLeft() != window_->frameGeometry().topLeft()) window_->move(target.topLeft());
  if (sizeGiven || target.size() != window_->frameGeometry().size()) SetOuterSize(target.size());
}

// For a window, move() places its frame.
void TWidgetBounds::setLeft(int value) {
  if (!window_) return;
  QRect r = given_ ? wanted_ : window_->frameGeometry();
  r.moveLeft(value);
  Place(r, false);
}

void TWidgetBounds::setTop(int value) {
  if (!window_) return;
  QRect r = given_ ? wanted_ : window_->frameGeometry();
  r.moveTop(value);
  Place(r, false);
}

void TWidgetBounds::setWidth(int value) {
  if (!window_) return;
  QRect r = given_ ? wanted_ : window_->frameGeometry();
  r.setWidth(value);
  Place(r, true);
}

void TWidgetBounds::setHeight(int value) {
  if (!window_) return;
  QRect r = given_ ? wanted_ : window_->frameGeometry();
  r.setHeight(value);
  Place(r, true);
}

void TWidgetBounds::SetOuterSize(QSize outer) {
  window_->resize(outer - FrameMargins(window_));
  if (!window_->isWindow() || FrameKnown(window_)) return;
  if (QObject* keeper = window_->findChild<QObject*>(OuterSizeKeeper::kName, Qt::FindDirectChildrenOnly))
    static_cast<OuterSizeKeeper*>(keeper)->SetOuter(outer);
  else
    new OuterSizeKeeper(window_, outer);
}

std::string TTableColumns::name() const { return table_ ? ToCp1251(table_->objectName()) : std::string(); }

std::string TTableColumns::ownerName() const {
  return table_ ? ToCp1251(table_->window()->objectName()) : std::string();
}

int TTableColumns::columnCount() const {
  return table_ && table_->model() ? table_->model()->columnCount() : 0;
}

int TTableColumns::width(int column) const { return table_ ? table_->columnWidth(column) : 0; }

void TTableColumns::setWidth(int column, int width) {
  if (table_) table_->setColumnWidth(column, width);
}

}  // namespace vertamo::ui

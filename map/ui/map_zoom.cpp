#include "map/ui/map_zoom.h"

#include <QChildEvent>
#include <QLabel>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cmath>

namespace vertamo::ui {
namespace {

constexpr std::array<double, 16> kSteps = {0.1, 0.25, 0.33, 0.5, 0.67, 0.75, 0.9, 1.0,
                                           1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 4.0};
constexpr double kStepSlack = 1e-3;
constexpr int kWheelPixels = 60;  // one notch of the wheel scrolls this far
constexpr int kFitSlack = 2;      // rounding may leave a fitted map this much too large

int Round(double v) { return static_cast<int>(std::lround(v)); }

// The children are kept by address; a record's child is a widget of the page.
QWidget* WidgetAt(const QObject* child) { return static_cast<QWidget*>(const_cast<QObject*>(child)); }

// A label that is as large as its text: its size follows its font.
bool SizedToText(const QWidget* child) {
  const auto* label = qobject_cast<const QLabel*>(child);
  return label && !label->wordWrap() && child->size() == child->sizeHint();
}

QFont ScaledFont(const QFont& base, double zoom) {
  QFont font = base;
  if (base.pixelSize() > 0)
    font.setPixelSize(std::max(1, Round(base.pixelSize() * zoom)));
  else if (base.pointSizeF() > 0)
    font.setPointSizeF(std::max(0.5, base.pointSizeF() * zoom));
  return font;
}

}  // namespace

double NextZoomStep(double zoom, bool up) {
  if (up) {
    for (double step : kSteps)
      if (step > zoom + kStepSlack) return step;
    return kSteps.back();
  }
  for (auto it = kSteps.rbegin(); it != kSteps.rend(); ++it)
    if (*it < zoom - kStepSlack) return *it;
  return kSteps.front();
}

TMapZoom::TMapZoom(QWidget* page) : QObject(page), page_(page) {
  setObjectName(QStringLiteral("MapZoom"));
  hbar_ = new QScrollBar(Qt::Horizontal, page);
  hbar_->setObjectName(QStringLiteral("HorzScrollBar"));
  vbar_ = new QScrollBar(Qt::Vertical, page);
  vbar_->setObjectName(QStringLiteral("VertScrollBar"));
  for (QScrollBar* bar : {hbar_, vbar_}) {
    bar->hide();
    bar->setSingleStep(20);
    connect(bar, &QScrollBar::valueChanged, this, [this] {
      SetOffset(QPoint(hbar_->isHidden() ? 0 : hbar_->value(),
                       vbar_->isHidden() ? 0 : vbar_->value()));
    });
  }
  page->installEventFilter(this);
}

void TMapZoom::SetBackground(QWidget* background, QSize pictureSize) {
  if (background && records_.remove(background)) background->removeEventFilter(this);
  background_ = background;
  picture_ = pictureSize;
  ScheduleUpdate();
}

bool TMapZoom::IsPlaced(const QObject* child) const {
  return child->isWidgetType() && child != hbar_ && child != vbar_ && child != background_.data();
}

// --- the record of a child ------------------------------------------------------

void TMapZoom::Adopt(QWidget* child, TRecord& record) {
  record.adopted = true;
  record.map = child->geometry();
  record.applied = record.map;
  record.base = child->font();
  record.fitted = SizedToText(child);
}

QRect TMapZoom::Scaled(const QRect& map) const {
  if (zoom_ == 1.0) return map;
  const int left = Round(map.x() * zoom_), top = Round(map.y() * zoom_);
  const int right = Round((map.x() + map.width()) * zoom_), bottom = Round((map.y() + map.height()) * zoom_);
  return QRect(left, top, std::max(map.width() > 0 ? 1 : 0, right - left),
               std::max(map.height() > 0 ? 1 : 0, bottom - top));
}

void TMapZoom::Apply(QWidget* child, TRecord& record) {
  applying_ = true;
  if (auto* zoomable = dynamic_cast<IMapZoomable*>(child)) zoomable->SetZoom(zoom_);
  if (zoom_ != 1.0 || record.fontScaled) {
    child->setFont(zoom_ == 1.0 ? record.base : ScaledFont(record.base, zoom_));
    record.fontScaled = zoom_ != 1.0;
  }
  QRect r = Scaled(record.map).translated(-offset_);
  if (record.fitted) r.setSize(child->sizeHint());
  record.applied = r;
  if (child->geometry() != r) child->setGeometry(r);
  ++placements_;
  applying_ = false;
}

void TMapZoom::ApplyAll() {
  for (auto it = records_.begin(); it != records_.end(); ++it)
    if (it->adopted) Apply(WidgetAt(it.key()), *it);
  if (background_) background_->update();
}

// The child leaves the page as it came: in map pixels, in its own font.
void TMapZoom::Release(QWidget* child) {
  const auto it = records_.find(child);
  if (it == records_.end()) return;
  const TRecord record = *it;
  records_.erase(it);
  child->removeEventFilter(this);
  if (!record.adopted) return;
  if (auto* zoomable = dynamic_cast<IMapZoomable*>(child)) zoomable->SetZoom(1.0);
  if (record.fontScaled) child->setFont(record.base);
  // A child placed anew while hidden (its move is still to come) is in map
  // pixels already.
  if (child->geometry() != record.applied) return;
  if (record.fitted)
    child->setGeometry(QRect(record.map.topLeft(), child->sizeHint()));
  else
    child->setGeometry(record.map);
}

QRect TMapZoom::MapGeometry(const QWidget* child) const {
  const auto it = records_.constFind(child);
  if (it != records_.constEnd() && it->adopted) return it->map;
  return child ? child->geometry() : QRect();
}

// --- events ----------------------------------------------------------------------

bool TMapZoom::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == page_) {
    switch (type) {
      case QEvent::ChildAdded: {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (IsPlaced(child) && !records_.contains(child)) {
          records_.insert(child, TRecord{});
          child->installEventFilter(this);
          RaiseBars();
        }
        break;
      }
      case QEvent::ChildRemoved:
        // The child may be half destroyed: only its address is used.
        records_.remove(static_cast<QChildEvent*>(event)->child());
        ScheduleUpdate();
        break;
      case QEvent::Resize:
        if (fitting_)
          ChangeZoom(FitZoom(), QPoint());
        else
          UpdateBars();
        break;
      case QEvent::Wheel:
        return Wheel(page_, static_cast<QWheelEvent*>(event));
      default:
        break;
    }
    return false;
  }
  const auto it = records_.find(watched);
  if (it == records_.end()) return false;
  auto* child = static_cast<QWidget*>(watched);
  switch (type) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
      if (applying_) break;
      if (!it->adopted && child->property(kOverMap).toBool()) {
        records_.erase(it);
        child->removeEventFilter(this);
        break;
      }
      if (!it->adopted) {
        Adopt(child, *it);
        Apply(child, *it);
        ScheduleUpdate();
      } else if (child->geometry() != it->applied) {
        // Placed anew by the map's own code, in map pixels.
        const QRect g = child->geometry();
        if (g.topLeft() != it->applied.topLeft()) it->map.moveTopLeft(g.topLeft());
        if (g.size() != it->applied.size()) {
          it->fitted = SizedToText(child);
          it->map.setSize(it->fitted ? QSize(Round(g.width() / zoom_), Round(g.height() / zoom_)) : g.size());
        }
        Apply(child, *it);
        ScheduleUpdate();
      } else if (type == QEvent::Show) {
        ScheduleUpdate();
      }
      break;
    case QEvent::Hide:
      ScheduleUpdate();
      break;
    case QEvent::FontChange:
      if (applying_ || !it->adopted) break;
      it->base = child->font();
      it->fontScaled = false;
      Apply(child, *it);
      break;
    case QEvent::ZOrderChange:
      RaiseBars();
      break;
    case QEvent::ParentAboutToChange:
      Release(child);
      break;
    case QEvent::Wheel:
      return Wheel(child, static_cast<QWheelEvent*>(event));
    default:
      break;
  }
  return false;
}

bool TMapZoom::Wheel(QWidget* source, QWheelEvent* event) {
  const QPoint at = source->mapTo(page_, event->position().toPoint());
  const QPoint delta = event->angleDelta();
  if (event->modifiers() & Qt::ControlModifier) {
    const int notches = delta.y() != 0 ? delta.y() : delta.x();
    if (notches == 0) return true;
    ZoomAround(NextZoomStep(zoom_, notches > 0), at);
    return true;
  }
  const bool horizontal = (event->modifiers() & Qt::ShiftModifier) || delta.y() == 0;
  QScrollBar* bar = horizontal ? hbar_ : vbar_;
  if (bar->isHidden()) return false;
  const int amount = horizontal ? (delta.y() != 0 ? delta.y() : delta.x()) : delta.y();
  bar->setValue(bar->value() - amount * kWheelPixels / 120);
  return true;
}

// --- zoom ------------------------------------------------------------------------

void TMapZoom::SetZoom(double zoom) {
  const QSize view = ViewSize();
  fitting_ = false;
  fitAt100AtMost_ = false;
  ChangeZoom(zoom, QPoint(view.width() / 2, view.height() / 2));
  emit Zoomed();
}

void TMapZoom::ZoomAround(double zoom, QPoint anchor) {
  fitting_ = false;
  fitAt100AtMost_ = false;
  ChangeZoom(zoom, anchor);
  emit Zoomed();
}

void TMapZoom::ZoomIn() { SetZoom(NextZoomStep(zoom_, true)); }
void TMapZoom::ZoomOut() { SetZoom(NextZoomStep(zoom_, false)); }

void TMapZoom::FitToWindow() {
  fitting_ = true;
  fitAt100AtMost_ = false;
  ChangeZoom(FitZoom(), QPoint());
  emit Zoomed();
}

void TMapZoom::FitIfLarger() {
  fitting_ = true;
  fitAt100AtMost_ = true;
  ChangeZoom(FitZoom(), QPoint());
}

// Everything on the page moves at once: the page is painted again as a whole
// afterwards rather than widget by widget on the way. A page whose updates
// are off already is left alone: they are off through its parent (the tab
// widget holds them off while it changes pages, when a page first shown gets
// its size), and turning them off on the page itself would keep the page
// from ever painting again once the parent turns them back on.
void TMapZoom::ChangeZoom(double zoom, QPoint anchor) {
  if (!page_->updatesEnabled()) {
    Rezoom(zoom, anchor);
    return;
  }
  page_->setUpdatesEnabled(false);
  Rezoom(zoom, anchor);
  page_->setUpdatesEnabled(true);
}

void TMapZoom::Rezoom(double zoom, QPoint anchor) {
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  const QPointF mapPoint = ToMap(anchor);
  if (zoom != zoom_) {
    zoom_ = zoom;
    ApplyAll();
  }
  UpdateBars();
  // A fitted map that came out a little too large (fonts do not scale quite
  // evenly) is fitted once more.
  if (fitting_) {
    const QRect content = ScaledContent();
    const QSize page = page_->size();
    const int cw = content.right() + 1, ch = content.bottom() + 1;
    if (cw > page.width() + kFitSlack || ch > page.height() + kFitSlack) {
      const double shrink = std::min(double(page.width()) / cw, double(page.height()) / ch);
      const double refit = std::clamp(zoom_ * shrink, kMinZoom, kMaxZoom);
      if (refit < zoom_) {
        zoom_ = refit;
        ApplyAll();
        UpdateBars();
      }
    }
    return;
  }
  hbar_->setValue(Round(mapPoint.x() * zoom_) - anchor.x());
  vbar_->setValue(Round(mapPoint.y() * zoom_) - anchor.y());
}

QSize TMapZoom::Extent() const {
  QRect extent(QPoint(0, 0), picture_);
  for (auto it = records_.constBegin(); it != records_.constEnd(); ++it) {
    if (!it->adopted || WidgetAt(it.key())->isHidden()) continue;
    extent |= it->map;
  }
  return QSize(std::max(0, extent.right() + 1), std::max(0, extent.bottom() + 1));
}

double TMapZoom::FitZoom() const {
  const QSize extent = Extent();
  const QSize page = page_->size();
  if (extent.isEmpty() || page.isEmpty()) return zoom_;
  double zoom = std::min(double(page.width()) / extent.width(), double(page.height()) / extent.height());
  if (fitAt100AtMost_) zoom = std::min(zoom, 1.0);
  return std::clamp(zoom, kMinZoom, kMaxZoom);
}

// What the map covers at the present zoom, in page pixels from the map's corner.
QRect TMapZoom::ScaledContent() const {
  QRect content = Scaled(QRect(QPoint(0, 0), picture_));
  for (auto it = records_.constBegin(); it != records_.constEnd(); ++it) {
    if (!it->adopted || WidgetAt(it.key())->isHidden()) continue;
    content |= it->applied.translated(offset_);
  }
  return content;
}

QSize TMapZoom::ViewSize() const {
  QSize view = page_->size();
  if (!vbar_->isHidden()) view.rwidth() -= vbar_->width();
  if (!hbar_->isHidden()) view.rheight() -= hbar_->height();
  return view;
}

void TMapZoom::UpdateBars() {
  const QRect content = ScaledContent();
  const int cw = std::max(0, content.right() + 1), ch = std::max(0, content.bottom() + 1);
  const QSize page = page_->size();
  const int thickH = hbar_->sizeHint().height(), thickV = vbar_->sizeHint().width();
  const int slack = fitting_ ? kFitSlack : 0;
  bool needH = cw > page.width() + slack, needV = ch > page.height() + slack;
  if (needH && !needV) needV = ch > page.height() - thickH;
  if (needV && !needH) needH = cw > page.width() - thickV;
  const int viewW = page.width() - (needV ? thickV : 0), viewH = page.height() - (needH ? thickH : 0);
  {
    const QSignalBlocker hb(hbar_), vb(vbar_);
    hbar_->setRange(0, needH ? std::max(0, cw - viewW) : 0);
    hbar_->setPageStep(std::max(1, viewW));
    vbar_->setRange(0, needV ? std::max(0, ch - viewH) : 0);
    vbar_->setPageStep(std::max(1, viewH));
    hbar_->setGeometry(0, page.height() - thickH, std::max(0, viewW), thickH);
    vbar_->setGeometry(page.width() - thickV, 0, thickV, std::max(0, viewH));
    hbar_->setVisible(needH);
    vbar_->setVisible(needV);
  }
  RaiseBars();
  SetOffset(QPoint(needH ? hbar_->value() : 0, needV ? vbar_->value() : 0));
}

// The bars in view stay above everything placed on the map.
void TMapZoom::RaiseBars() {
  const QObjectList& children = page_->children();
  const auto shown = static_cast<qsizetype>(!hbar_->isHidden()) + static_cast<qsizetype>(!vbar_->isHidden());
  bool onTop = true;
  for (qsizetype i = children.size() - shown; i < children.size() && onTop; ++i)
    onTop = i >= 0 && (children[i] == hbar_ || children[i] == vbar_);
  if (onTop) return;
  for (QScrollBar* bar : {hbar_, vbar_})
    if (!bar->isHidden()) bar->raise();
}

void TMapZoom::ScheduleUpdate() {
  if (updatePosted_) return;
  updatePosted_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        updatePosted_ = false;
        if (fitting_)
          ChangeZoom(FitZoom(), QPoint());
        else
          UpdateBars();
      },
      Qt::QueuedConnection);
}

// Scrolling only moves what is placed: sizes and fonts stay.
void TMapZoom::SetOffset(QPoint offset) {
  if (offset == offset_) return;
  const QPoint shift = offset_ - offset;
  offset_ = offset;
  applying_ = true;
  for (auto it = records_.begin(); it != records_.end(); ++it) {
    if (!it->adopted) continue;
    it->applied.translate(shift);
    WidgetAt(it.key())->move(it->applied.topLeft());
    ++placements_;
  }
  applying_ = false;
  if (background_) background_->update();
}

void TMapZoom::EnsureVisible(const QRect& mapRect) {
  const QRect r = Scaled(mapRect);
  const QSize view = ViewSize();
  auto scrollTo = [](QScrollBar* bar, int low, int high, int size) {
    if (bar->isHidden()) return;
    const int value = bar->value();
    if (low < value)
      bar->setValue(low);
    else if (high > value + size)
      bar->setValue(std::min(low, high - size));
  };
  scrollTo(hbar_, r.left(), r.right() + 1, view.width());
  scrollTo(vbar_, r.top(), r.bottom() + 1, view.height());
}

QPoint TMapZoom::ToPage(QPoint mapPoint) const {
  return QPoint(Round(mapPoint.x() * zoom_), Round(mapPoint.y() * zoom_)) - offset_;
}

QPointF TMapZoom::ToMap(QPoint pagePoint) const {
  return QPointF((pagePoint.x() + offset_.x()) / zoom_, (pagePoint.y() + offset_.y()) / zoom_);
}

TMapZoom* ZoomOf(const QWidget* page) {
  return page ? page->findChild<TMapZoom*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QRect MapGeometry(const QWidget* widget) {
  if (!widget) return {};
  if (const TMapZoom* zoom = ZoomOf(widget->parentWidget())) return zoom->MapGeometry(widget);
  return widget->geometry();
}

}  // namespace vertamo::ui

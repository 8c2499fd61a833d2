#include "map/ui/map_view.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>

#include "map/default_zoom.h"
#include "map/ui/map_items.h"
#include "map/ui/picture_cache.h"

namespace vertamo::ui {
namespace {

constexpr std::array<double, 16> kSteps = {0.1, 0.25, 0.33, 0.5, 0.67, 0.75, 0.9, 1.0,
                                           1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 4.0};
constexpr double kStepSlack = 1e-3;
constexpr int kWheelPixels = 60;  // one notch of the wheel scrolls this far

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

// --- the scene -------------------------------------------------------------------

TMapScene::TMapScene(const TBitmap* picture, QObject* parent) : QGraphicsScene(parent) {
  // Items are found through the index by position: a click, a hint and a
  // repaint after one object's change look at the few items there.
  setItemIndexMethod(QGraphicsScene::BspTreeIndex);
  if (!picture || picture->Empty()) return;
  const Image& pixels = picture->Pixels;
  if (picture->Transparent) {
    picture_ = ToQImage(pixels, true).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  } else {
    // The model's pixels as they are, no copy; the alpha byte of an opaque
    // picture is not looked at.
    picture_ = QImage(reinterpret_cast<const uchar*>(pixels.argb.data()), pixels.width, pixels.height,
                      static_cast<qsizetype>(pixels.width) * 4, QImage::Format_RGB32);
  }
}

void TMapScene::drawBackground(QPainter* painter, const QRectF& rect) {
  // Where the map ends, the window's own silver rather than a white band
  // that looks like part of the map not loaded.
  painter->fillRect(rect, QColor(kBeyondMapColor));
  if (picture_.isNull()) return;
  const QRectF area = rect & QRectF(picture_.rect());
  if (area.isEmpty()) return;
  // Whole source pixels around what is exposed, so that a zoomed map shows no
  // seams between the parts painted at different times.
  const QRect source = area.toAlignedRect() & picture_.rect();
  painter->drawImage(QRectF(source), picture_, source);
}

// --- the view --------------------------------------------------------------------

TMapView::TMapView(const TBitmap* picture, std::function<void(TMapScene&)> fill, QWidget* parent)
    : QGraphicsView(parent), scene_(new TMapScene(picture, this)), fill_(std::move(fill)) {
  setObjectName(QStringLiteral("MapView"));
  setScene(scene_);
  scene_->setSceneRect(QRectF(QPointF(0, 0), QSizeF(scene_->Picture().size())));
  setFrameShape(QFrame::NoFrame);
  // A map smaller than its tab sits in the middle of it, not in a corner
  // with the rest of the tab empty.
  setAlignment(Qt::AlignCenter);
  setTransformationAnchor(QGraphicsView::NoAnchor);
  setResizeAnchor(QGraphicsView::NoAnchor);
  // On a zoomed map and on a scaled desktop alike, pictures are smoothed.
  setRenderHint(QPainter::SmoothPixmapTransform);
  setOptimizationFlags(QGraphicsView::DontSavePainterState | QGraphicsView::DontAdjustForAntialiasing);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  // The keyboard stays with the window's keys (the talk key among them).
  setFocusPolicy(Qt::NoFocus);
}

void TMapView::EnsureFilled() {
  if (filled_) return;
  filled_ = true;
  if (fill_) fill_(*scene_);
  // The map reaches as far as its background and whatever is placed on it.
  const QRectF items = scene_->itemsBoundingRect();
  const QRectF extent = QRectF(QPointF(0, 0), QSizeF(scene_->Picture().size())) | items;
  scene_->setSceneRect(QRectF(0, 0, std::max(0.0, extent.right()), std::max(0.0, extent.bottom())));
  if (fitting_) ChangeZoom(FitZoom(), QPoint());
}

void TMapView::Empty() {
  if (!filled_) return;
  filled_ = false;
  // Each item that goes would add its rectangle to the view's region to
  // repaint, one by one (a long while for thousands of items): the view
  // takes no notice of them, and is painted again once, whole.
  const ViewportUpdateMode mode = viewportUpdateMode();
  setViewportUpdateMode(NoViewportUpdate);
  scene_->clear();
  setViewportUpdateMode(mode);
  viewport()->update();
}

QSizeF TMapView::Extent() const { return scene_->sceneRect().size(); }

// --- zoom ------------------------------------------------------------------------

double TMapView::FitZoom() const {
  const QSizeF extent = Extent();
  const QSize view = size();
  double zoom = WholeMapZoom(extent.width(), extent.height(), view.width(), view.height());
  if (zoom <= 0) return zoom_;
  if (byDefault_) zoom = DefaultMapZoom(zoom);
  // A hair below the exact fit, so that rounding never brings up a scroll bar.
  zoom = std::floor(zoom * 1000.0) / 1000.0;
  return std::clamp(zoom, kMinZoom, kMaxZoom);
}

void TMapView::ChangeZoom(double zoom, QPoint anchor) {
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  const QPointF mapPoint = mapToScene(anchor);
  zoom_ = zoom;
  setTransform(QTransform::fromScale(zoom, zoom));
  if (!fitting_) {
    const QPoint moved = mapFromScene(mapPoint) - anchor;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + moved.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() + moved.y());
  }
  emit Moved();
}

void TMapView::SetZoom(double zoom) {
  fitting_ = byDefault_ = false;
  ChangeZoom(zoom, QPoint());
  emit Zoomed();
}

void TMapView::FitToWindow() {
  fitting_ = true;
  byDefault_ = false;
  ChangeZoom(FitZoom(), QPoint());
  emit Zoomed();
}

void TMapView::ZoomByDefault() {
  fitting_ = byDefault_ = true;
  ChangeZoom(FitZoom(), QPoint());
}

void TMapView::ZoomIn() { SetZoom(NextZoomStep(zoom_, true)); }
void TMapView::ZoomOut() { SetZoom(NextZoomStep(zoom_, false)); }

void TMapView::ZoomAround(double zoom, QPoint anchor) {
  fitting_ = byDefault_ = false;
  ChangeZoom(zoom, anchor);
  emit Zoomed();
}

void TMapView::resizeEvent(QResizeEvent* event) {
  QGraphicsView::resizeEvent(event);
  if (fitting_) ChangeZoom(FitZoom(), QPoint());
  emit Moved();
}

void TMapView::scrollContentsBy(int dx, int dy) {
  QGraphicsView::scrollContentsBy(dx, dy);
  emit Moved();
}

void TMapView::showEvent(QShowEvent* event) {
  EnsureFilled();
  QGraphicsView::showEvent(event);
}

void TMapView::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  if (event->modifiers() & Qt::ControlModifier) {
    const int notches = delta.y() != 0 ? delta.y() : delta.x();
    if (notches != 0) ZoomAround(NextZoomStep(zoom_, notches > 0), event->position().toPoint());
    event->accept();
    return;
  }
  const bool across = (event->modifiers() & Qt::ShiftModifier) || delta.y() == 0;
  QScrollBar* bar = across ? horizontalScrollBar() : verticalScrollBar();
  if (bar->maximum() == bar->minimum()) {
    event->ignore();  // nothing to scroll: the window may use it
    return;
  }
  const int amount = across ? (delta.y() != 0 ? delta.y() : delta.x()) : delta.y();
  bar->setValue(bar->value() - amount * kWheelPixels / 120);
  event->accept();
}

// --- places ----------------------------------------------------------------------

void TMapView::EnsureVisible(const QRectF& mapRect) { ensureVisible(mapRect, 0, 0); }

QRect TMapView::ToView(const QRectF& mapRect) const {
  return viewportTransform().mapRect(mapRect).toAlignedRect();
}

QPointF TMapView::ToMap(QPoint viewPoint) const { return mapToScene(viewPoint); }

QGraphicsItem* TMapView::ItemAt(QPoint viewPoint) const { return itemAt(viewPoint); }

TObjectItem* TMapView::ObjectAt(QPoint viewPoint) const {
  QGraphicsItem* item = ItemAt(viewPoint);
  return item && item->type() == TObjectItem::Type ? static_cast<TObjectItem*>(item) : nullptr;
}

TTextItem* TMapView::TextAt(QPoint viewPoint) const {
  QGraphicsItem* item = ItemAt(viewPoint);
  return item && item->type() == TTextItem::Type ? static_cast<TTextItem*>(item) : nullptr;
}

// --- the mouse -------------------------------------------------------------------

void TMapView::Press(QMouseEvent* event) {
  event->accept();
  const QPoint at = event->position().toPoint();
  if (TObjectItem* object = ObjectAt(at)) {
    emit ObjectPressed(object->Number(), event->button());
    return;
  }
  if (TTextItem* text = TextAt(at); text && text->Bound())
    emit TextPressed(text->Number(), event->button(), event->modifiers());
  // A caption, a text without an action and the bare map do nothing.
}

void TMapView::mousePressEvent(QMouseEvent* event) { Press(event); }

// The second press of a double click is a press like the first, as on a
// picture of its own.
void TMapView::mouseDoubleClickEvent(QMouseEvent* event) { Press(event); }

void TMapView::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void TMapView::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  QGraphicsItem* item = ItemAt(event->position().toPoint());
  if (!item) {
    emit Hovered(-1);
    return;
  }
  if (item->type() == TTextItem::Type && static_cast<TTextItem*>(item)->Bound())
    emit Hovered(static_cast<TTextItem*>(item)->Number());
}

bool TMapView::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QGraphicsView::viewportEvent(event);
  // The hint of the object under the mouse, as its record has it now.
  const auto* help = static_cast<QHelpEvent*>(event);
  TObjectItem* object = ObjectAt(help->pos());
  const QString tip = object ? HintToolTip(object->Record().HintText()) : QString();
  if (tip.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(help->globalPos(), tip, viewport(), ToView(object->sceneBoundingRect()));
  return true;
}

// --- the marker ------------------------------------------------------------------

QRectF TMapView::MarkerArea() const {
  // The pen lies inside the bounds, as a shape control draws it.
  const qreal inset = kMarkerPen / 2.0 / zoom_;
  return marker_.adjusted(inset, inset, -inset, -inset);
}

void TMapView::ShowMarker(const QRectF& mapRect) {
  HideMarker();
  marker_ = mapRect;
  EnsureVisible(mapRect);
  viewport()->update(ToView(marker_).adjusted(-kMarkerPen, -kMarkerPen, kMarkerPen, kMarkerPen));
}

void TMapView::HideMarker() {
  if (marker_.isNull()) return;
  const QRect old = ToView(marker_).adjusted(-kMarkerPen, -kMarkerPen, kMarkerPen, kMarkerPen);
  marker_ = QRectF();
  viewport()->update(old);
}

void TMapView::drawForeground(QPainter* painter, const QRectF& rect) {
  if (marker_.isNull() || !rect.intersects(marker_)) return;
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  QPen pen(QColor(255, 0, 0));
  pen.setWidth(kMarkerPen);
  pen.setCosmetic(true);
  painter->setPen(pen);
  painter->setBrush(Qt::NoBrush);
  painter->drawEllipse(MarkerArea());
  painter->restore();
}

}  // namespace vertamo::ui

// One map on screen: its scene (the background picture and the items of its
// objects and texts, in pixels of the background) in a view whose transform is
// the zoom. The view scrolls when the map is larger than it and centres it
// when it is smaller; "fit" keeps the whole map in view as the view changes
// size. Ctrl and the wheel zoom around
// the mouse, the wheel alone scrolls (Shift and the wheel across).
//
// The scene is filled on first need (the view shown, or an item asked for), so
// that a district of a hundred thousand objects is never built at once.
#pragma once

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <functional>

#include "map/map_records.h"

namespace vertamo::ui {

class TObjectItem;
class TTextItem;

// The scene of a map: draws the map's background picture below its items, the
// window's silver where the map ends.
class TMapScene final : public QGraphicsScene {
 public:
  static constexpr QRgb kBeyondMapColor = 0xFFC0C0C0;

  // `picture` (may be null) outlives the scene; an opaque picture is drawn
  // straight from its pixels, a transparent one converted once here.
  TMapScene(const TBitmap* picture, QObject* parent);
  const QImage& Picture() const { return picture_; }

 protected:
  void drawBackground(QPainter* painter, const QRectF& rect) override;

 private:
  QImage picture_;
};

class TMapView final : public QGraphicsView {
  Q_OBJECT

 public:
  static constexpr double kMinZoom = 0.1;
  static constexpr double kMaxZoom = 4.0;

  // `fill` puts the map's items into its scene, once.
  TMapView(const TBitmap* picture, std::function<void(TMapScene&)> fill, QWidget* parent = nullptr);

  TMapScene& Scene() const { return *scene_; }
  // Fills the scene now, when it has not been filled yet.
  void EnsureFilled();
  bool Filled() const { return filled_; }
  // Frees the scene's items; it is filled again when next needed.
  void Empty();

  double Zoom() const { return zoom_; }
  bool Fitting() const { return fitting_; }
  // The dispatcher's commands; each reports Zoomed.
  void SetZoom(double zoom);  // a fixed zoom (1 = 100 %), fit ends
  void FitToWindow();         // the whole map in view, kept so as the view resizes
  void ZoomIn();
  void ZoomOut();
  // Zooms keeping the map point under `anchor` (view pixels) where it is.
  void ZoomAround(double zoom, QPoint anchor);
  // A map that has no zoom of the dispatcher's yet: the whole map in view
  // unless that enlarges it by more than half, at 100 % then (DefaultMapZoom),
  // as the view resizes; not reported as a choice (no Zoomed), and ended by
  // any command.
  void ZoomByDefault();

  // Scrolls so that `mapRect` is in view, when it is not already.
  void EnsureVisible(const QRectF& mapRect);
  // Map pixels and view pixels.
  QRect ToView(const QRectF& mapRect) const;
  QPointF ToMap(QPoint viewPoint) const;
  // The size of the map: its background and what is placed on it.
  QSizeF Extent() const;

  // The marker around an object found from the journal or a report: a red
  // ellipse, 5 pixels wide, over everything; clicks go through it.
  static constexpr int kMarkerPen = 5;
  void ShowMarker(const QRectF& mapRect);
  void HideMarker();
  bool MarkerShown() const { return !marker_.isNull(); }
  QRectF Marker() const { return marker_; }

  // The topmost object or text under a point of the view, if any.
  TObjectItem* ObjectAt(QPoint viewPoint) const;
  TTextItem* TextAt(QPoint viewPoint) const;

 signals:
  // The zoom or the fit was chosen (by a command or the wheel).
  void Zoomed();
  // The map moved in the view: zoomed, scrolled, or the view resized.
  void Moved();
  // A mouse button pressed on an object's picture (a double click presses twice).
  void ObjectPressed(int object, Qt::MouseButton button);
  // A mouse button pressed on a text with an action.
  void TextPressed(int text, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  // The mouse moved over a text with an action (its number), or over the bare
  // map (-1); over anything else nothing is said.
  void Hovered(int text);

 protected:
  bool viewportEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void drawForeground(QPainter* painter, const QRectF& rect) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  QGraphicsItem* ItemAt(QPoint viewPoint) const;
  void Press(QMouseEvent* event);
  void ChangeZoom(double zoom, QPoint anchor);
  double FitZoom() const;
  QRectF MarkerArea() const;

  TMapScene* scene_;
  std::function<void(TMapScene&)> fill_;
  bool filled_ = false;
  double zoom_ = 1.0;
  bool fitting_ = false;
  bool byDefault_ = false;  // the fit of ZoomByDefault
  QRectF marker_;
};

// The zoom one step up or down from `zoom` (10 % … 400 %).
double NextZoomStep(double zoom, bool up);

}  // namespace vertamo::ui

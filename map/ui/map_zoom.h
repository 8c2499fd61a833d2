// The zoom and the scrolling of one map tab.
//
// Everything on a map is placed in pixels of its background, and every piece
// of code that places something on a tab keeps doing so: TMapZoom watches the
// tab's children and keeps, for each, the geometry and the font it was given
// in map pixels. What the tab shows is that record scaled by the zoom and
// shifted by the scroll position, so a zoom is exact and reversible, and the
// mouse and the hints reach the same widgets at any zoom. A child that leaves
// the tab gets its map geometry and font back.
//
// Scroll bars appear when the map (its background and everything placed on
// it) is larger than the tab. "Fit" keeps the whole map in the tab as the tab
// changes size. Ctrl and the mouse wheel over the map zoom around the mouse;
// the wheel alone scrolls.
#pragma once

#include <QFont>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>

class QScrollBar;
class QWheelEvent;
class QWidget;

namespace vertamo::ui {

// A widget that draws itself at the map's zoom (pictures or fonts of its own
// that the tab cannot scale for it).
class IMapZoomable {
 public:
  virtual ~IMapZoomable() = default;
  virtual void SetZoom(double zoom) = 0;
};

class TMapZoom : public QObject {
  Q_OBJECT

 public:
  // A child of the tab that is not part of the map (a notice over it) sets
  // this property to true before it is first shown: it keeps its own place,
  // unscaled and unscrolled.
  static constexpr const char* kOverMap = "vertamoOverMap";
  static constexpr double kMinZoom = 0.1;
  static constexpr double kMaxZoom = 4.0;

  // Watches `page` and its children; owned by the page.
  explicit TMapZoom(QWidget* page);

  // The background drawn by the page itself (not a placed child), and the size
  // of its picture in map pixels.
  void SetBackground(QWidget* background, QSize pictureSize);

  double Zoom() const { return zoom_; }
  bool Fitting() const { return fitting_; }
  // The scroll position: the page pixel of the map's top-left corner is -Offset().
  QPoint Offset() const { return offset_; }

  // The dispatcher's commands; each reports Zoomed.
  void SetZoom(double zoom);  // a fixed zoom (1 = 100 %), fit ends
  void FitToWindow();         // the whole map in the tab, kept so as the tab resizes
  // A map that has no zoom of the dispatcher's yet: fitted while it does not
  // fit at 100 %, at 100 % otherwise, as the tab resizes; not reported as a
  // choice (no Zoomed), and ended by any command.
  void FitIfLarger();
  void ZoomIn();
  void ZoomOut();
  // Zooms keeping the map point under `anchor` (page pixels) where it is.
  void ZoomAround(double zoom, QPoint anchor);

  // Scrolls so that `mapRect` is in view, when it is not already.
  void EnsureVisible(const QRect& mapRect);

  // Map pixels and page pixels.
  QPoint ToPage(QPoint mapPoint) const;
  QPointF ToMap(QPoint pagePoint) const;
  // The geometry a child of the page was given in map pixels (its geometry
  // for a widget that is not on a zoomed page).
  QRect MapGeometry(const QWidget* child) const;
  // The size of the map in map pixels: its background and what is placed on it.
  QSize Extent() const;
  // The area of the page not covered by the scroll bars.
  QSize ViewSize() const;

  QScrollBar* HorizontalBar() const { return hbar_; }
  QScrollBar* VerticalBar() const { return vbar_; }

  // Children laid out again since the page was made (for measurements).
  long long Placements() const { return placements_; }

 signals:
  // The zoom or the fit was chosen (by a command or the wheel).
  void Zoomed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TRecord {
    bool adopted = false;
    bool fitted = false;  // a label sized to its text: its size follows the scaled font
    bool fontScaled = false;
    QRect map;
    QRect applied;
    QFont base;
  };

  bool IsPlaced(const QObject* child) const;
  void Adopt(QWidget* child, TRecord& record);
  void Apply(QWidget* child, TRecord& record);
  void ApplyAll();
  void Release(QWidget* child);
  void ChangeZoom(double zoom, QPoint anchor);
  void Rezoom(double zoom, QPoint anchor);
  double FitZoom() const;
  QRect ScaledContent() const;
  void UpdateBars();
  void RaiseBars();
  void ScheduleUpdate();
  void SetOffset(QPoint offset);
  bool Wheel(QWidget* source, QWheelEvent* event);
  QRect Scaled(const QRect& map) const;

  QWidget* page_;
  QPointer<QWidget> background_;
  QSize picture_;
  QScrollBar* hbar_;
  QScrollBar* vbar_;
  QHash<const QObject*, TRecord> records_;
  double zoom_ = 1.0;
  bool fitting_ = false;
  bool fitAt100AtMost_ = false;  // the fit of FitIfLarger
  QPoint offset_;
  bool applying_ = false;
  bool updatePosted_ = false;
  long long placements_ = 0;
};

// The zoom of a map tab (nullptr for any other widget).
TMapZoom* ZoomOf(const QWidget* page);
// A widget's geometry in map pixels (on a map tab or not).
QRect MapGeometry(const QWidget* widget);

// The zoom one step up or down from `zoom` (10 % … 400 %).
double NextZoomStep(double zoom, bool up);

}  // namespace vertamo::ui

// The map view: one tab page per map with its background picture, a picture
// widget (TMapPict) per map object, and a label per map text. Everything is
// placed in absolute pixels of the background; the page's TMapZoom shows it
// zoomed and scrolled.
//
// The main window builds it after every complete download (BuildMaps) and
// frees it with the model (ClearMaps): a map's tab owns every control on it,
// and freeing the map frees the tab.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QTabWidget>
#include <QWidget>
#include <functional>
#include <string_view>

#include "map/map_model.h"
#include "map/ui/map_pict.h"
#include "map/ui/map_zoom.h"

namespace vertamo::ui {

// The background image of a map: the picture from the tab's top-left corner at
// the tab's zoom and scroll position, below everything else on the tab. The mouse passes through it to the
// tab.
//
// It shows the map's own bitmap: an opaque picture is drawn straight from the
// model's pixels (no copy), a transparent one is converted once, when the tab
// is first painted. The map frees its tab before its picture, so the pixels
// outlive the image.
class TMapImage : public QWidget {
  Q_OBJECT

 public:
  TMapImage(const TBitmap* picture, QWidget* tab);
  // What the image shows (made on first use).
  const QImage& Picture();
  // The picture's size in map pixels (empty without a picture).
  QSize PictureSize() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const TBitmap* source_;
  QImage picture_;
  bool made_ = false;
};

// The tab page of a map.
class TMapPage : public QWidget {
  Q_OBJECT

 public:
  // The page beyond the map's edges.
  static constexpr QRgb kBeyondMapColor = 0xFFC0C0C0;

  explicit TMapPage(QWidget* parent = nullptr);
  TMapImage* Image() const { return image_; }
  void SetImage(TMapImage* image);
  // The zoom and scroll position of the map.
  TMapZoom* Zoom() const { return zoom_; }

  // Bound by the main window: the mouse moved over the tab or its background.
  std::function<void()> OnMouseMove;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPointer<TMapImage> image_;
  TMapZoom* zoom_;
};

// The map's side of its tab: freeing it frees the page and everything on it.
class TMapTab final : public IMapTab {
 public:
  explicit TMapTab(TMapPage* page) : page_(page) {}
  ~TMapTab() override;
  TMapPage* Page() const { return page_; }

 private:
  QPointer<TMapPage> page_;
};

// The label of a map text. Highlighting swaps its background and font colours.
class TMapTextLabel : public QLabel, public ITextLabel {
  Q_OBJECT

 public:
  explicit TMapTextLabel(QWidget* owner);
  void SwapColours() override;

  QColor BackgroundColor() const { return palette().color(QPalette::Window); }
  QColor FontColor() const { return palette().color(QPalette::WindowText); }

  // Bound (or not) by CreateTextLabel: a mouse button pressed on the text, and
  // the mouse moved over it.
  std::function<void(TMapTextLabel* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)>
      OnMouseDown;
  std::function<void(TMapTextLabel* sender)> OnMouseMove;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
};

// The mouse handlers of the main window that the map texts are bound to.
struct TTextLabelHandlers {
  std::function<void(TMapTextLabel*, Qt::MouseButton, Qt::KeyboardModifiers)> mouseDown;
  std::function<void(TMapTextLabel*)> mouseMove;
};

// The page of a map (nullptr before CreateMapPage, or when it is gone).
TMapPage* PageOf(const MAP& map);

// Creates the map's tab page as the last tab of `pageControl`, caption = the
// map's name, and, when the map has a background picture, its image.
TMapPage* CreateMapPage(MAP& map, QTabWidget* pageControl);

// Creates the object's picture widget owned by `tab`, links it to the object
// (the object's Widget) and gives it the object's hint. The caller shows it.
TMapPict* CreateMapPict(MAPOBJECT& object, QWidget* tab, TPictureCache* cache);

// The tool-tip text of a hint (code page 1251, line feeds kept as line breaks;
// never read as markup). Empty for an empty hint.
QString HintToolTip(std::string_view hint);

// Whether a map text's label gets the mouse handlers. The handlers act on
// Action (highlight for any action, a map switch for action 1), so the labels
// of texts with an action are bound, whatever their AParam (0 links to the
// first map).
bool TextLabelIsBound(const MAPTEXT& text);

// For every tab page p of `pageControl` in page order, the labels of the texts
// of `texts` whose MapIndex is p, in list order.
void CreateTextLabels(MAPTEXT_LIST& texts, QTabWidget* pageControl, const TTextLabelHandlers& handlers);
// The label of one text on `tab` (nothing for a text that is not visible).
TMapTextLabel* CreateTextLabel(MAPTEXT& text, QWidget* tab, const TTextLabelHandlers& handlers);

// The first text of the list whose label is `label`; nullptr otherwise.
MAPTEXT* FindByLabel(MAPTEXT_LIST& texts, const QObject* label);

}  // namespace vertamo::ui

// TMapPict: the picture widget of one map object. It shows the picture of the
// object's current state from the object's picture set, and a caption below
// it: a plain label, or a bordered caption box for objects of type 1.
//
// The pictures of a set are converted to Qt pixmaps once, on first use, and
// kept in a TPictureCache that every widget of the maps shares; a paint only
// draws the cached pixmap.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <unordered_map>
#include <vector>

#include "map/map_records.h"
#include "map/picture_set.h"

namespace vertamo::ui {

// A picture of the model as a Qt image (ARGB32, the same pixels). With
// `transparent`, every pixel of the colour of the bottom-left pixel becomes
// fully transparent, as a transparent bitmap shows the map through it.
QImage ToQImage(const Image& image, bool transparent = false);

// The Qt pixmaps of the picture sets, one per picture, converted on first use.
// The cache knows the sets by their address: it must be cleared whenever the
// model's picture sets are freed (the main window does so with the maps).
class TPictureCache {
 public:
  // Picture `index` of `set`, ready to draw (masked pictures with their
  // transparent pixels); nullptr when the set has no such picture.
  const QPixmap* Get(const TPictureSet* set, int index);
  void Clear() { sets_.clear(); }
  // Pictures converted since the cache was made (for measurements).
  long long Conversions() const { return conversions_; }

 private:
  std::unordered_map<const TPictureSet*, std::vector<QPixmap>> sets_;
  long long conversions_ = 0;
};

class TMapPict : public QWidget, public IObjectView {
  Q_OBJECT

 public:
  static constexpr int kDefaultSize = 16;  // an object without a picture set
  static constexpr int kTopShift = 2;      // the widget sits 2 pixels above the server's Y

  // A plain graphic control owned by its tab page (`owner`); the pictures come
  // from `cache`, which outlives the widget.
  TMapPict(QWidget* owner, TPictureCache* cache);
  ~TMapPict() override;

  // Moves onto `parent`, brought to the front and shown; the caption controls
  // that exist follow it onto the same parent, above the picture.
  void Show(QWidget* parent);
  // Links the object and lays the widget and its caption out.
  void SetMapObject(MAPOBJECT* object);
  // Caption text and background colour from the object, after a change of
  // its caption or caption colour. The transparency stays as it was.
  void UpdateLabel();
  MAPOBJECT* GetMapObject() const { return object_; }

  // The caption controls, nullptr until first used.
  QLabel* CaptionLabel() const { return label_; }  // objects of any type but 1
  QLabel* CaptionBox() const { return box_; }      // objects of type 1 (single-line border)

  // Bound by the main window: any mouse button pressed on the picture.
  std::function<void(TMapPict* sender, Qt::MouseButton button)> OnMouseDown;

  // Paints since creation (for tests and measurements).
  long long PaintCount() const { return paints_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QLabel* MakeCaption(bool boxed);
  static void FitCaption(QLabel* caption);
  QString CaptionText() const;

  TPictureCache* cache_;
  MAPOBJECT* object_ = nullptr;
  QPointer<QLabel> label_;
  QPointer<QLabel> box_;
  long long paints_ = 0;
};

}  // namespace vertamo::ui

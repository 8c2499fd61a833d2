#include "map/ui/map_pict.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "uikit/qt_text.h"
#include "uikit/win_color.h"

namespace vertamo::ui {

QImage ToQImage(const Image& image, bool transparent) {
  const auto pixels = static_cast<std::size_t>(image.width > 0 ? image.width : 0) *
                      static_cast<std::size_t>(image.height > 0 ? image.height : 0);
  if (pixels == 0 || image.argb.size() < pixels) return {};
  QImage out(image.width, image.height, QImage::Format_ARGB32);
  if (out.isNull()) return {};
  for (int y = 0; y < image.height; ++y) {
    const uint32_t* from =
        image.argb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
    std::copy(from, from + image.width, reinterpret_cast<uint32_t*>(out.scanLine(y)));
  }
  if (transparent) {
    const uint32_t key = image.argb[static_cast<std::size_t>(image.height - 1) * image.width] & 0x00FFFFFFu;
    for (int y = 0; y < image.height; ++y) {
      auto* line = reinterpret_cast<uint32_t*>(out.scanLine(y));
      for (int x = 0; x < image.width; ++x)
        if ((line[x] & 0x00FFFFFFu) == key) line[x] = 0;
    }
  }
  return out;
}

const QPixmap* TPictureCache::Get(const TPictureSet* set, int index) {
  if (!set || index < 0 || index >= set->Count()) return nullptr;
  std::vector<QPixmap>& pixmaps = sets_[set];
  if (pixmaps.size() < static_cast<std::size_t>(set->Count()))
    pixmaps.resize(static_cast<std::size_t>(set->Count()));
  QPixmap& pixmap = pixmaps[static_cast<std::size_t>(index)];
  if (pixmap.isNull()) {
    const TSetPicture* picture = set->Get(index);
    const QImage image = ToQImage(picture->Masked ? picture->Drawable() : picture->Pixels);
    if (image.isNull()) return nullptr;
    pixmap = QPixmap::fromImage(image);
    ++conversions_;
  }
  return &pixmap;
}

TMapPict::TMapPict(QWidget* owner, TPictureCache* cache) : QWidget(owner), cache_(cache) {
  setObjectName(QStringLiteral("MapPict"));
  // Moving the mouse over a picture must not reach the tab below it (the tab
  // would take the highlight off the current map text).
  setAttribute(Qt::WA_NoMousePropagation);
  resize(kDefaultSize, kDefaultSize);
}

TMapPict::~TMapPict() {
  // The captions belong to the parent once shown; a widget that was never
  // shown takes its parentless captions with it.
  for (QLabel* caption : {label_.data(), box_.data()})
    if (caption && !caption->parentWidget()) delete caption;
}

void TMapPict::Show(QWidget* parent) {
  if (parentWidget() != parent) setParent(parent);
  raise();
  show();
  for (QLabel* caption : {label_.data(), box_.data()}) {
    if (!caption) continue;
    if (caption->parentWidget() != parent) {
      caption->setParent(parent);
      FitCaption(caption);  // in the font of its new parent
    }
    caption->raise();
    caption->show();
  }
}

QString TMapPict::CaptionText() const {
  if (!object_) return {};
  return FromCp1251(object_->Caption.empty() ? object_->Name.str() : object_->Caption.str());
}

QLabel* TMapPict::MakeCaption(bool boxed) {
  // It goes where the picture goes: made on the picture's tab already (hidden
  // until Show), so that Show need not move it.
  auto* caption = new QLabel(parentWidget());
  caption->hide();
  caption->setObjectName(boxed ? QStringLiteral("CaptionBox") : QStringLiteral("CaptionLabel"));
  caption->setTextFormat(Qt::PlainText);
  caption->setAttribute(Qt::WA_NoMousePropagation);
  if (boxed) {
    caption->setFrameShape(QFrame::Box);
    caption->setFrameShadow(QFrame::Plain);
    caption->setLineWidth(1);
  }
  return caption;
}

// The caption sizes itself to its text in the font of its parent (a caption
// without a parent yet is sized again by Show).
void TMapPict::FitCaption(QLabel* caption) {
  if (caption->parentWidget()) caption->adjustSize();
}

void TMapPict::SetMapObject(MAPOBJECT* object) {
  object_ = object;
  if (!object_) return;
  // The widget sits at the server's X and 2 pixels above its Y, as large as
  // the set's pictures (16 x 16 without a set).
  const TPictureSet* set = object_->Pictures;
  const int width = set ? set->Width() : kDefaultSize;
  const int height = set ? set->Height() : kDefaultSize;
  setGeometry(object_->X, object_->Y - kTopShift, width, height);
  // An object without a visible caption gets no caption control.
  if (!object_->CapVisible) return;
  // A bordered box for type 1, a plain label for any other type.
  QPointer<QLabel>& slot = object_->Type == 1 ? box_ : label_;
  if (!slot) slot = MakeCaption(object_->Type == 1);
  QLabel* caption = slot;
  // Below the picture, shifted by CX and CY.
  caption->move(object_->CX + x(), object_->CY + y() + (set ? set->Height() : 0));
  // Transparent, or opaque in the caption colour.
  QPalette palette = caption->palette();
  palette.setColor(QPalette::Window, WinColorToQColor(object_->CapColor));
  caption->setPalette(palette);
  caption->setAutoFillBackground(!object_->CapTransparent);
  // The caption, or the name when the caption is empty.
  caption->setText(CaptionText());
  FitCaption(caption);
}

void TMapPict::UpdateLabel() {
  if (!object_) return;
  for (QLabel* caption : {label_.data(), box_.data()}) {
    if (!caption) continue;
    caption->setText(CaptionText());
    QPalette palette = caption->palette();
    palette.setColor(QPalette::Window, WinColorToQColor(object_->CapColor));
    caption->setPalette(palette);
    FitCaption(caption);
  }
}

void TMapPict::paintEvent(QPaintEvent* event) {
  ++paints_;
  if (!object_ || !object_->Pictures || !cache_) return;
  const QPixmap* pixmap = cache_->Get(object_->Pictures, object_->Idx);
  if (!pixmap) return;  // a state outside the set paints nothing
  QPainter painter(this);
  // Smooth on a zoomed map and on a scaled desktop alike.
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (pixmap->size() != size()) {
    // On a zoomed map the picture fills the widget.
    painter.drawPixmap(rect(), *pixmap);
    return;
  }
  const QRect area = event->rect();
  painter.drawPixmap(area, *pixmap, area);
}

void TMapPict::mousePressEvent(QMouseEvent* event) {
  event->accept();
  // A copy runs: a handler that ends up freeing this widget (a new load while
  // it waits) must not free the very function that is running.
  if (const auto handler = OnMouseDown) handler(this, event->button());
}

}  // namespace vertamo::ui

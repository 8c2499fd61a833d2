#include "map/ui/map_items.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "uikit/qt_text.h"
#include "uikit/win_color.h"

namespace vertamo::ui {
namespace {

constexpr qreal kBoxLine = 1;  // the border of a boxed caption

Qt::Alignment HorizontalAlignment(uint8_t alignment) {
  switch (alignment) {
    case 1:
      return Qt::AlignRight;
    case 2:
      return Qt::AlignHCenter;
    default:
      // 0, and every value a label does not know (the stored default 3 among
      // them): left.
      return Qt::AlignLeft;
  }
}

Qt::Alignment VerticalAlignment(uint8_t layout) {
  switch (layout) {
    case 1:
      return Qt::AlignVCenter;
    case 2:
      return Qt::AlignBottom;
    default:
      return Qt::AlignTop;
  }
}

QFont TextFont(const MAPTEXT& text, QFont font) {
  font.setFamily(FromCp1251(text.FontName.str()));
  if (text.FontSize > 0)
    font.setPointSize(text.FontSize);
  else if (text.FontSize < 0)
    font.setPixelSize(-text.FontSize);  // a negative size is a height in pixels
  if (text.HasFlag(kTextBold)) font.setBold(true);
  if (text.HasFlag(kTextItalic)) font.setItalic(true);
  if (text.HasFlag(kTextUnderline)) font.setUnderline(true);
  if (text.HasFlag(kTextStrikeOut)) font.setStrikeOut(true);
  // The character set needs nothing here: the text is already Unicode.
  if (text.Pitch == 1) font.setFixedPitch(false);
  if (text.Pitch == 2) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
  }
  return font;
}

}  // namespace

QString HintToolTip(std::string_view hint) {
  if (hint.empty()) return {};
  // Rich text on purpose: a hint is shown exactly as sent (a "<" is a "<"), its
  // line feeds break the lines and nothing else does.
  return QStringLiteral("<p style='white-space:pre'>") + FromCp1251(hint).toHtmlEscaped() +
         QStringLiteral("</p>");
}

// --- captions ------------------------------------------------------------------

TCaptionItem::TCaptionItem(QGraphicsItem* object, const QFont& font) : QGraphicsItem(object), font_(font) {}

void TCaptionItem::Refresh(const MAPOBJECT& record) {
  prepareGeometryChange();
  boxed_ = record.Type == 1;
  text_ = FromCp1251(record.Caption.empty() ? record.Name.str() : record.Caption.str());
  fill_ = record.CapTransparent ? QColor() : WinColorToQColor(record.CapColor);
  const QSizeF text = QFontMetricsF(font_).size(0, text_);
  const qreal border = boxed_ ? 2 * kBoxLine : 0;
  size_ = QSizeF(std::ceil(text.width()) + border, std::ceil(text.height()) + border);
  laidOut_.setTextFormat(Qt::PlainText);
  laidOut_.setText(text_);
  update();
}

void TCaptionItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  const QRectF area = boundingRect();
  if (fill_.isValid()) painter->fillRect(area, fill_);
  painter->setPen(Qt::black);
  if (boxed_) painter->drawRect(area.adjusted(kBoxLine / 2, kBoxLine / 2, -kBoxLine / 2, -kBoxLine / 2));
  painter->setFont(font_);
  // At the left, in the middle of the height.
  const qreal inset = boxed_ ? kBoxLine : 0;
  painter->drawStaticText(QPointF(inset, inset + (area.height() - 2 * inset - laidOut_.size().height()) / 2),
                          laidOut_);
}

// --- objects -------------------------------------------------------------------

TObjectItem::TObjectItem(const MAPOBJECT& record, int number, TPictureCache& cache, const QFont& font)
    : record_(record), number_(number), cache_(cache) {
  // At the server's X and 2 pixels above its Y, as large as the set's
  // pictures (16 x 16 without a set).
  const TPictureSet* set = record.Pictures;
  size_ = set ? QSizeF(set->Width(), set->Height()) : QSizeF(kDefaultSize, kDefaultSize);
  setPos(record.X, record.Y - kTopShift);
  // An object without a visible caption gets no caption at all; one that has
  // it sits below the picture, shifted by CX and CY.
  if (!record.CapVisible) return;
  caption_ = new TCaptionItem(this, font);
  caption_->setPos(record.CX, record.CY + (set ? set->Height() : 0));
  caption_->Refresh(record);
}

void TObjectItem::Refresh() {
  if (caption_) caption_->Refresh(record_);
  update();
}

void TObjectItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  const QTransform world = painter->worldTransform();
  if (world.type() == QTransform::TxScale && qFuzzyCompare(world.m11(), world.m22())) {
    // A zoomed map: the picture already at the zoom, put on whole device
    // pixels, is copied rather than filtered again.
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const QPixmap* scaled = cache_.Scaled(record_.Pictures, record_.Idx, world.m11(), ratio);
    if (!scaled) return;  // a state outside the set paints nothing
    const QPointF at = world.map(QPointF(0, 0));
    painter->setWorldTransform(QTransform());
    painter->drawPixmap(QPointF(std::round(at.x() * ratio) / ratio, std::round(at.y() * ratio) / ratio), *scaled);
    painter->setWorldTransform(world);
    return;
  }
  const QPixmap* pixmap = cache_.Get(record_.Pictures, record_.Idx);
  if (!pixmap) return;  // a state outside the set paints nothing
  painter->drawPixmap(QPointF(0, 0), *pixmap);
}

// --- texts ---------------------------------------------------------------------

TTextItem::TTextItem(const MAPTEXT& record, int number, const QFont& base, const QPalette& palette)
    : record_(record), number_(number), font_(TextFont(record, base)), text_(FromCp1251(record.Caption.str())) {
  background_ = WinColorToQColor(record.Color, palette);
  foreground_ = WinColorToQColor(record.FontColor, palette);
  flags_ = int(HorizontalAlignment(record.Alignment) | VerticalAlignment(record.Layout));
  if (record.HasFlag(kTextWordWrap)) flags_ |= Qt::TextWordWrap;
  // Four pixels above the server's Y, W x H; an auto-sized text fits its
  // words, keeping its width when it wraps.
  setPos(record.X, record.Y - kTopShift);
  size_ = QSizeF(std::max(0, record.W), std::max(0, record.H));
  if (record.HasFlag(kTextAutoSize)) {
    const QFontMetricsF metrics(font_);
    if (record.HasFlag(kTextWordWrap) && record.W > 0)
      size_.setHeight(std::ceil(metrics.boundingRect(QRectF(0, 0, record.W, 1e6), flags_, text_).height()));
    else
      size_ = metrics.size(0, text_);
    size_ = QSizeF(std::ceil(size_.width()), std::ceil(size_.height()));
  }
}

QColor TTextItem::BackgroundColor() const { return record_.Highlighted ? foreground_ : background_; }
QColor TTextItem::FontColor() const { return record_.Highlighted ? background_ : foreground_; }

void TTextItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  const QRectF area = boundingRect();
  if (!record_.HasFlag(kTextTransparent)) painter->fillRect(area, BackgroundColor());
  painter->setFont(font_);
  painter->setPen(FontColor());
  painter->drawText(area, flags_, text_);
}

}  // namespace vertamo::ui

// The items of a map's scene, placed in pixels of the map's background: one
// per object (its picture), one per visible caption (a child of its object, so
// it is drawn above it), one per visible text.
//
// Items read their record when they paint: a change of an object's state is
// the record's setter and an update of one item. The records outlive the
// items (the maps' scenes go before the model is cleared).
#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QStaticText>
#include <QPalette>
#include <QSizeF>
#include <QString>
#include <string_view>

#include "map/map_records.h"
#include "map/ui/picture_cache.h"

namespace vertamo::ui {

// The tool-tip text of a hint (code page 1251, line feeds kept as line breaks;
// never read as markup). Empty for an empty hint.
QString HintToolTip(std::string_view hint);

// The caption of an object: a plain label, or a box with a single-line border
// for objects of type 1; sized to its text in the map's font.
class TCaptionItem final : public QGraphicsItem {
 public:
  enum { Type = UserType + 3 };
  TCaptionItem(QGraphicsItem* object, const QFont& font);

  // Text, colours and size from the record (after a change of its caption or
  // caption colour too).
  void Refresh(const MAPOBJECT& record);
  const QString& Text() const { return text_; }
  bool Boxed() const { return boxed_; }
  // The fill, or an invalid colour when the caption is transparent.
  QColor Fill() const { return fill_; }

  int type() const override { return Type; }
  QRectF boundingRect() const override { return QRectF(QPointF(0, 0), size_); }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  QFont font_;
  QString text_;
  // The text laid out at its first paint (about 400 bytes a caption): a
  // repaint around a changed object draws the captions nearby without
  // shaping their words again, which cost as much as the rest of it.
  QStaticText laidOut_;
  QColor fill_;
  QSizeF size_;
  bool boxed_ = false;
};

class TObjectItem final : public QGraphicsItem {
 public:
  enum { Type = UserType + 1 };
  static constexpr int kDefaultSize = 16;  // an object without a picture set
  static constexpr int kTopShift = 2;      // the picture sits 2 pixels above the server's Y

  // Object number `number` of the model, drawn from `cache`; both outlive the item.
  TObjectItem(const MAPOBJECT& record, int number, TPictureCache& cache, const QFont& font);

  int Number() const { return number_; }
  const MAPOBJECT& Record() const { return record_; }
  // The caption, nullptr when the object shows none.
  TCaptionItem* Caption() const { return caption_; }
  // After the record changed: the picture of its state, its caption.
  void Refresh();

  int type() const override { return Type; }
  QRectF boundingRect() const override { return QRectF(QPointF(0, 0), size_); }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  const MAPOBJECT& record_;
  int number_;
  TPictureCache& cache_;
  QSizeF size_;
  TCaptionItem* caption_ = nullptr;
};

// A free text of the map. A text with an action lights up under the mouse
// (its background and font colours swap, MAPTEXT::Highlighted).
class TTextItem final : public QGraphicsItem {
 public:
  enum { Type = UserType + 2 };
  static constexpr int kTopShift = 4;  // a text sits 4 pixels above the server's Y

  TTextItem(const MAPTEXT& record, int number, const QFont& base, const QPalette& palette);

  int Number() const { return number_; }
  const MAPTEXT& Record() const { return record_; }
  // Whether the mouse acts on it: texts with an action (whatever their AParam).
  bool Bound() const { return record_.Action != 0; }
  const QFont& Font() const { return font_; }
  const QString& Text() const { return text_; }
  // As drawn now (swapped while lit).
  QColor BackgroundColor() const;
  QColor FontColor() const;

  int type() const override { return Type; }
  QRectF boundingRect() const override { return QRectF(QPointF(0, 0), size_); }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  const MAPTEXT& record_;
  int number_;
  QFont font_;
  QString text_;
  QColor background_, foreground_;
  int flags_ = 0;
  QSizeF size_;
};

}  // namespace vertamo::ui

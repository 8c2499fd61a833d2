#include "map/ui/valind.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "uikit/fill_shaded.h"
#include "uikit/win_color.h"

namespace vertamo::ui {

namespace {

constexpr int kWhite = 0xFFFFFF;
constexpr int kBlack = 0x000000;
constexpr int kGreen = 0x00FF00;
constexpr int kRed = 0x0000FF;
constexpr int kYellow = 0x00FFFF;
constexpr int kMinShrinkSize = 6;   // shrinking stops below this size, so 5 is the smallest
constexpr int kMaxGrowSize = 1000;  // a font whose width does not grow must not hang the paint

}  // namespace

TValInd::TValInd(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(10, 10, 200, 135);
  font_ = font();
  font_.setPointSize(kBaseFontSize);
  hide();
}

void TValInd::SetType(int type) {
  switch (type) {
    case 0:
      background_ = kWhite;
      textColor_ = kBlack;
      break;
    case 1:
      background_ = kBlack;
      textColor_ = kRed;  // green while the value is 0, see NumberColor
      caption_ = QStringLiteral("Неисправно лифтов");
      break;
    case 2:
      background_ = kYellow;
      textColor_ = kRed;
      caption_ = QStringLiteral("Срабатываний шлейфов");
      break;
    case 3:
      background_ = kRed;
      textColor_ = kBlack;
      caption_ = QStringLiteral("Неисправно ПУ");
      break;
    default:
      return;
  }
  type_ = type;
  update();
}

void TValInd::SetZoom(double zoom) {
  const int size = std::max(1, static_cast<int>(std::lround(kBaseFontSize * zoom)));
  if (font_.pointSize() == size) return;
  font_.setPointSize(size);
  update();
}

void TValInd::SetCaptionText(const QString& caption) { caption_ = caption.left(kCaptionCapacity); }

void TValInd::SetFontName(const QString& name) {
  if (font_.family() == name) return;
  font_.setFamily(name);
  update();
}

void TValInd::SetValue(int value) {
  if (value == value_) return;
  value_ = value;
  update();
}

int TValInd::NumberColor() const {
  if (type_ == 1) return value_ == 0 ? kGreen : kRed;
  return textColor_;
}

QString TValInd::NumberText() const { return value_ < 0 ? QStringLiteral("?") : QString::number(value_); }

TValInd::TLayout TValInd::ComputeLayout() const {
  TLayout layout;
  const int w = width();
  QFont f = font_;
  auto metrics = [&](int size) {
    f.setPointSize(size);
    return QFontMetrics(f, this);
  };
  // Caption: the font shrinks until the caption fits.
  int size = font_.pointSize();
  QFontMetrics fm = metrics(size);
  while (fm.horizontalAdvance(caption_) > w - 2 && size >= kMinShrinkSize) fm = metrics(--size);
  layout.captionSize = size;
  layout.captionHeight = fm.height();

  // Number: as large as the width allows, then small enough for the height left.
  const QString number = NumberText();
  const int heightLeft = height() - layout.captionHeight - 4;
  size = font_.pointSize();
  fm = metrics(size);
  // Growing also stops once the text is taller than the room left: the height
  // step below would take every larger size back anyway.
  while (fm.horizontalAdvance(number) < w - 2 && fm.height() <= heightLeft && size < kMaxGrowSize)
    fm = metrics(++size);
  while (fm.horizontalAdvance(number) > w - 2 && size >= kMinShrinkSize) fm = metrics(--size);
  while (fm.height() > heightLeft && size >= kMinShrinkSize) fm = metrics(--size);
  layout.numberSize = size;
  return layout;
}

void TValInd::paintEvent(QPaintEvent*) {
  if (!isVisible() || !parentWidget()) return;
  const int w = width();
  const int h = height();
  const TLayout layout = ComputeLayout();
  QPainter p(this);

  // Box.
  p.setPen(Qt::black);
  p.setBrush(WinColorToQColor(background_));
  p.drawRect(0, 0, w - 1, h - 1);

  // Caption band, shaded from white, and the caption centred on it.
  QFont f = font_;
  f.setPointSize(layout.captionSize);
  p.setFont(f);
  FillShaded(p, QRect(QPoint(1, 1), QPoint(w - 2, layout.captionHeight + 1)), Qt::white);
  p.setPen(Qt::black);
  p.drawText(QPoint((w - p.fontMetrics().horizontalAdvance(caption_)) / 2, 1 + p.fontMetrics().ascent()),
             caption_);

  // Number.
  const QString number = NumberText();
  f.setPointSize(layout.numberSize);
  p.setFont(f);
  p.setPen(WinColorToQColor(NumberColor()));
  p.drawText(QPoint((w - p.fontMetrics().horizontalAdvance(number)) / 2,
                    layout.captionHeight + 4 + p.fontMetrics().ascent()),
             number);
}

void TValInd::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit DblClick();
  QWidget::mouseDoubleClickEvent(event);
}

}  // namespace vertamo::ui

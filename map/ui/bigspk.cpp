#include "map/ui/bigspk.h"

#include <QPainter>

#include "uikit/artwork.h"

namespace vertamo::ui {

TBigSpk::TBigSpk(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("BigSpk"));
  resize(130, 130);
  for (int i = 0; i < 3; ++i)
    pictures_[static_cast<size_t>(i)] = LoadArtwork(QStringLiteral("BITMAP0%1").arg(i));
  timer_.setObjectName(QStringLiteral("BigSpkTimer"));
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &TBigSpk::TimerTick);
  timer_.start();
  SetCallState(0);
  hide();
}

void TBigSpk::SetCallState(int call) {
  callState_ = call;
  setToolTip(call != 0 ? QStringLiteral("Вызов диспетчера: идёт вызов (символ мигает)")
                       : QStringLiteral("Вызов диспетчера: вызовов нет"));
}

void TBigSpk::SetPicture(int index) {
  if (index < 0 || index > 2 || index == current_) return;
  current_ = index;
  update();
}

void TBigSpk::TimerTick() {
  if (callState_ != 0) {
    ++ticks_;
    SetPicture(1 + ticks_ % 2);
  } else {
    ticks_ = 0;
    SetPicture(0);
  }
}

void TBigSpk::SetZoom(double zoom) {
  if (zoom_ == zoom) return;
  zoom_ = zoom;
  update();
}

void TBigSpk::paintEvent(QPaintEvent*) {
  if (current_ < 0) return;
  const QImage& picture = pictures_[static_cast<size_t>(current_)];
  if (picture.isNull()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);  // scaled, or on a scaled desktop
  if (zoom_ != 1.0) p.scale(zoom_, zoom_);
  p.drawImage(0, 0, picture);
}

}  // namespace vertamo::ui

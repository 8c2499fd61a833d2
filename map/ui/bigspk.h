// TBigSpk: the speaker symbol on the map; it blinks while the server reports a call.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <array>

namespace vertamo::ui {

class TBigSpk : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 1000;

  // Named "BigSpk", 130 x 130, hidden; no picture shown until SetPicture.
  explicit TBigSpk(QWidget* parent = nullptr);

  // 0 idle, 1 and 2 the blink frames; shown at once when it is not the current one.
  void SetPicture(int index);
  int CurrentIndex() const { return current_; }

  // The CALL value of the server's "SPEAKER" lines; not 0 makes the symbol
  // blink from the next tick on.
  // The tip says which of the two it shows.
  void SetCallState(int call);
  int CallState() const { return callState_; }
  // On a map shown smaller than designed the pictures are drawn at its scale.
  void SetZoom(double zoom);


  const QImage& Picture(int index) const { return pictures_.at(static_cast<size_t>(index)); }
  QTimer& Timer() { return timer_; }

 public slots:
  // Every second: while a call is on, picture 2, 1, 2, ...; otherwise picture 0.
  void TimerTick();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<QImage, 3> pictures_;
  int current_ = -1;
  int callState_ = 0;
  int ticks_ = 0;
  double zoom_ = 1.0;
  QTimer timer_;
};

}  // namespace vertamo::ui

// The level meters of the voice window: the 17-segment audio indicator and
// the bar / needle gauge. Both show the 8-bit voice level of the gateway line.
#pragma once

#include <QColor>
#include <QWidget>

namespace vertamo::ui {

// Seventeen segments: green, yellow from the 15th, red from the 17th, silver
// where not lit (level × 17 / 120 are lit), and a maroon tick at the
// threshold (threshold × width / 120).
class TAudioIndicator : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSegments = 17;
  explicit TAudioIndicator(QWidget* parent = nullptr);

  int Level() const { return level_; }
  void SetLevel(int level);
  void SetThreshold(int threshold);
  // Segments lit for a level.
  static int LitSegments(int level) { return level * kSegments / 120; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int level_ = 0;
  int threshold_ = 0;
};

// A value from 0 to Max in a settable colour: as a horizontal bar, a vertical
// bar rising from the bottom, or a needle over a half-circle scale. The bars
// print the percentage in the middle.
class TGauge : public QWidget {
  Q_OBJECT

 public:
  enum class TKind { Horizontal, Vertical, Needle };
  static constexpr QRgb kDefaultColor = qRgb(0xAE, 0xD8, 0xFF);

  explicit TGauge(QWidget* parent = nullptr, int max = 127);

  void SetKind(TKind kind);
  TKind Kind() const { return kind_; }
  void SetProgress(int value);  // kept within 0..Max
  int Progress() const { return progress_; }
  int Max() const { return max_; }
  void SetForeColor(const QColor& color);
  QColor ForeColor() const { return color_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintBar(class QPainter& painter);
  void PaintNeedle(class QPainter& painter);

  TKind kind_ = TKind::Horizontal;
  int max_;
  int progress_ = 0;
  QColor color_{kDefaultColor};
};

}  // namespace vertamo::ui

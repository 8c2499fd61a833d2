// TIndicator: a dial with a needle, a marker tick, a caption and a lamp. The
// voice window uses one as the microphone level meter.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

class QPainter;

namespace vertamo::ui {

class TIndicator : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Min READ Min WRITE SetMin)
  Q_PROPERTY(int Max READ Max WRITE SetMax)
  Q_PROPERTY(int Position READ Position WRITE SetPosition)
  Q_PROPERTY(int Marker READ Marker WRITE SetMarker)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(int Theme READ Theme WRITE SetTheme)

 public:
  // The dial's pivot, below the face; the needle spans radii 51..84, the marker 89..96.
  static constexpr QPoint kPivot{49, 103};
  static constexpr int kDefaultTheme = 6;

  explicit TIndicator(QWidget* parent = nullptr);

  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  int Marker() const { return marker_; }  // 0: no marker
  QString Caption() const { return caption_; }
  int Theme() const { return theme_; }

  void SetMin(int value);
  void SetMax(int value);
  void SetPosition(int value);  // kept within Min..Max
  void SetMarker(int value);    // kept within Min..Max
  void SetCaption(const QString& caption);
  // 0..6 picks the dial face ("FON" + Y R G B O Y C); a face the program does
  // not carry keeps the previous one. Theme 5 greys the face. The control
  // takes the face's size; the needle and caption take the colour of its pixel (2, 2).
  void SetTheme(int theme);
  void SetFont(const QFont& font);  // the caption font
  QFont GetFont() const { return font_; }

  // Value -> needle angle in degrees: Min points at 120 (left), Max at 59 (right).
  int GetAlfa(int value) const;
  // Point at that angle and radius around the pivot.
  static QPoint GetPoint(int angle, int radius);
  // Turns the dial face grey.
  void Gray();

  QColor PenColor() const { return pen_; }
  QColor LampColor() const;
  const QImage& Background() const { return background_; }
  // The frame as Paint shows it; a null image when there is no face.
  QImage Compose() const;
  // What Compose draws over the face.
  void DrawNeedles(QPainter& p) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage background_;
  QFont font_;
  QColor pen_{Qt::black};
  int min_ = 0;
  int max_ = 127;
  int position_ = 0;
  int marker_ = 0;
  QString caption_;
  int theme_ = kDefaultTheme;
};

}  // namespace vertamo::ui

// TValInd: a counter box on the map, a shaded caption band over a large number.
// The main window shows three: faulty lifts, loop alarms, faulty intercom units;
// a double click opens the matching report.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

namespace vertamo::ui {

class TValInd : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kBaseFontSize = 12;  // points
  static constexpr int kCaptionCapacity = 63;

  // Hidden, at 10, 10, 200 x 135, value -1 (shows "?"), type 0.
  explicit TValInd(QWidget* parent = nullptr);

  // 0 white / black, caption unchanged; 1 black / green for 0, red otherwise,
  // "Неисправно лифтов"; 2 yellow / red, "Срабатываний шлейфов";
  // 3 red / black, "Неисправно ПУ". Other values are ignored.
  void SetType(int type);
  int Type() const { return type_; }
  // Cut to 63 characters; shown at the next paint.
  void SetCaptionText(const QString& caption);
  QString CaptionText() const { return caption_; }
  // The font face of the caption and the number.
  void SetFontName(const QString& name);
  QString FontName() const { return font_.family(); }
  // Shown at once when it differs from the stored value; negative shows "?".
  void SetValue(int value);
  int Value() const { return value_; }

  // The font sizes Paint arrives at for the current size, caption and value.
  struct TLayout {
    int captionSize = 0;    // points
    int captionHeight = 0;  // pixels: the band is captionHeight + 1 lines high
    int numberSize = 0;     // points
  };
  TLayout ComputeLayout() const;

  // On a map shown smaller than designed the base size follows its scale.
  void SetZoom(double zoom);

  int BackgroundColor() const { return background_; }  // 0x00BBGGRR
  int NumberColor() const;                             // for the current value
  QString NumberText() const;

 signals:
  // A left double click on the counter.
  void DblClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QString caption_;
  int value_ = -1;
  int type_ = 0;
  int background_ = 0xFFFFFF;
  int textColor_ = 0x000000;
  QFont font_;  // the canvas font; its point size is the base size
};

}  // namespace vertamo::ui

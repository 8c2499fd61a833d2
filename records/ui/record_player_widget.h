// A small player of a conversation's record: play and pause, a position
// slider with the time, and both channels or one side. It shows and drives a
// TRecordPlayer; the sound goes to the desktop's sound server.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "records/record_player.h"

class QComboBox;
class QLabel;
class QSlider;
class QToolButton;

namespace vertamo::ui {

class TRecordPlayerWidget final : public QWidget {
  Q_OBJECT

 public:
  // `player` plays; tests give one with a stream of their own.
  explicit TRecordPlayerWidget(std::unique_ptr<TRecordPlayer> player, QWidget* parent = nullptr);
  ~TRecordPlayerWidget() override;

  // Opens the record and plays it from the start; false (and says why on
  // its line) when it cannot be read.
  bool PlayRecord(const QString& path, const QString& title);
  // Stops at once (a ring, a call): nothing more is heard.
  void Stop();
  bool Playing() const { return player_->Playing(); }
  TRecordPlayer& Player() { return *player_; }

  QToolButton* ButtonPlay = nullptr;
  QSlider* SliderPosition = nullptr;
  QLabel* LabelTime = nullptr;
  QComboBox* ComboBoxChannels = nullptr;
  QLabel* LabelTitle = nullptr;

 private:
  void Show();

  std::unique_ptr<TRecordPlayer> player_;
  QTimer tick_;
  bool dragging_ = false;
};

// "mm:ss" of a number of seconds.
QString PlayTimeText(double seconds);

}  // namespace vertamo::ui

// TFormSelLiftMp: the small modal dialog "FormSelLiftMp" that asks whom to
// call when a lift's cabin and its machine room can both be reached by voice.
// Two large buttons with the server's texts and pictures, and "Отмена".
//
// Enter presses the cabin button (the default one), Esc, "Отмена" and the
// close box cancel; the digit keys 1 and 2 press the cabin and the
// machine-room button, also while one of the buttons has the focus (a button
// passes digits on to the dialog). The bounds are kept under "FormSelLiftMp".
//
// It stays above the voice window (which stays on top of the desktop) and
// comes up active, so that Enter, Esc and the digits reach it at once.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "settings/fast_ini.h"
#include "voice/map_call.h"

class QPushButton;

namespace vertamo::ui {

class TFormSelLiftMp : public QDialog {
  Q_OBJECT
 public:
  static constexpr std::uint8_t kCancelled = 255;
  static constexpr std::uint8_t kCabin = 0;
  static constexpr std::uint8_t kMachineRoom = 1;

  // `ini` (may be null) keeps the bounds and outlives the dialog.
  explicit TFormSelLiftMp(TFastIni* ini, QWidget* owner = nullptr);
  ~TFormSelLiftMp() override;

  // An empty text keeps the button's caption. A cabin text with neither
  // "лифт" nor "ЛИФТ" in it gives the cabin button the machine-room picture.
  void SetCabinCaption(const QString& text);
  void SetRoomCaption(const QString& text);

  // kCancelled until a choice button is used, and again after a cancel.
  std::uint8_t Choice = kCancelled;

  QWidget* Panel1 = nullptr;
  QPushButton* ButtonLift = nullptr;
  QPushButton* ButtonMO = nullptr;
  QPushButton* Button3 = nullptr;

 public slots:
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ButtonLiftClick();
  void ButtonMOClick();

  TFastIni* ini_;
  bool closed_ = false;
};

// The selector's caption for the object called: "Вызов: " and its name, and
// the place that the texts of both units name after a comma, when they do
// (the server's word on the call, not the object's tool-tip, which tells the
// mouse what a click does). Code page 1251.
QString SelectorTitle(const std::string& objectName, const std::string& cabinText, const std::string& roomText);

// Opens the selector over `owner` with the two texts (code page 1251) under
// `title`, modal to `owner` only and without an event loop of its own, so
// that a ring meanwhile is answered as ever; `chosen` gets what the
// dispatcher chose once it closes. It goes by itself once closed; a
// selector freed unanswered (the workstation closing) says nothing.
TFormSelLiftMp* OpenCallUnitChoice(QWidget* owner, TFastIni* ini, const std::string& cabinText,
                                   const std::string& roomText, const QString& title,
                                   std::function<void(TCallUnit)> chosen);

}  // namespace vertamo::ui

// TCallDesk: the call controller (TCallController) on the Qt desktop.
//
// It gives the controller what it needs of the workstation: the dispatch
// server, the phone program (commands out, events in), the main thread's
// event loop, the ring sound, the question of a lift clicked during a call,
// the once-a-second and ten-times-a-second clock, and the call's keys for
// every window (TCallKeys). It creates the voice window on first need, only
// while the telephony link is up, hands it every view the controller
// publishes, and turns its signals into the controller's turns. The window
// lives until the desk closes; the controller and its call do not depend on
// it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <functional>
#include <memory>

#include "iptel/phone_events.h"
#include "voice/call_controller.h"
#include "voice/ui/form_voice.h"

class QMessageBox;

namespace vertamo {
class SoundThread;
}

namespace vertamo::ui {

class TCallKeys;
class TPhoneStation;
class TTalkKeyService;

// What the desk uses of the workstation. Everything may be empty.
struct TCallDeskHost {
  TFastIni* ini = nullptr;        // the main settings
  SoundThread* sounds = nullptr;  // the ring sound
  // A request to the dispatch server ("STARTSPEAK ...", "ENDSPEAK ..."); returns
  // at once. `settled` (may be empty) runs on the main thread once the server
  // has answered it or its wait has run out.
  std::function<void(const std::string& request, std::function<void()> settled)> sendCommand;
  // Something the dispatcher must see even while the voice window is hidden
  // (the main window's status bar); `standing`: until the dispatcher has
  // seen it, not for a while only. None: the telephony log only.
  std::function<void(const QString& text, bool standing)> tellDispatcher;
  // The question of a lift clicked during a call (`answer` gets "Да" or
  // "Нет"); none: a question box on the voice window, "Да" the default.
  std::function<void(QWidget* parent, const QString& current, const QString& next, std::function<void(bool)> answer)>
      askSwitchCall;
  // A lift called again from the history: its object's number, the unit
  // called and the history's name of it; the map's click does the rest.
  std::function<void(int object, int unit, const std::string& who)> callLiftAgain;
  int gatewayPort = TKelmoClient::kDefaultPort;
  TVoiceHost window;  // the voice window's own (book and history filled in here)
};

class TCallDesk final : public QObject, public ICallWindow, private ICallDesk {
  Q_OBJECT

 public:
  // `owner` owns the window; `station` outlives this object. A call that a
  // run which died left open is recorded now.
  TCallDesk(QWidget* owner, TPhoneStation& station, TCallDeskHost host);
  // Close().
  ~TCallDesk() override;

  TCallController& Controller() { return *controller_; }
  const TCallSession& Session() const { return controller_->Session(); }
  // The window; created when `create` and the link is up.
  TFVoice* VoiceWindow(bool create);
  // "Телефонная книга": false while the link is down (no window).
  bool OpenBook();
  // A lift clicked on the map; `clicked` is its place on screen, which the
  // window keeps clear of.
  void MapCall(const TMapCall& call, const QRect& clicked);
  // Talk-key and focus requests of other programs; nothing before the window exists.
  void TalkRequest(int code);
  void TakeFocus();
  // Status panel 0 of a window on screen.
  void TellOnWindow(const QString& text);
  // Ends the call that is on ("n" while ringing, "h" otherwise, "ENDSPEAK"
  // for a lift, its history line) and frees the window.
  void Close();

  // ICallWindow: the phone program's events.
  void PhoneEvent(const TPhoneEvent& event) override;
  void ShowCallInfo(const std::string& text) override;
  void SelectSubscriber(int position) override;
  void ShowCallStatus(const std::string& text) override;
  void PhoneAnswered() override {}
  void PhoneLinkUp(bool adopted) override;
  void PhoneLinkLost() override;
  void PhoneLinkRestored(bool adopted) override;

 private:
  // ICallDesk
  void Show(const TCallView& view) override;
  void ToServer(const std::string& request, std::function<void()> settled) override;
  void ToPhone(const std::string& command) override;
  bool PhoneLinkUp() const override;
  void Post(std::function<void()> task) override;
  void Log(const std::string& text) override;
  void Tell(const std::string& text) override { Tell(text, false); }
  void Tell(const std::string& text, bool standing);
  void AskSwitch(const std::string& current, const std::string& next, std::function<void(bool)> answer) override;
  void RingSound() override;
  void LowerSounds(int db) override;

  void ConnectWindow(TFVoice* window);
  void CallButton(int subscriber, bool historyInFront);
  void CallAgain(const std::string& who, const TCallAgain& again);

  QPointer<QWidget> owner_;
  TPhoneStation& station_;
  TCallDeskHost host_;
  QTimer tick_;
  QTimer poll_;
  QPointer<TFVoice> window_;
  QPointer<QMessageBox> question_;
  std::unique_ptr<TCallController> controller_;
  std::unique_ptr<TCallKeys> keys_;
};

// Hands the talk-key and focus requests of other programs to the desk.
void RouteTalkKeys(TTalkKeyService& service, std::function<TCallDesk*()> desk);

}  // namespace vertamo::ui

// The main window's side of the voice window: it creates the window on first
// use (only while the telephony link is up), routes the call events to it,
// and frees it at exit. Until the window exists the call events still keep
// the call state and the log; a ring creates it.
#pragma once

#include <QPointer>
#include <functional>

#include "iptel/phone_events.h"
#include "voice/ui/form_voice.h"

namespace vertamo::ui {

class TPhoneStation;
class TTalkKeyService;

class TVoiceStation final : public ICallWindow {
 public:
  // `owner` owns the window; `station` outlives this object.
  TVoiceStation(QWidget* owner, TPhoneStation& station, TVoiceHost host);
  // Free().
  ~TVoiceStation() override;

  // The window; created (and put in state 0) when `create` and the link is up.
  TFVoice* VoiceWindow(bool create);
  // Creates the window when needed and shows it; nothing while the link is down.
  void ShowVoiceWindow();
  // Frees the window (a conversation still on is hung up).
  void Free();

  // ICallWindow: to the window, or without one to the call state alone.
  void PhoneEvent(const TPhoneEvent& event) override;
  void SetCallState(int state) override;
  void ShowCallInfo(const std::string& text) override;
  void SelectSubscriber(int position) override;
  void ShowCallStatus(const std::string& text) override;
  void PhoneAnswered() override;

 private:
  QPointer<QWidget> owner_;
  TPhoneStation& station_;
  TVoiceHost host_;
  QPointer<TFVoice> window_;
};

// Hands the talk-key and focus requests of other programs to the voice window
// that `window` returns; while there is none they do nothing.
void RouteTalkKeys(TTalkKeyService& service, std::function<TFVoice*()> window);

}  // namespace vertamo::ui

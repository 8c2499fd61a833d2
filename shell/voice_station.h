// The main window's side of the call: it owns the call session, turns the
// phone program's events and the phone link's loss and return into the
// session's turns, carries out what the session decides (the server, the
// phone program, the history, the marker of a call in progress), and creates
// the voice window on first use (only while the telephony link is up) and
// frees it at exit. Until the window exists the session goes on without it;
// a ring creates it.
#pragma once

#include <deque>

#include <QPointer>
#include <QTimer>
#include <functional>

#include "iptel/phone_events.h"
#include "voice/call_history.h"
#include "voice/call_session.h"
#include "voice/pending_call.h"
#include "voice/ui/form_voice.h"

namespace vertamo::ui {

class TPhoneStation;
class TTalkKeyService;

class TVoiceStation final : public ICallWindow, private ICallPeers {
 public:
  // `owner` owns the window; `station` outlives this object. A call that a
  // run which died left open is recorded now.
  TVoiceStation(QWidget* owner, TPhoneStation& station, TVoiceHost host);
  // Close().
  ~TVoiceStation() override;

  // The window; created (and idle) when `create` and the link is up.
  TFVoice* VoiceWindow(bool create);
  // Creates the window when needed and shows it; nothing while the link is down.
  void ShowVoiceWindow();
  // Ends the call that is on ("n" while ringing, "h" otherwise, "ENDSPEAK"
  // for a lift, its history line) and frees the window.
  void Close();
  // Frees the window only (the session and its call go on).
  void Free();

  TCallSession& Session() { return session_; }

  // ICallWindow: the events go to the session, the texts to the window.
  void PhoneEvent(const TPhoneEvent& event) override;
  void SetCallState(int state) override;
  void ShowCallInfo(const std::string& text) override;
  void SelectSubscriber(int position) override;
  void ShowCallStatus(const std::string& text) override;
  void PhoneAnswered() override;
  void PhoneLinkLost() override;
  void PhoneLinkRestored(bool adopted) override;

 private:
  // ICallPeers
  void ToServer(const std::string& request) override;
  void ToPhone(const std::string& command) override;
  void CloseGateway() override;
  void Record(const TCallRecord& call) override;
  void Log(const std::string& text) override;
  void KeepPending(const std::optional<TPendingCall>& call) override;
  void StateChanged(TCallState from, TCallState to) override;
  void SecondRing(const std::string& caller) override;
  // The link's first coming up: a phone program adopted then may hold a call.
  void WatchFirstLink();

  QPointer<QWidget> owner_;
  TPhoneStation& station_;
  TVoiceHost host_;
  std::optional<TCallHistory> history_;  // none without a work folder
  TPendingCallFile pending_;
  TCallSession session_;
  QTimer firstLink_;
  QObject outbox_;        // phone commands leave from here, from the event loop
  bool closing_ = false;  // everything goes at once
  // Requests to the server not yet answered; the phone commands wait behind
  // them in held_, so that the server has heard "STARTSPEAK" before the dial.
  int serverPending_ = 0;
  std::deque<std::string> held_;
  // Sends the held phone commands once no request is pending.
  void ReleasePhoneCommands();
  bool linkSeen_ = false;
  QPointer<TFVoice> window_;
};

// Hands the talk-key and focus requests of other programs to the voice window
// that `window` returns; while there is none they do nothing.
void RouteTalkKeys(TTalkKeyService& service, std::function<TFVoice*()> window);

}  // namespace vertamo::ui

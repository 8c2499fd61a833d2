// TCallController: the one place a call is driven from.
//
// It owns the call session, the call's clock (the once-a-second tick and the
// level poll ten times a second), the gateway link of a conversation with a
// lift, the talk key and Esc of the whole workstation, and the history and
// marker files the session writes. Whatever the dispatcher does in any window,
// whatever the phone program says, comes here; what is to be shown leaves as
// one plain value (TCallView) that the voice window draws. No window owns any
// of it, so closing or never opening the voice window stops nothing: a ring
// still times out, a conversation is still timed.
//
// The desk (ICallDesk) is the rest of the workstation as the controller sees
// it: the server, the phone program, the main thread, the dispatcher's eyes.
// All of it runs in the main thread; the gateway worker's results come back
// through ICallDesk::Post. Texts are code page 1251.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "voice/call_clock.h"
#include "voice/call_history.h"
#include "voice/call_session.h"
#include "voice/call_view.h"
#include "voice/gateway_worker.h"
#include "voice/map_call.h"
#include "voice/pending_call.h"

namespace vertamo {

class ICallDesk {
 public:
  virtual ~ICallDesk() = default;
  // The view changed.
  virtual void Show(const TCallView& view) = 0;
  // A request to the dispatch server; returns at once. `settled` (may be
  // empty) runs later on the main thread, once the server answered or its
  // wait ran out.
  virtual void ToServer(const std::string& request, std::function<void()> settled) = 0;
  virtual void ToPhone(const std::string& command) = 0;
  virtual bool PhoneLinkUp() const = 0;
  // Runs `task` on the main thread after the current turn. Any thread.
  virtual void Post(std::function<void()> task) = 0;
  // The telephony log.
  virtual void Log(const std::string& text) = 0;
  // Said where the dispatcher looks even while the voice window is hidden.
  virtual void Tell(const std::string& text) = 0;
  // A lift was clicked during another call: end `current` and call `next`?
  // `answer` runs once the dispatcher has chosen ("Да" the default: an
  // emergency does not wait). A newer question withdraws an older one.
  virtual void AskSwitch(const std::string& current, const std::string& next, std::function<void(bool)> answer) = 0;
  // The ring sound, once.
  virtual void RingSound() = 0;
  // The server's notification sounds from now on `db` decibels below their
  // own level (0: at their own level).
  virtual void LowerSounds(int db) = 0;
};

// A subscriber of the address book, as the call button dials it.
struct TSubscriber {
  std::string name;
  std::string address;
  std::string refusal;  // why the address cannot be dialled; empty when it can
};

inline constexpr int kDefaultSoundLowering = 20;

struct TCallOptions {
  std::string workFolder;  // the history and the marker of a call in progress; empty: neither
  int ringTimeout = TCallSession::kDefaultRingTimeout;  // seconds
  int gatewayPort = TKelmoClient::kDefaultPort;
  int gatewayConnectMs = TKelmoClient::kConnectWaitMs;
  // Off: every conversation with a lift starts by switching its line to
  // listening.
  bool autoSound = true;
  // Decibels the server's sounds are lowered by while a conversation goes
  // on, so that they do not drown the voice on the line.
  int soundLowering = kDefaultSoundLowering;
  TCallSession::TClock clock;  // none: the system's
};

class TCallController final : private ICallPeers {
 public:
  static constexpr int kTickMs = 1000;
  static constexpr int kPollMs = 100;

  // A call that a run which died left open is recorded now.
  TCallController(ICallDesk& desk, TCallOptions options);
  ~TCallController() override;
  TCallController(const TCallController&) = delete;
  TCallController& operator=(const TCallController&) = delete;

  const TCallView& View() const { return view_; }
  const TCallSession& Session() const { return session_; }
  // A call is on (dialling, ringing, talking): the talk key and Esc are its.
  bool InCall() const { return session_.State() != TCallState::Idle; }
  // The history the session writes; none without a work folder.
  TCallHistory* History() { return history_ ? &*history_ : nullptr; }
  int RingTimeout() const { return session_.RingTimeout(); }
  int SoundLowering() const { return options_.soundLowering; }

  // --- the dispatcher -----------------------------------------------------------
  // The call button: answers a ring, ends a call; idle, dials `chosen`, or
  // with the history in front hangs up the phone all the same and hides.
  void CallButton(const std::optional<TSubscriber>& chosen, bool historyInFront);
  void Answer();
  void Refuse();
  // Ends whatever call there is and hides the window.
  void Escape();
  // The window's close box: as Esc.
  void WindowClosed();
  // "Телефонная книга": the window idle to call, or in front during a call.
  void OpenBook();
  // A lift clicked on the map: called at once when no call is on; the lift
  // already being talked to only comes forward; another call is ended first
  // if the dispatcher says so.
  void MapCall(const TMapCall& call);
  // A subscriber called again from the history: as a lift clicked on the
  // map, with the same question during another call.
  void CallAgain(const TSubscriber& party);
  // The talk key held (`down`) or let go, auto-repeat already filtered.
  void TalkKey(bool down);
  // A talk-key request of another program: 0 pressed, 1 released, others nothing.
  void TalkRequest(int code);
  // The dispatcher has the history in view: the missed calls are seen.
  void HistorySeen(bool historyInFront);
  // The gateway's switching settings into status panel 0.
  void ReadSwitchSettings();
  void SetAutoSound(bool on) { options_.autoSound = on; }
  void ShowStatus(int panel, const std::string& text);

  // --- the phone program ----------------------------------------------------------
  void Ring(const std::string& caller);
  void Connected(const std::string& party);
  void Busy();
  // "ERROR n"; see TCallSession::Failed.
  void Failed(int code = -1, int silentSeconds = 0);
  void LinkLost();
  void LinkRestored(bool adopted);
  // The phone's word on the call (busy, its statistics).
  void PhoneInfo(const std::string& text);
  // The phone's status text of its last event (status panel 0).
  void PhoneStatus(const std::string& text);
  // The recording of the conversation (its file; empty: none).
  void Recorded(const std::string& record);
  // The ringing caller's entry of the address book.
  void CallerInBook(int row);

  // --- the clock ----------------------------------------------------------------
  // Once a second: the ring time-out, the ring sound, the talk time.
  void Tick();
  // Ten times a second: the gateway's level during a conversation with a lift.
  void Poll();

  // The workstation closes: the call ends now ("ENDSPEAK", its history line)
  // and every command leaves at once.
  void Close();

 private:
  class TTurn;
  class TGatewayResults;

  // ICallPeers
  void ToServer(const std::string& request) override;
  void ToPhone(const std::string& command) override;
  void CloseGateway() override;
  void Record(const TCallRecord& call) override;
  void Log(const std::string& text) override { desk_.Log(text); }
  void KeepPending(const std::optional<TPendingCall>& call) override;
  void StateChanged(TCallState from, TCallState to) override;
  void SecondRing(const std::string& caller) override;

  // Runs `place` now when no call is on; else once the dispatcher has said
  // to end the call on for `next` (a newer question withdraws this one).
  void PlaceOrAsk(const std::string& next, std::function<void()> place);
  void ReleasePhoneCommands();
  void Present();
  void ClearForNewCall();
  void ShowIdleTexts();
  void SetInfo(const char* utf8, std::uint32_t color);
  void SetInfo(std::string text, std::uint32_t color);
  void SpaceDown();
  void SpaceUp();
  const TMapCall* Lift() const;
  void OpenGateway(bool readSettings);
  bool SetTalkDirection(bool talk);
  void GatewayResult(std::uint64_t conversation, const TGatewayResult& result);
  void ShowLevel(const TGatewayResult& result);
  void RestMeters();
  void Publish();

  ICallDesk& desk_;
  TCallOptions options_;
  std::optional<TCallHistory> history_;
  TPendingCallFile pending_;
  TCallSession session_;
  TCallView view_;
  TCallView shown_;  // what the desk was last given
  int turns_ = 0;    // turns under way; the outermost publishes
  TRingCountdown ring_;
  std::string ringCaller_;  // of the last ring, for a missed call's notice
  bool spaceDown_ = false;
  bool pendingListen_ = false;
  bool listenAnnounce_ = false;    // the next listening switch that succeeds says "Слушайте..."
  bool settingsToStatus_ = false;  // the next settings read goes to status panel 0
  bool linkBrokeCall_ = false;     // the lost link broke a call off
  SwitchSettings switchSettings_;
  std::uint64_t conversation_ = 0;  // the gateway worker's generation
  std::unique_ptr<TGatewayResults> results_;
  std::unique_ptr<TGatewayWorker> gateway_;
  unsigned askTurn_ = 0;  // the switch question that counts
  // Phone commands wait behind the server's requests not yet answered, so
  // that the server has heard "STARTSPEAK" before the dial.
  int serverPending_ = 0;
  std::deque<std::string> held_;
  bool closing_ = false;
  // Dropped with the controller: results and answers that come later find it gone.
  std::shared_ptr<TCallController*> self_;
};

}  // namespace vertamo

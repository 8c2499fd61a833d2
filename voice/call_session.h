// TCallSession: the one call the phone link carries, from the first command
// to its history line.
//
// The session decides what a call's every turn sends and to whom: the dial,
// hang-up, answer and refuse commands to the phone program, in the order they
// are given; "STARTSPEAK" and "ENDSPEAK" to the dispatch server for a call to
// a lift; the end of the lift's gateway line; the call's line in the history;
// and the marker of a call in progress, by which the next run finds a call
// that a dead workstation left open. The voice window shows the session and
// drives it; the phone program's events come in through the main window. All
// of it runs in the main thread.
//
// A call that ends always ends here, in one place, whatever ended it: the
// dispatcher, the far end, a ring nobody answered, a switch to another call,
// the window closing or the phone link going. Texts are code page 1251.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "voice/call_history.h"
#include "voice/map_call.h"
#include "voice/pending_call.h"

namespace vertamo {

enum class TCallState { Idle, Dialling, Ringing, Talking };

// Whom the call is with.
struct TCallParty {
  std::string title;    // shown and recorded: the subscriber, the lift and unit, the caller
  std::string command;  // the dial command of an outgoing call ("c ...")
  std::string address;  // a subscriber's address
  std::optional<TMapCall> lift;  // a call to a lift: the server hears "ENDSPEAK" at its end
};

// Where the session's decisions go, in the order it makes them.
class ICallPeers {
 public:
  virtual ~ICallPeers() = default;
  virtual void ToServer(const std::string& request) = 0;
  virtual void ToPhone(const std::string& command) = 0;
  // The lift's gateway line of the conversation that ended is let go.
  virtual void CloseGateway() = 0;
  virtual void Record(const TCallRecord& call) = 0;
  // The telephony log.
  virtual void Log(const std::string& text) = 0;
  // Keeps the marker of the call in progress; none: removes it.
  virtual void KeepPending(const std::optional<TPendingCall>& call) = 0;
  // The state went from `from` to `to`; the party is already the new one.
  virtual void StateChanged(TCallState from, TCallState to) = 0;
  // A second call rings while the first goes on; `caller` is its text.
  virtual void SecondRing(const std::string& caller) = 0;
};

class TCallSession {
 public:
  static constexpr int kDefaultRingTimeout = 60;  // seconds
  static constexpr int kPendingRefreshSeconds = 10;
  using TClock = std::function<std::time_t()>;

  // `clock` gives the wall-clock time (none: the system's).
  explicit TCallSession(ICallPeers& peers, TClock clock = {}, int ringTimeoutSeconds = kDefaultRingTimeout);

  TCallState State() const { return state_; }
  const TCallParty& Party() const { return party_; }
  // "y" went out and the phone program has not yet reported the connection.
  bool Answering() const { return answering_; }
  std::time_t Started() const { return started_; }
  std::time_t AnsweredAt() const { return answered_; }
  // Calls that rang unanswered since the dispatcher last looked at the history.
  int MissedUnseen() const { return missed_; }
  void MissedSeen() { missed_ = 0; }
  int RingTimeout() const { return ringTimeout_; }
  // How the call before this state ended (valid once one has ended).
  TCallOutcome LastOutcome() const { return lastOutcome_; }

  // --- the dispatcher ---------------------------------------------------------
  // Calls a subscriber of the address book; false unless idle.
  bool Dial(const std::string& name, const std::string& address);
  // Calls a lift ("STARTSPEAK", then the dial); false unless idle.
  bool PlaceMapCall(const TMapCall& call);
  // Ends whatever call there is and calls the lift.
  void SwitchTo(const TMapCall& call);
  // Answers a ringing call.
  void Answer();
  // Ends the call: "h" while dialling or talking, "n" while ringing. Idle,
  // nothing unless `evenIdle`, which sends "h" all the same.
  void HangUp(bool evenIdle = false);

  // --- the phone program ------------------------------------------------------
  void Ring(const std::string& caller);
  void Connected(const std::string& party);
  void Busy();
  // "ERROR n": the call is over, whoever ended it. A conversation that broke
  // off (6, "Сбой соединения !") is recorded as broken off, its talk counted
  // to the last voice heard: `silentSeconds` before now.
  static constexpr int kConnectionFailed = 6;
  void Failed(int code = -1, int silentSeconds = 0);
  // The phone program names the conversation's record ("REC"), or says it
  // is not recorded (`path` empty, "NOREC"). A phone program that says
  // neither records nothing, and the history says so.
  void Recorded(const std::string& path);
  // The conversation's record as the phone program named it, or why there is none.
  const std::string& Record() const { return record_; }
  // The phone link went down: the call breaks off, nothing reaches the phone.
  void LinkLost();
  // The phone link is up again (or for the first time); `adopted`: the phone
  // program was already running and may still hold a call, which is ended.
  void LinkRestored(bool adopted);
  // A call that a run which died left open: recorded as broken off, and the
  // server hears the "ENDSPEAK" it was owed.
  void Recover(const TPendingCall& call);

  // Once a second: a ring nobody answers within the ring time-out is refused;
  // a conversation's marker is brought up to date every few seconds.
  void Tick();

 private:
  void Begin(TCallState state, TCallParty party);
  void Enter(TCallState state);
  void Finish(TCallOutcome outcome, const char* command);
  TPendingCall Pending(TCallOutcome outcome) const;
  // The marker of the call as it stands (see TPendingCallFile).
  void KeepPending();
  std::time_t Now() const;

  ICallPeers& peers_;
  TClock clock_;
  int ringTimeout_;
  TCallState state_ = TCallState::Idle;
  TCallParty party_;
  bool answering_ = false;
  std::time_t started_ = 0;
  std::time_t answered_ = 0;
  std::string record_;  // the record of the conversation, or why there is none
  int missed_ = 0;
  TCallOutcome lastOutcome_ = TCallOutcome::Finished;
  bool refusalEcho_ = false;  // an "n" went out; its "ERROR" is still to come
  int silentEnd_ = 0;  // seconds at the end of the conversation that are not talk
  std::time_t pendingKept_ = 0;  // when the marker was last written
};

// "ENDSPEAK OBJ=… PU=…" and "STARTSPEAK OBJ=… PU=…" of a lift call.
std::string StartSpeakRequest(const TMapCall& call);
std::string EndSpeakRequest(const TMapCall& call);

}  // namespace vertamo

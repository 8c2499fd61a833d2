// vertamo-phone: the workstation's phone program. It listens for the
// workstation on 127.0.0.1 at the control port, greets each new control
// connection with "OK", takes the commands "c ADDRESS", "h", "y", "n" and
// "q" (zero-terminated messages), and reports calls with the event lines the
// workstation reads: RING, CALL, BUSY, ERROR n, END, STAT, APP, and "OK" to
// "q". The calls themselves are made by baresip (see baresip_engine.h).
//
// The program ends on "q" and when its control link closes; baresip ends
// with it. When baresip is missing, cannot start or dies, the program stays
// up, ends the call with an ERROR and an APP line that says why, and starts
// baresip again at once (then after 1, 2, 4... up to 30 s while it keeps
// failing); the workstation hears "APP Телефон не принимает звонки…" until
// baresip runs again, and the next "c" tries at once too.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "phone/baresip_engine.h"
#include "phone/call_outcome.h"
#include "phone/call_recording.h"
#include "phone/phone_log.h"
#include "phone/phone_options.h"
#include "phone/sip_settings.h"

namespace vertamo::phone {

class TPhoneProgram {
 public:
  TPhoneProgram(TPhoneOptions options, TSipSettings settings, const TPhoneLog& log);
  ~TPhoneProgram();

  // Opens the control port; false with the reason.
  bool Listen(std::string* error);
  int ControlPort() const { return controlPort_; }
  // Serves until "q", the end of the control link, or a byte on `stopFd`
  // (the termination signals). The exit status of the program.
  int Run(int stopFd);

 private:
  struct TCall {
    TCallHistory history;
    std::string dialString;  // as the workstation gave it (outgoing)
    std::string peerText;    // what CALL shows for an incoming call
    bool dialSent = false;
    std::string id;          // baresip's id of the call, once an event named it
    std::string account;     // and the account it is on
    // When an unanswered dial is given up (outgoing calls).
    std::optional<std::chrono::steady_clock::time_point> dialDeadline;
  };

  void Accept();
  bool ReadControl();  // false: the link closed
  void Command(const std::string& message);
  void Dial(const std::string& address);
  void HangUp(bool refuse);
  // The call is over: forgets it and places a held dial.
  void CallGone();
  void Answer();
  void EngineMessage(const TBaresipMessage& message);
  // Whether an event is about our call (and learns the call's id from it).
  bool Ours(const TBaresipMessage& message);
  // baresip's commands act on its current call, which becomes whichever call
  // came last: our call is made current again before one is given.
  void MakeCurrent();
  // A call that rings in while ours goes on is refused (busy for the caller).
  void RefuseSecondCall(const TBaresipMessage& message);
  void EngineLost(const std::string& why);
  // Milliseconds until the dial's time-out, -1 when none runs; gives the
  // dial up when it has passed.
  int CheckDialTimeout();
  // Milliseconds until the engine is to be started again, -1 when it runs;
  // starts it when the time has come.
  int CheckRestart();
  // The engine started: what its death or failure set up is undone.
  void EngineBack();
  // Milliseconds until the settings' refusals are told, -1 when nothing is
  // waiting; tells them when the time has come.
  int CheckNotices();
  // Milliseconds until the next look at what a flood to the media port
  // could swell: the conversation's record (each second of a conversation),
  // baresip's output, and an idle baresip's memory (restarted above the
  // settings' limit). -1: nothing to look at.
  int CheckUpkeep();
  bool EnsureEngine();
  void Send(const std::string& cp1251);
  void Shutdown();

  TPhoneOptions options_;
  TSipSettings settings_;
  const TPhoneLog& log_;
  TCallRecording recording_;  // before the engine, which writes into its folder
  std::unique_ptr<TBaresipEngine> engine_;
  int listenFd_ = -1;
  int controlPort_ = 0;
  int control_ = -1;
  std::string partial_;
  std::optional<TCall> call_;
  std::string closedId_;  // the id of the call before ours, whose last events may still come
  // A dial that came while our hang-up of the call before was still under
  // way: it is placed once that call has closed.
  std::optional<std::string> heldDial_;
  bool quit_ = false;
  // A dead engine is started again at restartAt_; the pause doubles while
  // the engine keeps failing (or dies again within a minute).
  static constexpr int kFirstRestartMs = 500, kMaxRestartMs = 30000;
  std::optional<std::chrono::steady_clock::time_point> restartAt_;
  int restartMs_ = kFirstRestartMs;
  std::chrono::steady_clock::time_point engineStarted_{};
  bool toldDown_ = false;  // the workstation heard that calls cannot come in
  // What the settings asked and baresip cannot take (UTF-8), told to each
  // workstation that connects: after a second, since a workstation that
  // adopts the phone takes the last message of its first half second for
  // the greeting.
  std::vector<std::string> refused_;
  std::optional<std::chrono::steady_clock::time_point> noticeAt_;
  // A flood of RTCP sender reports would make as many STAT lines; a far end
  // sends one every few seconds.
  std::chrono::steady_clock::time_point lastStat_{};
  std::chrono::steady_clock::time_point nextUpkeep_{};
  std::chrono::steady_clock::time_point nextIdleLook_{};
};

}  // namespace vertamo::phone

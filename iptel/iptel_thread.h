// TIPTELThread: the telephony thread. It adopts a phone program that already
// answers on the control port with "OK", or ends a running one and starts a
// fresh one, connects to it, and then serves the control link: event lines go
// to the main thread through PhoneEvents and IPhoneHost, commands come from
// the main thread through SendPhoneCommand.
//
// The thread waits on its socket, on commands and on a stop request together,
// so a command leaves and a stop ends the thread within about a millisecond,
// at every stage. Commands leave in the order they were given, each written
// before anything more is read. It never touches a window: message boxes of
// the start stage are shown by the main thread while this thread waits for
// them (a stop ends that wait too).
//
// A link that is lost (the program died or closed the connection) is brought
// back: after a pause that doubles from reconnectFirstMs up to
// reconnectMaxMs the thread adopts or starts the program again, as at
// start-up, and tells the main thread of the loss and of the return in order
// with the event lines. The link ends for good only when the program answers
// "q", when the thread is stopped, or when the very first start fails.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "iptel/phone_link.h"
#include "iptel/phone_settings.h"
#include "platform/stop_signal.h"
#include "platform/tcp_client.h"

namespace vertamo {

class TPhoneLog;

// A message box of the start stage. Texts are code page 1251.
struct TPhoneMessageBox {
  std::string text;
  std::string caption;
  bool exclamation = false;
};

// What the telephony thread asks of the main thread. Both are called from
// the telephony thread and must not wait for the main thread.
class IPhoneHost {
 public:
  virtual ~IPhoneHost() = default;
  // Items wait in PhoneEvents where none waited before: have the main thread
  // take them (TTelephony::HandlePhoneEvents) until none is left. Not called
  // again until the main thread has found the queue empty.
  virtual void PhoneEventPosted() = 0;
  // Show the box in the main thread and call `done` (any thread) when it is
  // closed. A box never shown must still not hang anything: the telephony
  // thread stops waiting when it is stopped.
  virtual void ShowMessageBox(const TPhoneMessageBox& box, std::function<void()> done) = 0;
};

// The operating system's side of the phone program.
class IPhoneProcesses {
 public:
  enum class TEndResult { Ended, OpenFailed, TerminateFailed };
  virtual ~IPhoneProcesses() = default;
  // The id of a running phone program of this workstation (its control port,
  // its work folder); 0 when none. Another workstation's phone, or one that
  // runs on its own, is never named.
  virtual int FindPhoneProcess() = 0;
  virtual TEndResult EndPhoneProcess(int pid) = 0;
  virtual bool ProgramExists(const std::string& path) = 0;
  // Starts the program with the arguments after its path; false when it
  // cannot be started.
  virtual bool StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) = 0;
  // The thread ends: let go of a program this thread started (it keeps
  // running when it did not quit).
  virtual void ReleasePhoneProcess() = 0;
  // This computer's host name as the system gives it; false when unknown.
  virtual bool GetHostName(std::string& name) = 0;
};

// The real thing: the program is the executable at `programPath`, started in
// `workFolder`. Ours is the one this object started, or a process of this
// user running that executable in `workFolder` that listens on the control
// port `port`.
class TLinuxPhoneProcesses final : public IPhoneProcesses {
 public:
  TLinuxPhoneProcesses(std::string programPath, int port, std::string workFolder)
      : programPath_(std::move(programPath)), port_(port), workFolder_(std::move(workFolder)) {}
  ~TLinuxPhoneProcesses() override { ReleasePhoneProcess(); }
  int FindPhoneProcess() override;
  TEndResult EndPhoneProcess(int pid) override;
  bool ProgramExists(const std::string& path) override;
  bool StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) override;
  void ReleasePhoneProcess() override;
  bool GetHostName(std::string& name) override;
  int StartedPid() const { return child_; }

 private:
  std::string programPath_;
  int port_;
  std::string workFolder_;
  int child_ = 0;
};

struct TPhoneConfig {
  static constexpr int kDefaultPort = 3001;
  std::string programPath;        // the phone program ("ohphone" in the program folder)
  std::string workFolder;         // ends in "/"
  std::string host = "127.0.0.1";
  int port = kDefaultPort;        // the control port
  PhoneSettings settings;
  int adoptWaitMs = 500;          // how long a running program has to say "OK"
  int removeWaitMs = 2000;        // after ending an old program
  int connectRetryMs = 500;       // between connects to a started program
  int reconnectFirstMs = 500;     // the first pause after a lost link
  int reconnectMaxMs = 3000;      // the pause doubles up to this
  int stableLinkMs = 60000;       // a link up this long starts the pauses afresh
};

// The files of the start line: "ohphone.log" and "ohphone.last".
void WritePhoneStartFiles(const std::string& workFolder, const std::string& commandLine);

class TIPTELThread {
 public:
  // A lost link goes back to kAdopting.
  enum TStage { kCreated, kAdopting, kRemoving, kStarting, kLinkUp, kEnded };

  TIPTELThread(TPhoneConfig config, IPhoneProcesses& processes, IPhoneHost& host, TPhoneLog& log);
  // Stops the thread and waits for its end.
  ~TIPTELThread();
  TIPTELThread(const TIPTELThread&) = delete;
  TIPTELThread& operator=(const TIPTELThread&) = delete;

  void Start();
  // Asks the thread to end and waits until it has.
  void Stop();

  // Main thread: hands a command to the phone program and returns at once;
  // commands leave in order, none replaced. True without doing anything
  // while the link is not up; false when the connection is down.
  bool SendPhoneCommand(std::string_view command);
  // The close sequence: up to `rounds` times "q", each time waiting up to
  // `waitMs` for the link to go down. True when it went down.
  bool QuitPhone(int rounds = 20, int waitMs = 200);

  bool PhoneLinkUp() const { return linkUp_.load(std::memory_order_acquire); }
  TStage Stage() const { return stage_.load(std::memory_order_acquire); }
  // Waits until the thread reached `stage` (or a later one); false after
  // `milliseconds`.
  bool WaitForStage(TStage stage, int milliseconds) const;
  // How many times the link came up (1 after the start, 2 after the first
  // return, ...).
  int LinkCount() const { return linkCount_.load(std::memory_order_acquire); }
  // Waits until the link is up for the `count`-th time (or later); false
  // after `milliseconds`.
  bool WaitForLink(int count, int milliseconds) const;
  // True when the link was taken over from a program that was running.
  bool Adopted() const { return adopted_.load(); }
  // Lines from the phone program, and the link's losses and returns,
  // waiting for the main thread.
  TPhoneEventQueue& PhoneEvents() { return events_; }

 private:
  void Run();
  void SetStage(TStage stage);
  // Adopts or starts the program and connects; false when that failed.
  bool Establish();
  bool Adopt();
  void RemoveOldProgram();
  bool StartPhoneProgram();
  bool ConnectToStarted();
  // Serves the link until it ends; true when it was lost (not quit, not
  // stopped).
  bool Serve();
  // Writes what it can of the waiting commands; false when the link broke.
  bool WriteCommands();
  // False when the link is over (closed by the program, or "OK" to "q").
  bool ReadMessages();
  void Post(TPhoneQueued item);
  // Shows the box through the main thread and waits until it is closed or a
  // stop is requested.
  void MessageBox(const TPhoneMessageBox& box);

  TPhoneConfig config_;
  IPhoneProcesses& processes_;
  IPhoneHost& host_;
  TPhoneLog& log_;
  TPhoneEventQueue events_;
  TTCPClient connection_;
  TPhoneMessageReader reader_;
  TCommandQueue commands_;
  std::string out_;  // command bytes not yet taken by the socket
  TStopSignal stop_;  // the thread is to end
  TStopSignal wake_;  // a command or a stop for the serving wait
  std::atomic<bool> linkUp_{false};
  std::atomic<bool> connected_{false};
  std::atomic<bool> adopted_{false};
  std::atomic<int> linkCount_{0};
  bool recovering_ = false;  // the link was up before: boxes become log lines
  std::atomic<TStage> stage_{kCreated};
  bool quitPending_ = false;
  mutable std::mutex stageMutex_;
  mutable std::condition_variable stageChanged_;
  struct TBoxWait;
  std::mutex boxMutex_;
  std::shared_ptr<TBoxWait> box_;
  std::thread thread_;
};

}  // namespace vertamo

#include "iptel/iptel_thread.h"

#include <algorithm>
#include <chrono>

#include "iptel/phone_command_line.h"
#include "iptel/phone_log.h"
#include "platform/cp1251.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/raw_file.h"

namespace vertamo {

namespace {

using Clock = std::chrono::steady_clock;

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

// --- the operating system's side -------------------------------------------

int TLinuxPhoneProcesses::FindPhoneProcess() {
  if (child_ > 0 && ProcessAlive(child_)) return child_;
  const std::string folder = ResolvedPath(workFolder_);
  for (const int pid : OwnProcesses())
    if (SameExecutable(ProcessExecutable(pid), programPath_) && ProcessFolder(pid) == folder &&
        ProcessListensOnLoopback(pid, port_))
      return pid;
  return 0;
}

IPhoneProcesses::TEndResult TLinuxPhoneProcesses::EndPhoneProcess(int pid) {
  const int handle = OpenProcessHandle(pid);
  if (handle < 0) return TEndResult::OpenFailed;
  const bool ended = TerminateProcessHandle(handle);
  CloseProcessHandle(handle);
  if (pid == child_) {
    ReapChild(child_);
    child_ = 0;
  }
  return ended ? TEndResult::Ended : TEndResult::TerminateFailed;
}

bool TLinuxPhoneProcesses::ProgramExists(const std::string& path) { return FileExists(path); }

bool TLinuxPhoneProcesses::StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) {
  ReleasePhoneProcess();
  child_ = SpawnDetached(path, args, nullptr, workFolder_);
  return child_ > 0;
}

void TLinuxPhoneProcesses::ReleasePhoneProcess() {
  // An ended child is collected; one still running is left to run on.
  if (child_ > 0) ReapChild(child_);
  child_ = 0;
}

bool TLinuxPhoneProcesses::GetHostName(std::string& name) { return vertamo::GetHostName(name); }

// --- start files -----------------------------------------------------------

void WritePhoneStartFiles(const std::string& workFolder, const std::string& commandLine) {
  const std::string line = Cp("Строка запуска:") + commandLine + "\r\n";
  for (const char* name : {"ohphone.log", "ohphone.last"}) {
    const std::string path = WithTrailingSlash(workFolder) + name;
    RemoveFile(path);
    TRawFile file;
    if (file.Open(path, TRawFile::kGenericWrite, TRawFile::kFileShareRead, TRawFile::kCreateAlways,
                  TRawFile::kFileAttributeNormal | TRawFile::kFileAttributeOwnerOnly))
      file.Write(line.data(), line.size());
  }
}

// --- the thread ----------------------------------------------------------------

struct TIPTELThread::TBoxWait {
  std::mutex mutex;
  std::condition_variable closed;
  bool done = false;
};

TIPTELThread::TIPTELThread(TPhoneConfig config, IPhoneProcesses& processes, IPhoneHost& host, TPhoneLog& log)
    : config_(std::move(config)), processes_(processes), host_(host), log_(log) {
  // The main thread took the queue down from full: read again.
  events_.SetDrained([this] { wake_.Request(); });
}

TIPTELThread::~TIPTELThread() { Stop(); }

void TIPTELThread::Start() {
  if (thread_.joinable() || Stage() != kCreated) return;
  thread_ = std::thread([this] { Run(); });
}

void TIPTELThread::Stop() {
  stop_.Request();
  wake_.Request();
  {
    std::lock_guard lock(boxMutex_);
    if (box_) {
      std::lock_guard boxLock(box_->mutex);
      box_->closed.notify_all();
    }
  }
  if (thread_.joinable()) thread_.join();
}

void TIPTELThread::SetStage(TStage stage) {
  {
    std::lock_guard lock(stageMutex_);
    stage_.store(stage, std::memory_order_release);
    if (stage == kLinkUp) linkCount_.fetch_add(1, std::memory_order_acq_rel);
    linkUp_.store(stage == kLinkUp, std::memory_order_release);
  }
  stageChanged_.notify_all();
}

bool TIPTELThread::WaitForStage(TStage stage, int milliseconds) const {
  std::unique_lock lock(stageMutex_);
  return stageChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [&] { return Stage() >= stage; });
}

bool TIPTELThread::WaitForLink(int count, int milliseconds) const {
  std::unique_lock lock(stageMutex_);
  return stageChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [&] { return LinkCount() >= count && PhoneLinkUp(); });
}

bool TIPTELThread::SendPhoneCommand(std::string_view command) {
  if (!PhoneLinkUp()) return true;
  if (!connected_.load(std::memory_order_acquire)) return false;
  commands_.Push(command);
  wake_.Request();
  return true;
}

bool TIPTELThread::QuitPhone(int rounds, int waitMs) {
  for (int i = 0; i < rounds; ++i) {
    SendPhoneCommand("q");
    std::unique_lock lock(stageMutex_);
    if (stageChanged_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !PhoneLinkUp(); }))
      return true;
  }
  return !PhoneLinkUp();
}

void TIPTELThread::MessageBox(const TPhoneMessageBox& box) {
  if (recovering_) {
    // The dispatcher has been told that the link is gone; a box at every
    // attempt to bring it back would only pile up.
    log_.Write(box.text);
    return;
  }
  auto wait = std::make_shared<TBoxWait>();
  {
    std::lock_guard lock(boxMutex_);
    box_ = wait;
  }
  host_.ShowMessageBox(box, [wait] {
    std::lock_guard lock(wait->mutex);
    wait->done = true;
    wait->closed.notify_all();
  });
  {
    std::unique_lock lock(wait->mutex);
    wait->closed.wait(lock, [&] { return wait->done || stop_.IsRequested(); });
  }
  std::lock_guard lock(boxMutex_);
  box_.reset();
}

void TIPTELThread::Post(TPhoneQueued item) {
  if (events_.Push(std::move(item))) host_.PhoneEventPosted();
}

void TIPTELThread::Run() {
  int pause = config_.reconnectFirstMs;
  while (!stop_.IsRequested()) {
    const bool up = Establish();
    if (!up) {
      // The first start failing leaves calls inert for the run, as the boxes
      // said; a link that was up is tried again and again.
      if (!recovering_ || stop_.IsRequested()) break;
      stop_.WaitFor(pause);
      pause = std::min(pause * 2, config_.reconnectMaxMs);
      continue;
    }
    if (stop_.IsRequested()) break;
    commands_.Clear();  // nothing given while the link was down is owed to the new one
    out_.clear();
    connected_.store(true, std::memory_order_release);
    SetStage(kLinkUp);
    if (recovering_) log_.PhoneLog("Связь с Ohphone восстановлена...");
    Post({recovering_ ? TPhoneQueued::TKind::LinkRestored : TPhoneQueued::TKind::LinkUp, {}, adopted_.load()});
    const Clock::time_point upSince = Clock::now();
    const bool lost = Serve();
    connected_.store(false, std::memory_order_release);
    connection_.Close();
    reader_.TakePartial();
    if (!lost || stop_.IsRequested()) break;
    SetStage(kAdopting);
    log_.PhoneLog("Связь с Ohphone потеряна...");
    Post({TPhoneQueued::TKind::LinkLost, {}, false});
    recovering_ = true;
    if (Clock::now() - upSince >= std::chrono::milliseconds(config_.stableLinkMs)) pause = config_.reconnectFirstMs;
    stop_.WaitFor(pause);
    pause = std::min(pause * 2, config_.reconnectMaxMs);
  }
  commands_.Clear();
  connected_.store(false, std::memory_order_release);
  connection_.Close();
  processes_.ReleasePhoneProcess();
  SetStage(kEnded);
}

bool TIPTELThread::Establish() {
  SetStage(kAdopting);
  adopted_.store(false);
  if (Adopt()) return true;
  if (stop_.IsRequested()) return false;
  SetStage(kRemoving);
  RemoveOldProgram();
  if (stop_.IsRequested()) return false;
  SetStage(kStarting);
  return StartPhoneProgram() && ConnectToStarted();
}

bool TIPTELThread::Adopt() {
  if (!connection_.Connect(config_.host, config_.port)) return false;
  // The program has the whole wait to greet; the last message counts.
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(config_.adoptWaitMs);
  std::string last;
  bool any = false;
  for (;;) {
    const int left = MsLeft(deadline);
    if (left <= 0) break;
    if (!connection_.WaitSocket(true, false, false, left, &stop_)) {
      if (stop_.IsRequested()) return false;
      continue;  // time-out: the loop ends with the deadline
    }
    const size_t waiting = connection_.Available();
    if (waiting == 0) break;  // the program closed the connection
    char buffer[512];
    if (!connection_.Receive(buffer, std::min(waiting, sizeof buffer)) && connection_.LastCount() <= 0) break;
    reader_.Feed(buffer, static_cast<size_t>(connection_.LastCount()));
    for (std::string message; reader_.Next(message);) {
      last = std::move(message);
      any = true;
    }
  }
  // A greeting without its zero byte is taken as it stands.
  const std::string partial = reader_.TakePartial();
  if (!partial.empty() || !any) last = partial;
  if (last == "OK") {
    adopted_.store(true);
    log_.PhoneLog("Выполнено подключение к уже работающему Ohphone...");
    return true;
  }
  connection_.Close();
  return false;
}

void TIPTELThread::RemoveOldProgram() {
  const int pid = processes_.FindPhoneProcess();
  if (pid == 0) return;
  switch (processes_.EndPhoneProcess(pid)) {
    case IPhoneProcesses::TEndResult::OpenFailed:
      log_.PhoneLog("Не удается удалить OHPHONE из памяти (OpenProcess)");
      MessageBox({Cp("Не удается удалить OHPHONE из памяти...\nПерезагрузите компьютер..."), Cp("ВНИМАНИЕ"), false});
      break;
    case IPhoneProcesses::TEndResult::Ended:
      stop_.WaitFor(config_.removeWaitMs);
      break;
    case IPhoneProcesses::TEndResult::TerminateFailed:
      log_.PhoneLog("Не удается удалить OHPHONE из памяти (TerminateProcess)");
      MessageBox({Cp("Не удается удалить OHPHONE из памяти..."), "TerminateProcess", false});
      break;
  }
}

bool TIPTELThread::StartPhoneProgram() {
  const std::string& path = config_.programPath;
  if (!processes_.ProgramExists(path)) {
    MessageBox({Cp("Не найдена программа ohphone:\n") + path +
                    Cp("\n\nБез неё звонки невозможны. Переустановите пакет vertamo или укажите "
                       "программу телефона параметром --phone-program (man vertamo)."),
                path, true});
    return false;
  }
  std::string host;
  if (processes_.GetHostName(host)) {
    // Host names are UTF-8 here; the alias is built from code page 1251 text.
    host = Utf8ToCp1251(host);
  } else {
    MessageBox({Cp("Не удается определить Host имя..."), Cp("Внимание"), true});
    host.clear();
    if (stop_.IsRequested()) return false;
  }
  const TPhoneCommandLine command =
      BuildPhoneCommandLine(config_.settings, path, PhoneAlias(host), config_.workFolder);
  WritePhoneStartFiles(config_.workFolder, command.line);
  return !stop_.IsRequested() && processes_.StartPhoneProcess(path, command.args);
}

bool TIPTELThread::ConnectToStarted() {
  while (!stop_.IsRequested()) {
    const Clock::time_point next = Clock::now() + std::chrono::milliseconds(config_.connectRetryMs);
    if (connection_.ConnectAsync(config_.host, config_.port) &&
        connection_.WaitConnected(config_.connectRetryMs, &stop_))
      return true;
    connection_.Close();
    stop_.WaitFor(MsLeft(next));
  }
  return false;
}

bool TIPTELThread::Serve() {
  quitPending_ = false;
  // Non-blocking: a program that stops reading never holds the thread in a
  // send; what it has not taken waits in out_ while the thread goes on.
  connection_.SetBlocking(false);
  for (;;) {
    wake_.Reset();
    if (stop_.IsRequested()) return false;
    // Commands first: whatever the main thread handed over is written before
    // anything more is read.
    if (commands_.TakeAll(out_)) quitPending_ = true;
    if (!WriteCommands()) return !quitPending_;
    // While the main thread is behind, the socket is left unread: the phone
    // program then waits in its own send.
    const bool reading = !events_.Full();
    if (reading && connection_.WaitSocket(true, false, false, 0)) {
      if (!ReadMessages()) return !quitPending_;
      continue;
    }
    if (!commands_.Empty()) continue;
    connection_.WaitSocket(reading, !out_.empty(), false, -1, &wake_);
  }
}

bool TIPTELThread::WriteCommands() {
  if (out_.empty()) return true;
  if (!connection_.Send(out_.data(), out_.size()) && connection_.Status() != TTCPClient::kShortTransfer) {
    if (connection_.LastCount() < 0 && connection_.LastError() == wsa::kWouldBlock) return true;
    return false;
  }
  out_.erase(0, static_cast<size_t>(std::max(0L, connection_.LastCount())));
  return true;
}

bool TIPTELThread::ReadMessages() {
  const size_t waiting = connection_.Available();
  if (waiting == 0) return false;  // closed by the program (or broken)
  char buffer[TPhoneEventQueue::kMaxRead];
  connection_.Receive(buffer, std::min(waiting, sizeof buffer));
  if (connection_.LastCount() <= 0) return false;
  reader_.Feed(buffer, static_cast<size_t>(connection_.LastCount()));
  for (std::string message; reader_.Next(message);) {
    if (quitPending_) {
      if (message == "OK") return false;
      continue;
    }
    Post({TPhoneQueued::TKind::Line, std::move(message), false});
  }
  return true;
}

}  // namespace vertamo

#include "shell/demo/demo_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "platform/child_process.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "protocol/demo_link.h"
#include "protocol/txtfunc.h"

namespace vertamo::ui {


namespace {

using Clock = std::chrono::steady_clock;

bool ReadPort(const std::string& text, uint16_t& port) { return ParseWholeNumber(text, port) && port != 0; }

}  // namespace

TDemoProcess::TDemoProcess() = default;

TDemoProcess::~TDemoProcess() { Stop(); }

bool TDemoProcess::Start(const TOptions& options, std::string* error) {
  Stop();
  // One socket both ways: a send never raises SIGPIPE here once the demo
  // has gone, and the end of our side is the end of its input.
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    if (error) *error = std::string("socketpair: ") + std::strerror(errno);
    return false;
  }
  std::vector<std::string> args;
  if (!options.phoneProgram.empty()) args.insert(args.end(), {"--phone-program", options.phoneProgram});
  if (options.gatewayPort >= 0) args.insert(args.end(), {"--gateway-port", std::to_string(options.gatewayPort)});
  if (!options.workFolder.empty()) args.insert(args.end(), {"--work-folder", options.workFolder});
  process_ = std::make_unique<TChildProcess>();
  // Ended in good order (its phone and SIP peers with it) when the
  // workstation ends without closing its input.
  process_->SetParentDeathSignal(SIGTERM);
  process_->SetStandardStreams(ends[1], ends[1]);
  const bool started = process_->Start(options.program, args, {}, error);
  ::close(ends[1]);
  link_ = ends[0];
  if (!started) {
    Stop();
    return false;
  }
  const auto until = Clock::now() + std::chrono::milliseconds(kStartMs);
  for (;;) {
    const int left =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
    const std::vector<std::string> f = NextLine(std::max(left, 0));
    if (f.empty()) {
      std::string status;
      if (error)
        *error = process_->WaitEnded(100, &status) ? options.program + " ended: " + status
                                                   : options.program + " did not say it serves within " +
                                                         std::to_string(kStartMs / 1000) + " s";
      Stop();
      return false;
    }
    if (f[0] == demolink::kReady) break;
    if (f[0] == demolink::kServer && f.size() >= 2) {
      ReadPort(f[1], port_);
    } else if (f[0] == demolink::kGateway && f.size() >= 3) {
      gatewayHost_ = f[1];
      ReadPort(f[2], gatewayPort_);
    } else if (f[0] == demolink::kNoGateway && f.size() >= 2) {
      gatewayProblem_ = f[1];
    } else if (f[0] == demolink::kPhone && f.size() >= 4) {
      ReadPort(f[1], phonePort_);
      phoneDescription_ = f[2];
      realPhone_ = f[3] == demolink::kRealPhone;
    } else if (f[0] == demolink::kSubscriber && f.size() >= 3) {
      subscribers_.push_back({f[1], f[2]});
    }
  }
  if (port_ == 0 || phonePort_ == 0) {
    if (error) *error = options.program + " named no server or no phone";
    Stop();
    return false;
  }
  return true;
}

void TDemoProcess::Stop() {
  if (link_ >= 0) ::close(link_);  // the end of its input ends it
  link_ = -1;
  if (process_ && !process_->WaitEnded(3000)) process_->Kill();
  process_.reset();
  pending_.clear();
  port_ = gatewayPort_ = phonePort_ = 0;
  gatewayHost_.clear();
  gatewayProblem_.clear();
  phoneDescription_.clear();
  realPhone_ = false;
  subscribers_.clear();
}

int TDemoProcess::Pid() const { return process_ ? process_->Pid() : 0; }

std::vector<std::string> TDemoProcess::NextLine(int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (const size_t end = pending_.find('\n'); end != std::string::npos) {
      std::vector<std::string> fields = demolink::SplitFields(std::string_view(pending_).substr(0, end));
      pending_.erase(0, end + 1);
      return fields;
    }
    const int left =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
    if (link_ < 0 || left < 0) return {};
    pollfd p{link_, POLLIN, 0};
    const int ready = ::poll(&p, 1, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return {};
    char buffer[4096];
    const ssize_t n = ::read(link_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

bool TDemoProcess::Send(const std::vector<std::string>& fields) {
  const std::string line = demolink::JoinFields(fields) + "\n";
  for (size_t done = 0; done < line.size();) {
    const ssize_t n = ::send(link_, line.data() + done, line.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::vector<std::string> TDemoProcess::Requests() {
  std::lock_guard lock(talk_);
  std::vector<std::string> lines;
  if (!Send({std::string(demolink::kRequests)})) return lines;
  for (std::vector<std::string> f; !(f = NextLine(kAnswerMs)).empty() && f[0] != demolink::kReady;)
    if (f[0] == demolink::kRequest && f.size() >= 2) lines.push_back(f[1]);
  return lines;
}

bool TDemoProcess::ProgramExists(const std::string& path) { return RealPhone() ? FileExists(path) : Pid() > 0; }

bool TDemoProcess::StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) {
  std::lock_guard lock(talk_);
  std::vector<std::string> fields{std::string(demolink::kStart), path};
  fields.insert(fields.end(), args.begin(), args.end());
  if (!Send(fields)) return false;
  const std::vector<std::string> answer = NextLine(kAnswerMs);
  if (!answer.empty() && answer[0] == demolink::kStarted) return true;
  std::fprintf(stderr, "vertamo: the demo's phone did not start: %s\n",
               answer.size() >= 2 ? answer[1].c_str() : "the demo did not answer");
  return false;
}

bool TDemoProcess::GetHostName(std::string& name) { return vertamo::GetHostName(name); }

}  // namespace vertamo::ui

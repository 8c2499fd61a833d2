#include "tools/orvex-sim/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/cp1251.h"
#include "platform/tcp_listener.h"
#include "tools/orvex-sim/connection.h"
#include "tools/orvex-sim/pictures.h"
#include "tools/orvex-sim/replies.h"
#include "tools/orvex-sim/wire.h"

namespace orvexsim {

namespace {

using SteadyClock = std::chrono::steady_clock;

}  // namespace

struct Server::Impl {
  std::shared_ptr<const Scenario> scenario;
  std::shared_ptr<const Catalog> catalog;
  std::unique_ptr<World> world;
  std::unique_ptr<PictureCache> pictures;
  ServerOptions options;
  std::vector<Account> accounts;  // code page 1251
  int floodLines = 0;

  int listenFd = -1;
  int stopFd = -1;
  uint16_t port = 0;
  std::atomic<bool> running{false};
  SteadyClock::time_point started;
  std::thread acceptThread;
  std::thread tickThread;
  std::mutex tickMutex;
  std::condition_variable tickCv;
  bool stopping = false;

  mutable std::mutex faultsMutex;
  std::vector<Fault> faults;

  mutable std::mutex recordMutex;
  std::vector<RecordEntry> record;
  std::FILE* recordFile = nullptr;

  struct Slot {
    int fd = -1;
    int number = 0;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  std::mutex slotsMutex;
  std::list<std::unique_ptr<Slot>> slots;
  std::atomic<int> accepted{0};
  std::atomic<int> open{0};

  void AcceptLoop();
  void TickLoop();
  void Reap(bool all);

  ActiveFaults FaultsFor(int connection, Step step, int occurrence) const {
    std::vector<Fault> out;
    std::lock_guard lock(faultsMutex);
    for (const Fault& f : faults) {
      if (f.step != step) continue;
      if (f.connection >= 0 && f.connection != connection) continue;
      if (f.occurrence >= 0 && f.occurrence != occurrence) continue;
      out.push_back(f);
    }
    return ActiveFaults(std::move(out));
  }

  void Record(int connection, std::string_view cp1251) {
    RecordEntry entry;
    entry.connection = connection;
    entry.micros =
        std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - started).count();
    entry.line = vertamo::Cp1251ToUtf8(cp1251);
    std::lock_guard lock(recordMutex);
    if (recordFile) {
      nlohmann::ordered_json j = {{"conn", entry.connection}, {"t_us", entry.micros}, {"line", entry.line}};
      std::string text = j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
      text += '\n';
      std::fwrite(text.data(), 1, text.size(), recordFile);
      std::fflush(recordFile);
    }
    record.push_back(std::move(entry));
  }

  // The callback is called by one thread at a time.
  void Log(const std::string& message) const {
    if (!options.log) return;
    std::lock_guard lock(logMutex);
    options.log(message);
  }
  mutable std::mutex logMutex;
};

// ---- One connection ------------------------------------------------------------

namespace {

class Session {
 public:
  Session(Server::Impl& server, int fd, int number)
      : s_(server), conn_(fd, server.stopFd), number_(number), feed_(server.catalog.get()) {}

  void Run() {
    if (Greeting()) {
      std::string line;
      while (conn_.ReadLine(&line)) {
        s_.Record(number_, line);
        if (stalled_) continue;
        if (!Serve(ParseRequest(line))) break;
      }
    }
    conn_.Shutdown();
    s_.Log("connection " + std::to_string(number_) + " closed");
  }

 private:
  const Scenario& scenario() const { return *s_.scenario; }

  ActiveFaults FaultsFor(Step step) { return s_.FaultsFor(number_, step, stepCount_[step]++); }

  void Stall() {
    stalled_ = true;
    s_.Log("connection " + std::to_string(number_) + ": stalls on purpose");
  }

  bool Drop(const char* where) {
    s_.Log("connection " + std::to_string(number_) + ": dropped on purpose " + where);
    conn_.Shutdown();
    return false;
  }

  // Sends the lines of an answer, with the faults of its step.
  bool SendReply(std::vector<std::string> lines, const ActiveFaults& f) {
    if (f.Has(FaultKind::Stall)) {
      Stall();
      return true;
    }
    if (f.Has(FaultKind::Drop)) return Drop("before the answer");
    if (const Fault* d = f.Find(FaultKind::Delay); d && d->delayMs > 0 && !conn_.Wait(d->delayMs))
      return false;
    if (f.Has(FaultKind::OverlongLine))
      lines.insert(lines.begin(),
                   std::string(static_cast<size_t>(f.Value(FaultKind::OverlongLine, 3000)), 'X'));
    if (f.Has(FaultKind::WrongPrefix) && !lines.empty()) lines.front() = "WRONG " + lines.front();
    if (f.Has(FaultKind::ExtraLines)) {
      int n = f.Value(FaultKind::ExtraLines, 3);
      for (int k = 1; k <= n; ++k) lines.push_back("EXTRA LINE " + std::to_string(k));
    }
    const std::string eol = f.Has(FaultKind::LfBeforeCr) ? "\n\r" : "\r\n";
    std::string out;
    if (f.Has(FaultKind::DropMidData) || f.Has(FaultKind::DropMidReply)) {
      size_t data = lines.size();
      if (f.Has(FaultKind::DropMidData))
        for (size_t k = 0; k < lines.size(); ++k)
          if (lines[k].compare(0, 4, "DATA") == 0) {
            data = k;
            break;
          }
      if (data < lines.size()) {
        for (size_t k = 0; k < data; ++k) out += lines[k] + eol;
        const std::string& value = lines[data];
        size_t quote = value.find('"');
        size_t cut =
            quote == std::string::npos ? value.size() / 2 : quote + 1 + (value.size() - quote - 1) / 2;
        out.append(value, 0, cut);
      } else {
        for (size_t k = 0; k < lines.size() / 2; ++k) out += lines[k] + eol;
      }
      conn_.Send(out);
      return Drop("in the middle of the answer");
    }
    size_t size = 0;
    for (const auto& line : lines) size += line.size() + eol.size();
    out.reserve(size);
    for (const auto& line : lines) {
      out += line;
      out += eol;
    }
    if (const Fault* d = f.Find(FaultKind::Drip)) return conn_.SendDrip(out, d->delayMs);
    return conn_.Send(out);
  }

  // REMOTE, the login prompt, the password prompt, the verdict.
  bool Greeting() {
    std::string line;
    for (;;) {
      if (!conn_.ReadLine(&line)) return false;
      s_.Record(number_, line);
      if (ParseRequest(line).kind == RequestKind::Remote) break;
    }
    ActiveFaults f = FaultsFor(Step::Greeting);
    if (f.Has(FaultKind::Stall)) {
      Stall();
      conn_.Drain([&](const std::string& l) { s_.Record(number_, l); });
      return false;
    }
    if (f.Has(FaultKind::Drop)) return Drop("after the greeting");
    if (const Fault* d = f.Find(FaultKind::Delay); d && d->delayMs > 0 && !conn_.Wait(d->delayMs))
      return false;
    const std::string prompt = f.Has(FaultKind::GarblePrompt) ? "\rLogin:" : "Login:";
    const Fault* drip = f.Find(FaultKind::Drip);
    if (!(drip ? conn_.SendDrip(prompt, drip->delayMs) : conn_.Send(prompt))) return false;
    std::string login, password;
    if (!conn_.ReadLine(&login)) return false;
    s_.Record(number_, login);
    if (!(drip ? conn_.SendDrip("Password:", drip->delayMs) : conn_.Send("Password:"))) return false;
    if (!conn_.ReadLine(&password)) return false;
    s_.Record(number_, "***");

    ActiveFaults lf = FaultsFor(Step::Login);
    const Account* account = nullptr;
    static const Account kAnyone;
    if (s_.accounts.empty()) {
      account = &kAnyone;
    } else {
      for (const Account& a : s_.accounts)
        if (a.login == login && a.password == password) account = &a;
    }
    if (lf.Has(FaultKind::RefuseLogin)) account = nullptr;
    std::string verdict = account ? account->reply : "Wrong login";
    if (account && lf.Has(FaultKind::LowerCase))
      for (size_t k = 0; k < verdict.size() && k < 2; ++k)
        verdict[k] = static_cast<char>(std::tolower(verdict[k]));
    s_.Log("connection " + std::to_string(number_) + ": login \"" + vertamo::Cp1251ToUtf8(login) + "\" " +
           (account ? "accepted" : "refused"));
    if (account) {
      // From here on the connection follows the district: whatever happens
      // after the verdict reaches its feed.
      s_.world->Subscribe(&feed_.view, &cursor_);
      feed_.told = LayoutCounts(scenario(), feed_.view);
      loginAt_ = SteadyClock::now();
      feed_.timelineDone.assign(scenario().feed.timeline.size(), false);
    }
    if (!SendReply({verdict}, lf)) return false;
    if (stalled_) {
      conn_.Drain([&](const std::string& l) { s_.Record(number_, l); });
      return false;
    }
    return account != nullptr;
  }

  bool Serve(const Request& r) {
    std::optional<Step> step = StepOf(r);
    ActiveFaults f = step ? FaultsFor(*step) : ActiveFaults();
    switch (r.kind) {
      case RequestKind::Empty:
      case RequestKind::Remote:
        return true;
      case RequestKind::GetMap:
        feed_.told = LayoutCounts(scenario(), feed_.view);
        return SendReply(GetMapReply(scenario(), feed_.told, f), f);
      case RequestKind::GetMapObj:
        return SendReply(GetMapObjReply(*s_.catalog, feed_.view, f), f);
      case RequestKind::GetText:
        return SendReply(GetTextReply(scenario(), f), f);
      case RequestKind::GetPictMap:
        return SendReply(GetPictMapReply(scenario(), *s_.pictures, *r.map, false, f), f);
      case RequestKind::GetPictMapCs:
        return SendReply(GetPictMapReply(scenario(), *s_.pictures, *r.map, true, f), f);
      case RequestKind::GetPictIml:
        return SendReply(GetPictImlReply(*s_.catalog, *s_.pictures, *r.obj, false, f), f);
      case RequestKind::GetPictImlCs:
        return SendReply(GetPictImlReply(*s_.catalog, *s_.pictures, *r.obj, true, f), f);
      case RequestKind::GetChanges:
        return SendReply(GetChanges(f), f);
      case RequestKind::MouseDownObj:
        return SendReply(MouseDownReply(scenario(), *r.obj, f), f);
      case RequestKind::Report:
        return SendReply(ReportReply(*s_.catalog, feed_.view, r.report, f), f);
      case RequestKind::StartSpeak:
        if (*r.obj >= 0 && *r.obj < feed_.view.ObjectCount()) s_.world->AnswerCall(*r.obj);
        return SendReply({"OK"}, f);
      case RequestKind::EndSpeak:
        return SendReply({"OK"}, f);
      case RequestKind::Unknown:
        return SendReply({"ERROR Unknown request"}, f);
    }
    return true;
  }

  // The district's lines since the last poll go into the reply.
  std::vector<std::string> GetChanges(const ActiveFaults& f) {
    std::vector<std::string> world;
    if (!s_.world->LinesSince(&cursor_, &world)) {
      // The events it missed are gone: the client must load everything again.
      world.assign(1, "RELOAD");
    }
    const double elapsed = std::chrono::duration<double>(SteadyClock::now() - loginAt_).count();
    return GetChangesReply(*s_.catalog, s_.floodLines, std::move(world), elapsed, feed_, f);
  }

  Server::Impl& s_;
  Connection conn_;
  const int number_;
  FeedState feed_;
  uint64_t cursor_ = 0;
  SteadyClock::time_point loginAt_;
  std::map<Step, int> stepCount_;
  bool stalled_ = false;
};

}  // namespace

// ---- Server -----------------------------------------------------------------

void Server::Impl::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    int n = ::poll(fds, 2, 1000);
    if (n < 0 && errno != EINTR) break;
    if (fds[1].revents) break;
    Reap(false);
    if (n <= 0 || !(fds[0].revents & POLLIN)) continue;
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto slot = std::make_unique<Slot>();
    slot->fd = fd;
    slot->number = accepted.fetch_add(1);
    char address[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
    Log("connection " + std::to_string(slot->number) + " from " + address + ":" +
        std::to_string(ntohs(peer.sin_port)));
    Slot* raw = slot.get();
    std::lock_guard lock(slotsMutex);
    open.fetch_add(1);
    slot->thread = std::thread([this, raw] {
      Session session(*this, raw->fd, raw->number);
      session.Run();
      open.fetch_sub(1);
      raw->done.store(true);
    });
    slots.push_back(std::move(slot));
  }
}

void Server::Impl::Reap(bool all) {
  std::list<std::unique_ptr<Slot>> finished;
  {
    std::lock_guard lock(slotsMutex);
    for (auto it = slots.begin(); it != slots.end();) {
      if (all || (*it)->done.load()) {
        finished.push_back(std::move(*it));
        it = slots.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& slot : finished) {
    if (!slot->done.load()) ::shutdown(slot->fd, SHUT_RDWR);
  }
  for (auto& slot : finished) {
    if (slot->thread.joinable()) slot->thread.join();
    ::close(slot->fd);
  }
}

void Server::Impl::TickLoop() {
  std::unique_lock lock(tickMutex);
  for (;;) {
    if (tickCv.wait_for(lock, std::chrono::milliseconds(options.liveTickMs), [&] { return stopping; }))
      return;
    lock.unlock();
    world->Tick();
    lock.lock();
  }
}

Server::Server() = default;

Server::~Server() { Stop(); }

bool Server::Start(std::shared_ptr<const Scenario> scenario, const ServerOptions& options,
                   std::string* error) {
  auto fail = [&](std::string message) {
    if (error) *error = std::move(message);
    return false;
  };
  if (impl_ && impl_->running) return fail("the server is running already");
  if (!scenario) return fail("no scenario");
  std::string problem;
  if (!ValidateScenario(*scenario, &problem)) return fail("scenario \"" + scenario->name + "\": " + problem);
  if (options.liveTickMs < 0) return fail("the live generator's second cannot be negative");

  auto impl = std::make_unique<Impl>();
  impl->scenario = scenario;
  impl->options = options;
  impl->catalog = std::make_shared<Catalog>(scenario);
  impl->world = std::make_unique<World>(impl->catalog, options.seed, options.clock);
  impl->pictures = std::make_unique<PictureCache>(scenario);
  impl->floodLines = std::max(0, options.floodLinesPerPoll.value_or(scenario->feed.floodLinesPerPoll));
  impl->faults = scenario->faults;
  impl->faults.insert(impl->faults.end(), options.faults.begin(), options.faults.end());
  std::vector<Account> accounts = scenario->accounts;
  if (options.login && options.password) accounts = {Account{*options.login, *options.password, "OK Full"}};
  for (Account& a : accounts) {
    a.login = vertamo::Utf8ToCp1251(a.login);
    a.password = vertamo::Utf8ToCp1251(a.password);
    a.reply = vertamo::Utf8ToCp1251(a.reply);
  }
  impl->accounts = std::move(accounts);

  const vertamo::TTcpListener listener = vertamo::ListenTcp(options.bind, options.port, 64);
  switch (listener.failedAt) {
    case vertamo::TTcpListener::TFailedAt::None:
      break;
    case vertamo::TTcpListener::TFailedAt::Address:
      return fail("cannot listen on \"" + options.bind + "\": not an IPv4 address");
    case vertamo::TTcpListener::TFailedAt::Socket:
      return fail(std::string("cannot make a socket: ") + std::strerror(listener.error));
    case vertamo::TTcpListener::TFailedAt::Bind:
    case vertamo::TTcpListener::TFailedAt::Listen:
      return fail("cannot listen on " + options.bind + ":" + std::to_string(options.port) + ": " +
                  std::strerror(listener.error));
  }
  impl->listenFd = listener.fd;
  impl->port = listener.port;
  impl->stopFd = ::eventfd(0, EFD_CLOEXEC);
  if (impl->stopFd < 0) {
    ::close(impl->listenFd);
    return fail(std::string("cannot make an event descriptor: ") + std::strerror(errno));
  }
  if (!options.recordFile.empty()) {
    impl->recordFile = std::fopen(options.recordFile.c_str(), "w");
    if (!impl->recordFile) {
      std::string reason = std::strerror(errno);
      ::close(impl->listenFd);
      ::close(impl->stopFd);
      return fail("cannot write the record file \"" + options.recordFile + "\": " + reason);
    }
  }
  impl->started = SteadyClock::now();
  impl->running = true;
  Impl* raw = impl.get();
  impl->acceptThread = std::thread([raw] { raw->AcceptLoop(); });
  if (options.liveTickMs > 0 && scenario->feed.live.enabled)
    impl->tickThread = std::thread([raw] { raw->TickLoop(); });
  impl_ = std::move(impl);
  return true;
}

uint16_t Server::Port() const { return impl_ ? impl_->port : 0; }

bool Server::Running() const { return impl_ && impl_->running; }

void Server::Stop() {
  if (!impl_ || !impl_->running.exchange(false)) return;
  Impl& s = *impl_;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(s.stopFd, &one, sizeof one);
  if (s.acceptThread.joinable()) s.acceptThread.join();
  {
    std::lock_guard lock(s.tickMutex);
    s.stopping = true;
  }
  s.tickCv.notify_all();
  if (s.tickThread.joinable()) s.tickThread.join();
  s.Reap(true);
  ::close(s.listenFd);
  ::close(s.stopFd);
  s.listenFd = s.stopFd = -1;
  std::lock_guard lock(s.recordMutex);
  if (s.recordFile) std::fclose(s.recordFile);
  s.recordFile = nullptr;
}

void Server::AddFault(const Fault& fault) {
  if (!impl_) return;
  std::lock_guard lock(impl_->faultsMutex);
  impl_->faults.push_back(fault);
}

void Server::ClearFaults() {
  if (!impl_) return;
  std::lock_guard lock(impl_->faultsMutex);
  impl_->faults.clear();
}

void Server::StepLive(int seconds) {
  if (!impl_) return;
  for (int i = 0; i < seconds; ++i) impl_->world->Tick();
}

void Server::Broadcast(const std::vector<std::string>& lines) {
  if (!impl_) return;
  std::vector<std::string> converted;
  converted.reserve(lines.size());
  for (const auto& line : lines) converted.push_back(vertamo::Utf8ToCp1251(line));
  impl_->world->Broadcast(converted);
}

Counts Server::CountsNow() const { return impl_ ? impl_->world->CountsNow() : Counts{}; }

View Server::Snapshot() const { return impl_ ? impl_->world->Snapshot() : View(nullptr); }

std::vector<RecordEntry> Server::Record() const {
  if (!impl_) return {};
  std::lock_guard lock(impl_->recordMutex);
  return impl_->record;
}

int Server::ConnectionsAccepted() const { return impl_ ? impl_->accepted.load() : 0; }

int Server::ConnectionsOpen() const { return impl_ ? impl_->open.load() : 0; }

}  // namespace orvexsim

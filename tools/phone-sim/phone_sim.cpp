#include "tools/phone-sim/phone_sim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/cp1251.h"
#include "platform/stop_signal.h"
#include "platform/tcp_listener.h"

namespace phonesim {

namespace {

using Clock = std::chrono::steady_clock;
constexpr Clock::time_point kNever = Clock::time_point::max();

std::string Utf8(std::string_view cp1251) { return vertamo::Cp1251ToUtf8(cp1251); }

enum class CallState { Idle, Dialling, Talking, Ringing };

}  // namespace

std::optional<MapAddress> ParseMapAddress(std::string_view text) {
  const size_t at = text.find('@');
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view numbers = text.substr(0, at);
  const size_t star1 = numbers.find('*');
  if (star1 == std::string_view::npos) return std::nullopt;
  const size_t star2 = numbers.find('*', star1 + 1);
  if (star2 == std::string_view::npos || numbers.find('*', star2 + 1) != std::string_view::npos)
    return std::nullopt;
  MapAddress address;
  address.line = numbers.substr(0, star1);
  address.address = numbers.substr(star1 + 1, star2 - star1 - 1);
  address.unit = numbers.substr(star2 + 1);
  std::string_view host = text.substr(at + 1);
  const size_t colon = host.rfind(':');
  if (colon != std::string_view::npos) {
    address.port = host.substr(colon + 1);
    host = host.substr(0, colon);
  }
  address.host = host;
  for (const std::string* part : {&address.line, &address.address, &address.unit, &address.port})
    if (!std::all_of(part->begin(), part->end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
  if (address.line.empty() || address.address.empty() || address.unit.empty() || address.host.empty())
    return std::nullopt;
  if (colon != std::string_view::npos && address.port.empty()) return std::nullopt;
  return address;
}

std::string RecordJson(const RecordEntry& entry) {
  nlohmann::ordered_json line;
  line["t_us"] = entry.micros;
  if (entry.connection >= 0) line["conn"] = entry.connection;
  line["kind"] = entry.kind;
  if (!entry.text.empty() || entry.kind == "in" || entry.kind == "out") line["text"] = Utf8(entry.text);
  if (!entry.args.empty()) {
    nlohmann::ordered_json args = nlohmann::ordered_json::array();
    for (const std::string& arg : entry.args) args.push_back(Utf8(arg));
    line["args"] = args;
  }
  return line.dump();
}

std::optional<Fault> ParseFault(std::string_view name) {
  if (name == "silent") return Fault::Silent;
  if (name == "close_mid_call") return Fault::CloseMidCall;
  if (name == "no_zero") return Fault::NoZero;
  if (name == "one_byte") return Fault::OneByte;
  if (name == "overlong") return Fault::Overlong;
  if (name == "unknown") return Fault::Unknown;
  if (name == "die_mid_call") return Fault::DieMidCall;
  return std::nullopt;
}

std::optional<Outcome> ParseOutcome(std::string_view text, int* errorCode) {
  if (text == "answer") return Outcome::Answer;
  if (text == "busy") return Outcome::Busy;
  if (text == "forward") return Outcome::Forward;
  if (text == "silent") return Outcome::Silent;
  if (text.substr(0, 6) == "error:") {
    const std::string code(text.substr(6));
    if (code.empty() || !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
    if (errorCode) *errorCode = std::stoi(code);
    return Outcome::Error;
  }
  return std::nullopt;
}

struct Server::Impl {
  Options options;
  int listenFd = -1;
  uint16_t port = 0;
  vertamo::TStopSignal stop;
  vertamo::TStopSignal wake;
  std::thread thread;
  std::atomic<bool> running{false};
  Clock::time_point started;

  mutable std::mutex mutex;  // record, outbox, paused
  mutable std::condition_variable recordChanged;
  std::vector<RecordEntry> record;
  std::ofstream recordOut;
  enum class Order { Ring, HangUp, Send, Flood, StopReading };
  std::deque<std::pair<Order, std::string>> outbox;  // orders of other threads
  bool paused = false;
  int accepted = 0;

  // Owned by the serving thread.
  int conn = -1;
  int connIndex = -1;
  std::string partial;
  CallState state = CallState::Idle;
  std::string peer;  // the other party of the call
  Clock::time_point outcomeAt = kNever;
  Clock::time_point nextStat = kNever;
  std::vector<std::pair<Clock::time_point, std::string>> rings;
  bool quit = false;
  bool dead = false;  // died on purpose
  Clock::time_point readAgainAt = Clock::time_point::min();
  // A flood: a block of whole lines sent over and over; floodPos is where the
  // next send starts in it.
  std::string floodBlock;
  size_t floodLine = 0;  // bytes per line, its zero byte included
  size_t floodPos = 0;
  long long floodBytes = 0;
  Clock::time_point floodUntil = kNever;

  bool Has(Fault fault) const {
    return std::find(options.faults.begin(), options.faults.end(), fault) != options.faults.end();
  }

  void Log(const std::string& text) const {
    if (options.log) options.log(text);
  }

  void Note(std::string kind, std::string text, std::vector<std::string> args = {}) {
    RecordEntry entry;
    entry.micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started).count();
    entry.kind = std::move(kind);
    entry.text = std::move(text);
    entry.args = std::move(args);
    {
      std::lock_guard lock(mutex);
      entry.connection = connIndex;
      if (recordOut.is_open()) recordOut << RecordJson(entry) << '\n' << std::flush;
      record.push_back(std::move(entry));
    }
    recordChanged.notify_all();
  }

  void WriteAll(const char* data, size_t size) {
    while (size > 0 && conn >= 0) {
      const ssize_t n = ::send(conn, data, size, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      data += n;
      size -= static_cast<size_t>(n);
    }
  }

  void SendRaw(const std::string& text) {
    if (conn < 0 || Has(Fault::Silent)) return;
    FinishFloodLine();
    std::string bytes = text;
    if (!Has(Fault::NoZero)) bytes.push_back('\0');
    if (Has(Fault::OneByte)) {
      for (char c : bytes) {
        WriteAll(&c, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    } else {
      WriteAll(bytes.data(), bytes.size());
    }
    Note("out", text);
  }

  // An event line, with the faults that go before event lines.
  void SendEvent(const std::string& text) {
    if (Has(Fault::Unknown)) SendRaw("WHATEVER 42");
    if (Has(Fault::Overlong)) SendRaw("APP " + std::string(396, 'x'));
    SendRaw(text);
  }

  // A line of the flood that went out in part is ended before anything else.
  void FinishFloodLine() {
    if (floodLine == 0 || floodPos % floodLine == 0) return;
    const size_t rest = floodLine - floodPos % floodLine;
    WriteAll(floodBlock.data() + floodPos, rest);
    floodBytes += static_cast<long long>(rest);
    floodPos = (floodPos + rest) % floodBlock.size();
  }

  void StartFlood(const std::string& line, int ms) {
    EndFlood();
    floodLine = line.size() + 1;
    floodBlock.clear();
    while (floodBlock.size() < 65536) floodBlock.append(line).push_back('\0');
    floodPos = 0;
    floodBytes = 0;
    floodUntil = Clock::now() + std::chrono::milliseconds(ms);
  }

  // Sends what the socket takes without waiting.
  void FloodSome() {
    const ssize_t n = ::send(conn, floodBlock.data() + floodPos, floodBlock.size() - floodPos, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n <= 0) return;
    floodBytes += n;
    floodPos = (floodPos + static_cast<size_t>(n)) % floodBlock.size();
  }

  void EndFlood() {
    if (floodLine == 0) return;
    FinishFloodLine();
    Note("flood", std::to_string(floodBytes / static_cast<long long>(floodLine)));
    floodLine = 0;
    floodBlock.clear();
    floodUntil = kNever;
  }

  void CloseConnection(const char* why) {
    if (conn < 0) return;
    if (floodLine != 0) {
      Note("flood", std::to_string(floodBytes / static_cast<long long>(floodLine)));
      floodLine = 0;
      floodUntil = kNever;
    }
    readAgainAt = Clock::time_point::min();
    ::close(conn);
    conn = -1;
    Note("close", why);
    state = CallState::Idle;
    outcomeAt = nextStat = kNever;
    rings.clear();
    partial.clear();
  }

  void Connected() {
    Note("call", peer);
    state = CallState::Talking;
    if (options.statEveryMs > 0) nextStat = Clock::now() + std::chrono::milliseconds(options.statEveryMs);
    if (Has(Fault::CloseMidCall)) CloseConnection("closed mid-call on purpose");
    if (Has(Fault::DieMidCall)) {
      CloseConnection("died mid-call on purpose");
      ::close(listenFd);
      listenFd = -1;
      dead = true;
    }
  }

  void Handle(const std::string& message) {
    Note("in", message);
    if (Has(Fault::Silent)) return;
    if (message.size() >= 2 && message[0] == 'c' && message[1] == ' ') {
      peer = message.substr(2);
      state = CallState::Dialling;
      if (auto map = ParseMapAddress(peer))
        Note("dial", peer, {map->line, map->address, map->unit, map->host, map->port});
      else
        Note("dial", peer);
      outcomeAt = Clock::now() + std::chrono::milliseconds(options.answerDelayMs);
    } else if (message == "h") {
      if (state != CallState::Idle) SendEvent("END");
      state = CallState::Idle;
      outcomeAt = nextStat = kNever;
    } else if (message == "y") {
      if (state == CallState::Ringing) {
        SendEvent("CALL " + peer);
        Connected();
      }
    } else if (message == "n") {
      if (state == CallState::Ringing) {
        state = CallState::Idle;
        SendEvent("ERROR 9");
      }
    } else if (message == "q") {
      SendRaw("OK");
      Note("quit", "");
      quit = true;
    }
  }

  void Resolve() {
    outcomeAt = kNever;
    switch (options.outcome) {
      case Outcome::Answer:
        SendEvent("CALL " + peer);
        Connected();
        break;
      case Outcome::Forward:
        SendEvent("FORWARDED");
        SendEvent("CALL " + peer);
        Connected();
        break;
      case Outcome::Busy:
        state = CallState::Idle;
        SendEvent("BUSY");
        break;
      case Outcome::Error:
        state = CallState::Idle;
        SendEvent("ERROR " + std::to_string(options.errorCode));
        break;
      case Outcome::Silent:
        break;
    }
  }

  void Ring(const std::string& caller) {
    peer = caller.substr(0, caller.find(' '));
    state = CallState::Ringing;
    outcomeAt = kNever;
    SendEvent("RING " + caller);
  }

  void Accept() {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    conn = fd;
    {
      std::lock_guard lock(mutex);
      connIndex = accepted++;
    }
    Note("accept", "");
    Log("control connection " + std::to_string(connIndex) + " accepted");
    if (options.greet) SendRaw("OK");
    if (!options.app.empty()) SendEvent("APP " + options.app);
    const Clock::time_point now = Clock::now();
    for (const ScriptedRing& ring : options.rings)
      rings.emplace_back(now + std::chrono::milliseconds(ring.atMs), ring.caller);
  }

  void Receive() {
    char buffer[4096];
    const ssize_t n = ::recv(conn, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
      CloseConnection("closed by the workstation");
      return;
    }
    for (ssize_t i = 0; i < n && conn >= 0 && !quit; ++i) {
      if (buffer[i] != '\0') {
        partial.push_back(buffer[i]);
        continue;
      }
      Handle(partial);
      partial.clear();
    }
  }

  void Timers() {
    const Clock::time_point now = Clock::now();
    if (conn < 0) return;
    if (outcomeAt <= now) Resolve();
    if (conn >= 0 && nextStat <= now && state == CallState::Talking) {
      SendEvent("STAT jitter=20ms loss=0% rtt=4ms");
      nextStat = now + std::chrono::milliseconds(options.statEveryMs);
    }
    std::vector<std::pair<Clock::time_point, std::string>> again;
    for (auto it = rings.begin(); it != rings.end() && conn >= 0;) {
      if (it->first > now) {
        ++it;
        continue;
      }
      const auto [due, caller] = *it;
      it = rings.erase(it);
      if (options.ringRepeatMs > 0)
        again.emplace_back(due + std::chrono::milliseconds(options.ringRepeatMs), caller);
      if (state == CallState::Idle) {
        Ring(caller);
      } else {
        Note("missed", caller);
        Log("ring of " + Utf8(caller) + " missed: the line is busy");
      }
    }
    rings.insert(rings.end(), again.begin(), again.end());
  }

  Clock::time_point NextDeadline() const {
    Clock::time_point next = std::min(outcomeAt, state == CallState::Talking ? nextStat : kNever);
    next = std::min(next, floodUntil);
    if (readAgainAt > Clock::now()) next = std::min(next, readAgainAt);
    for (const auto& ring : rings) next = std::min(next, ring.first);
    return next;
  }

  // Orders of other threads wait for a control connection.
  void TakeOrders() {
    std::deque<std::pair<Order, std::string>> orders;
    {
      std::lock_guard lock(mutex);
      orders.swap(outbox);
    }
    while (!orders.empty() && conn >= 0) {
      const auto [order, text] = orders.front();
      orders.pop_front();
      if (order == Order::Ring) {
        Ring(text);
      } else if (order == Order::HangUp) {
        if (state != CallState::Idle) SendEvent("ERROR 1");
        state = CallState::Idle;
        outcomeAt = nextStat = kNever;
      } else if (order == Order::Flood) {
        const size_t space = text.find(' ');
        StartFlood(text.substr(space + 1), std::stoi(text.substr(0, space)));
      } else if (order == Order::StopReading) {
        readAgainAt = Clock::now() + std::chrono::milliseconds(std::stoi(text));
      } else {
        SendEvent(text);
      }
    }
    if (orders.empty()) return;
    std::lock_guard lock(mutex);  // the connection closed meanwhile: keep the rest
    outbox.insert(outbox.begin(), orders.begin(), orders.end());
  }

  void Serve() {
    while (!stop.IsRequested() && !quit && !dead) {
      int timeout = -1;
      if (conn >= 0) {
        const Clock::time_point next = NextDeadline();
        if (next != kNever) {
          const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
          timeout = ms > 0 ? static_cast<int>(ms) : 0;
        }
      }
      bool acceptNow = false;
      {
        std::lock_guard lock(mutex);
        acceptNow = conn < 0 && !paused;
      }
      const bool reading = readAgainAt <= Clock::now();
      const short connEvents = static_cast<short>((reading ? POLLIN : 0) | (floodLine != 0 ? POLLOUT : 0));
      pollfd fds[4] = {{stop.Fd(), POLLIN, 0},
                       {wake.Fd(), POLLIN, 0},
                       {acceptNow ? listenFd : -1, POLLIN, 0},
                       {connEvents != 0 ? conn : -1, connEvents, 0}};
      ::poll(fds, 4, timeout);
      if (stop.IsRequested()) break;
      if (fds[1].revents & POLLIN) wake.Reset();
      if (fds[2].revents & POLLIN) Accept();
      if (conn >= 0) TakeOrders();
      if (conn >= 0 && reading && (fds[3].revents & (POLLIN | POLLHUP | POLLERR))) Receive();
      if (conn >= 0 && floodLine != 0) {
        if (floodUntil <= Clock::now())
          EndFlood();
        else if (fds[3].revents & POLLOUT)
          FloodSome();
      }
      if (!quit && !dead) Timers();
    }
    if (conn >= 0) CloseConnection(quit ? "quit" : "stopped");
    running = false;
    recordChanged.notify_all();
  }

  void Post(Order order, std::string text) {
    {
      std::lock_guard lock(mutex);
      outbox.emplace_back(order, std::move(text));
    }
    wake.Request();
  }
};

Server::Server() : impl_(std::make_unique<Impl>()) {}

Server::~Server() { Stop(); }

bool Server::Start(const Options& options, std::string* error) {
  Stop();
  impl_ = std::make_unique<Impl>();
  Impl& s = *impl_;
  s.options = options;
  s.paused = options.paused;
  s.started = Clock::now();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    if (s.listenFd >= 0) ::close(s.listenFd);
    s.listenFd = -1;
    return false;
  };
  if (!options.recordFile.empty()) {
    s.recordOut.open(options.recordFile, std::ios::out | std::ios::trunc);
    if (!s.recordOut) return fail("cannot write the record file " + options.recordFile);
  }
  const vertamo::TTcpListener listener = vertamo::ListenTcp(options.bind, options.port, 4);
  if (listener.fd < 0) return fail(vertamo::ListenFailure(listener, options.bind, options.port));
  s.listenFd = listener.fd;
  s.port = listener.port;
  if (!options.paused) s.Note("start", "", options.commandLine);
  s.running = true;
  s.thread = std::thread([&s] { s.Serve(); });
  return true;
}

uint16_t Server::Port() const { return impl_->port; }

void Server::Stop() {
  if (!impl_) return;
  impl_->stop.Request();
  if (impl_->thread.joinable()) impl_->thread.join();
  if (impl_->listenFd >= 0) ::close(impl_->listenFd);
  impl_->listenFd = -1;
  impl_->running = false;
}

bool Server::Running() const { return impl_->running; }

void Server::Resume(const std::vector<std::string>& commandLine) {
  impl_->Note("start", "", commandLine);
  {
    std::lock_guard lock(impl_->mutex);
    impl_->paused = false;
  }
  impl_->wake.Request();
}

void Server::Ring(const std::string& caller) { impl_->Post(Impl::Order::Ring, caller); }

void Server::RemoteHangUp() { impl_->Post(Impl::Order::HangUp, ""); }

void Server::Send(const std::string& message) { impl_->Post(Impl::Order::Send, message); }

void Server::Flood(const std::string& line, int ms) {
  impl_->Post(Impl::Order::Flood, std::to_string(ms) + " " + line);
}

void Server::StopReading(int ms) { impl_->Post(Impl::Order::StopReading, std::to_string(ms)); }

std::vector<RecordEntry> Server::Record() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->record;
}

bool Server::WaitFor(const std::function<bool(const std::vector<RecordEntry>&)>& done,
                     int milliseconds) const {
  std::unique_lock lock(impl_->mutex);
  return impl_->recordChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                       [&] { return done(impl_->record); });
}

std::vector<std::string> Server::Received() const {
  std::vector<std::string> messages;
  for (const RecordEntry& entry : Record())
    if (entry.kind == "in") messages.push_back(entry.text);
  return messages;
}

int Server::ConnectionsAccepted() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->accepted;
}

}  // namespace phonesim

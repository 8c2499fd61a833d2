#include "tools/kelmo-sim/kelmo_sim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/cp1251.h"
#include "platform/stop_signal.h"
#include "platform/tcp_listener.h"

namespace kelmosim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kGreeting[] = "220 Kelmo voice gateway ready";
constexpr size_t kOverlongPad = 300;
// Fault::Stream: the time between two of its lines.
constexpr auto kStreamGap = std::chrono::milliseconds(20);

// A repeatable number in [0, 1) for the given coordinates.
double Noise(uint32_t seed, uint32_t a, uint32_t b) {
  uint64_t x = (uint64_t{seed} << 32) ^ (uint64_t{a} * 0x9E3779B97F4A7C15ull) ^ (uint64_t{b} << 17) ^ b;
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  x ^= x >> 33;
  return static_cast<double>(x >> 11) / static_cast<double>(1ull << 53);
}

bool ParseInt(std::string_view text, int& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

int SpeechLevel(uint32_t seed, int line, bool talking, int64_t ms) {
  // Talk spurts of about 1–2.5 s with pauses of 0.3–1.2 s between them;
  // inside a spurt, syllables of 220 ms whose peaks vary.
  const uint32_t voice = static_cast<uint32_t>(line) * 2 + (talking ? 1 : 0);
  const int floorLevel = 40 + static_cast<int>(60 * Noise(seed, voice, static_cast<uint32_t>(ms / 50)));
  const double loudest = talking ? 9000 : 18000, softest = talking ? 2500 : 5000;
  int64_t start = 0;
  for (uint32_t i = 0; ms >= start; ++i) {
    const int64_t spurt = 900 + static_cast<int64_t>(1600 * Noise(seed ^ voice, i, 1));
    if (ms < start + spurt) {
      const int64_t into = ms - start;
      const uint32_t syllable = static_cast<uint32_t>(into / 220);
      const double phase = static_cast<double>(into % 220) / 220.0;
      const double envelope = std::pow(std::sin(M_PI * phase), 2);
      const double peak = softest + (loudest - softest) * Noise(seed ^ voice, i * 64 + syllable, 2);
      return std::min(32767, floorLevel + static_cast<int>(peak * envelope));
    }
    start += spurt + 300 + static_cast<int64_t>(900 * Noise(seed ^ voice, i, 3));
  }
  return floorLevel;
}

std::string RecordJson(const RecordEntry& entry) {
  nlohmann::ordered_json line;
  line["t_us"] = entry.micros;
  if (entry.connection >= 0) line["conn"] = entry.connection;
  line["kind"] = entry.kind;
  line["text"] = vertamo::Cp1251ToUtf8(entry.text);
  return line.dump();
}

std::optional<Fault> ParseFault(std::string_view name) {
  if (name == "silent") return Fault::Silent;
  if (name == "greeting_221") return Fault::Greeting221;
  if (name == "greeting_short") return Fault::GreetingShort;
  if (name == "split") return Fault::Split;
  if (name == "overlong") return Fault::Overlong;
  if (name == "slow") return Fault::Slow;
  if (name == "unknown_code") return Fault::UnknownCode;
  if (name == "close_after") return Fault::CloseAfter;
  if (name == "close_once") return Fault::CloseOnce;
  if (name == "stall") return Fault::Stall;
  if (name == "stream") return Fault::Stream;
  return std::nullopt;
}

std::optional<SettingsStep> ParseSettingsStep(std::string_view text) {
  SettingsStep step;
  const size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    if (!ParseInt(text.substr(0, colon), step.atMs) || step.atMs < 0) return std::nullopt;
    text.remove_prefix(colon + 1);
  }
  int* fields[] = {&step.threshold, &step.signal, &step.silence};
  for (int i = 0; i < 3; ++i) {
    const size_t comma = i < 2 ? text.find(',') : text.size();
    if (comma == std::string_view::npos || !ParseInt(text.substr(0, comma), *fields[i])) return std::nullopt;
    text.remove_prefix(std::min(text.size(), comma + 1));
  }
  return step;
}

struct Server::Impl {
  struct Piece {
    Clock::time_point due;
    std::string bytes;
    std::string recorded;  // the reply's text, on its last piece; empty on the others
  };
  struct Connection {
    int fd = -1;
    int index = 0;
    std::string partial;
    int answered = 0;
    bool closeWhenSent = false;
    bool streaming = false;  // Fault::Stream: answers nothing, sends greetings without end
    std::vector<int> lines;  // lines this connection brought into a conversation
    std::deque<Piece> outgoing;
  };
  struct Line {
    int mode = 2;
    Clock::time_point since;
  };

  Options options;
  int listenFd = -1;
  uint16_t port = 0;
  vertamo::TStopSignal stop;
  std::thread thread;
  Clock::time_point started;

  mutable std::mutex mutex;  // record, lines
  mutable std::condition_variable recordChanged;
  std::vector<RecordEntry> record;
  std::ofstream recordOut;
  std::map<int, Line> lines;
  int accepted = 0;

  std::vector<Connection> connections;  // serving thread only
  int answeredTotal = 0;                 // serving thread only
  std::optional<Clock::time_point> stallEnd;  // serving thread only

  bool Has(Fault fault) const {
    return std::find(options.faults.begin(), options.faults.end(), fault) != options.faults.end();
  }

  void Log(const std::string& text) const {
    if (options.log) options.log(text);
  }

  void Note(int connection, std::string kind, std::string text) {
    RecordEntry entry;
    entry.micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started).count();
    entry.connection = connection;
    entry.kind = std::move(kind);
    entry.text = std::move(text);
    {
      std::lock_guard lock(mutex);
      if (recordOut.is_open()) recordOut << RecordJson(entry) << '\n' << std::flush;
      record.push_back(std::move(entry));
    }
    recordChanged.notify_all();
  }

  SettingsStep SettingsNow() const {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    SettingsStep now;
    for (const SettingsStep& step : options.settings)
      if (step.atMs <= ms) now = step;
    return now;
  }

  // Queues a line (without its CR LF), shaped by the faults; the greeting
  // (`reply` false) is never late.
  void Queue(Connection& c, const std::string& text, bool lineEnd = true, bool reply = true) {
    Clock::time_point due = Clock::now();
    if (Has(Fault::Slow) && reply) due += std::chrono::milliseconds(options.slowMs);
    // A stalled gateway sends nothing until the stall ends, greetings included.
    if (stallEnd && due < *stallEnd) due = *stallEnd;
    std::string bytes = text;
    if (Has(Fault::Overlong) && reply) bytes.append(kOverlongPad, ' ');
    if (lineEnd) bytes += "\r\n";
    if (Has(Fault::Split) && bytes.size() > 1) {
      const size_t half = bytes.size() / 2;
      c.outgoing.push_back({due, bytes.substr(0, half), {}});
      c.outgoing.push_back({due + std::chrono::milliseconds(options.splitGapMs), bytes.substr(half), text});
    } else {
      c.outgoing.push_back({due, std::move(bytes), text});
    }
  }

  std::string Answer(Connection& c, const std::string& command) {
    if (command == "getsdp") {
      const SettingsStep s = SettingsNow();
      return "200 " + std::to_string(s.threshold) + " " + std::to_string(s.signal) + " " +
             std::to_string(s.silence);
    }
    const size_t blank = command.find(' ');
    const std::string verb = command.substr(0, blank);
    if (verb != "getad" && verb != "setatx" && verb != "setarx") return "500 unknown command";
    int number = 0;
    if (blank == std::string::npos || !ParseInt(std::string_view(command).substr(blank + 1), number))
      return "501 bad line";
    std::lock_guard lock(mutex);
    auto [it, entered] = lines.try_emplace(number, Line{2, Clock::now()});
    if (entered) c.lines.push_back(number);
    Line& line = it->second;
    if (verb == "setatx" || verb == "setarx") {
      line.mode = verb == "setatx" ? 1 : 2;
      return "200 OK";
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - line.since).count();
    const int level = SpeechLevel(options.seed, number, line.mode == 1, ms);
    const int code = Has(Fault::UnknownCode) ? 250 : 240 + line.mode;
    return std::to_string(code) + " " + std::to_string(level);
  }

  void Handle(Connection& c, const std::string& command) {
    Note(c.index, "in", command);
    if (command == "quit") {
      Close(c, "quit");
      return;
    }
    if (Has(Fault::Silent) || c.closeWhenSent || c.streaming) return;
    if (Has(Fault::Stream) && answeredTotal == options.streamAfter) {
      c.streaming = true;
      ++answeredTotal;  // the stream takes the place of this reply, once
      Log("connection " + std::to_string(c.index) + " streams greetings");
      return;
    }
    if (Has(Fault::Stall) && !stallEnd && answeredTotal >= options.stallAfter) {
      stallEnd = Clock::now() + std::chrono::milliseconds(options.stallMs);
      Log("stalled for " + std::to_string(options.stallMs) + " ms");
    }
    ++answeredTotal;
    Queue(c, Answer(c, command));
    const bool closes = Has(Fault::CloseAfter) || (Has(Fault::CloseOnce) && c.index == 0);
    if (closes && ++c.answered >= options.closeAfter) c.closeWhenSent = true;
  }

  void Close(Connection& c, const char* why) {
    if (c.fd < 0) return;
    ::close(c.fd);
    c.fd = -1;
    {
      std::lock_guard lock(mutex);
      for (int line : c.lines) lines.erase(line);
    }
    Note(c.index, "close", why);
    Log("connection " + std::to_string(c.index) + " closed: " + why);
  }

  void Accept() {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    Connection c;
    c.fd = fd;
    {
      std::lock_guard lock(mutex);
      c.index = accepted++;
    }
    Note(c.index, "accept", "");
    Log("connection " + std::to_string(c.index) + " accepted");
    if (Has(Fault::GreetingShort))
      Queue(c, "22", false, false);
    else if (Has(Fault::Greeting221))
      Queue(c, "221 Kelmo voice gateway busy", true, false);
    else if (!Has(Fault::Silent))
      Queue(c, kGreeting, true, false);
    connections.push_back(std::move(c));
  }

  void Receive(Connection& c) {
    char buffer[4096];
    const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
      Close(c, "closed by the client");
      return;
    }
    for (ssize_t i = 0; i < n && c.fd >= 0; ++i) {
      if (buffer[i] != '\n') {
        c.partial.push_back(buffer[i]);
        continue;
      }
      if (!c.partial.empty() && c.partial.back() == '\r') c.partial.pop_back();
      const std::string command = std::move(c.partial);
      c.partial.clear();
      Handle(c, command);
    }
  }

  void SendDue(Connection& c) {
    const Clock::time_point now = Clock::now();
    while (c.fd >= 0 && !c.outgoing.empty() && c.outgoing.front().due <= now) {
      Piece piece = std::move(c.outgoing.front());
      c.outgoing.pop_front();
      std::string_view bytes = piece.bytes;
      while (!bytes.empty()) {
        const ssize_t n = ::send(c.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
          Close(c, "send failed");
          return;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
      }
      if (!piece.recorded.empty()) Note(c.index, "out", piece.recorded);
    }
    if (c.fd >= 0 && c.closeWhenSent && c.outgoing.empty())
      Close(c, "closed after the commands it was set to answer");
  }

  void Serve() {
    while (!stop.IsRequested()) {
      Clock::time_point next = Clock::time_point::max();
      std::vector<pollfd> fds = {{stop.Fd(), POLLIN, 0}, {listenFd, POLLIN, 0}};
      for (Connection& c : connections) {
        if (c.streaming && c.outgoing.empty())
          c.outgoing.push_back({Clock::now() + kStreamGap, std::string(kGreeting) + "\r\n", kGreeting});
        fds.push_back({c.fd, POLLIN, 0});
        if (!c.outgoing.empty()) next = std::min(next, c.outgoing.front().due);
      }
      int timeout = -1;
      if (next != Clock::time_point::max())
        timeout = static_cast<int>(
            std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count()));
      ::poll(fds.data(), fds.size(), timeout);
      if (stop.IsRequested()) break;
      for (size_t i = 0; i < connections.size(); ++i)
        if (fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) Receive(connections[i]);
      for (Connection& c : connections) SendDue(c);
      std::erase_if(connections, [](const Connection& c) { return c.fd < 0; });
      if (fds[1].revents & POLLIN) Accept();
      for (Connection& c : connections) SendDue(c);
    }
    for (Connection& c : connections) Close(c, "stopped");
    connections.clear();
  }
};

Server::Server() : impl_(std::make_unique<Impl>()) {}

Server::~Server() { Stop(); }

bool Server::Start(const Options& options, std::string* error) {
  Stop();
  impl_ = std::make_unique<Impl>();
  Impl& s = *impl_;
  s.options = options;
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
  const vertamo::TTcpListener listener = vertamo::ListenTcp(options.bind, options.port, 8);
  if (listener.fd < 0) return fail(vertamo::ListenFailure(listener, options.bind, options.port));
  s.listenFd = listener.fd;
  s.port = listener.port;
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
}

std::vector<RecordEntry> Server::Record() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->record;
}

std::vector<std::string> Server::Received() const {
  std::vector<std::string> commands;
  for (const RecordEntry& entry : Record())
    if (entry.kind == "in") commands.push_back(entry.text);
  return commands;
}

bool Server::WaitFor(const std::function<bool(const std::vector<RecordEntry>&)>& done,
                     int milliseconds) const {
  std::unique_lock lock(impl_->mutex);
  return impl_->recordChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                       [&] { return done(impl_->record); });
}

int Server::LineMode(int line) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->lines.find(line);
  return it == impl_->lines.end() ? 0 : it->second.mode;
}

}  // namespace kelmosim

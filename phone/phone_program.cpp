#include "phone/phone_program.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "phone/dial_string.h"
#include "platform/cp1251.h"
#include "platform/folders.h"
#include "platform/tcp_listener.h"

namespace vertamo::phone {

namespace {

// The workstation keeps the first 299 bytes of a message.
constexpr size_t kMaxMessage = 299;

std::string StatLine(const TBaresipMessage& m) {
  const long long received = m.rxPackets + m.rxLost;
  const long long lossPercent = received > 0 ? m.rxLost * 100 / received : 0;
  char text[128];
  std::snprintf(text, sizeof text, "STAT jitter=%lldms loss=%lld%% rtt=%lldms", m.rxJitterUs / 1000, lossPercent,
                m.rttUs / 1000);
  return text;
}

// A phone that answers every call by itself is an intercom or a test peer,
// not a dispatcher's: it records nothing.
TRecordSettings RecordingOf(const TSipSettings& settings) {
  TRecordSettings records = settings.records;
  if (settings.answerAtOnce) records.enabled = false;
  return records;
}

// How a conversation's record names the far end: the dial string as the
// workstation gave it, or who rang in as "user@host".
std::string RecordPeer(bool incoming, const std::string& dialString, const std::string& peerUri) {
  if (!incoming) return dialString;
  const TSipPeer peer = SipPeerFromUri(peerUri);
  return peer.user.empty() ? peer.host : peer.user + "@" + peer.host;
}

// How long the phone sleeps at most: it looks at the day's records then.
constexpr int kWakeMs = 3600 * 1000;

constexpr auto kStatEvery = std::chrono::seconds(1);
// How often the upkeep looks during a conversation, and while idle.
constexpr auto kUpkeepInCall = std::chrono::seconds(1);
constexpr auto kUpkeepIdle = std::chrono::seconds(60);
// baresip's own output is kept for what went wrong lately, not for ever:
// a flood writes a line for every packet.
constexpr long long kMaxEngineOutput = 1 << 20;

}  // namespace

TPhoneProgram::TPhoneProgram(TPhoneOptions options, TSipSettings settings, const TPhoneLog& log)
    : options_(std::move(options)), settings_(std::move(settings)), log_(log),
      recording_(RecordingOf(settings_), CurrentFolder(), log_) {
  TBaresipSetup setup = SetupFrom(options_, settings_, &refused_);
  setup.soundFolder = recording_.SoundFolder();
  engine_ = std::make_unique<TBaresipEngine>(setup, settings_.baresip, "vertamo-phone.baresip.log", log_);
  for (const std::string& why : refused_) log_.Line("settings refused: " + why);
}

TPhoneProgram::~TPhoneProgram() {
  engine_->Stop(0);
  if (control_ >= 0) ::close(control_);
  if (listenFd_ >= 0) ::close(listenFd_);
}

bool TPhoneProgram::Listen(std::string* error) {
  const TTcpListener listener = ListenTcp("127.0.0.1", static_cast<std::uint16_t>(options_.controlPort), 4);
  if (listener.fd < 0) {
    if (error) *error = ListenFailure(listener, "127.0.0.1", static_cast<std::uint16_t>(options_.controlPort));
    return false;
  }
  listenFd_ = listener.fd;
  controlPort_ = listener.port;
  return true;
}

int TPhoneProgram::Run(int stopFd) {
  // Once, as this phone starts: an engine left by a phone that died may
  // still be hanging up a far end that does not answer, holding the SIP
  // port. Not at each restart of our own engine, when another phone's engine
  // may be sending its last BYE.
  RemoveOrphanEngines();
  std::string why;
  if (engine_->Start(&why)) {
    engineStarted_ = std::chrono::steady_clock::now();
  } else {
    log_.Line("baresip not started: " + why);
    restartAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(restartMs_);
  }
  while (!quit_) {
    recording_.KeepDays(std::time(nullptr));
    // The timers first: a restart among them changes what there is to wait on.
    int waitMs = kWakeMs;
    for (const int ms : {CheckDialTimeout(), CheckRestart(), CheckNotices(), CheckUpkeep()})
      if (ms >= 0 && ms < waitMs) waitMs = ms;
    pollfd fds[6];
    int n = 0;
    fds[n++] = {listenFd_, POLLIN, 0};
    const int controlAt = control_ >= 0 ? n : -1;
    if (control_ >= 0) fds[n++] = {control_, POLLIN, 0};
    const int linkAt = engine_->Running() ? n : -1;
    if (engine_->Running()) fds[n++] = {engine_->LinkFd(), POLLIN, 0};
    const int processAt = engine_->ProcessFd() >= 0 ? n : -1;
    if (processAt >= 0) fds[n++] = {engine_->ProcessFd(), POLLIN, 0};
    const int stopAt = stopFd >= 0 ? n : -1;
    if (stopFd >= 0) fds[n++] = {stopFd, POLLIN, 0};
    const int noticeAt = recording_.NoticeFd() >= 0 ? n : -1;
    if (noticeAt >= 0) fds[n++] = {recording_.NoticeFd(), POLLIN, 0};
    if (::poll(fds, static_cast<nfds_t>(n), waitMs) < 0) {
      if (errno == EINTR) continue;
      log_.Line(std::string("poll: ") + std::strerror(errno));
      break;
    }
    if (stopAt >= 0 && fds[stopAt].revents) {
      log_.Line("ended by a signal");
      Shutdown();
      break;
    }
    if (linkAt >= 0 && fds[linkAt].revents) {
      std::vector<TBaresipMessage> messages;
      const bool up = engine_->Read(messages);
      for (const TBaresipMessage& m : messages) EngineMessage(m);
      if (!up) EngineLost(engine_->Collapse());
    }
    if (processAt >= 0 && fds[processAt].revents && engine_->ProcessFd() >= 0) EngineLost(engine_->Collapse());
    if (controlAt >= 0 && fds[controlAt].revents && !ReadControl()) {
      log_.Line("the control link closed; ending");
      Shutdown();
      break;
    }
    if (noticeAt >= 0 && fds[noticeAt].revents)
      for (const std::string& line : recording_.TakeNotices()) Send(line);
    if (fds[0].revents) Accept();
  }
  return 0;
}

void TPhoneProgram::Accept() {
  const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  if (control_ >= 0) {
    // A workstation that restarted adopts the phone; the old link is dropped.
    log_.Line("a new control connection replaces the old one");
    ::close(control_);
  }
  control_ = fd;
  partial_.clear();
  log_.Line("control connection accepted");
  Send("OK");
  if (!refused_.empty() || !engine_->Notices().empty())
    noticeAt_ = std::chrono::steady_clock::now() + std::chrono::seconds(1);
}

bool TPhoneProgram::ReadControl() {
  char buffer[1024];
  const ssize_t n = ::recv(control_, buffer, sizeof buffer, 0);
  if (n < 0 && errno == EINTR) return true;
  if (n <= 0) return false;
  for (ssize_t i = 0; i < n && !quit_; ++i) {
    if (buffer[i] != '\0') {
      if (partial_.size() < kMaxMessage) partial_ += buffer[i];
      continue;
    }
    const std::string message = std::move(partial_);
    partial_.clear();
    Command(message);
  }
  return true;
}

void TPhoneProgram::Command(const std::string& message) {
  log_.Line("<< " + Cp1251ToUtf8(message));
  if (message.size() >= 2 && message[0] == 'c' && message[1] == ' ') {
    Dial(message.substr(2));
  } else if (message == "h") {
    HangUp(false);
  } else if (message == "n") {
    HangUp(true);
  } else if (message == "y") {
    Answer();
  } else if (message == "q") {
    Shutdown();
    Send("OK");
    quit_ = true;
  } else {
    log_.Line("unknown command ignored");
  }
}

bool TPhoneProgram::EnsureEngine() {
  if (engine_->Running()) return true;
  std::string why;
  if (engine_->Start(&why)) {
    EngineBack();
    return true;
  }
  log_.Line("baresip not started: " + why);
  Send(ErrorLine(kCallFailed));
  Send(Utf8ToCp1251("APP Телефон не работает: " + why));
  return false;
}

void TPhoneProgram::Dial(const std::string& address) {
  if (call_) {
    // The workstation ends one call and calls the next at once; baresip
    // closes the first a moment after the hang-up.
    if (call_->history.weHungUp || call_->history.weRefused) {
      log_.Line("the dial waits for the hang-up before it");
      heldDial_ = address;
      return;
    }
    log_.Line("a call is under way; the dial is ignored");
    return;
  }
  const auto uri = SipUriFromDialString(address, settings_.peerPort);
  if (!uri) {
    log_.Line("cannot be dialled: " + Cp1251ToUtf8(address));
    Send(ErrorLine(kWrongAddress));
    return;
  }
  if (!EnsureEngine()) return;
  call_ = TCall{};
  call_->dialString = address;
  // Until baresip names the call's account, the one it dials from: a
  // newcomer refused before any event of ours must not leave "h" aimed at
  // the newcomer's account. baresip dials from its current account, which a
  // call that rang in before left on the account it came to: the main
  // account is made current first.
  call_->account = engine_->MainAor();
  call_->dialSent = true;
  call_->dialDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(settings_.dialTimeoutSeconds);
  log_.Line("dialling " + *uri);
  if (!engine_->Send("uafind", call_->account, "uafind") || !engine_->Send("dial", *uri, "dial"))
    EngineLost(engine_->Collapse());
}

void TPhoneProgram::HangUp(bool refuse) {
  if (heldDial_) {
    log_.Line("the held dial is dropped");
    heldDial_.reset();
    return;
  }
  if (!call_) {
    log_.Line("no call to end");
    return;
  }
  (refuse ? call_->history.weRefused : call_->history.weHungUp) = true;
  MakeCurrent();
  if (!engine_->Running() || !engine_->Send("hangup", "", "hangup")) {
    Send(ClosedCallLine({}, call_->history));
    CallGone();
  }
}

void TPhoneProgram::CallGone() {
  if (call_->history.established) recording_.End();
  call_.reset();
  // An engine that swelled during the call is looked at at once.
  nextIdleLook_ = {};
  if (!heldDial_) return;
  const std::string address = std::move(*heldDial_);
  heldDial_.reset();
  Dial(address);
}

void TPhoneProgram::Answer() {
  if (!call_ || !call_->history.incoming || call_->history.established) {
    log_.Line("no ringing call to answer");
    return;
  }
  MakeCurrent();
  engine_->Send("accept", "", "accept");
}

void TPhoneProgram::MakeCurrent() {
  if (!call_ || !engine_->Running()) return;
  // A call is looked for among the calls of the current account; a dial
  // no event has named yet is the newest call of its account.
  if (!call_->account.empty()) engine_->Send("uafind", call_->account, "uafind");
  if (!call_->id.empty()) engine_->Send("callfind", call_->id, "callfind");
}

bool TPhoneProgram::Ours(const TBaresipMessage& m) {
  if (!call_) return false;
  if (m.callId.empty()) return true;
  if (call_->id.empty()) {
    // The first event of our call names it; a late one of the call before,
    // or one of a call ringing in, does not.
    const char* direction = call_->history.incoming ? "incoming" : "outgoing";
    if (m.callId == closedId_ || (!m.direction.empty() && m.direction != direction)) return false;
    call_->id = m.callId;
    if (!m.accountAor.empty()) call_->account = m.accountAor;
  }
  return m.callId == call_->id;
}

// Who rings, as the RING line names them: "name [host]".
static std::string PeerText(const TBaresipMessage& m) {
  const TSipPeer peer = SipPeerFromUri(m.peerUri);
  const std::string name = !m.peerName.empty() ? m.peerName : !peer.user.empty() ? peer.user : peer.host;
  return name + " [" + peer.host + "]";
}

void TPhoneProgram::RefuseSecondCall(const TBaresipMessage& m) {
  log_.Line("a second call from " + m.peerUri + " while one is under way: refused");
  // The workstation hears of it during its call (a ring then is told, not
  // taken); not once it has hung up, when it would take it for a new ring.
  if (!call_->history.weHungUp && !call_->history.weRefused) Send(Utf8ToCp1251("RING " + PeerText(m)));
  if (m.callId.empty() || !engine_->Running()) return;
  // baresip made the newcomer and its account current: it is the one hung up.
  if (!m.accountAor.empty()) engine_->Send("uafind", m.accountAor, "uafind");
  engine_->Send("callfind", m.callId, "callfind");
  engine_->Send("hangup", "", "refuse");
  MakeCurrent();
}

void TPhoneProgram::EngineMessage(const TBaresipMessage& m) {
  using K = TBaresipMessage::TKind;
  if (m.kind == K::Response) {
    if (m.ok) return;
    log_.Line("baresip refused " + m.token + ": " + m.data);
    // A dial baresip would not even start, or a hang-up of a call it no
    // longer has: the call is over for the workstation.
    if (call_ && !call_->history.established && (m.token == "dial" || m.token == "hangup")) {
      Send(m.token == "dial" ? RefusedDialLine(m.data) : ClosedCallLine({}, call_->history));
      CallGone();
    }
    return;
  }
  if (m.kind == K::Invalid) {
    log_.Line("baresip said what does not parse: " + m.data);
    return;
  }
  if (m.kind != K::Event) return;
  if (m.type == "CALL_INCOMING") {
    if (call_) return RefuseSecondCall(m);
    call_ = TCall{};
    call_->history.incoming = true;
    call_->id = m.callId;
    call_->account = m.accountAor;
    call_->peerText = PeerText(m);
    log_.Line("incoming call from " + m.peerUri);
    Send(Utf8ToCp1251("RING " + call_->peerText));
    return;
  }
  if (!Ours(m)) return;
  if (m.type == "CALL_RINGING") {
    call_->history.rang = true;
  } else if (m.type == "CALL_ESTABLISHED") {
    if (call_->history.established) return;
    call_->history.established = true;
    call_->dialDeadline.reset();
    log_.Line("talking with " + m.peerUri);
    Send("CALL " + (call_->history.incoming ? Utf8ToCp1251(call_->peerText) : call_->dialString));
    Send(recording_.Begin(std::time(nullptr), RecordPeer(call_->history.incoming, call_->dialString, m.peerUri)));
    if (!engine_->AudioProblem().empty())
      Send(Utf8ToCp1251("APP Разговор без звука: нет звукового сервера (" + engine_->AudioProblem() + ")"));
  } else if (m.type == "CALL_CLOSED") {
    closedId_ = call_->id;
    const std::string line = ClosedCallLine(m.param, call_->history);
    log_.Line("call closed (" + m.param + "): " + line);
    Send(line);
    CallGone();
  } else if (m.type == "CALL_RTCP") {
    const auto now = std::chrono::steady_clock::now();
    if (call_->history.established && m.hasRtcp && now - lastStat_ >= kStatEvery) {
      lastStat_ = now;
      Send(StatLine(m));
    }
  }
}

int TPhoneProgram::CheckDialTimeout() {
  if (!call_ || !call_->dialDeadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*call_->dialDeadline - std::chrono::steady_clock::now());
  if (left.count() > 0) return static_cast<int>(left.count());
  call_->dialDeadline.reset();
  if (call_->history.weHungUp || call_->history.weRefused) return -1;
  log_.Line("no answer within " + std::to_string(settings_.dialTimeoutSeconds) + " s: the dial is given up");
  call_->history.dialTimedOut = true;
  MakeCurrent();
  if (!engine_->Running() || !engine_->Send("hangup", "", "hangup")) {
    Send(ClosedCallLine({}, call_->history));
    CallGone();
  }
  return -1;
}

int TPhoneProgram::CheckRestart() {
  if (!restartAt_ || quit_) return -1;
  const auto now = std::chrono::steady_clock::now();
  if (now < *restartAt_) return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*restartAt_ - now).count());
  std::string why;
  if (engine_->Start(&why)) {
    EngineBack();
    return -1;
  }
  restartMs_ = std::min(restartMs_ * 2, kMaxRestartMs);
  log_.Line("baresip not started: " + why + "; next attempt in " + std::to_string(restartMs_) + " ms");
  restartAt_ = now + std::chrono::milliseconds(restartMs_);
  return restartMs_;
}

int TPhoneProgram::CheckNotices() {
  if (!noticeAt_) return -1;
  const auto now = std::chrono::steady_clock::now();
  if (now < *noticeAt_) return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*noticeAt_ - now).count());
  noticeAt_.reset();
  for (const std::string& why : refused_) Send(Utf8ToCp1251("APP Настройки телефона: " + why));
  for (const std::string& notice : engine_->Notices()) Send(Utf8ToCp1251("APP " + notice));
  return -1;
}

int TPhoneProgram::CheckUpkeep() {
  const auto now = std::chrono::steady_clock::now();
  const bool talking = call_ && call_->history.established;
  if (talking) {
    if (now < nextUpkeep_) return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(nextUpkeep_ - now).count());
    nextUpkeep_ = now + kUpkeepInCall;
    if (const std::string line = recording_.Watch(now); !line.empty()) Send(line);
    engine_->TrimOutput(kMaxEngineOutput);
    return static_cast<int>(std::chrono::milliseconds(kUpkeepInCall).count());
  }
  if (call_ || !engine_->Running()) return -1;
  if (now < nextIdleLook_) return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(nextIdleLook_ - now).count());
  nextIdleLook_ = now + kUpkeepIdle;
  engine_->TrimOutput(kMaxEngineOutput);
  const long long residentKb = engine_->ResidentKb();
  if (residentKb > static_cast<long long>(settings_.engineMemoryLimitMb) * 1024) {
    // The last resort against memory baresip keeps after a flood: an idle
    // engine is started afresh. A call that arrives in the tenth of a second
    // this takes finds no SIP port; its caller may try again.
    log_.Line("baresip holds " + std::to_string(residentKb / 1024) + " MB, more than " +
              std::to_string(settings_.engineMemoryLimitMb) + " MB: started afresh");
    engine_->Stop(1000);
    std::string why;
    if (engine_->Start(&why)) {
      EngineBack();
    } else {
      EngineLost(why);
    }
  }
  return static_cast<int>(std::chrono::milliseconds(kUpkeepIdle).count());
}

void TPhoneProgram::EngineBack() {
  engineStarted_ = std::chrono::steady_clock::now();
  if (control_ >= 0 && !noticeAt_)
    for (const std::string& notice : engine_->Notices()) Send(Utf8ToCp1251("APP " + notice));
  restartAt_.reset();
  if (std::exchange(toldDown_, false)) {
    log_.Line("baresip runs again; calls can come in");
    Send(Utf8ToCp1251("APP Телефон снова принимает звонки"));
  }
}

void TPhoneProgram::EngineLost(const std::string& why) {
  log_.Line("baresip ended: " + why);
  if (call_) {
    Send(ErrorLine(call_->history.established ? kLinkFailed : kCallFailed));
    Send(Utf8ToCp1251("APP Программа звонков baresip завершилась (" + why + ")"));
    CallGone();
  }
  if (quit_ || engine_->Running()) return;
  // Calls must be able to come in again without waiting for a dial; an
  // engine that dies soon after its start is not started again at once.
  const auto now = std::chrono::steady_clock::now();
  restartMs_ = now - engineStarted_ < std::chrono::minutes(1) ? std::min(restartMs_ * 2, kMaxRestartMs)
                                                               : kFirstRestartMs;
  restartAt_ = now + std::chrono::milliseconds(restartMs_);
  log_.Line("baresip is started again in " + std::to_string(restartMs_) + " ms");
  if (!std::exchange(toldDown_, true))
    Send(Utf8ToCp1251("APP Телефон не принимает звонки: программа звонков baresip завершилась (" + why +
                      "), перезапуск..."));
}

void TPhoneProgram::Send(const std::string& cp1251) {
  if (control_ < 0) return;
  std::string message = cp1251.substr(0, kMaxMessage);
  for (char& c : message)
    if (c == '\0') c = ' ';
  log_.Line(">> " + Cp1251ToUtf8(message));
  message += '\0';
  size_t sent = 0;
  while (sent < message.size()) {
    const ssize_t n = ::send(control_, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

void TPhoneProgram::Shutdown() {
  engine_->Stop(1000);
  // A conversation the quit cut short keeps what was said until then.
  if (call_ && call_->history.established) recording_.End();
  log_.Line("baresip stopped");
}

}  // namespace vertamo::phone

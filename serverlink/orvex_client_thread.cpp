#include "serverlink/orvex_client_thread.h"

#include <chrono>
#include <cstring>
#include <utility>

#include "map/map_model.h"
#include "platform/cp1251.h"
#include "serverlink/catalogue.h"
#include "serverlink/change_feed.h"
#include "serverlink/picture_cache.h"
#include "serverlink/pictures.h"
#include "protocol/txtfunc.h"

namespace vertamo {
namespace {

using Clock = std::chrono::steady_clock;

// A text field of the profile, up to its zero (or its whole size without one).
template <size_t N>
std::string ProfileText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

}  // namespace

TOrvexClientThread::TOrvexClientThread(const SERVERINFO& profile, std::string workFolder, IClientEvents& events,
                                       IMainThreadExecutor& mainThread, ISoundOutput* sound)
    : profile_(profile),
      workFolder_(std::move(workFolder)),
      mainThread_(mainThread),
      sound_(sound),
      notifier_(mainThread, events),
      log_(workFolder_, profile.Debug),
      channel_(
          stop_, [this](std::string_view message) { log_.WriteLine(message); }, profile.Debug),
      requests_(mainThread) {
  if (!workFolder_.empty() && workFolder_.back() != '/') workFolder_ += '/';
  if (profile_.CacheEnable) cacheWriter_ = std::make_unique<TCacheWriter>();
  feed_ = std::make_unique<TChangeFeed>(channel_, notifier_, sound_,
                                        [this](const std::string& text) { StoreStatusText(text); });
}

TOrvexClientThread::~TOrvexClientThread() { Stop(); }

void TOrvexClientThread::Start() {
  if (started_) return;
  started_ = true;
  channel_.SetReadTimeout(timings_.readTimeoutMs);
  feed_->SetLimits(limits_, &log_);
  thread_ = std::thread([this] { Execute(); });
}

void TOrvexClientThread::Terminate() {
  notifier_.Retire();
  stop_.Request();
  requests_.Wake();
}

void TOrvexClientThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TOrvexClientThread::Stop() {
  Terminate();
  WaitFor();
}

std::string TOrvexClientThread::StageText(int stage) {
  const char* text = "";
  switch (stage) {
    case kStageBadServer:
      text = "Ошибка в настройке сервера";
      break;
    case kStageConnecting:
      text = "Подключение к серверу";
      break;
    case kStageLogin:
      text = "Ввод логина";
      break;
    case kStagePassword:
      text = "Ввод пароля";
      break;
    case kStageAuthorising:
      text = "Проверка авторизации";
      break;
    case kStageRefused:
      text = "Неправильный логин или пароль";
      break;
    case kStageMaps:
      text = "Получение карт";
      break;
    case kStageObjects:
      text = "Получение объектов карт";
      break;
    case kStageBackgrounds:
      text = "Получение подложек";
      break;
    case kStagePictures:
      text = "Получение картинок";
      break;
    case kStageTexts:
      text = "Получение текстов";
      break;
    case kStagePolling:
      text = "OK";
      break;
    case kStageStopped:
      text = "Поток завершён...";
      break;
    default:
      break;
  }
  return Utf8ToCp1251(text);
}

std::string TOrvexClientThread::StatusText() const {
  std::lock_guard<std::mutex> lock(statusMutex_);
  return statusText_;
}

void TOrvexClientThread::StoreStatusText(const std::string& text) {
  std::lock_guard<std::mutex> lock(statusMutex_);
  statusText_ = text;
}

void TOrvexClientThread::SetStage(int stage) {
  if (stage_.exchange(stage, std::memory_order_acq_rel) != stage) notifier_.Call<&IClientEvents::StageChanged>(stage);
}

bool TOrvexClientThread::ShowStatusText(const std::string& text) {
  StoreStatusText(text);
  return notifier_.Call<&IClientEvents::ShowStatusText>(text);
}

void TOrvexClientThread::Execute() {
  // What a cache write cut short left behind (no writer of this process runs yet).
  RemoveStaleCacheTemporaries(CacheFolderIn(workFolder_));
  while (Cycle()) {
  }
  const int stage = stage_.load(std::memory_order_relaxed);
  if (stage != kStageBadServer && stage != kStageRefused)
    SetStage(kStageStopped);
  channel_.Link().Close();
  log_.Close();  // kept open while the thread ran
  finished_.store(true, std::memory_order_release);
}

bool TOrvexClientThread::Cycle() {
  SetStage(kStageCycle);
  if (channel_.Link().Connected()) channel_.Link().Close();
  if (Stopping()) return false;

  if (!notifier_.Call<&IClientEvents::ClearMaps>()) return false;

  if (attempts_.load(std::memory_order_relaxed) > 0) {
    if (!ShowStatusText(Utf8ToCp1251("Пауза..."))) return false;
    if (stop_.WaitFor(timings_.pauseMs)) return false;
  }

  SetStage(kStageConnecting);
  if (!ShowStatusText("")) return false;
  log_.Debug("Подключение...");

  TTCPClient& link = channel_.Link();
  if (!link.ConnectAsync(ProfileText(profile_.Ip), profile_.Port)) {
    SetStage(kStageBadServer);
    log_.Debug("Ошибка инициализации подключения");
    LinkLost(LinkFaultOfError(link.LastError()), link.LastError());
    return false;
  }
  bool connected = false;
  for (int i = 0; i < timings_.connectAttempts && !connected; ++i) {
    connected = link.WaitConnected(timings_.connectWaitMs, &stop_);
    if (Stopping()) return false;
  }
  if (!connected) {
    // Refused or unreachable as the network answered it; else no answer at all.
    const int error = link.ConnectError() != 0 ? link.ConnectError() : wsa::kTimedOut;
    return LinkLost(LinkFaultOfError(error), error);
  }

  channel_.SendLine("REMOTE");
  attempts_.fetch_add(1, std::memory_order_acq_rel);
  SetStage(kStageLogin);

  if (!Login()) {
    if (Stopping()) return false;
    if (stage_.load(std::memory_order_relaxed) == kStageRefused) {
      LinkLost(TLinkFault::WrongLogin);
      return false;
    }
    return ExchangeFailed();
  }
  lostSince_.reset();
  if (!notifier_.Call<&IClientEvents::LinkUp>()) return false;
  // The catalogue goes into a model of this thread's own, handed over whole
  // once it is complete; a load cut short simply dies with it.
  auto loaded = std::make_shared<TMapModel>();
  if (!LoadCatalogue(*loaded)) return !Stopping() && ExchangeFailed();

  if (!notifier_.Post([loaded](IClientEvents& events) { events.BuildMaps(*loaded); })) return false;
  loaded.reset();
  if (!ShowStatusText("")) return false;
  feed_->Restart();

  const bool polled = PollChanges();
  if (Stopping()) SendQueuedRequests();
  return polled && !Stopping() && ExchangeFailed(true);
}

bool TOrvexClientThread::LinkLost(TLinkFault fault, int error) {
  if (Stopping()) return false;
  if (!lostSince_) lostSince_ = std::chrono::system_clock::now();
  TLinkDown event;
  event.fault = fault;
  event.error = error;
  event.server = ProfileText(profile_.Name);
  event.host = ProfileText(profile_.Ip);
  event.port = profile_.Port;
  event.since = *lostSince_;
  return notifier_.Call<&IClientEvents::LinkDown>(event);
}

bool TOrvexClientThread::ExchangeFailed(bool inFeed) {
  TLinkFault fault = LinkFaultOfChannel(channel_);
  if (inFeed && fault == TLinkFault::BadReply && StartsWithText(channel_.Line(), "RELOAD"))
    fault = TLinkFault::Reload;
  return LinkLost(fault, fault == TLinkFault::Failure ? channel_.ReadError() : 0);
}

bool TOrvexClientThread::Login() {
  if (!channel_.ExpectPrompt("Login:")) {
    log_.Debug("Не получена строка Login:...");
    return false;
  }
  log_.Debug("Получено: Login:");
  channel_.SendLine(ProfileText(profile_.Login));
  SetStage(kStagePassword);

  if (!channel_.ExpectPrompt("Password:")) {
    log_.Debug("Не получена строка Password:...");
    return false;
  }
  log_.Debug("Получено: Password:");
  channel_.SendSecretLine(ProfileText(profile_.Password));
  SetStage(kStageAuthorising);

  if (!channel_.ReadLine()) {
    log_.Debug("Не получена строка OK...");
    return false;
  }
  const std::string_view reply = channel_.Line();
  if (StartsWithText(reply, "Wrong login")) {
    SetStage(kStageRefused);
    log_.Debug("Не прошёл авторизацию...");
    return false;
  }
  if (StartsWithText(reply, "OK")) return true;
  log_.Debug("Не получена строка OK...");
  return false;
}

bool TOrvexClientThread::LoadCatalogue(TMapModel& model) {
  TLoadContext context{channel_,
                       model,
                       notifier_,
                       log_,
                       [this](const std::string& text) { return ShowStatusText(text); },
                       profile_.CacheEnable,
                       CacheFolderIn(workFolder_),
                       cacheWriter_.get(),
                       limits_};
  context.decodePool = &decodePool_;

  SetStage(kStageMaps);
  if (!LoadMaps(context)) return false;
  SetStage(kStageObjects);
  if (!LoadMapObjects(context)) return false;
  SetStage(kStageBackgrounds);
  if (!LoadMapPictures(context)) return false;
  SetStage(kStagePictures);
  if (!LoadPictureSets(context)) return false;
  channel_.DiscardInput();
  SetStage(kStageTexts);
  if (!LoadTexts(context)) return false;
  return !Stopping();
}

bool TOrvexClientThread::PollChanges() {
  while (!Stopping()) {
    SetStage(kStagePolling);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timings_.pollPeriodMs);
    for (;;) {
      while (!Stopping() && ServeRequest()) {
      }
      const bool woken = requests_.WaitForRequest(deadline, stop_);
      if (stop_.IsRequested()) return false;
      if (!woken) break;  // the second is over
    }
    if (!feed_->Exchange()) return !Stopping();
  }
  return false;
}

bool TOrvexClientThread::ServeRequest() {
  const auto taken = requests_.Take();
  if (!taken) return false;
  const bool list = TServerRequests::IsList(*taken);
  const std::string& request = TServerRequests::Line(*taken);

  std::string reply;
  std::vector<std::string> lines;
  if (!request.empty()) {
    channel_.SendLine(request);
    if (!list) {
      if (channel_.ReadLine()) reply.assign(channel_.Line());
    } else {
      while (lines.size() < kMaxReplyLines && channel_.ReadLine()) {
        const std::string_view line = channel_.Line();
        if (line.compare(0, 3, "END") == 0) break;
        lines.emplace_back(line);
      }
    }
  }
  requests_.Answer(taken, std::move(reply), std::move(lines),
                   [this](std::function<void()> task) { notifier_.PostTask(std::move(task)); });
  return true;
}

void TOrvexClientThread::SendQueuedRequests() {
  if (!channel_.Link().Connected()) return;
  while (const auto taken = requests_.Take())
    if (!TServerRequests::Line(*taken).empty()) channel_.SendLine(TServerRequests::Line(*taken));
}

unsigned long long TOrvexClientThread::SendCommand(std::string_view request, TRequesterToken requester,
                                                   TAnswerHandler done) {
  return requests_.Ask(request, false, commandWaitMs_, std::move(requester), std::move(done));
}

unsigned long long TOrvexClientThread::TellServer(std::string_view request, TRequesterToken requester,
                                                  TAnswerHandler done) {
  return requests_.Ask(request, false, commandWaitMs_, std::move(requester), std::move(done), true);
}

unsigned long long TOrvexClientThread::SendListCommand(std::string_view request, TRequesterToken requester,
                                                       TAnswerHandler done) {
  return requests_.Ask(request, true, listCommandWaitMs_, std::move(requester), std::move(done));
}

}  // namespace vertamo

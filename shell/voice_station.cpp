#include "shell/voice_station.h"

#include "settings/fast_ini.h"
#include "shell/phone_station.h"
#include "shell/talk_key_service.h"
#include "uikit/qt_text.h"

namespace vertamo::ui {

namespace {

constexpr const char* kRingTimeoutKey = "RingTimeout";  // seconds, section "FVoice"
constexpr int kFirstLinkPollMs = 100;

int RingTimeout(const TVoiceHost& host) {
  return host.ini ? host.ini->ReadInteger(TVoiceSettings::kSection, kRingTimeoutKey, TCallSession::kDefaultRingTimeout)
                  : TCallSession::kDefaultRingTimeout;
}

}  // namespace

TVoiceStation::TVoiceStation(QWidget* owner, TPhoneStation& station, TVoiceHost host)
    : owner_(owner),
      station_(station),
      host_(std::move(host)),
      pending_(host_.workFolder),
      session_(*this, {}, RingTimeout(host_)) {
  host_.telephony = &station_.Telephony();
  host_.session = &session_;
  // One history for the whole run: the session writes it, the window reads it.
  if (!host_.workFolder.empty()) history_.emplace(host_.workFolder);
  host_.history = history_ ? &*history_ : nullptr;
  station_.SetCallWindow(this);
  if (!host_.workFolder.empty())
    if (const std::optional<TPendingCall> left = pending_.Take()) session_.Recover(*left);
  WatchFirstLink();
}

TVoiceStation::~TVoiceStation() {
  station_.SetCallWindow(nullptr);
  Close();
  // Kept beside the voice window's own settings, so that a workstation that
  // never showed the window leaves its settings file as it found it.
  if (host_.ini && host_.ini->SectionExists(TVoiceSettings::kSection))
    host_.ini->WriteInteger(TVoiceSettings::kSection, kRingTimeoutKey, session_.RingTimeout());
}

void TVoiceStation::WatchFirstLink() {
  firstLink_.setInterval(kFirstLinkPollMs);
  QObject::connect(&firstLink_, &QTimer::timeout, [this] {
    TIPTELThread* thread = station_.Telephony().Thread();
    // Without a telephony thread now there is no first link to wait for.
    if (!thread) firstLink_.stop();
    if (!thread || !thread->PhoneLinkUp()) return;
    firstLink_.stop();
    if (!linkSeen_) PhoneLinkRestored(thread->Adopted());
  });
  firstLink_.start();
}

TFVoice* TVoiceStation::VoiceWindow(bool create) {
  if (!window_ && create && station_.Telephony().PhoneLinkUp() && station_.Telephony().Thread()) {
    window_ = new TFVoice(host_, owner_);
    window_->ShowCallState(session_.State(), session_.State());
  }
  return window_;
}

void TVoiceStation::ShowVoiceWindow() {
  if (TFVoice* window = VoiceWindow(true)) window->ShowVoiceWindow();
}

void TVoiceStation::Close() {
  closing_ = true;
  session_.HangUp();
  Free();
}

void TVoiceStation::Free() { delete window_.data(); }

void TVoiceStation::PhoneEvent(const TPhoneEvent& event) {
  switch (event.kind) {
    case TPhoneEventKind::Ring:
      session_.Ring(event.caller);
      break;
    case TPhoneEventKind::Call:
      session_.Connected(event.status);
      break;
    case TPhoneEventKind::Busy:
      session_.Busy();
      break;
    case TPhoneEventKind::Error:
      session_.Failed();
      break;
    case TPhoneEventKind::Record:
      session_.Recorded(event.record);
      break;
    case TPhoneEventKind::NoRecord:
      session_.Recorded({});
      // Told once where the dispatcher looks, as the history's own trouble:
      // the phone program gives the reason only the first time.
      if (!event.record.empty() && host_.tellDispatcher) host_.tellDispatcher(FromCp1251(event.record));
      break;
    default:
      break;
  }
}

// The session took the state from the event itself.
void TVoiceStation::SetCallState(int) {}

void TVoiceStation::ShowCallInfo(const std::string& text) {
  if (window_) window_->ShowCallInfo(text);
}

void TVoiceStation::SelectSubscriber(int position) {
  if (window_) window_->SelectSubscriber(position);
}

void TVoiceStation::ShowCallStatus(const std::string& text) {
  if (window_) window_->ShowCallStatus(text);
}

void TVoiceStation::PhoneAnswered() {}

void TVoiceStation::PhoneLinkLost() {
  const bool callOn = session_.State() != TCallState::Idle;
  session_.LinkLost();
  if (window_ && (callOn || window_->isVisible())) window_->ShowLinkLost(callOn);
}

void TVoiceStation::PhoneLinkRestored(bool adopted) {
  linkSeen_ = true;
  firstLink_.stop();
  session_.LinkRestored(adopted);
  if (window_) window_->ShowLinkRestored();
}

void TVoiceStation::ToServer(const std::string& request) {
  if (!host_.sendCommand) return;
  if (closing_) {
    host_.sendCommand(request, {});
    return;
  }
  // The answer comes later; a phone command given meanwhile waits for it.
  ++serverPending_;
  host_.sendCommand(request, [guard = QPointer<QObject>(&outbox_), this] {
    if (!guard) return;
    --serverPending_;
    ReleasePhoneCommands();
  });
}

void TVoiceStation::ToPhone(const std::string& command) {
  // A command keeps the session's order behind the server's requests
  // ("STARTSPEAK" heard, or given up on, before the dial). At close there is
  // no later, for either.
  if (closing_) {
    for (; !held_.empty(); held_.pop_front()) station_.Telephony().SendPhoneCommand(held_.front());
    station_.Telephony().SendPhoneCommand(command);
    return;
  }
  held_.push_back(command);
  QMetaObject::invokeMethod(&outbox_, [this] { ReleasePhoneCommands(); }, Qt::QueuedConnection);
}

void TVoiceStation::ReleasePhoneCommands() {
  for (; serverPending_ == 0 && !held_.empty(); held_.pop_front())
    station_.Telephony().SendPhoneCommand(held_.front());
}

void TVoiceStation::CloseGateway() {
  if (window_) window_->CloseGateway();
}

void TVoiceStation::Record(const TCallRecord& call) {
  if (history_) {
    history_->Append(call);
    // Told once where the dispatcher looks: the window usually hides as the
    // call ends, so the main window says it too.
    if (history_->TakeNotRecordingNotice()) {
      // The main window's notice writes the telephony log itself.
      if (host_.tellDispatcher)
        host_.tellDispatcher(FromCp1251(TCallHistory::NotRecordingText()));
      else
        Log(TCallHistory::NotRecordingText());
    }
  }
  if (window_) {
    window_->ShowRecordingState();
    window_->FillCallHistory();
  }
}

void TVoiceStation::Log(const std::string& text) { station_.Telephony().Log().Write(text); }

void TVoiceStation::KeepPending(const std::optional<TPendingCall>& call) {
  if (!host_.workFolder.empty()) pending_.Keep(call);
}

void TVoiceStation::StateChanged(TCallState from, TCallState to) {
  // A ring makes the window: it keeps the call from its first event.
  if (TFVoice* window = VoiceWindow(to == TCallState::Ringing)) window->ShowCallState(from, to);
}

void TVoiceStation::SecondRing(const std::string& caller) {
  if (window_) window_->SecondRing(caller);
}

void RouteTalkKeys(TTalkKeyService& service, std::function<TFVoice*()> window) {
  service.onTalkKey = [window](int code) {
    if (TFVoice* voice = window()) voice->TalkKey(code);
  };
  service.onFocus = [window] {
    if (TFVoice* voice = window()) voice->TakeFocus();
  };
}

}  // namespace vertamo::ui

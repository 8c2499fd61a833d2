#include "shell/call_desk.h"

#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "platform/cp1251.h"
#include "voice/phone_book.h"
#include "settings/fast_ini.h"
#include "shell/call_keys.h"
#include "shell/phone_station.h"
#include "shell/talk_key_service.h"
#include "uikit/qt_text.h"
#include "sounds/sound_thread.h"

namespace vertamo::ui {

namespace {

constexpr const char* kRingTimeoutKey = "RingTimeout";  // seconds, section "FVoice"
// Decibels the server's sounds are lowered by during a conversation.
constexpr const char* kSoundLoweringKey = "SoundLowering";
constexpr const char* kCallSound = "Call.wav";

TCallOptions Options(const TCallDeskHost& host) {
  TCallOptions options;
  options.workFolder = host.window.workFolder;
  options.gatewayPort = host.gatewayPort;
  if (host.ini) {
    options.ringTimeout =
        host.ini->ReadInteger(TVoiceSettings::kSection, kRingTimeoutKey, TCallSession::kDefaultRingTimeout);
    // Negative would raise them; beyond 60 dB they are silent anyway.
    options.soundLowering =
        std::clamp(host.ini->ReadInteger(TVoiceSettings::kSection, kSoundLoweringKey, kDefaultSoundLowering), 0, 60);
    TVoiceSettings settings;
    LoadVoiceSettings(*host.ini, settings);
    options.autoSound = settings.autoSound;
  }
  return options;
}

}  // namespace

TCallDesk::TCallDesk(QWidget* owner, TPhoneStation& station, TCallDeskHost host)
    : owner_(owner), station_(station), host_(std::move(host)) {
  controller_ = std::make_unique<TCallController>(static_cast<ICallDesk&>(*this), Options(host_));
  host_.window.book = &station_.Telephony().Book();
  host_.window.history = controller_->History();
  station_.SetCallWindow(this);
  tick_.setInterval(TCallController::kTickMs);
  connect(&tick_, &QTimer::timeout, this, [this] { controller_->Tick(); });
  tick_.start();
  poll_.setInterval(TCallController::kPollMs);
  connect(&poll_, &QTimer::timeout, this, [this] { controller_->Poll(); });
  keys_ = std::make_unique<TCallKeys>(TCallKeys::THandlers{[this] { return controller_->InCall(); },
                                                           [this](bool down) { controller_->TalkKey(down); },
                                                           [this] { controller_->Escape(); }});
}

TCallDesk::~TCallDesk() {
  station_.SetCallWindow(nullptr);
  Close();
  // Kept beside the voice window's own settings, so that a workstation that
  // never showed the window leaves its settings file as it found it.
  if (host_.ini && host_.ini->SectionExists(TVoiceSettings::kSection)) {
    host_.ini->WriteInteger(TVoiceSettings::kSection, kRingTimeoutKey, controller_->RingTimeout());
    host_.ini->WriteInteger(TVoiceSettings::kSection, kSoundLoweringKey, controller_->SoundLowering());
  }
  keys_.reset();
  controller_.reset();
}

TFVoice* TCallDesk::VoiceWindow(bool create) {
  if (!window_ && create && PhoneLinkUp()) {
    // A window of its own, not the main window's child: a dialog modal to
    // the main window (the settings, the selector, the exit question) would
    // block it too, and a ring must be answered over any of them. This desk
    // frees it.
    window_ = new TFVoice(host_.window);
    ConnectWindow(window_);
    window_->Show(controller_->View());
  }
  return window_;
}

void TCallDesk::ConnectWindow(TFVoice* window) {
  connect(window, &TFVoice::callButtonClicked, this, &TCallDesk::CallButton);
  connect(window, &TFVoice::answerClicked, this, [this] { controller_->Answer(); });
  connect(window, &TFVoice::refuseClicked, this, [this] { controller_->Refuse(); });
  connect(window, &TFVoice::escapePressed, this, [this] { controller_->Escape(); });
  connect(window, &TFVoice::closedByHand, this, [this] { controller_->WindowClosed(); });
  connect(window, &TFVoice::historyInView, this, [this] { controller_->HistorySeen(true); });
  connect(window, &TFVoice::switchSettingsWanted, this, [this] { controller_->ReadSwitchSettings(); });
  connect(window, &TFVoice::autoSoundChanged, this, [this](bool on) { controller_->SetAutoSound(on); });
  connect(window, &TFVoice::callAgainClicked, this, &TCallDesk::CallAgain);
}

void TCallDesk::CallAgain(const std::string& who, const TCallAgain& again) {
  if (again.Lift()) {
    // The lift's gateway and units are the server's word of today: the map's
    // click asks it again.
    if (host_.callLiftAgain) host_.callLiftAgain(again.object, again.unit, who);
    return;
  }
  if (again.address.empty()) {
    Tell(Utf8ToCp1251("Вызов не сделан: у этого звонка в истории нет адреса"));
    return;
  }
  controller_->CallAgain(TSubscriber{who, again.address, ToCp1251(AddressRefusal(again.address))});
}

void TCallDesk::CallButton(int subscriber, bool historyInFront) {
  std::optional<TSubscriber> chosen;
  if (const PhoneBookEntry* entry = station_.Telephony().Book().At(subscriber)) {
    // A book written elsewhere may hold an address that cannot be dialled.
    chosen = TSubscriber{entry->Name, entry->Adr, ToCp1251(AddressRefusal(entry->Adr))};
  }
  controller_->CallButton(chosen, historyInFront);
}

bool TCallDesk::OpenBook() {
  TFVoice* window = VoiceWindow(true);
  if (!window) return false;
  // Idle, it opens on the subscribers; during a call it only comes forward.
  if (!controller_->InCall()) window->ShowSubscribers();
  controller_->OpenBook();
  return true;
}

void TCallDesk::MapCall(const TMapCall& call, const QRect& clicked) {
  TFVoice* window = VoiceWindow(true);
  if (!window) return;
  window->KeepClear(clicked);
  controller_->MapCall(call);
}

void TCallDesk::TalkRequest(int code) {
  if (window_) controller_->TalkRequest(code);
}

void TCallDesk::TakeFocus() {
  if (window_) window_->TakeFocus();
}

void TCallDesk::TellOnWindow(const QString& text) {
  if (controller_->View().shown) controller_->ShowStatus(0, ToCp1251(text));
}

void TCallDesk::Close() {
  if (question_) question_->close();
  controller_->Close();
  delete window_.data();
}

// --- the phone program's events -----------------------------------------------------

void TCallDesk::PhoneEvent(const TPhoneEvent& event) {
  switch (event.kind) {
    case TPhoneEventKind::Ring:
      controller_->Ring(event.caller);
      break;
    case TPhoneEventKind::Call:
      controller_->Connected(event.status);
      break;
    case TPhoneEventKind::Busy:
      controller_->Busy();
      break;
    case TPhoneEventKind::Error:
      controller_->Failed(event.errorCode, event.silentSeconds);
      break;
    case TPhoneEventKind::Record:
      controller_->Recorded(event.record);
      break;
    case TPhoneEventKind::App:
      // Said while no call is on screen (the phone's settings it cannot
      // serve, SIP not where they ask, calls that cannot come in): the voice
      // window's status bar would keep it from the dispatcher.
      if (!controller_->View().shown) Tell(event.status, true);
      break;
    case TPhoneEventKind::NoRecord:
      controller_->Recorded({});
      // Told once where the dispatcher looks, as the history's own trouble:
      // the phone program gives the reason only the first time.
      if (!event.record.empty()) Tell(event.record);
      break;
    default:
      break;
  }
}

void TCallDesk::ShowCallInfo(const std::string& text) { controller_->PhoneInfo(text); }

void TCallDesk::SelectSubscriber(int position) { controller_->CallerInBook(position); }

void TCallDesk::ShowCallStatus(const std::string& text) { controller_->PhoneStatus(text); }

void TCallDesk::PhoneLinkUp(bool adopted) { controller_->LinkRestored(adopted); }

void TCallDesk::PhoneLinkLost() { controller_->LinkLost(); }

void TCallDesk::PhoneLinkRestored(bool adopted) { controller_->LinkRestored(adopted); }

// --- the controller's desk -------------------------------------------------------------

void TCallDesk::Show(const TCallView& view) {
  // The level poll runs only while there is a conversation to poll.
  if (view.state == TCallState::Talking && !poll_.isActive()) poll_.start();
  if (view.state != TCallState::Talking && poll_.isActive()) poll_.stop();
  // A call to show makes the window; it keeps the call from its first event.
  if (TFVoice* window = VoiceWindow(view.shown)) window->Show(view);
}

void TCallDesk::ToServer(const std::string& request, std::function<void()> settled) {
  if (host_.sendCommand)
    host_.sendCommand(request, std::move(settled));
  else if (settled)
    Post(std::move(settled));
}

void TCallDesk::ToPhone(const std::string& command) { station_.Telephony().SendPhoneCommand(command); }

bool TCallDesk::PhoneLinkUp() const {
  return station_.Telephony().Thread() && station_.Telephony().PhoneLinkUp();
}

void TCallDesk::Post(std::function<void()> task) {
  // Dropped with this object: never run on a controller that went.
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void TCallDesk::Log(const std::string& text) { station_.Telephony().Log().Write(text); }

void TCallDesk::Tell(const std::string& text, bool standing) {
  // The main window's notice writes the telephony log itself.
  if (host_.tellDispatcher)
    host_.tellDispatcher(FromCp1251(text), standing);
  else
    Log(text);
}

void TCallDesk::AskSwitch(const std::string& current, const std::string& next, std::function<void(bool)> answer) {
  // One question at a time: a newer click's question replaces an older one.
  if (question_) question_->close();
  QWidget* parent = window_ ? static_cast<QWidget*>(window_) : owner_.data();
  if (host_.askSwitchCall) {
    host_.askSwitchCall(parent, FromCp1251(current), FromCp1251(next), std::move(answer));
    return;
  }
  auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Вызов"),
                              QStringLiteral("Идет звонок: %1.\nЗавершить его и вызвать %2?")
                                  .arg(FromCp1251(current), FromCp1251(next)),
                              QMessageBox::Yes | QMessageBox::No, parent);
  box->setObjectName(QStringLiteral("SwitchCallQuestion"));
  box->button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
  box->button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  // An emergency does not wait: Enter takes the new call.
  box->setDefaultButton(QMessageBox::Yes);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Modal to the voice window only, with no event loop of its own: the
  // workstation goes on, and its close takes the box with it.
  box->setWindowModality(Qt::WindowModal);
  connect(box, &QMessageBox::finished, this,
          [box, answer = std::move(answer)](int) { answer(box->clickedButton() == box->button(QMessageBox::Yes)); });
  question_ = box;
  box->open();
}

void TCallDesk::RingSound() {
  if (host_.sounds) host_.sounds->PlayByName(kCallSound);
}

void TCallDesk::LowerSounds(int db) {
  if (host_.sounds) host_.sounds->SetLowering(db);
}

void RouteTalkKeys(TTalkKeyService& service, std::function<TCallDesk*()> desk) {
  service.onTalkKey = [desk](int code) {
    if (TCallDesk* calls = desk()) calls->TalkRequest(code);
  };
  service.onFocus = [desk] {
    if (TCallDesk* calls = desk()) calls->TakeFocus();
  };
}

}  // namespace vertamo::ui

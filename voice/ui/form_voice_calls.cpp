// The voice window's call flow: call states, the call button, the keys, the
// two timers and the gateway of a conversation.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <ctime>

#include "iptel/telephony.h"
#include "uikit/indicator.h"
#include "uikit/qt_text.h"
#include "uikit/win_color.h"
#include "voice/map_call.h"
#include "voice/mulaw.h"
#include "voice/sound_file_player.h"
#include "voice/sound_thread.h"
#include "voice/ui/form_voice.h"
#include "voice/ui/level_meters.h"

namespace vertamo::ui {

namespace {

constexpr const char* kCaption = "Голосовая диспетчерская связь";
constexpr const char* kCallSound = "Call.wav";
constexpr const char* kKeyPressSound = "KeyPress.wav";

QColor HintColor() { return WinColorToQColor(SysColorValue(kSysInfoBk)); }

}  // namespace

int TFVoice::CallState() const {
  TIPTELThread* thread = host_.telephony ? host_.telephony->Thread() : nullptr;
  return thread ? thread->CallState : 0;
}

bool TFVoice::LinkUp() const {
  return host_.telephony && host_.telephony->Thread() && host_.telephony->PhoneLinkUp();
}

void TFVoice::RecordCallState(TTelephony* telephony, int state) {
  if (!telephony || !telephony->Thread() || !telephony->PhoneLinkUp()) return;
  if (state == 0) telephony->Log().PhoneLog("Трубка положена");
  if (state == 1) telephony->Log().PhoneLog("Трубка снята...");
  telephony->Thread()->CallState = state;
}

void TFVoice::SendPhone(const std::string& command) {
  if (host_.telephony) host_.telephony->SendPhoneCommand(command);
}

void TFVoice::PhoneEvent(const TPhoneEvent& event) {
  if (event.kind == TPhoneEventKind::Busy) calls_.SetCause(TCallTracker::TCause::Busy);
  if (event.kind == TPhoneEventKind::Error) calls_.SetCause(TCallTracker::TCause::Error);
  if (event.kind == TPhoneEventKind::Ring) calls_.SetCaller(event.caller);
}

void TFVoice::RecordCall(int from, int to) {
  const std::optional<TCallRecord> ended = calls_.Changed(from, to, std::time(nullptr), CallTitle);
  if (!ended || !history_) return;
  history_->Append(*ended);
  ShowRecordingState();
  FillCallHistory();
}

void TFVoice::ShowRecordingState() {
  auto* label = StatusBar1->findChild<QLabel*>(QStringLiteral("LabelNotRecording"));
  if (history_->TakeNotRecordingNotice()) {
    if (host_.telephony) host_.telephony->Log().Write(TCallHistory::NotRecordingText());
    if (!label) {
      label = new QLabel(FromCp1251(TCallHistory::NotRecordingText()), StatusBar1);
      label->setObjectName(QStringLiteral("LabelNotRecording"));
      label->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
      StatusBar1->addPermanentWidget(label);
    }
  }
  if (label) label->setVisible(!history_->Recording());
}

void TFVoice::SetCallState(int state) {
  if (!LinkUp()) return;
  const int from = CallState();
  // A conversation lasts while the state is 1: leaving it clears TalkActive,
  // so that the next call starts with a fresh clock and the space bar at rest.
  if (state != 1) {
    TalkActive = false;
    spaceDown_ = false;
    PendingListen = false;
  }
  switch (state) {
    case 0:
      HideVoiceWindow();
      SetInfoText(QStringLiteral("Выберите абонента и нажмите ВЫЗОВ..."), HintColor().rgb());
      SetCallButtonText(QStringLiteral("          ВЫЗОВ"));
      PanelAdr->clear();
      setWindowTitle(QString::fromUtf8(kCaption));
      break;
    case 1:
      SetInfoText(QStringLiteral("Для завершения нажмите на кнопку ESC..."), kTalkColor);
      SetCallButtonText(QStringLiteral("        Закрыть..."));
      TalkActive = true;
      CallStart = QDateTime::currentDateTime();
      LabelTime->setText(CallClockText(0));  // not the last call's time until the first tick
      PendingListen = !mAutoSound->isChecked();
      break;
    case 2:
      SetCallButtonText(QStringLiteral("     Прервать звонок"));
      SetInfoText(QStringLiteral("Идет набор номера..."), kDialColor);
      break;
    case 3:
      ShowVoiceWindow();
      SetInfoText(QStringLiteral("Вам звонят !"), kRingColor);
      SetCallButtonText(QStringLiteral("      Начать разговор..."));
      break;
    default:
      break;
  }
  RecordCallState(host_.telephony, state);
  RecordCall(from, state);
  // The ring sound starts at once.
  if (state == 3) Timer1Timer();
}

void TFVoice::ShowCallInfo(const std::string& text) { SetInfoText(FromCp1251(text), HintColor().rgb()); }

void TFVoice::SelectSubscriber(int position) {
  if (position >= 0 && position < ListBox1->count()) ListBox1->setCurrentRow(position);
}

void TFVoice::ShowCallStatus(const std::string& text) { StatusPanels[0]->setText(FromCp1251(text)); }

void TFVoice::ShowVoiceWindow() {
  if (LinkUp()) Present();
}

void TFVoice::HideVoiceWindow() {
  if (LinkUp()) hide();
}

void TFVoice::SetInfoText(const QString& text, QRgb color) {
  Label1->setText(text);
  SetBackground(Label1, QColor(color));
}

void TFVoice::SetCallButtonText(const QString& text) { Button1->setText(text); }

void TFVoice::Button1Click() {
  if (!LinkUp()) return;
  for (QLabel* panel : StatusPanels) panel->clear();
  const int state = CallState();
  if (state == 0 && PageControl1->currentIndex() == 0) {
    const PhoneBookEntry* entry = host_.telephony->Book().At(SelectedSubscriber());
    if (!entry) return;
    // A book written elsewhere may hold an address that cannot be dialled.
    if (const QString refusal = AddressRefusal(entry->Adr); !refusal.isEmpty()) {
      StatusPanels[0]->setText(refusal);
      return;
    }
    const std::string command = "c " + entry->Adr;
    SendPhone(command);
    CallCommand = command;
    SetCallState(2);
    host_.telephony->Log().PhoneLog("Звонок на \"%s\"", entry->Adr.c_str());
    StatusPanels[0]->setText(QStringLiteral("Звонок на адрес: ") + FromCp1251(entry->Adr));
    StatusPanels[1]->setText(FromCp1251(entry->Name));
    CallTitle = entry->Name;
    CallPu = 0;
  } else if (state == 3) {
    SetInfoText(QStringLiteral("Ждите соединения с абонентом..."), kRingColor);
    SetCallButtonText(QStringLiteral("Ждите..."));
    SendPhone("y");
  } else {
    SendPhone("h");
    SetCallState(0);
  }
}

void TFVoice::TakeMapCall(const TMapCall& call) {
  CallCommand = call.command.substr(0, 127);
  CallTitle = call.title.substr(0, 127);
  GatewayHost = call.gatewayHost;
  GatewayLine = call.gatewayLine;
  CallAdr = call.adr;
  CallPort = call.port;
  CallPu = call.unit;
  CallObject = call.object;
  BitBtnTest->hide();
  QMetaObject::invokeMethod(this, &TFVoice::PlaceCall, Qt::QueuedConnection);
}

void TFVoice::PlaceCall() {
  if (CallCommand.empty() || CallCommand[0] != 'c' || !host_.telephony || !host_.telephony->Thread()) return;
  SendPhone(CallCommand);
  SetCallState(2);
  host_.telephony->Log().PhoneLog("Звонок на \"%s\"", CallCommand.c_str());
  StatusPanels[1]->setText(QStringLiteral("Звонок на адрес: ") + FromCp1251(CallCommand));
  PanelAdr->setText(FromCp1251(CallTitle));
  if (PanelAdr->isHidden()) setWindowTitle(QString::fromUtf8(kCaption) + QStringLiteral(": ") + FromCp1251(CallTitle));
  ListBox1->setCurrentRow(-1);
  ListBox1->clearSelection();
  Present();
}

// --- keys ----------------------------------------------------------------------

bool TFVoice::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this)
    return HandleKey(static_cast<QKeyEvent*>(event), type == QEvent::KeyPress);
  if (type == QEvent::MouseMove && (watched == StatusBar1 || watched == StatusPanels[0] || watched == StatusPanels[1]) &&
      (static_cast<QMouseEvent*>(event)->modifiers() & Qt::ControlModifier) && gateway_) {
    settingsToStatus_ = true;
    gateway_->ReadSettings();
  }
  return QWidget::eventFilter(watched, event);
}

bool TFVoice::HandleKey(QKeyEvent* key, bool pressed) {
  switch (key->key()) {
    case Qt::Key_Space:
      if (!TalkActive) return false;
      // Held down, the key repeats: only a hold's press and release count.
      if (!key->isAutoRepeat()) pressed ? space_->Press() : space_->Release();
      return true;
    case Qt::Key_F9:
      if (pressed && !key->isAutoRepeat()) KeyPressSound();
      return pressed;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (pressed && !key->isAutoRepeat()) Button1Click();
      return true;
    case Qt::Key_Escape:
      if (pressed && !key->isAutoRepeat()) EscapeKey();
      return true;
    default:
      return false;
  }
}

void TFVoice::SpaceDown() {
  if (spaceDown_) return;
  spaceDown_ = true;
  SetInfoText(QStringLiteral("Говорите..."), kSpeakColor);
  SetTalkDirection(true);
}

void TFVoice::SpaceUp() {
  if (!spaceDown_) return;
  spaceDown_ = false;
  SetInfoText(QStringLiteral("Слушайте..."), kTalkColor);
  SetTalkDirection(false);
}

void TFVoice::TalkKey(int code) {
  if (!TalkActive) return;
  if (code == 0) SpaceDown();
  if (code == 1) SpaceUp();
}

void TFVoice::TakeFocus() {
  if (!isVisible()) return;
  raise();
  activateWindow();
  setFocus(Qt::OtherFocusReason);
}

void TFVoice::EscapeKey() {
  if (!LinkUp()) return;
  const int state = CallState();
  if (state == 1 || state == 2) SendPhone("h");
  if (state == 3) {
    SendPhone("n");
    calls_.SetCause(TCallTracker::TCause::Refuse);
  }
  SetCallState(0);
}

void TFVoice::KeyPressSound() {
  if (!host_.soundFiles) return;
  const TSoundRequest sound = ResolveSoundName(kKeyPressSound, host_.programFolder, host_.workFolder);
  if (sound.kind == TSoundRequest::TKind::Sound) host_.soundFiles->PlaySoundFile(sound.path);
}

// --- the gateway -------------------------------------------------------------

void TFVoice::OpenGateway(bool readSettings) {
  ++conversation_;
  results_ = std::make_unique<TGatewayHandOver>(
      this, conversation_, [this](std::uint64_t conversation, const TGatewayResult& result) {
        GatewayResult(conversation, result);
      });
  gateway_ = std::make_unique<TGatewayWorker>(*results_, GatewayHost, host_.gatewayPort);
  gateway_->Open();
  if (readSettings) gateway_->ReadSettings();
}

void TFVoice::CloseGateway() {
  // "quit" goes out as the worker stops; nothing of it arrives afterwards.
  gateway_.reset();
  results_.reset();
  ++conversation_;
}

bool TFVoice::SetTalkDirection(bool talk) {
  if (CallState() != 1) return false;
  if (!gateway_) OpenGateway(false);
  gateway_->SetDirection(GatewayLine, talk);
  return true;
}

void TFVoice::EndTalk() {
  if (gateway_) CloseGateway();
  if (CallAdr != 0) {
    if (host_.sendCommand)
      host_.sendCommand("ENDSPEAK OBJ=" + std::to_string(CallObject) + " PU=" + std::to_string(CallPu));
    CallAdr = 0;
    CallObject = 0;
  }
  CallPu = 0;
}

void TFVoice::GatewayResult(std::uint64_t conversation, const TGatewayResult& result) {
  if (conversation != conversation_) return;
  switch (result.kind) {
    case TGatewayResult::TKind::Opened:
      GatewayLink->ShowLink(result.ok);
      break;
    case TGatewayResult::TKind::Settings:
      if (!result.ok) break;
      SettingsFromText(result.settingsText, SwitchSettings);
      if (settingsToStatus_)
        StatusPanels[0]->setText(QStringLiteral("Настройки переключения: ") +
                                 QString::fromStdString(SettingsToText(SwitchSettings)));
      settingsToStatus_ = false;
      break;
    case TGatewayResult::TKind::Direction:
      if (!result.talk && listenAnnounce_ && result.ok && CallState() == 1)
        SetInfoText(QStringLiteral("Слушайте..."), kTalkColor);
      if (!result.talk) listenAnnounce_ = false;
      break;
    case TGatewayResult::TKind::Level:
      if (CallState() != 1 || !result.ok)
        RestMeters();
      else
        ShowLevel(result);
      break;
  }
}

void TFVoice::RestMeters() {
  ImageMic->hide();
  ImageSpeaker->hide();
  Indicator->SetPosition(0);
}

void TFVoice::ShowLevel(const TGatewayResult& result) {
  const int level = static_cast<std::uint8_t>(~LinearToUlaw(static_cast<std::int16_t>(result.level & 0xFFFF)));
  const int threshold = SwitchSettings.Threshold & 0xFF;
  for (TGauge* gauge : {CGauge1, CGaugeMic, CGaugeMic2}) {
    if (gauge->isHidden()) continue;
    if (threshold != 0) gauge->SetForeColor(QColor(level < threshold ? kOliveColor : kTalkColor));
    gauge->SetProgress(level);
  }
  if (!Indicator->isHidden()) Indicator->SetPosition(level);
  if (!PaintBoxInd->isHidden()) {
    PaintBoxInd->SetThreshold(SwitchSettings.Threshold);
    PaintBoxInd->SetLevel(level);
  }
  if (Indicator->Marker() == 0) Indicator->SetMarker(threshold);
  ImageMic->setVisible(result.mode == TKelmoClient::kModeTalk);
  ImageSpeaker->setVisible(result.mode == TKelmoClient::kModeListen);
  if (result.mode != TKelmoClient::kModeTalk && result.mode != TKelmoClient::kModeListen) Indicator->SetPosition(0);
}

// --- timers ------------------------------------------------------------------

void TFVoice::Timer1Timer() {
  if (!LinkUp()) return;
  if (!PanelRecord->isHidden() && TalkActive) {
    LabelTime->setText(CallClockText(CallStart.secsTo(QDateTime::currentDateTime())));
    SetBackground(LabelTime, QColor(kTalkColor));
  }
  if (ring_.Tick(CallState() == 3) && host_.sounds) host_.sounds->PlayByName(kCallSound);
}

void TFVoice::Timer2Timer() {
  settings_.micVolume = 65535 - TrackBarMic->value();
  if (CallState() != 1) {
    RestMeters();
    return;
  }
  if (!gateway_) OpenGateway(true);
  if (PendingListen) {
    PendingListen = false;
    listenAnnounce_ = SetTalkDirection(false);
  }
  gateway_->PollLevel(GatewayLine);
}

}  // namespace vertamo::ui

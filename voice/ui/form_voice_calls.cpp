// The voice window's call flow: call states, the call button, the keys, the
// two timers and the gateway of a conversation.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <ctime>
#include <utility>

#include "iptel/telephony.h"
#include "uikit/indicator.h"
#include "uikit/qt_text.h"
#include "uikit/win_color.h"
#include "voice/map_call.h"
#include "voice/mulaw.h"
#include "sounds/sound_file_player.h"
#include "sounds/sound_thread.h"
#include "voice/ui/form_voice.h"

#include "records/record_place.h"
#include "voice/ui/history_records.h"
#include "voice/ui/level_meters.h"

namespace vertamo::ui {

namespace {

constexpr const char* kCaption = "Голосовая диспетчерская связь";
constexpr const char* kCallSound = "Call.wav";
constexpr const char* kKeyPressSound = "KeyPress.wav";

QColor HintColor() { return WinColorToQColor(SysColorValue(kSysInfoBk)); }

}  // namespace

bool AskSwitchCall(QWidget* parent, const QString& current, const QString& next) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Вызов"),
                  QStringLiteral("Идет звонок: %1.\nЗавершить его и вызвать %2?").arg(current, next),
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  // An emergency does not wait: Enter takes the new call.
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

TCallState TFVoice::CallState() const { return host_.session ? host_.session->State() : TCallState::Idle; }

bool TFVoice::LinkUp() const {
  return host_.telephony && host_.telephony->Thread() && host_.telephony->PhoneLinkUp();
}

const TMapCall* TFVoice::Lift() const {
  return host_.session && host_.session->Party().lift ? &*host_.session->Party().lift : nullptr;
}

void TFVoice::ClearForNewCall() {
  // Nothing of the call before stays on show.
  for (QLabel* panel : StatusPanels) panel->clear();
  LabelTime->setText(CallClockText(0));
  SetBackground(LabelTime, QColor(kOliveColor));
  PanelAdr->clear();
  setWindowTitle(QString::fromUtf8(kCaption));
}

void TFVoice::ShowRecordingState() {
  if (!host_.history) return;
  auto* label = StatusBar1->findChild<QLabel*>(QStringLiteral("LabelNotRecording"));
  if (!host_.history->Recording()) {
    if (!label) {
      label = new QLabel(FromCp1251(TCallHistory::NotRecordingText()), StatusBar1);
      label->setObjectName(QStringLiteral("LabelNotRecording"));
      label->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
      // The window keeps its size: the notice takes the room there is, the
      // whole of it in the tip (and in the main window's status bar).
      label->setMinimumWidth(1);
      label->setWordWrap(true);
      label->setToolTip(label->text());
      StatusBar1->addPermanentWidget(label, 3);
    }
  }
  if (label) label->setVisible(!host_.history->Recording());
}

void TFVoice::ShowCallState(TCallState from, TCallState to) {
  // A conversation lasts while the state is talking: leaving it lets the
  // space bar rest, so that the next call starts afresh.
  TalkActive = to == TCallState::Talking;
  if (!TalkActive) {
    spaceDown_ = false;
    PendingListen = false;
    Label1->setToolTip({});  // the conversation's statistics
  }
  if (from == TCallState::Idle && to != TCallState::Idle) ClearForNewCall();
  // A ring or a call stops a record playing: the dispatcher hears the call.
  if (to != TCallState::Idle) historyRecords_->StopPlaying();
  ShowRecordingMark();
  const TCallParty party = host_.session ? host_.session->Party() : TCallParty{};
  switch (to) {
    case TCallState::Idle:
      ShowIdleTexts();
      PanelAdr->clear();
      setWindowTitle(QString::fromUtf8(kCaption));
      ShowMissed();
      // A ring that went unanswered stays on show until the dispatcher has seen it.
      if (from == TCallState::Ringing && host_.session && host_.session->MissedUnseen() > 0 && isVisible()) {
        SetInfoText(QStringLiteral("Пропущен звонок: ") + FromCp1251(ringCaller_), kRingColor);
        break;
      }
      // A dial that failed on its own (a busy intercom, an error) stays on
      // show with the phone's word on it: a window that only flashed would
      // leave a click on a lift without an answer.
      if (from == TCallState::Dialling && host_.session &&
          (host_.session->LastOutcome() == TCallOutcome::Busy || host_.session->LastOutcome() == TCallOutcome::Failed)) {
        SetInfoText(QStringLiteral("Вызов не состоялся: ") + FromCp1251(CallOutcomeText(host_.session->LastOutcome())),
                    kDialColor);
        ShowVoiceWindow();
        break;
      }
      HideVoiceWindow();
      break;
    case TCallState::Talking:
      SetInfoText(QStringLiteral("Для завершения нажмите на кнопку ESC..."), kTalkColor);
      SetCallButtonText(QStringLiteral("        Закрыть..."));
      LabelTime->setText(CallClockText(0));  // not the last call's time until the first tick
      PendingListen = !mAutoSound->isChecked();
      break;
    case TCallState::Dialling:
      SetCallButtonText(QStringLiteral("     Прервать звонок"));
      SetInfoText(QStringLiteral("Идет набор номера..."), kDialColor);
      if (party.lift) {
        // The dispatcher reads whom the call is to; the dial string stays in
        // the tip (and the telephony log) for whoever must check it.
        StatusPanels[1]->setText(QStringLiteral("Вызов: ") + FromCp1251(party.title));
        StatusPanels[1]->setToolTip(QStringLiteral("Звонок на адрес: ") + FromCp1251(party.command));
      } else {
        StatusPanels[0]->setText(QStringLiteral("Звонок на адрес: ") + FromCp1251(party.address));
        StatusPanels[1]->setText(FromCp1251(party.title));
      }
      PanelAdr->setText(FromCp1251(party.title));
      if (PanelAdr->isHidden())
        setWindowTitle(QString::fromUtf8(kCaption) + QStringLiteral(": ") + FromCp1251(party.title));
      break;
    case TCallState::Ringing:
      if (host_.session && host_.session->Answering()) {
        SetInfoText(QStringLiteral("Ждите соединения с абонентом..."), kRingColor);
        SetCallButtonText(QStringLiteral("Ждите..."));
        break;
      }
      ringCaller_ = party.title;
      ShowVoiceWindow();
      // Who is calling, on the line the dispatcher looks at.
      SetInfoText(party.title.empty() ? QStringLiteral("Вам звонят !")
                                      : QStringLiteral("Вам звонят ! ") + FromCp1251(party.title),
                  kRingColor);
      SetCallButtonText(QStringLiteral("      Начать разговор..."));
      PanelAdr->setText(FromCp1251(party.title));
      // The ring sound starts at once.
      if (from != TCallState::Ringing) Timer1Timer();
      break;
  }
}

void TFVoice::ShowIdleTexts() {
  SetInfoText(QStringLiteral("Выберите абонента и нажмите ВЫЗОВ..."), HintColor().rgb());
  SetCallButtonText(QStringLiteral("          ВЫЗОВ"));
}

void TFVoice::SecondRing(const std::string& caller) {
  StatusPanels[1]->setText(QStringLiteral("Второй звонок: ") + FromCp1251(caller));
  ShowMissed();
}

void TFVoice::ShowMissed() {
  const int missed = host_.session ? host_.session->MissedUnseen() : 0;
  PageControl1->setTabText(1, missed > 0 ? QStringLiteral("История разговоров (пропущено: %1)").arg(missed)
                                         : QStringLiteral("История разговоров"));
}

namespace {
const QString kNoPhoneLinkNotice = QStringLiteral("Нет связи с программой телефона...");
}  // namespace

void TFVoice::ShowLinkLost(bool callBroken) {
  linkBrokeCall_ = linkBrokeCall_ || callBroken;
  // Said where the dispatcher looks: the call window comes up with it.
  SetInfoText(kNoPhoneLinkNotice, kDialColor);
  SetCallButtonText(QStringLiteral("          ВЫЗОВ"));
  show();
  raise();
}

void TFVoice::ShowLinkRestored() {
  // Only the notice of the lost link gives way: the first link, heard of
  // after a call already failed, must not wipe what that call said.
  if (CallState() != TCallState::Idle || Label1->text() != kNoPhoneLinkNotice) return;
  if (std::exchange(linkBrokeCall_, false))
    SetInfoText(QStringLiteral("Звонок прерван: была потеряна связь с программой телефона"), kDialColor);
  else
    ShowIdleTexts();
}

void TFVoice::ShowCallInfo(const std::string& text) {
  if (TalkActive) {
    Label1->setToolTip(FromCp1251(text));
    return;
  }
  SetInfoText(FromCp1251(text), HintColor().rgb());
}

void TFVoice::OpenIdle() {
  if (CallState() != TCallState::Idle) return ShowVoiceWindow();
  PageControl1->setCurrentIndex(0);
  if (!isVisible()) {
    ClearForNewCall();
    ShowIdleTexts();
  }
  ShowVoiceWindow();
}

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
  if (!LinkUp() || !host_.session) return;
  TCallSession& session = *host_.session;
  switch (session.State()) {
    case TCallState::Idle:
      if (PageControl1->currentIndex() == 0) {
        const PhoneBookEntry* entry = host_.telephony->Book().At(SelectedSubscriber());
        if (!entry) return;
        // A book written elsewhere may hold an address that cannot be dialled.
        if (const QString refusal = AddressRefusal(entry->Adr); !refusal.isEmpty()) {
          StatusPanels[0]->setText(refusal);
          return;
        }
        session.Dial(entry->Name, entry->Adr);
        return;
      }
      session.HangUp(true);
      HideVoiceWindow();
      break;
    case TCallState::Ringing:
      session.Answer();
      break;
    default:
      session.HangUp();
      break;
  }
}

bool TFVoice::TakeMapCall(const TMapCall& call) {
  if (!host_.session) return false;
  TCallSession& session = *host_.session;
  if (session.State() != TCallState::Idle) {
    const QString current = FromCp1251(session.Party().title);
    const QString next = FromCp1251(call.title);
    if (!(host_.askSwitchCall ? host_.askSwitchCall(this, current, next) : AskSwitchCall(this, current, next)))
      return false;
    session.SwitchTo(call);
  } else {
    session.PlaceMapCall(call);
  }
  BitBtnTest->hide();
  ListBox1->setCurrentRow(-1);
  ListBox1->clearSelection();
  Present();
  return session.State() == TCallState::Dialling;
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
      if (!pressed || key->isAutoRepeat()) return true;
      // On a history row with a record, at rest, Enter plays it.
      if (CallState() == TCallState::Idle && PageControl1->currentIndex() == 1 && historyRecords_->PlaySelected())
        return true;
      Button1Click();
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
  // Esc always hides the window: ending a call hides it, and so does Esc when
  // idle, or when the window only says that the phone link is gone.
  if (LinkUp() && host_.session) host_.session->HangUp();
  hide();
}

void TFVoice::KeyPressSound() {
  if (!host_.soundFiles) return;
  const TSoundRequest sound = ResolveSoundName(kKeyPressSound, host_.programFolder, host_.workFolder);
  if (sound.kind == TSoundRequest::TKind::Sound) host_.soundFiles->PlaySoundFile(sound.path);
}

// --- the gateway -------------------------------------------------------------

void TFVoice::OpenGateway(bool readSettings) {
  const TMapCall* lift = Lift();
  if (!lift) return;
  ++conversation_;
  results_ = std::make_unique<TGatewayHandOver>(
      this, conversation_, [this](std::uint64_t conversation, const TGatewayResult& result) {
        GatewayResult(conversation, result);
      });
  gateway_ = std::make_unique<TGatewayWorker>(*results_, lift->gatewayHost, host_.gatewayPort);
  gateway_->Open();
  if (readSettings) gateway_->ReadSettings();
}

void TFVoice::CloseGateway() {
  // "quit" goes out as the worker stops; nothing of it arrives afterwards.
  gateway_.reset();
  results_.reset();
  ++conversation_;
  // The next call starts without this one's word on the gateway.
  GatewayLink->ShowLink(true);
}

bool TFVoice::SetTalkDirection(bool talk) {
  // Only a conversation with a lift has a gateway line.
  const TMapCall* lift = Lift();
  if (CallState() != TCallState::Talking || !lift) return false;
  if (!gateway_) OpenGateway(false);
  gateway_->SetDirection(lift->gatewayLine, talk);
  return true;
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
      if (!result.talk && listenAnnounce_ && result.ok && CallState() == TCallState::Talking)
        SetInfoText(QStringLiteral("Слушайте..."), kTalkColor);
      if (!result.talk) listenAnnounce_ = false;
      break;
    case TGatewayResult::TKind::Level:
      if (CallState() != TCallState::Talking || !result.ok)
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
  if (host_.session) host_.session->Tick();  // a ring nobody answers ends here
  if (!PanelRecord->isHidden() && TalkActive && host_.session) {
    LabelTime->setText(CallClockText(std::time(nullptr) - host_.session->AnsweredAt()));
    SetBackground(LabelTime, QColor(kTalkColor));
  }
  ShowRecordingMark();
  if (ring_.Tick(CallState() == TCallState::Ringing) && host_.sounds) host_.sounds->PlayByName(kCallSound);
}

void TFVoice::ShowRecordingMark() {
  LabelRecording->setVisible(TalkActive && host_.session && IsRecordPath(host_.session->Record()));
}

void TFVoice::Timer2Timer() {
  settings_.micVolume = 65535 - TrackBarMic->value();
  const TMapCall* lift = Lift();
  if (CallState() != TCallState::Talking || !lift) {
    RestMeters();
    return;
  }
  if (!gateway_) OpenGateway(true);
  if (PendingListen) {
    PendingListen = false;
    listenAnnounce_ = SetTalkDirection(false);
  }
  gateway_->PollLevel(lift->gatewayLine);
}

}  // namespace vertamo::ui

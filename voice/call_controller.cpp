#include "voice/call_controller.h"

#include <utility>

#include "platform/cp1251.h"
#include "voice/mulaw.h"

namespace vertamo {

namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

const std::string& NoPhoneLinkNotice() {
  static const std::string text = Cp("Нет связи с программой телефона...");
  return text;
}

}  // namespace

// Every entry from outside is one turn; the view goes out once, as the
// outermost turn ends, and only when it changed.
class TCallController::TTurn {
 public:
  explicit TTurn(TCallController& controller) : controller_(controller) { ++controller_.turns_; }
  ~TTurn() {
    if (--controller_.turns_ == 0) controller_.Publish();
  }

 private:
  TCallController& controller_;
};

// The gateway worker's results, handed to the main thread with the
// conversation they belong to.
class TCallController::TGatewayResults final : public IGatewayResults {
 public:
  TGatewayResults(ICallDesk& desk, std::weak_ptr<TCallController*> controller, std::uint64_t conversation)
      : desk_(desk), controller_(std::move(controller)), conversation_(conversation) {}

  void GatewayResult(const TGatewayResult& result) override {
    desk_.Post([controller = controller_, conversation = conversation_, result] {
      if (const auto alive = controller.lock()) (*alive)->GatewayResult(conversation, result);
    });
  }

 private:
  ICallDesk& desk_;
  const std::weak_ptr<TCallController*> controller_;
  const std::uint64_t conversation_;
};

TCallController::TCallController(ICallDesk& desk, TCallOptions options)
    : desk_(desk),
      options_(std::move(options)),
      pending_(options_.workFolder),
      session_(*this, options_.clock, options_.ringTimeout),
      self_(std::make_shared<TCallController*>(this)) {
  TTurn turn(*this);
  // One history for the whole run: the session writes it, the window reads it.
  if (!options_.workFolder.empty()) history_.emplace(options_.workFolder);
  view_.clock = CallClockText(0);
  ShowIdleTexts();
  if (!options_.workFolder.empty())
    if (const std::optional<TPendingCall> left = pending_.Take()) session_.Recover(*left);
}

TCallController::~TCallController() {
  self_.reset();
  gateway_.reset();
}

void TCallController::Publish() {
  if (view_ == shown_) return;
  shown_ = view_;
  desk_.Show(view_);
}

// --- the dispatcher -----------------------------------------------------------------

void TCallController::CallButton(const std::optional<TSubscriber>& chosen, bool historyInFront) {
  if (!desk_.PhoneLinkUp()) return;
  TTurn turn(*this);
  switch (session_.State()) {
    case TCallState::Idle:
      if (!historyInFront) {
        if (!chosen) return;
        if (!chosen->refusal.empty())
          view_.status[0] = chosen->refusal;
        else
          session_.Dial(chosen->name, chosen->address);
        return;
      }
      session_.HangUp(true);
      view_.shown = false;
      break;
    case TCallState::Ringing:
      session_.Answer();
      break;
    default:
      session_.HangUp();
      break;
  }
}

void TCallController::Answer() {
  if (!desk_.PhoneLinkUp()) return;
  TTurn turn(*this);
  session_.Answer();
}

void TCallController::Refuse() {
  if (!desk_.PhoneLinkUp() || session_.State() != TCallState::Ringing) return;
  TTurn turn(*this);
  session_.HangUp();
}

void TCallController::Escape() {
  TTurn turn(*this);
  // Esc always hides the window: ending a call hides it, and so does Esc when
  // idle, or when the window only says that the phone link is gone.
  if (desk_.PhoneLinkUp()) session_.HangUp();
  view_.shown = false;
}

void TCallController::WindowClosed() { Escape(); }

void TCallController::OpenBook() {
  TTurn turn(*this);
  if (session_.State() == TCallState::Idle && !view_.shown) {
    ClearForNewCall();
    ShowIdleTexts();
  }
  Present();
}

void TCallController::MapCall(const TMapCall& call) {
  TTurn turn(*this);
  const TMapCall* lift = Lift();
  // The passenger being talked to is not hung up on by a second click on
  // the same lift: the call only comes forward.
  if (session_.State() != TCallState::Idle && lift && lift->object == call.object) {
    Present();
    return;
  }
  PlaceOrAsk(call.title, [this, call] {
    if (session_.State() != TCallState::Idle)
      session_.SwitchTo(call);
    else
      session_.PlaceMapCall(call);
    // The map's call is nobody of the address book.
    view_.selectRow = -1;
    ++view_.selectTurn;
    Present();
  });
}

void TCallController::CallAgain(const TSubscriber& party) {
  if (!desk_.PhoneLinkUp()) return;
  TTurn turn(*this);
  if (!party.refusal.empty()) {
    view_.status[0] = party.refusal;
    view_.statusTips[0].clear();
    return;
  }
  // The one being talked to only comes forward.
  if (session_.State() != TCallState::Idle && !session_.Party().lift && session_.Party().address == party.address) {
    Present();
    return;
  }
  PlaceOrAsk(party.name, [this, party] {
    session_.HangUp();
    session_.Dial(party.name, party.address);
    Present();
  });
}

void TCallController::PlaceOrAsk(const std::string& next, std::function<void()> place) {
  if (session_.State() == TCallState::Idle) {
    ++askTurn_;  // a question still open is answered by this call
    place();
    return;
  }
  const unsigned asked = ++askTurn_;
  desk_.AskSwitch(session_.Party().title, next,
                  [self = std::weak_ptr<TCallController*>(self_), asked, place = std::move(place)](bool yes) {
                    const auto alive = self.lock();
                    if (!alive) return;
                    TCallController& controller = **alive;
                    if (!yes || asked != controller.askTurn_) return;
                    TTurn turn(controller);
                    place();
                  });
}

void TCallController::TalkKey(bool down) {
  if (session_.State() != TCallState::Talking) return;
  TTurn turn(*this);
  down ? SpaceDown() : SpaceUp();
}

void TCallController::TalkRequest(int code) {
  if (code == 0) TalkKey(true);
  if (code == 1) TalkKey(false);
}

void TCallController::SpaceDown() {
  if (spaceDown_) return;
  spaceDown_ = true;
  SetInfo("Говорите...", TCallView::kSpeakColor);
  SetTalkDirection(true);
}

void TCallController::SpaceUp() {
  if (!spaceDown_) return;
  spaceDown_ = false;
  SetInfo("Слушайте...", TCallView::kTalkColor);
  SetTalkDirection(false);
}

void TCallController::HistorySeen(bool historyInFront) {
  if (!historyInFront || !view_.shown) return;
  TTurn turn(*this);
  const bool missed = session_.MissedUnseen() > 0;
  session_.MissedSeen();
  view_.missed = 0;
  // Seen in the history, the missed ring's notice on the line has done its work.
  if (missed && session_.State() == TCallState::Idle && view_.info.rfind(Cp("Пропущен звонок: "), 0) == 0)
    ShowIdleTexts();
}

void TCallController::ReadSwitchSettings() {
  if (!gateway_) return;
  settingsToStatus_ = true;
  gateway_->ReadSettings();
}

void TCallController::ShowStatus(int panel, const std::string& text) {
  if (panel < 0 || panel > 1) return;
  TTurn turn(*this);
  view_.status[static_cast<std::size_t>(panel)] = text;
  view_.statusTips[static_cast<std::size_t>(panel)].clear();
}

// --- the phone program -----------------------------------------------------------------

void TCallController::Ring(const std::string& caller) {
  TTurn turn(*this);
  session_.Ring(caller);
}

void TCallController::Connected(const std::string& party) {
  TTurn turn(*this);
  session_.Connected(party);
}

void TCallController::Busy() {
  TTurn turn(*this);
  session_.Busy();
}

void TCallController::Failed(int code, int silentSeconds) {
  TTurn turn(*this);
  session_.Failed(code, silentSeconds);
}

void TCallController::LinkLost() {
  TTurn turn(*this);
  const bool callOn = session_.State() != TCallState::Idle;
  session_.LinkLost();
  if (!callOn && !view_.shown) return;
  linkBrokeCall_ = linkBrokeCall_ || callOn;
  // Said where the dispatcher looks: the call window comes up with it.
  SetInfo(NoPhoneLinkNotice(), TCallView::kDialColor);
  view_.button = Cp("          ВЫЗОВ");
  view_.answerOrRefuse = false;
  view_.shown = true;
}

void TCallController::LinkRestored(bool adopted) {
  TTurn turn(*this);
  session_.LinkRestored(adopted);
  // Only the notice of the lost link gives way: the first link, heard of
  // after a call already failed, must not wipe what that call said.
  if (session_.State() != TCallState::Idle || view_.info != NoPhoneLinkNotice()) return;
  if (std::exchange(linkBrokeCall_, false))
    SetInfo("Звонок прерван: была потеряна связь с программой телефона", TCallView::kDialColor);
  else
    ShowIdleTexts();
}

void TCallController::PhoneInfo(const std::string& text) {
  TTurn turn(*this);
  // During a conversation the line keeps saying which way the voice goes.
  if (session_.State() == TCallState::Talking)
    view_.infoTip = text;
  else
    SetInfo(text, TCallView::kHintColor);
}

void TCallController::PhoneStatus(const std::string& text) { ShowStatus(0, text); }

void TCallController::Recorded(const std::string& record) {
  TTurn turn(*this);
  session_.Recorded(record);
  view_.record = session_.Record();
}

void TCallController::CallerInBook(int row) {
  TTurn turn(*this);
  view_.selectRow = row;
  ++view_.selectTurn;
}

// --- the clock --------------------------------------------------------------------------

void TCallController::Tick() {
  if (!desk_.PhoneLinkUp()) return;
  TTurn turn(*this);
  session_.Tick();  // a ring nobody answers ends here
  if (session_.State() == TCallState::Talking) {
    const std::time_t now = options_.clock ? options_.clock() : std::time(nullptr);
    view_.clock = CallClockText(now - session_.AnsweredAt());
    view_.clockRunning = true;
  }
  if (ring_.Tick(session_.State() == TCallState::Ringing)) desk_.RingSound();
}

void TCallController::Poll() {
  const TMapCall* lift = Lift();
  if (session_.State() != TCallState::Talking || !lift) {
    if (view_.lineMode != TKelmoClient::kModeUnknown || view_.level != 0) {
      TTurn turn(*this);
      RestMeters();
    }
    return;
  }
  TTurn turn(*this);
  if (!gateway_) OpenGateway(true);
  if (pendingListen_) {
    pendingListen_ = false;
    listenAnnounce_ = SetTalkDirection(false);
  }
  gateway_->PollLevel(lift->gatewayLine);
}

void TCallController::Close() {
  TTurn turn(*this);
  closing_ = true;
  session_.HangUp();
  CloseGateway();
  view_.shown = false;
}

// --- the session's peers -------------------------------------------------------------------

void TCallController::ToServer(const std::string& request) {
  if (closing_) {
    desk_.ToServer(request, {});
    return;
  }
  // The answer comes later; a phone command given meanwhile waits for it.
  ++serverPending_;
  desk_.ToServer(request, [self = std::weak_ptr<TCallController*>(self_)] {
    const auto alive = self.lock();
    if (!alive) return;
    --(*alive)->serverPending_;
    (*alive)->ReleasePhoneCommands();
  });
}

void TCallController::ToPhone(const std::string& command) {
  // A command keeps the session's order behind the server's requests
  // ("STARTSPEAK" heard, or given up on, before the dial). At close there is
  // no later, for either.
  if (closing_) {
    for (; !held_.empty(); held_.pop_front()) desk_.ToPhone(held_.front());
    desk_.ToPhone(command);
    return;
  }
  held_.push_back(command);
  desk_.Post([self = std::weak_ptr<TCallController*>(self_)] {
    if (const auto alive = self.lock()) (*alive)->ReleasePhoneCommands();
  });
}

void TCallController::ReleasePhoneCommands() {
  for (; serverPending_ == 0 && !held_.empty(); held_.pop_front()) desk_.ToPhone(held_.front());
}

void TCallController::Record(const TCallRecord& call) {
  if (history_) {
    history_->Append(call);
    // Told once where the dispatcher looks: the window usually hides as the
    // call ends.
    if (history_->TakeNotRecordingNotice()) desk_.Tell(TCallHistory::NotRecordingText());
    view_.notRecording = !history_->Recording();
  }
  ++view_.historyTurn;
}

void TCallController::KeepPending(const std::optional<TPendingCall>& call) {
  if (!options_.workFolder.empty()) pending_.Keep(call);
}

void TCallController::SecondRing(const std::string& caller) {
  view_.status[1] = Cp("Второй звонок: ") + caller;
  view_.statusTips[1].clear();
  view_.missed = session_.MissedUnseen();
}

void TCallController::StateChanged(TCallState from, TCallState to) {
  const TCallParty& party = session_.Party();
  if ((from == TCallState::Talking) != (to == TCallState::Talking))
    desk_.LowerSounds(to == TCallState::Talking ? options_.soundLowering : 0);
  view_.state = to;
  view_.record = session_.Record();
  // A conversation lasts while the state is talking: leaving it lets the
  // talk key rest, so that the next call starts afresh.
  if (to != TCallState::Talking) {
    spaceDown_ = false;
    pendingListen_ = false;
    view_.infoTip.clear();
    view_.clockRunning = false;
  }
  view_.answerOrRefuse = false;
  if (from == TCallState::Idle && to != TCallState::Idle) ClearForNewCall();
  view_.missed = session_.MissedUnseen();
  switch (to) {
    case TCallState::Idle:
      ShowIdleTexts();
      view_.title.clear();
      // A ring that went unanswered stays on show until the dispatcher has seen it.
      if (from == TCallState::Ringing && session_.MissedUnseen() > 0 && view_.shown) {
        SetInfo(Cp("Пропущен звонок: ") + ringCaller_, TCallView::kRingColor);
        break;
      }
      // A dial that failed on its own (a busy intercom, an error) stays on
      // show with the phone's word on it: a window that only flashed would
      // leave a click on a lift without an answer.
      if (from == TCallState::Dialling &&
          (session_.LastOutcome() == TCallOutcome::Busy || session_.LastOutcome() == TCallOutcome::Failed)) {
        SetInfo(Cp("Вызов не состоялся: ") + CallOutcomeText(session_.LastOutcome()), TCallView::kDialColor);
        if (desk_.PhoneLinkUp()) view_.shown = true;
        break;
      }
      // A conversation the connection broke off is said, not just closed:
      // the dispatcher may still think the lift is listening.
      if (from == TCallState::Talking && session_.LastOutcome() == TCallOutcome::Interrupted) {
        SetInfo("Разговор прерван: сбой соединения", TCallView::kDialColor);
        if (desk_.PhoneLinkUp()) view_.shown = true;
        break;
      }
      if (desk_.PhoneLinkUp()) view_.shown = false;
      break;
    case TCallState::Talking:
      SetInfo("Для завершения нажмите на кнопку ESC...", TCallView::kTalkColor);
      view_.button = Cp("        Закрыть...");
      view_.clock = CallClockText(0);  // not the last call's time until the first tick
      pendingListen_ = !options_.autoSound;
      break;
    case TCallState::Dialling:
      view_.button = Cp("     Прервать звонок");
      SetInfo("Идет набор номера...", TCallView::kDialColor);
      if (party.lift) {
        // The dispatcher reads whom the call is to; the dial string stays in
        // the tip (and the telephony log) for whoever must check it.
        view_.status[1] = Cp("Вызов: ") + party.title;
        view_.statusTips[1] = Cp("Звонок на адрес: ") + party.command;
      } else {
        view_.status[0] = Cp("Звонок на адрес: ") + party.address;
        view_.status[1] = party.title;
      }
      view_.title = party.title;
      break;
    case TCallState::Ringing:
      if (session_.Answering()) {
        SetInfo("Ждите соединения с абонентом...", TCallView::kRingColor);
        view_.button = Cp("Ждите...");
        break;
      }
      ringCaller_ = party.title;
      if (desk_.PhoneLinkUp()) Present();
      // Who is calling, on the line the dispatcher looks at.
      SetInfo(party.title.empty() ? Cp("Вам звонят !") : Cp("Вам звонят ! ") + party.title, TCallView::kRingColor);
      view_.button = Cp("      Начать разговор...");
      view_.answerOrRefuse = true;
      view_.title = party.title;
      // The ring sound starts at once.
      if (from != TCallState::Ringing && ring_.Tick(true)) desk_.RingSound();
      break;
  }
}

void TCallController::CloseGateway() {
  // "quit" goes out as the worker stops; nothing of it arrives afterwards.
  gateway_.reset();
  results_.reset();
  ++conversation_;
  // The next call starts without this one's word on the gateway.
  view_.gatewayDown = false;
  RestMeters();
}

// --- the view ---------------------------------------------------------------------------------

void TCallController::Present() {
  view_.shown = true;
  ++view_.presentTurn;
}

void TCallController::ClearForNewCall() {
  // Nothing of the call before stays on show.
  view_.status = {};
  view_.statusTips = {};
  view_.clock = CallClockText(0);
  view_.clockRunning = false;
  view_.title.clear();
}

void TCallController::ShowIdleTexts() {
  SetInfo("Выберите абонента и нажмите ВЫЗОВ...", TCallView::kHintColor);
  view_.button = Cp("          ВЫЗОВ");
  view_.answerOrRefuse = false;
}

void TCallController::SetInfo(const char* utf8, std::uint32_t color) { SetInfo(Cp(utf8), color); }

void TCallController::SetInfo(std::string text, std::uint32_t color) {
  view_.info = std::move(text);
  view_.infoColor = color;
}

// --- the gateway ------------------------------------------------------------------------------

const TMapCall* TCallController::Lift() const {
  return session_.Party().lift ? &*session_.Party().lift : nullptr;
}

void TCallController::OpenGateway(bool readSettings) {
  const TMapCall* lift = Lift();
  if (!lift) return;
  ++conversation_;
  results_ = std::make_unique<TGatewayResults>(desk_, self_, conversation_);
  gateway_ = std::make_unique<TGatewayWorker>(*results_, lift->gatewayHost, options_.gatewayPort,
                                              options_.gatewayConnectMs);
  gateway_->Open();
  if (readSettings) gateway_->ReadSettings();
}

bool TCallController::SetTalkDirection(bool talk) {
  // Only a conversation with a lift has a gateway line.
  const TMapCall* lift = Lift();
  if (session_.State() != TCallState::Talking || !lift) return false;
  if (!gateway_) OpenGateway(false);
  gateway_->SetDirection(lift->gatewayLine, talk);
  return true;
}

void TCallController::GatewayResult(std::uint64_t conversation, const TGatewayResult& result) {
  if (conversation != conversation_) return;
  TTurn turn(*this);
  switch (result.kind) {
    case TGatewayResult::TKind::Opened:
      view_.gatewayDown = !result.ok;
      break;
    case TGatewayResult::TKind::Settings:
      if (!result.ok) break;
      SettingsFromText(result.settingsText, switchSettings_);
      view_.threshold = switchSettings_.Threshold & 0xFF;
      if (settingsToStatus_) view_.status[0] = Cp("Настройки переключения: ") + SettingsToText(switchSettings_);
      settingsToStatus_ = false;
      break;
    case TGatewayResult::TKind::Direction:
      if (!result.talk && listenAnnounce_ && result.ok && session_.State() == TCallState::Talking)
        SetInfo("Слушайте...", TCallView::kTalkColor);
      if (!result.talk) listenAnnounce_ = false;
      break;
    case TGatewayResult::TKind::Level:
      if (session_.State() != TCallState::Talking || !result.ok)
        RestMeters();
      else
        ShowLevel(result);
      break;
  }
}

void TCallController::RestMeters() {
  view_.lineMode = TKelmoClient::kModeUnknown;
  view_.level = 0;
}

void TCallController::ShowLevel(const TGatewayResult& result) {
  view_.level = static_cast<std::uint8_t>(~LinearToUlaw(static_cast<std::int16_t>(result.level & 0xFFFF)));
  view_.lineMode = result.mode;
}

}  // namespace vertamo

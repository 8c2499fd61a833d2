#include "voice/call_session.h"

#include <algorithm>
#include <utility>

#include "platform/cp1251.h"

namespace vertamo {

namespace {

std::string Quoted(const char* utf8Label, const std::string& text) {
  return Utf8ToCp1251(utf8Label) + " \"" + text + "\"";
}

// How the party is called again: a lift's unit, the address dialled, or the
// host a caller rang from ("name [host]", as the phone program names it).
TCallAgain CallAgainOf(const TCallParty& party) {
  TCallAgain again;
  if (party.lift) {
    again.object = party.lift->object;
    again.unit = party.lift->unit;
  } else if (!party.address.empty()) {
    again.address = party.address;
  } else if (const std::size_t open = party.title.rfind(" ["); open != std::string::npos && party.title.back() == ']') {
    again.address = party.title.substr(open + 2, party.title.size() - open - 3);
  }
  return again;
}

}  // namespace

std::string StartSpeakRequest(const TMapCall& call) {
  return "STARTSPEAK OBJ=" + std::to_string(call.object) + " PU=" + std::to_string(call.unit);
}

std::string EndSpeakRequest(const TMapCall& call) {
  return "ENDSPEAK OBJ=" + std::to_string(call.object) + " PU=" + std::to_string(call.unit);
}

TCallSession::TCallSession(ICallPeers& peers, TClock clock, int ringTimeoutSeconds)
    : peers_(peers), clock_(std::move(clock)), ringTimeout_(ringTimeoutSeconds > 0 ? ringTimeoutSeconds : kDefaultRingTimeout) {}

std::time_t TCallSession::Now() const { return clock_ ? clock_() : std::time(nullptr); }

bool TCallSession::Dial(const std::string& name, const std::string& address) {
  if (state_ != TCallState::Idle) return false;
  TCallParty party{name, "c " + address, address, std::nullopt};
  peers_.ToPhone(party.command);
  peers_.Log(Quoted("Звонок на", address));
  Begin(TCallState::Dialling, std::move(party));
  return true;
}

bool TCallSession::PlaceMapCall(const TMapCall& call) {
  if (state_ != TCallState::Idle) return false;
  // The server hears of the conversation before the phone dials.
  peers_.ToServer(StartSpeakRequest(call));
  peers_.ToPhone(call.command);
  peers_.Log(Quoted("Звонок на", call.command));
  Begin(TCallState::Dialling, TCallParty{call.title, call.command, {}, call});
  return true;
}

void TCallSession::SwitchTo(const TMapCall& call) {
  HangUp();
  PlaceMapCall(call);
}

void TCallSession::Answer() {
  if (state_ != TCallState::Ringing || answering_) return;
  answering_ = true;
  peers_.ToPhone("y");
  peers_.StateChanged(state_, state_);
}

void TCallSession::HangUp(bool evenIdle) {
  switch (state_) {
    case TCallState::Idle:
      if (evenIdle) peers_.ToPhone("h");
      break;
    case TCallState::Ringing:
      Finish(TCallOutcome::Refused, "n");
      break;
    case TCallState::Dialling:
      Finish(TCallOutcome::Interrupted, "h");
      break;
    case TCallState::Talking:
      Finish(TCallOutcome::Finished, "h");
      break;
  }
}

void TCallSession::Ring(const std::string& caller) {
  switch (state_) {
    case TCallState::Idle:
      Begin(TCallState::Ringing, TCallParty{caller, {}, {}, std::nullopt});
      break;
    case TCallState::Ringing:
      if (caller == party_.title) break;  // the same call, still ringing
      [[fallthrough]];
    case TCallState::Dialling:
    case TCallState::Talking:
      // Nobody can take it while this call goes on: the phone program has
      // already refused it, and the caller heard busy. It is missed, and the
      // dispatcher is told who it was.
      peers_.Record(TCallRecord{Now(), caller, 0, CallOutcomeText(TCallOutcome::Busy), 0, {},
                                CallAgainOf(TCallParty{caller, {}, {}, std::nullopt})});
      ++missed_;
      peers_.SecondRing(caller);
      break;
  }
}

void TCallSession::Connected(const std::string& party) {
  refusalEcho_ = false;
  if (state_ == TCallState::Talking) return;
  // A conversation the phone program began on its own still gets its record.
  if (state_ == TCallState::Idle) {
    party_ = TCallParty{party, {}, {}, std::nullopt};
    started_ = Now();
  }
  answered_ = Now();
  answering_ = false;
  record_ = RecordNoteText(TRecordNote::PhoneDoesNotRecord);
  KeepPending();
  Enter(TCallState::Talking);
}

void TCallSession::Recorded(const std::string& path) {
  if (state_ != TCallState::Talking) return;
  record_ = path.empty() ? RecordNoteText(TRecordNote::NotRecorded) : path;
  KeepPending();
}

void TCallSession::Busy() {
  if (state_ == TCallState::Dialling && !std::exchange(refusalEcho_, false)) return Finish(TCallOutcome::Busy, nullptr);
  Failed();
}

void TCallSession::Failed(int code, int silentSeconds) {
  // The phone program answers a refusal with an "ERROR" of its own; when the
  // dispatcher refused a ring to call a lift, that is not the lift's.
  if (std::exchange(refusalEcho_, false)) return;
  switch (state_) {
    case TCallState::Idle:
      break;
    case TCallState::Dialling:
      Finish(TCallOutcome::Failed, nullptr);
      break;
    case TCallState::Ringing:
      // The caller gave up.
      ++missed_;
      Finish(TCallOutcome::NotAnswered, nullptr);
      break;
    case TCallState::Talking:
      if (code != kConnectionFailed) return Finish(TCallOutcome::Finished, nullptr);
      peers_.Log(Quoted("Сбой соединения, разговор прерван:", party_.title));
      silentEnd_ = silentSeconds;
      Finish(TCallOutcome::Interrupted, nullptr);
      break;
  }
}

void TCallSession::LinkLost() {
  if (state_ == TCallState::Idle) return;
  peers_.Log(Quoted("Потеряна связь с программой телефона, звонок прерван:", party_.title));
  Finish(TCallOutcome::Interrupted, nullptr);
}

void TCallSession::LinkRestored(bool adopted) {
  // A phone program that outlived its workstation may still be in the call
  // that workstation had: nobody here knows of it, so it ends.
  if (adopted && state_ == TCallState::Idle) peers_.ToPhone("h");
}

void TCallSession::Recover(const TPendingCall& call) {
  peers_.Log(Quoted("Звонок прерван при сбое программы:", call.record.who));
  if (!call.endSpeak.empty()) peers_.ToServer(call.endSpeak);
  peers_.Record(call.record);
}

void TCallSession::Tick() {
  if (state_ == TCallState::Talking) {
    // The marker's talk time follows the conversation, so a run that dies
    // mid-call leaves a history line within a few seconds of the truth.
    if (Now() - pendingKept_ >= kPendingRefreshSeconds) KeepPending();
    return;
  }
  if (state_ != TCallState::Ringing || Now() - started_ < ringTimeout_) return;
  peers_.Log(Quoted("Нет ответа на звонок", party_.title));
  ++missed_;
  Finish(TCallOutcome::NotAnswered, "n");
}

void TCallSession::Begin(TCallState state, TCallParty party) {
  party_ = std::move(party);
  started_ = Now();
  answered_ = 0;
  answering_ = false;
  KeepPending();
  Enter(state);
}

void TCallSession::KeepPending() {
  pendingKept_ = Now();
  peers_.KeepPending(Pending(TCallOutcome::Interrupted));
}

void TCallSession::Enter(TCallState state) {
  const TCallState from = std::exchange(state_, state);
  if (state == TCallState::Talking) peers_.Log(Utf8ToCp1251("Трубка снята..."));
  if (state == TCallState::Idle) peers_.Log(Utf8ToCp1251("Трубка положена"));
  peers_.StateChanged(from, state);
}

TPendingCall TCallSession::Pending(TCallOutcome outcome) const {
  const int seconds = answered_ != 0 ? static_cast<int>(std::max<std::time_t>(Now() - answered_ - silentEnd_, 0)) : 0;
  return TPendingCall{TCallRecord{started_, party_.title, seconds, CallOutcomeText(outcome), answered_,
                                  answered_ != 0 ? record_ : std::string(), CallAgainOf(party_)},
                      party_.lift ? EndSpeakRequest(*party_.lift) : std::string()};
}

void TCallSession::Finish(TCallOutcome outcome, const char* command) {
  const bool talked = state_ == TCallState::Talking;
  if (command) peers_.ToPhone(command);
  refusalEcho_ = command && std::string_view(command) == "n";
  if (party_.lift) {
    peers_.ToServer(EndSpeakRequest(*party_.lift));
    if (talked) peers_.CloseGateway();
  }
  peers_.Record(Pending(outcome).record);
  silentEnd_ = 0;
  lastOutcome_ = outcome;
  peers_.KeepPending(std::nullopt);
  party_ = TCallParty{};
  answering_ = false;
  Enter(TCallState::Idle);
}

}  // namespace vertamo

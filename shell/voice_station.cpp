#include "shell/voice_station.h"

#include "shell/phone_station.h"
#include "shell/talk_key_service.h"

namespace vertamo::ui {

TVoiceStation::TVoiceStation(QWidget* owner, TPhoneStation& station, TVoiceHost host)
    : owner_(owner), station_(station), host_(std::move(host)) {
  host_.telephony = &station_.Telephony();
  station_.SetCallWindow(this);
}

TVoiceStation::~TVoiceStation() {
  station_.SetCallWindow(nullptr);
  Free();
}

TFVoice* TVoiceStation::VoiceWindow(bool create) {
  if (!window_ && create && station_.Telephony().PhoneLinkUp() && station_.Telephony().Thread()) {
    window_ = new TFVoice(host_, owner_);
    window_->SetCallState(0);
  }
  return window_;
}

void TVoiceStation::ShowVoiceWindow() {
  if (TFVoice* window = VoiceWindow(true)) window->ShowVoiceWindow();
}

void TVoiceStation::Free() { delete window_.data(); }

void TVoiceStation::PhoneEvent(const TPhoneEvent& event) {
  // A ring makes the window here already: it keeps the call from its first event.
  if (TFVoice* window = VoiceWindow(event.callState == 3)) window->PhoneEvent(event);
}

void TVoiceStation::SetCallState(int state) {
  if (state == 3) ShowVoiceWindow();
  if (window_)
    window_->SetCallState(state);
  else
    TFVoice::RecordCallState(&station_.Telephony(), state);
}

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

void RouteTalkKeys(TTalkKeyService& service, std::function<TFVoice*()> window) {
  service.onTalkKey = [window](int code) {
    if (TFVoice* voice = window()) voice->TalkKey(code);
  };
  service.onFocus = [window] {
    if (TFVoice* voice = window()) voice->TakeFocus();
  };
}

}  // namespace vertamo::ui

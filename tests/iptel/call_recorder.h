// The window side of a call as the tests see it, and the texts of the system.
#pragma once

#include <string>
#include <vector>

#include "iptel/phone_events.h"
#include "platform/cp1251.h"

namespace vertamo::testing {

inline std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

// The call state an event brings ("state 3" a ring, "state 1" a connection,
// "state 0" an end); empty for the others.
inline std::string CallStateOf(const TPhoneEvent& event) {
  switch (event.kind) {
    case TPhoneEventKind::Ring: return "state 3";
    case TPhoneEventKind::Call: return "state 1";
    case TPhoneEventKind::Busy:
    case TPhoneEventKind::Error: return "state 0";
    default: return {};
  }
}

// The window side of the call, as a list of what was done to it.
class RecordingWindow : public ICallWindow {
 public:
  void PhoneEvent(const TPhoneEvent& event) override {
    if (const std::string state = CallStateOf(event); !state.empty()) calls.push_back(state);
  }
  void ShowCallInfo(const std::string& text) override { calls.push_back("info " + text); }
  void SelectSubscriber(int position) override { calls.push_back("select " + std::to_string(position)); }
  void ShowCallStatus(const std::string& text) override { calls.push_back("status " + text); }
  void PhoneAnswered() override { calls.push_back("answered"); }
  std::vector<std::string> calls;
};

}  // namespace vertamo::testing

// Event lines of the phone program on arbitrary bytes: the byte stream split
// into messages as the telephony thread reads it, queued as it queues them
// (statistics merged), each interpreted and applied as the main thread
// applies it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "voice/phone_book.h"
#include "iptel/phone_events.h"
#include "iptel/phone_link.h"
#include "iptel/phone_log.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

class NullWindow : public vertamo::ICallWindow {
 public:
  void ShowCallInfo(const std::string&) override {}
  void SelectSubscriber(int position) override { Check(position >= 0 && position < 2); }
  void ShowCallStatus(const std::string&) override {}
  void PhoneAnswered() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vertamo::TPhoneBook* book = [] {
    auto* b = new vertamo::TPhoneBook("/nonexistent/");
    b->Add("Gate", "10.0.0.5");
    b->Add("", "");
    return b;
  }();
  static vertamo::TPhoneLog log("/nonexistent/", false);
  vertamo::TPhoneMessageReader reader;
  reader.Feed(reinterpret_cast<const char*>(data), size);
  vertamo::TPhoneEventQueue events;
  for (std::string message; reader.Next(message);) {
    Check(message.size() <= vertamo::TPhoneMessageReader::kMaxText);
    const vertamo::TPhoneEvent event = vertamo::InterpretPhoneEvent(message);
    Check(event.callerName.size() < 64 && event.callerAddress.size() < 64);
    Check(!message.empty() || event.kind == vertamo::TPhoneEventKind::Unknown);
    // Whole words only: a line shorter than its keyword never matches one.
    Check(event.kind == vertamo::TPhoneEventKind::Unknown || message.size() >= 2);
    events.PushLine(message);
  }
  NullWindow window;
  while (vertamo::HandlePhoneEvent(events, *book, log, window)) {
  }
  return 0;
}

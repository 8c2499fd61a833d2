// The simulator's readers of outside text: request lines, feed lines applied
// to a connection's objects, fault texts and synthetic catalogue texts.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tools/orvex-sim/synthetic.h"
#include "tools/orvex-sim/wire.h"
#include "tools/orvex-sim/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::shared_ptr<const orvexsim::Catalog> catalog = [] {
    orvexsim::SyntheticSpec spec;
    spec.maps = 2;
    spec.objects = 8;
    spec.sets = 2;
    spec.pictures = 6;
    spec.backgroundWidth = spec.backgroundHeight = 0;
    spec.texts = 0;
    auto scenario = std::make_shared<orvexsim::Scenario>(orvexsim::BuildSyntheticScenario(spec));
    return std::make_shared<orvexsim::Catalog>(scenario);
  }();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const orvexsim::Request request = orvexsim::ParseRequest(text);
  (void)orvexsim::StepOf(request);
  (void)orvexsim::FindIntKey(text, " OBJ=");
  (void)orvexsim::FindQuotedKey(text, " HINT=");
  std::string error;
  (void)orvexsim::ParseFaultSpec(text, &error);
  orvexsim::SyntheticSpec spec;
  if (orvexsim::ParseSyntheticSpec(text, &spec, &error)) {
    if (spec.maps < 1 || spec.pictures < 1 || spec.pictureSize < 4) __builtin_trap();
  }
  orvexsim::View view(catalog.get());
  orvexsim::Counts told;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\r', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    view.ApplyLine(line);
    orvexsim::NoteCounterLine(line, &told);
    start = end + 1;
  }
  (void)view.Derive();
  return 0;
}

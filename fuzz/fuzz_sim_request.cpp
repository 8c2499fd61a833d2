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
    orvexsim::SyntheticParams params;
    params.maps = 2;
    params.objects = 8;
    params.sets = 2;
    params.pictures = 6;
    params.backgroundWidth = params.backgroundHeight = 0;
    params.texts = 0;
    auto scenario = std::make_shared<orvexsim::Scenario>(orvexsim::BuildSyntheticScenario(params));
    return std::make_shared<orvexsim::Catalog>(scenario);
  }();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const orvexsim::Request request = orvexsim::ParseRequest(text);
  (void)orvexsim::StepOf(request);
  (void)orvexsim::FindIntKey(text, " OBJ=");
  (void)orvexsim::FindQuotedKey(text, " HINT=");
  std::string error;
  (void)orvexsim::ParseFault(text, &error);
  orvexsim::SyntheticParams params;
  if (orvexsim::ParseSyntheticParams(text, &params, &error)) {
    if (params.maps < 1 || params.pictures < 1 || params.pictureSize < 4) __builtin_trap();
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

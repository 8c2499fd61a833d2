// The simulator's scenario loader on arbitrary JSON text. Picture names that
// end in ".png" read a small valid picture, "bad.png" bytes that are not one,
// anything else is missing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/png_codec.h"
#include "tools/orvex-sim/scenario_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string png = [] {
    vertamo::Image image;
    image.width = 3;
    image.height = 2;
    image.argb = {0xFF000000u, 0xFFFFFFFFu, 0x00000000u, 0xFF123456u, 0x80FF0000u, 0xFF00FF00u};
    return vertamo::EncodePng(image);
  }();
  orvexsim::FileReader read = [](const std::string& name, std::string* bytes, std::string* error) {
    if (name == "bad.png") {
      *bytes = "not a png";
      return true;
    }
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) {
      *bytes = png;
      return true;
    }
    *error = "No such file or directory";
    return false;
  };
  orvexsim::Scenario scenario;
  std::string error;
  const bool ok = orvexsim::ParseScenario(std::string_view(reinterpret_cast<const char*>(data), size),
                                          "f.json", read, &scenario, &error);
  if (ok && !orvexsim::ValidateScenario(scenario, &error)) __builtin_trap();  // accepted means servable
  if (!ok && error.rfind("f.json: ", 0) != 0) __builtin_trap();               // every refusal names the file
  return 0;
}

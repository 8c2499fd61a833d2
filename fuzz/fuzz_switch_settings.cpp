// The switching settings' text on arbitrary bytes: the scan stays within the
// text and its 33 characters, and a record's own text form reads back to it
// whenever that form fits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "voice/kelmo_client.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vertamo::SwitchSettings settings{11, 22, 33};
  vertamo::SettingsFromText(text, settings);
  // Only the first 33 characters count.
  vertamo::SwitchSettings cut{11, 22, 33};
  vertamo::SettingsFromText(text.substr(0, 33), cut);
  Check(vertamo::SettingsToText(cut) == vertamo::SettingsToText(settings));

  const std::string form = vertamo::SettingsToText(settings);
  vertamo::SwitchSettings again{-1, -1, -1};
  vertamo::SettingsFromText(form, again);
  if (form.size() <= 33)
    Check(again.Threshold == settings.Threshold && again.Signal == settings.Signal &&
          again.Silence == settings.Silence);
  return 0;
}

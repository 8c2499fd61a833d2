// What the voice window keeps in section "FVoice" of the main settings.
#pragma once

#include <array>

namespace vertamo {
class TFastIni;
}

namespace vertamo::ui {

struct TVoiceSettings {
  static constexpr const char* kSection = "FVoice";
  int micVolume = 32768;  // "MicRecVolume", 0..65535
  int indKind = 0;        // "IndKind": the level meter, 0..4 (others: none)
  bool hidePanelRecordOnVideo = true;
  bool hidePanelMicOnVideo = true;
  bool hidePanelAdrOnVideo = false;
  bool autoSound = true;  // "AutoSound": off, a conversation starts by listening
  bool showDoorOpen = false;
  int page = 0;                   // "Page": the active tab
  std::array<int, 2> colw{0, 0};  // "Colw0", "Colw1"
};

// Missing keys keep the values `settings` holds (the column widths: the
// current ones).
void LoadVoiceSettings(const TFastIni& ini, TVoiceSettings& settings);
void SaveVoiceSettings(TFastIni& ini, const TVoiceSettings& settings);

}  // namespace vertamo::ui

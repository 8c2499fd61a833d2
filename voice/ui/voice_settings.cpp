#include "voice/ui/voice_settings.h"

#include "settings/fast_ini.h"

namespace vertamo::ui {

namespace {

constexpr const char* kS = TVoiceSettings::kSection;

}  // namespace

void LoadVoiceSettings(const TFastIni& ini, TVoiceSettings& s) {
  s.micVolume = ini.ReadInteger(kS, "MicRecVolume", s.micVolume);
  s.indKind = ini.ReadInteger(kS, "IndKind", s.indKind);
  s.hidePanelRecordOnVideo = ini.ReadBool(kS, "HidePanelRecordOnVideo", s.hidePanelRecordOnVideo);
  s.hidePanelMicOnVideo = ini.ReadBool(kS, "HidePanelMicOnVideo", s.hidePanelMicOnVideo);
  s.hidePanelAdrOnVideo = ini.ReadBool(kS, "HidePanelAdrOnVideo", s.hidePanelAdrOnVideo);
  s.autoSound = ini.ReadBool(kS, "AutoSound", s.autoSound);
  s.showDoorOpen = ini.ReadBool(kS, "ShowDoorOpen", s.showDoorOpen);
  s.page = ini.ReadInteger(kS, "Page", s.page);
  s.colw[0] = ini.ReadInteger(kS, "Colw0", s.colw[0]);
  s.colw[1] = ini.ReadInteger(kS, "Colw1", s.colw[1]);
}

void SaveVoiceSettings(TFastIni& ini, const TVoiceSettings& s) {
  ini.WriteInteger(kS, "MicRecVolume", s.micVolume);
  ini.WriteInteger(kS, "IndKind", s.indKind);
  ini.WriteBool(kS, "HidePanelRecordOnVideo", s.hidePanelRecordOnVideo);
  ini.WriteBool(kS, "HidePanelMicOnVideo", s.hidePanelMicOnVideo);
  ini.WriteBool(kS, "HidePanelAdrOnVideo", s.hidePanelAdrOnVideo);
  ini.WriteBool(kS, "AutoSound", s.autoSound);
  ini.WriteBool(kS, "ShowDoorOpen", s.showDoorOpen);
  ini.WriteInteger(kS, "Page", s.page);
  ini.WriteInteger(kS, "Colw0", s.colw[0]);
  ini.WriteInteger(kS, "Colw1", s.colw[1]);
}

}  // namespace vertamo::ui

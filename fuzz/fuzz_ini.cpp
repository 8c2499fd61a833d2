// The settings file reader on arbitrary bytes: load, read the keys the
// workstation reads, save (through the temporary file and the rename), load
// the saved file again and demand the same content, then change and save.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/fast_ini.h"
#include "settings/server_profile.h"
#include "support/fake_form_bounds.h"
#include "support/temp_folder.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vertamo::testing::TempFolder work(vertamo::testing::FastTempBase());
  static const std::string path = work.file("Vertamo.ini");
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  std::string text;
  {
    vertamo::TFastIni ini(path);
    Check(!ini.Failed());
    vertamo::testing::FakeFormBounds window("FormVertamo", 0, 0, 909, 596);
    ini.ReadFormBounds(&window);
    const vertamo::SERVERINFO profile = vertamo::LoadProfile(ini, "ServerInfo");
    Check(std::char_traits<char>::length(profile.Name) < sizeof profile.Name);
    const auto servers = vertamo::ReadServerList(ini);
    for (const auto& s : servers) Check(s.Name[0] != '\0');
    for (int i = 0; i < ini.SectionCount(); ++i) {
      const vertamo::TFastIniSection* s = ini.Section(i);
      Check(!s->name.empty() && s->name.find(']') == std::string::npos);
      for (int k = 0; k < s->KeyCount(); ++k) {
        const vertamo::TFastIniKey* key = s->Key(k);
        Check(!key->name.empty() && key->name.find('=') == std::string::npos);
        Check(key->name.size() + key->value.size() < vertamo::TFastIni::kLineBufferSize);
        vertamo::ProfileFromText(key->value);
        ini.ReadBool(s->name, key->name, false);
      }
    }
    text = ini.ToText();
    Check(ini.Save());
  }
  {
    // What was saved reads back as the same content.
    vertamo::TFastIni again(path);
    Check(again.ToText() == text);
    vertamo::SaveProfile(again, "ServerInfo", vertamo::LoadProfile(again, "ServerInfo"));
    again.WriteString(std::string(reinterpret_cast<const char*>(data), size < 16 ? size : 16), "Key",
                      "value");
    again.DeleteKey("Servers", "Srv0");
    again.EraseSection("");
  }  // saved on destruction
  return 0;
}

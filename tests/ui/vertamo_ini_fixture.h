// A hand-written "Vertamo.ini" and what the workstation must leave of it after
// one start and one close, shared by the window test and the program test.
#pragma once

#include <string>

#include "platform/cp1251.h"

namespace vertamo::testing {

// Key lines before the first header, blanks around "=", a section "[ ServerInfo ]"
// (not the profile's section), duplicate sections, Cyrillic names, and one
// 600-byte line that the reader cuts after 511 bytes.
inline std::string HandWrittenIni() {
  const std::string longLine =
      "Data=" + std::string(506, 'x') + "Extra=" + std::string(83, 'y');  // 600 bytes
  return Utf8ToCp1251(
      "Port=1111\r\n"
      "; settings of the dispatcher\r\n"
      "[ ServerInfo ]\r\n"
      "Name=Не тот сервер\r\n"
      "[FormVertamo]\r\n"
      "Left = 40\r\n"
      "Top= 30 \r\n"
      "Width=700\r\n"
      "Height=500\r\n"
      "[ServerInfo]\r\n"
      "Name = Центральная диспетчерская\r\n"
      "Ip = 10.0.0.5  \r\n"
      "Port=10001\r\n"
      "Debug=1\r\n"
      "[serverinfo]\r\n"
      "Name=Копия\r\n"
      "[Журнал]\r\n"
      "Ключ=Значение\r\n"
      "[ЖУРНАЛ]\r\n"
      "Ключ=другое\r\n"
      "\r\n"
      "[Long]\r\n" +
      longLine +
      "\r\n"
      "line without an equals sign\r\n"
      "[FormVertamo]\r\n"
      "Left=999\r\n");
}

// Section "H323" as a close writes it from the defaults.
inline std::string DefaultPhoneSection() {
  return "[H323]\r\n"
         "UseIpTel=1\r\nH323Port=1720\r\nH323LogLevel=0\r\nSoundBuffers=3\r\nG711Frames=30\r\n"
         "DisableFastStart=0\r\nDisableTunnel=0\r\nDisableH245=0\r\nJitterMin=50\r\nJitterMax=50\r\n"
         "UseGatekeeper=0\r\nGatekeeperAdr=\r\nGatekeeperId=\r\nGatekeeperPassword=\r\nEndpointAlias=\r\n"
         "EnableIpLog=0\r\n";
}

// Section "LogLast" as a close writes it: the journal's place.
inline std::string JournalPlace(int left, int top, int width, int height) {
  return "[LogLast]\r\nLeft=" + std::to_string(left) + "\r\nTop=" + std::to_string(top) + "\r\nWidth=" +
         std::to_string(width) + "\r\nHeight=" + std::to_string(height) + "\r\n";
}

// After a start and a close: dropped lines gone, duplicates both kept, the
// first match read and updated, missing keys appended to it, the telephony's
// section added; the journal, which had no place, made whole on the 800 x 800
// offscreen screen and moved off the main window, below it.
inline std::string HandWrittenIniAfterClose() {
  return Utf8ToCp1251(
      "[ ServerInfo ]\r\n"
      "Name=Не тот сервер\r\n"
      "[FormVertamo]\r\n"
      "Left=40\r\n"
      "Top=30\r\n"
      "Width=700\r\n"
      "Height=500\r\n"
      "[ServerInfo]\r\n"
      "Name= Центральная диспетчерская\r\n"
      "Ip= 10.0.0.5\r\n"
      "Port=10001\r\n"
      "Debug=1\r\n"
      "Login=user\r\n"
      "Password=kvqz\r\n"
      "CacheEnable=1\r\n"
      "[serverinfo]\r\n"
      "Name=Копия\r\n"
      "[Журнал]\r\n"
      "Ключ=Значение\r\n"
      "[ЖУРНАЛ]\r\n"
      "Ключ=другое\r\n"
      "[Long]\r\n"
      "Data=" +
      std::string(506, 'x') +
      "\r\n"
      "Extra=" +
      std::string(83, 'y') +
      "\r\n"
      "[FormVertamo]\r\n"
      "Left=999\r\n") +
         DefaultPhoneSection() + JournalPlace(0, 530, 800, 182);
}

// The label of the window started on HandWrittenIni (UTF-8).
inline const char* HandWrittenIniLabel() { return "Подключение к серверу  Центральная диспетчерская"; }

// What a first start and close leaves in an empty work folder: the offscreen
// screen (800 x 800) has room for both windows, so the main window takes its
// top and the journal the strip below.
inline std::string FirstStartIni() {
  return "[FormVertamo]\r\n"
         "Left=0\r\n"
         "Top=0\r\n"
         "Width=800\r\n"
         "Height=600\r\n"
         "[ServerInfo]\r\n"
         "Name=localhost\r\n"
         "Ip=localhost\r\n"
         "Login=user\r\n"
         "Password=kvqz\r\n"
         "Port=9900\r\n"
         "Debug=0\r\n"
         "CacheEnable=1\r\n" +
         DefaultPhoneSection() + JournalPlace(0, 600, 800, 200);
}

// Every line ends in CR LF, and no CR or LF stands alone.
inline bool AllLinesEndInCrLf(const std::string& text) {
  if (!text.empty() && text.back() != '\n') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) return false;
  }
  return true;
}

}  // namespace vertamo::testing

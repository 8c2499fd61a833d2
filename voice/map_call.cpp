#include "voice/map_call.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/cp1251.h"
#include "platform/hint_place.h"
#include "protocol/host_address.h"
#include "protocol/param_tokens.h"

namespace vertamo {
namespace {

// Quoted values of the reply are cut to 127 characters.
constexpr std::size_t kValueCapacity = 128;
// How much of a refused value the log line quotes.
constexpr std::size_t kQuotedMax = 40;

struct TUnitOffer {
  int number = -1;
  std::string text;
};

// A value as the log line shows it: control bytes as '?', long ones cut.
std::string Shown(std::string_view value) {
  std::string shown(value.substr(0, kQuotedMax));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  if (value.size() > kQuotedMax) shown += "...";
  return shown;
}

// Texts for the title: control bytes read as blanks, so that a title never
// breaks a line of a log or of the history.
std::string Printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

TMapCallResult Refused(const std::string& cp1251) { return {std::nullopt, false, cp1251}; }
TMapCallResult Refused(const char* utf8) { return Refused(Utf8ToCp1251(utf8)); }

// "Неверное значение KEY=VALUE в ответе сервера: вызов не сделан".
TMapCallResult BadValue(const TParamTokens& tokens, std::string_view key) {
  std::string_view raw;
  tokens.Raw(key, raw);
  return Refused(Utf8ToCp1251("Неверное значение ") + std::string(key) + "=" + Shown(raw) +
                 Utf8ToCp1251(" в ответе сервера: вызов не сделан"));
}

// The unit a key offers (absent: -1 and the default text); false when its
// number or its text is malformed.
bool ReadOffer(const TParamTokens& tokens, std::string_view numberKey, std::string_view textKey,
               std::string text, TUnitOffer& offer, std::string_view& badKey) {
  offer = {-1, std::move(text)};
  int number = 0;
  switch (tokens.Int(numberKey, number)) {
    case TParamRead::Absent:
      return true;
    case TParamRead::Malformed:
      badKey = numberKey;
      return false;
    case TParamRead::Found:
      break;
  }
  offer.number = number;
  std::string given;
  switch (tokens.Text(textKey, kValueCapacity, given)) {
    case TParamRead::Absent:
      return true;
    case TParamRead::Malformed:
      badKey = textKey;
      return false;
    case TParamRead::Found:
      offer.text = Printable(std::move(given));
      return true;
  }
  return true;
}

// "Начать разговор с ..." reads "Разговор с ..." in a title: the first eight
// characters ("Начать р") give way to a capital "Р".
std::string TitleText(const std::string& text) {
  static const std::string begin = Utf8ToCp1251("Начать ");
  static const std::string capital = Utf8ToCp1251("Р");
  if (text.find(begin) == std::string::npos) return text;
  return capital + (text.size() > 8 ? text.substr(8) : std::string());
}

std::string Cut(std::string text) {
  if (text.size() > kMapCallTextMax) text.resize(kMapCallTextMax);
  return text;
}

}  // namespace

std::string MapCallTitle(const std::string& name, const std::string& unitText, const std::string& hint) {
  const std::string unit = TitleText(unitText);
  if (unit.find(',') != std::string::npos) return name + " (" + unit + ")";
  std::string title = name;
  if (!unit.empty() && unit != name) title += " (" + unit + ")";
  const std::string place = HintPlace(name, hint);
  if (!place.empty() && place != name) title += ", " + place;
  return title;
}

std::string CabinCallText() { return Utf8ToCp1251("Начать разговор с КАБИНОЙ ЛИФТА"); }
std::string RoomCallText() { return Utf8ToCp1251("Начать разговор с МАШИННЫМ ПОМЕЩЕНИЕМ"); }

TMapCallResult MapCallFromReply(std::string_view reply, const TMapCallObject& object,
                                const TChooseCallUnit& choose) {
  // Values are read as whole tokens, so that nothing inside quoted text (a
  // unit's caption is typed by people) is taken for a key of the call.
  const TParamTokens tokens(reply);
  if (tokens.UnterminatedQuote()) return Refused("Незакрытая кавычка в ответе сервера: вызов не сделан");
  std::string host;
  switch (tokens.Text("KelmoGW", kValueCapacity, host)) {
    case TParamRead::Absent:
      return Refused("Нет шлюза в ответе сервера");
    case TParamRead::Malformed:
      return BadValue(tokens, "KelmoGW");
    case TParamRead::Found:
      break;
  }
  int port = 0, line = 0, adr = 0;
  const std::pair<const char*, int*> numbers[] = {{"H323", &port}, {"COM", &line}, {"ADR", &adr}};
  for (const auto& [key, value] : numbers) {
    switch (tokens.Int(key, *value)) {
      case TParamRead::Absent:
        return Refused("Нет H323, COM или ADR в ответе сервера");
      case TParamRead::Malformed:
        return BadValue(tokens, key);
      case TParamRead::Found:
        break;
    }
  }
  // Port 0 stands for none given; the line and the address are numbers the
  // gateway counts from 0.
  if (port < 0 || port > 65535) return BadValue(tokens, "H323");
  if (line < 0) return BadValue(tokens, "COM");
  if (adr < 0) return BadValue(tokens, "ADR");

  TUnitOffer cabin, room;
  std::string_view badKey;
  if (!ReadOffer(tokens, "PUL", "PULTEXT", CabinCallText(), cabin, badKey) ||
      !ReadOffer(tokens, "PU", "PUTEXT", RoomCallText(), room, badKey))
    return BadValue(tokens, badKey);

  if (host == "localhost" || host == "127.0.0.1") host = object.serverHost;
  // The host goes into the dial string: a blank, an '@' or a control byte
  // in it would call somewhere else.
  if (!IsIpv4Address(host) && !IsHostName(host))
    return Refused(Utf8ToCp1251("Неверный адрес шлюза \"") + Shown(host) +
                   Utf8ToCp1251("\" в ответе сервера: вызов не сделан"));

  // Without a cabin the call goes to the machine room, even when the server
  // offers no unit at all (the unit is then -1).
  const TUnitOffer* chosen = &room;
  if (cabin.number >= 0 && room.number < 0) {
    chosen = &cabin;
  } else if (cabin.number >= 0 && object.unit >= 0 && (object.unit == cabin.number || object.unit == room.number)) {
    chosen = object.unit == cabin.number ? &cabin : &room;
  } else if (cabin.number >= 0) {
    const TCallUnit unit = choose ? choose(cabin.text, room.text) : TCallUnit::Cancelled;
    if (unit == TCallUnit::Cancelled) return {std::nullopt, true, {}};
    chosen = unit == TCallUnit::MachineRoom ? &room : &cabin;
  }

  // The dial string holds 127 characters. One cut short would call another
  // gateway or another port, so an over-long one places no call at all. A
  // gateway name that the key reading cut to 127 characters always ends here.
  char command[512];
  const int length = port != 0 ? std::snprintf(command, sizeof command, "c %d*%d*%d@%s:%d", line, adr,
                                               chosen->number, host.c_str(), port)
                               : std::snprintf(command, sizeof command, "c %d*%d*%d@%s", line, adr,
                                               chosen->number, host.c_str());
  if (length < 0 || static_cast<std::size_t>(length) > kMapCallTextMax)
    return Refused("Адрес вызова длиннее 127 знаков: вызов не сделан");

  TMapCall call;
  call.command = command;
  call.title = Cut(Printable(MapCallTitle(object.name, chosen->text, object.hint)));
  call.gatewayHost = host;
  call.gatewayLine = line;
  call.adr = static_cast<std::uint8_t>(adr & 0xFF);
  call.port = port;
  call.unit = chosen->number;
  call.object = object.object;
  return {std::move(call), false, {}};
}

}  // namespace vertamo

#include "voice/map_call.h"

#include <cstdio>

#include "platform/cp1251.h"
#include "protocol/txtfunc.h"

namespace vertamo {
namespace {

// Quoted values of the reply are cut to 127 characters.
constexpr std::size_t kValueCapacity = 128;

struct TUnitOffer {
  int number = -1;
  std::string text;
};

TUnitOffer ReadOffer(std::string_view reply, std::string_view numberKey, std::string_view textKey,
                     std::string text) {
  TUnitOffer offer{-1, std::move(text)};
  int number = 0;
  if (!GetIntParam(reply, numberKey, number)) return offer;
  offer.number = number;
  std::string given;
  if (GetStrParam(reply, textKey, kValueCapacity, given)) offer.text = std::move(given);
  return offer;
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

TMapCallResult Refused(const char* utf8) { return {std::nullopt, false, Utf8ToCp1251(utf8)}; }

}  // namespace

std::string CabinCallText() { return Utf8ToCp1251("Начать разговор с КАБИНОЙ ЛИФТА"); }
std::string RoomCallText() { return Utf8ToCp1251("Начать разговор с МАШИННЫМ ПОМЕЩЕНИЕМ"); }

TMapCallResult MapCallFromReply(std::string_view reply, const TMapCallObject& object,
                                const TChooseCallUnit& choose) {
  std::string host;
  if (!GetStrParam(reply, " KelmoGW=", kValueCapacity, host)) return Refused("Нет шлюза в ответе сервера");
  int port = 0, line = 0, adr = 0;
  if (!GetIntParam(reply, " H323=", port) || !GetIntParam(reply, " COM=", line) ||
      !GetIntParam(reply, " ADR=", adr))
    return Refused("Нет H323, COM или ADR в ответе сервера");

  const TUnitOffer cabin = ReadOffer(reply, " PUL=", " PULTEXT=", CabinCallText());
  const TUnitOffer room = ReadOffer(reply, " PU=", " PUTEXT=", RoomCallText());
  // Without a cabin the call goes to the machine room, even when the server
  // offers no unit at all (the unit is then -1).
  const TUnitOffer* chosen = &room;
  if (cabin.number >= 0 && room.number < 0) {
    chosen = &cabin;
  } else if (cabin.number >= 0) {
    const TCallUnit unit = choose ? choose(cabin.text, room.text) : TCallUnit::Cancelled;
    if (unit == TCallUnit::Cancelled) return {std::nullopt, true, {}};
    chosen = unit == TCallUnit::MachineRoom ? &room : &cabin;
  }

  if (host == "localhost" || host == "127.0.0.1") host = object.serverHost;
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
  call.title = Cut(object.name + " (" + TitleText(chosen->text) + ")");
  call.gatewayHost = host;
  call.gatewayLine = line;
  call.adr = static_cast<std::uint8_t>(adr & 0xFF);
  call.port = port;
  call.unit = chosen->number;
  call.object = object.object;
  return {std::move(call), false, {}};
}

}  // namespace vertamo

#include <gtest/gtest.h>

#include <string>

#include "platform/cp1251.h"
#include "voice/map_call.h"

namespace vertamo {
namespace {

constexpr const char* kBase = "OBJ=7 TYPE=1 KelmoGW=\"10.0.0.5\" H323=1720 COM=3 ADR=12";

struct MapCallCase {
  const char* name;
  std::string reply;      // UTF-8
  TCallUnit pick;         // what the dispatcher picks when asked
  bool asked;             // whether the selector was shown
  const char* cabinText;  // what the selector offered (when asked)
  const char* command;    // nullptr: no call
  const char* title;      // UTF-8
  int unit;
};

TEST(MapCallFromReply, UnitChoiceTitleAndDialString) {
  const std::string base = kBase;
  const MapCallCase cases[] = {
      {"cabin only", base + " PUL=2", TCallUnit::MachineRoom, false, nullptr, "c 3*12*2@10.0.0.5:1720",
       "Лифт 4 (Разговор с КАБИНОЙ ЛИФТА)", 2},
      {"room only", base + " PU=5", TCallUnit::Cabin, false, nullptr, "c 3*12*5@10.0.0.5:1720",
       "Лифт 4 (Разговор с МАШИННЫМ ПОМЕЩЕНИЕМ)", 5},
      {"neither", base, TCallUnit::Cabin, false, nullptr, "c 3*12*-1@10.0.0.5:1720",
       "Лифт 4 (Разговор с МАШИННЫМ ПОМЕЩЕНИЕМ)", -1},
      {"room text", base + " PU=5 PUTEXT=\"Начать связь с крышей\"", TCallUnit::Cabin, false, nullptr,
       "c 3*12*5@10.0.0.5:1720", "Лифт 4 (Рвязь с крышей)", 5},
      {"both, cabin", base + " PUL=2 PULTEXT=\"Кабина\" PU=5", TCallUnit::Cabin, true, "Кабина",
       "c 3*12*2@10.0.0.5:1720", "Лифт 4 (Кабина)", 2},
      {"both, room", base + " PUL=2 PULTEXT=\"Кабина\" PU=5", TCallUnit::MachineRoom, true, "Кабина",
       "c 3*12*5@10.0.0.5:1720", "Лифт 4 (Разговор с МАШИННЫМ ПОМЕЩЕНИЕМ)", 5},
      {"both, cancelled", base + " PUL=0 PU=0", TCallUnit::Cancelled, true, "Начать разговор с КАБИНОЙ ЛИФТА",
       nullptr, nullptr, 0},
      {"cabin text without the verb", base + " PUL=2 PULTEXT=\"Связь с лифтом\"", TCallUnit::Cabin, false,
       nullptr, "c 3*12*2@10.0.0.5:1720", "Лифт 4 (Связь с лифтом)", 2},
      {"text without its number", base + " PULTEXT=\"Кабина\"", TCallUnit::Cabin, false, nullptr,
       "c 3*12*-1@10.0.0.5:1720", "Лифт 4 (Разговор с МАШИННЫМ ПОМЕЩЕНИЕМ)", -1},
      {"localhost with a port", "OBJ=7 KelmoGW=\"localhost\" H323=1720 COM=1 ADR=4 PUL=2", TCallUnit::Cabin,
       false, nullptr, "c 1*4*2@srv.example:1720", "Лифт 4 (Разговор с КАБИНОЙ ЛИФТА)", 2},
      {"loopback without a port", "OBJ=7 KelmoGW=\"127.0.0.1\" H323=0 COM=1 ADR=4 PUL=2", TCallUnit::Cabin,
       false, nullptr, "c 1*4*2@srv.example", "Лифт 4 (Разговор с КАБИНОЙ ЛИФТА)", 2},
      {"ADR beyond a byte", "OBJ=7 KelmoGW=\"gw\" H323=0 COM=1 ADR=256 PUL=2", TCallUnit::Cabin, false,
       nullptr, "c 1*256*2@gw", "Лифт 4 (Разговор с КАБИНОЙ ЛИФТА)", 2},
      {"no ADR", "OBJ=7 KelmoGW=\"gw\" H323=0 COM=1 PUL=2", TCallUnit::Cabin, false, nullptr, nullptr,
       nullptr, 0},
      {"no gateway", "OBJ=7 H323=0 COM=1 ADR=3 PUL=2", TCallUnit::Cabin, false, nullptr, nullptr, nullptr, 0},
      {"host too long", "OBJ=7 KelmoGW=\"" + std::string(120, 'h') + "\" H323=1720 COM=1 ADR=4 PUL=2",
       TCallUnit::Cabin, false, nullptr, nullptr, nullptr, 0},
  };
  const TMapCallObject object{9, Utf8ToCp1251("Лифт 4"), "srv.example"};
  for (const MapCallCase& c : cases) {
    SCOPED_TRACE(c.name);
    bool asked = false;
    std::string cabinText, roomText;
    const TMapCallResult r = MapCallFromReply(Utf8ToCp1251(c.reply), object,
                                              [&](const std::string& cabin, const std::string& room) {
                                                asked = true;
                                                cabinText = cabin;
                                                roomText = room;
                                                return c.pick;
                                              });
    EXPECT_EQ(asked, c.asked);
    if (c.asked) {
      EXPECT_EQ(Cp1251ToUtf8(cabinText), c.cabinText);
      EXPECT_EQ(roomText, RoomCallText());
    }
    EXPECT_EQ(r.cancelled, c.pick == TCallUnit::Cancelled && c.asked);
    if (c.command == nullptr) {
      EXPECT_FALSE(r.call);
      EXPECT_EQ(r.reason.empty(), r.cancelled);
      continue;
    }
    ASSERT_TRUE(r.call);
    EXPECT_TRUE(r.reason.empty());
    EXPECT_EQ(r.call->command, c.command);
    EXPECT_EQ(Cp1251ToUtf8(r.call->title), c.title);
    EXPECT_EQ(r.call->unit, c.unit);
    EXPECT_EQ(r.call->object, 9);
  }
}

// A call again from the history takes the unit called before while the
// reply still offers it, and asks as a click does otherwise.
TEST(MapCallFromReply, TheUnitChosenBeforeIsTakenWithoutAsking) {
  const std::string both = Utf8ToCp1251(std::string(kBase) + " PUL=2 PU=5");
  const struct {
    int before, called;
    bool asked;
  } cases[] = {{5, 5, false}, {2, 2, false}, {9, 2, true}, {-1, 2, true}};
  for (const auto& c : cases) {
    bool asked = false;
    TMapCallObject object{9, "L", "srv"};
    object.unit = c.before;
    const TMapCallResult r = MapCallFromReply(both, object, [&](const std::string&, const std::string&) {
      asked = true;
      return TCallUnit::Cabin;
    });
    ASSERT_TRUE(r.call);
    EXPECT_EQ(r.call->unit, c.called) << c.before;
    EXPECT_EQ(asked, c.asked) << c.before;
  }
}

TEST(MapCallFromReply, HandOverFields) {
  const TMapCallObject object{2, "L", "srv"};
  const auto pickCabin = [](const std::string&, const std::string&) { return TCallUnit::Cabin; };
  const TMapCallResult r =
      MapCallFromReply("OBJ=2 KelmoGW=\"localhost\" H323=1720 COM=6 ADR=257 PUL=1", object, pickCabin);
  ASSERT_TRUE(r.call);
  EXPECT_EQ(r.call->gatewayHost, "srv");
  EXPECT_EQ(r.call->gatewayLine, 6);
  EXPECT_EQ(r.call->adr, 1);
  EXPECT_EQ(r.call->port, 1720);
  EXPECT_EQ(r.call->command, "c 6*257*1@srv:1720");
}

TEST(MapCallFromReply, LongTextsAreCutAndTheLongestDialStringPasses) {
  const auto pickCabin = [](const std::string&, const std::string&) { return TCallUnit::Cabin; };
  const TMapCallObject object{0, std::string(120, 'N'), "srv"};
  // 2 + "1*2*3@" + host + ":1" = 127 characters: still called.
  const std::string host = std::string(58, 'h') + "." + std::string(58, 'h');
  const TMapCallResult r = MapCallFromReply(
      "OBJ=7 KelmoGW=\"" + host + "\" H323=1 COM=1 ADR=2 PUL=3 PULTEXT=\"" + std::string(200, 'x') + "\"",
      object, pickCabin);
  ASSERT_TRUE(r.call);
  EXPECT_EQ(r.call->command.size(), kMapCallTextMax);
  EXPECT_EQ(r.call->title, std::string(120, 'N') + " (" + std::string(5, 'x'));
  // One port digit more and the address no longer fits.
  EXPECT_FALSE(
      MapCallFromReply("OBJ=7 KelmoGW=\"" + host + "\" H323=10 COM=1 ADR=2 PUL=3", object, pickCabin).call);
}

// Hostile replies: each row is a reply and either the dial string it gives or
// the start of the refusal that goes to the telephony log.
TEST(MapCallFromReply, HostileRepliesAreRefusedWithAReason) {
  const std::string tail = " PUL=2";
  const struct {
    std::string reply;
    const char* outcome;  // "c ..." a call; anything else: the reason begins with it (UTF-8)
  } cases[] = {
      {"OBJ=7 KelmoGW=\"gw\" H323=1720 COM=3 ADR=12 PULTEXT=\" H323=5060 COM=99 ADR=77\" PUL=2",
       "c 3*12*2@gw:1720"},
      {"OBJ=7 PULTEXT=\" KelmoGW=\"evil\" H323=1720 COM=3 ADR=12 PUL=2", "Незакрытая кавычка"},
      {"OBJ=7 PULTEXT=\"x KelmoGW=\"gw\" H323=1 COM=3 ADR=12\" PUL=2", "Нет шлюза"},
      {"OBJ=7 KelmoGW=\"gw\" H323=65535 COM=0 ADR=0" + tail, "c 0*0*2@gw:65535"},
      {"OBJ=7 KelmoGW=\"gw\" H323=65536 COM=3 ADR=12" + tail, "Неверное значение H323=65536"},
      {"OBJ=7 KelmoGW=\"gw\" H323=-1 COM=3 ADR=12" + tail, "Неверное значение H323=-1"},
      {"OBJ=7 KelmoGW=\"gw\" H323=2147483647 COM=3 ADR=12" + tail, "Неверное значение H323=2147483647"},
      {"OBJ=7 KelmoGW=\"gw\" H323=99999999999 COM=3 ADR=12" + tail, "Неверное значение H323=99999999999"},
      {"OBJ=7 KelmoGW=\"gw\" H323=1720x COM=3 ADR=12" + tail, "Неверное значение H323=1720x"},
      {"OBJ=7 KelmoGW=\"gw\" H323=1720 COM=-3 ADR=12" + tail, "Неверное значение COM=-3"},
      {"OBJ=7 KelmoGW=\"gw\" H323=1720 COM=3 ADR=-12" + tail, "Неверное значение ADR=-12"},
      {"OBJ=7 KelmoGW=\"gw\" H323=1720 COM=3\r ADR=12" + tail, "Неверное значение COM=3?"},
      {"OBJ=7 KelmoGW=\"gw\" H323=1720 COM=3 ADR=12 PUL=two", "Неверное значение PUL=two"},
      {"OBJ=7 KelmoGW=gw H323=1720 COM=3 ADR=12" + tail, "Неверное значение KelmoGW=gw"},
      {"OBJ=7 KelmoGW=\"\" H323=1720 COM=3 ADR=12" + tail, "Неверный адрес шлюза \"\""},
      {"OBJ=7 KelmoGW=\"x@10.9.9.9 q\" H323=1720 COM=3 ADR=12" + tail, "Неверный адрес шлюза \"x@10.9.9.9 q\""},
      {"OBJ=7 KelmoGW=\"gw\x01.example\" H323=1720 COM=3 ADR=12" + tail, "Неверный адрес шлюза \"gw?.example\""},
      {"OBJ=7 KelmoGW=\"10.9.9\" H323=1720 COM=3 ADR=12" + tail, "Неверный адрес шлюза"},
      {"OBJ=7 KelmoGW=\"10.9.9.256\" H323=1720 COM=3 ADR=12" + tail, "Неверный адрес шлюза"},
      {"OBJ=7 KelmoGW=\"-gw\" H323=1720 COM=3 ADR=12" + tail, "Неверный адрес шлюза"},
      {"OBJ=7 KelmoGW=\"10.9.9.255\" H323=0 COM=3 ADR=12" + tail, "c 3*12*2@10.9.9.255"},
      {"OBJ=7 KelmoGW=\"gw-1.Example.org\" H323=0 COM=3 ADR=12" + tail, "c 3*12*2@gw-1.Example.org"},
  };
  const TMapCallObject object{7, "L", "srv"};
  const auto pickCabin = [](const std::string&, const std::string&) { return TCallUnit::Cabin; };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    const TMapCallResult r = MapCallFromReply(c.reply, object, pickCabin);
    const std::string outcome = c.outcome;
    if (outcome.starts_with("c ")) {
      ASSERT_TRUE(r.call) << Cp1251ToUtf8(r.reason);
      EXPECT_EQ(r.call->command, outcome);
    } else {
      EXPECT_FALSE(r.call);
      EXPECT_FALSE(r.cancelled);
      EXPECT_TRUE(Cp1251ToUtf8(r.reason).starts_with(outcome)) << Cp1251ToUtf8(r.reason);
    }
  }
}

TEST(MapCallFromReply, ControlBytesOfTextsNeverReachTheTitle) {
  const TMapCallResult r = MapCallFromReply("OBJ=7 KelmoGW=\"gw\" H323=0 COM=1 ADR=1 PUL=2 PULTEXT=\"a\r\nb\"",
                                            {7, "L\n", "srv"}, nullptr);
  ASSERT_TRUE(r.call);
  EXPECT_EQ(r.call->title, "L  (a  b)");
}

}  // namespace
}  // namespace vertamo

namespace vertamo {
namespace {

TEST(MapCallTitle, EveryCallNamesItsHouse) {
  struct Case {
    const char* name;
    const char* unit;
    const char* hint;
    const char* title;
  } cases[] = {
      {"Лифт 2", "Кабина лифта 2, ул. Лесная, 12", "Лифт 2$ул. Лесная, 12", "Лифт 2 (Кабина лифта 2, ул. Лесная, 12)"},
      {"ПУ машинного помещения", "ПУ машинного помещения",
       "Переговорное устройство\nПУ машинного помещения\nул. Лесная, 12, машинное помещение",
       "ПУ машинного помещения, ул. Лесная, 12, машинное помещение"},
      {"Лифт 3", "Кабина", "Лифт 3, подъезд 2$ул. Лесная, 9$На ремонте", "Лифт 3 (Кабина), ул. Лесная, 9"},
      {"Лифт 4", "Начать разговор с КАБИНОЙ ЛИФТА", "", "Лифт 4 (Разговор с КАБИНОЙ ЛИФТА)"},
      {"Лифт 5", "Кабина", "Лифт 5", "Лифт 5 (Кабина)"},  // a hint without a place
  };
  for (const Case& c : cases)
    EXPECT_EQ(MapCallTitle(Utf8ToCp1251(c.name), Utf8ToCp1251(c.unit), Utf8ToCp1251(c.hint)), Utf8ToCp1251(c.title))
        << c.name;
}

}  // namespace
}  // namespace vertamo

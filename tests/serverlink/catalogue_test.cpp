#include "serverlink/catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "load_fixture.h"

namespace vertamo::testing {
namespace {

using Strings = std::vector<std::string>;

class Catalogue : public LoadFixture {};

// ---------------------------------------------------------------- GETMAP

TEST_F(Catalogue, MapListWithEveryLayoutLine) {
  server->On("GETMAP", Cp("MAPCOUNT=2\r\n"
                          "MAP=0 NAME=\"Этаж 1\" PICT=1\r\n"
                          "map=1 PICT=0 NAME=\"Машзал\"\r\n"
                          "LIFTBREAK X=10 Y=20 W=30 H=40 FONTNAME=\"Arial\" VALUE=5\r"
                          "OhrAlr VALUE=0 H=4 W=3 Y=2 X=1 FONTNAME=\"Tahoma\"\r"
                          "PUERR X=7 Y=8 W=9 H=10 FONTNAME=\"Courier\" VALUE=-1\r"
                          "CLOCK X=1 Y=2 W=3 H=4 FONTNAME=\"Arial\" COLOR=255 FONTCOLOR=-16777208 "
                          "FONTSIZE=12 TRANSPARENT=0 BOLD=1 ITALIC=7\r"
                          "SPEAKER X=5 Y=6 W=32 H=32 CALL=2\r"
                          "SOMETHING ELSE\r"
                          "LIFTBREAK X=1 Y=2 W=3 H=4 VALUE=9\r"
                          "END\r"
                          "LIFTBREAK X=0 Y=0 W=0 H=0 FONTNAME=\"after end\" VALUE=0\r"));
  Connect();
  ASSERT_TRUE(LoadMaps(*ctx));

  EXPECT_EQ(server->Requests(), Strings{"GETMAP"});
  ASSERT_EQ(model.MapList.Count(), 2);
  EXPECT_EQ(Utf8(model.MapList.Get(0)->Name.str()), "Этаж 1");
  EXPECT_NE(model.MapList.Get(0)->Picture, nullptr);
  EXPECT_EQ(Utf8(model.MapList.Get(1)->Name.str()), "Машзал");
  EXPECT_EQ(model.MapList.Get(1)->Picture, nullptr);
  EXPECT_EQ(model.MapList.Get(1)->Index, 1);

  EXPECT_EQ(events.statuses, (Strings{"Запрос карт...", "Получение карты 1", "Получение карты 2"}));
  EXPECT_EQ(events.progress, (Strings{"1/2", "2/2"}));
  EXPECT_EQ(events.widgets, (Strings{
                                "layout LiftB 10,20,30,40 font=Arial",
                                "value LiftB 5",
                                "layout OhrAlr 1,2,3,4 font=Tahoma",
                                "value OhrAlr 0",
                                "layout PuErr 7,8,9,10 font=Courier",
                                "value PuErr -1",
                                "clock 1,2,3,4 font=Arial color=255 fontColor=-16777208 size=12 "
                                "transparent=0 bold=1 italic=1",
                                "speaker 5,6,32,32 call=2",
                            }));

  EXPECT_TRUE(Logged("Создание карты 0: Имя=Этаж 1 Картинка=1 ")) << LogText();
  EXPECT_TRUE(Logged("Создание карты 1: Имя=Машзал Картинка=0 "));
  EXPECT_TRUE(Logged("Неизвестные данные=SOMETHING ELSE"));
  EXPECT_TRUE(Logged("Не получена строка  FONTNAME=...Получено:LIFTBREAK X=1 Y=2 W=3 H=4 VALUE=9"));
}

TEST_F(Catalogue, NoMapsAndAtOnceEnd) {
  server->On("GETMAP", "MAPCOUNT=0\rEND\r");
  Connect();
  ASSERT_TRUE(LoadMaps(*ctx));
  EXPECT_EQ(model.MapList.Count(), 0);
  EXPECT_TRUE(events.widgets.empty());
  EXPECT_EQ(events.statuses, Strings{"Запрос карт..."});
}

TEST_F(Catalogue, MapListWithoutEndSucceedsAfterTheReadTimeOut) {
  server->CloseWhenUnscripted(false);
  server->On("GETMAP", "MAPCOUNT=1\rMAP=0 NAME=\"a\" PICT=0\rSPEAKER X=1 Y=2 W=3 H=4 CALL=0\r");
  Connect();
  channel->SetReadTimeout(200);
  ASSERT_TRUE(LoadMaps(*ctx));
  EXPECT_EQ(model.MapList.Count(), 1);
  EXPECT_EQ(events.widgets, Strings{"speaker 1,2,3,4 call=0"});
}

TEST_F(Catalogue, LayoutLinesEndWithoutErrorWhenTheServerCloses) {
  server->On("GETMAP", "MAPCOUNT=1\rMAP=0 NAME=\"a\" PICT=0\r");
  Connect();
  StopServerAfter("GETMAP");
  EXPECT_TRUE(LoadMaps(*ctx));
  EXPECT_EQ(model.MapList.Count(), 1);
  EXPECT_FALSE(channel->Link().Connected());
}

TEST_F(Catalogue, UnknownLinesAreLoggedWhateverDebugSays) {
  Start(false);
  server->On("GETMAP", "MAPCOUNT=1\rMAP=0 NAME=\"a\" PICT=1\rFOO BAR\rEND\r");
  Connect();
  ASSERT_TRUE(LoadMaps(*ctx));
  EXPECT_EQ(LogLines(), Strings{"Неизвестные данные=FOO BAR"});
}

struct MapFailure {
  const char* what;
  std::string reply;
  std::string log;  // the last log line, UTF-8
};

TEST_F(Catalogue, MapListFailures) {
  const std::vector<MapFailure> cases = {
      {"count line missing", "MAPS=2\r", "Не получена строка MAPCOUNT=...Получено:MAPS=2"},
      {"no map line at all", "MAPCOUNT=1\r", "Не получена строка MAP=0..."},
      {"record out of order", "MAPCOUNT=2\rMAP=0 NAME=\"a\" PICT=0\rMAP=2 NAME=\"b\" PICT=0\r",
       "Не получена строка MAP=1...Получено:MAP=2 NAME=\"b\" PICT=0"},
      {"name missing", "MAPCOUNT=1\rMAP=0 PICT=0\r", "Не получена строка  NAME=...Получено:MAP=0 PICT=0"},
      {"name not quoted", "MAPCOUNT=1\rMAP=0 NAME=a PICT=0\r",
       "Не получена строка  NAME=...Получено:MAP=0 NAME=a PICT=0"},
      {"picture flag missing", "MAPCOUNT=1\rMAP=0 NAME=\"a\"\r",
       "Не получена строка  PICT=... Получено:MAP=0 NAME=\"a\""},
  };
  for (const MapFailure& c : cases) {
    SCOPED_TRACE(c.what);
    server = std::make_unique<ScriptedServer>();
    model.Clear();
    Start(true);
    server->On("GETMAP", c.reply);
    Connect();
    channel->SetReadTimeout(300);
    EXPECT_FALSE(LoadMaps(*ctx));
    const Strings lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.log);
  }
}

TEST_F(Catalogue, AMapRecordMatchesItsNumberAsAPrefix) {
  // MAP=1 matches a line beginning with MAP=10: the number is a prefix.
  server->On("GETMAP", "MAPCOUNT=2\rMAP=0 NAME=\"a\" PICT=0\rMAP=10 NAME=\"b\" PICT=0\rEND\r");
  Connect();
  ASSERT_TRUE(LoadMaps(*ctx));
  EXPECT_EQ(model.MapList.Count(), 2);
}

TEST_F(Catalogue, MapAndFontNamesKeep63Characters) {
  const std::string longName(100, 'm');
  server->On("GETMAP", "MAPCOUNT=1\rMAP=0 NAME=\"" + longName +
                           "\" PICT=0\rLIFTBREAK X=1 Y=2 W=3 H=4 FONTNAME=\"" + longName +
                           "\" VALUE=1\rEND\r");
  Connect();
  ASSERT_TRUE(LoadMaps(*ctx));
  EXPECT_EQ(model.MapList.Get(0)->Name.str(), std::string(63, 'm'));
  ASSERT_FALSE(events.widgets.empty());
  EXPECT_EQ(events.widgets[0], "layout LiftB 1,2,3,4 font=" + std::string(63, 'm'));
}

TEST_F(Catalogue, AStopEndsTheStepAtItsNextPost) {
  server->On("GETMAP", "MAPCOUNT=1\rMAP=0 NAME=\"a\" PICT=0\rEND\r");
  Connect();
  notifier->Retire();
  EXPECT_FALSE(LoadMaps(*ctx));
}

// ---------------------------------------------------------------- GETMAPOBJ

const std::string kFullObject =
    "OBJ=0 MAP=1 X=100 Y=-20 NAME=\"Лифт 1\" TYPE=1 IML=\"lift\" PCOUNT=8 IDX=3 HINT=\"Подъезд 2$Этаж 5\" "
    "CAPVISIBLE=1 CX=4 CY=-6 CAPTION=\"П2\" CAPCOLOR=255\r";

// The progress bar moves with the objects, from the first to the last, without
// a post for every one of thousands of records.
TEST_F(Catalogue, ObjectProgressRunsFromFirstToLastInAtMostTwoHundredSteps) {
  constexpr int kCount = 3000;
  std::string reply = "OBJCOUNT=" + std::to_string(kCount) + "\r";
  for (int i = 0; i < kCount; ++i)
    reply +=
        "OBJ=" + std::to_string(i) + " MAP=0 X=1 Y=2 NAME=\"n\" TYPE=0 IML=\"l\" PCOUNT=1 IDX=0 HINT=\"\"\r";
  server->On("GETMAPOBJ", reply);
  Connect();
  ASSERT_TRUE(LoadMapObjects(*ctx));
  ASSERT_GE(events.progress.size(), 2u);
  EXPECT_EQ(events.progress.front(), "1/3000");
  EXPECT_EQ(events.progress.back(), "3000/3000");
  EXPECT_LE(events.progress.size(), 202u);
  EXPECT_GE(events.progress.size(), 150u);  // still moves in small steps
}

TEST_F(Catalogue, ObjectWithEveryKey) {
  server->On("GETMAPOBJ", Cp("OBJCOUNT=1\r" + kFullObject));
  Connect();
  ASSERT_TRUE(LoadMapObjects(*ctx));
  ASSERT_EQ(model.ObjectList.Count(), 1);
  const MAPOBJECT& o = *model.ObjectList.Get(0);
  EXPECT_EQ(o.MapIndex, 1);
  EXPECT_EQ(o.X, 100);
  EXPECT_EQ(o.Y, -20);
  EXPECT_EQ(Utf8(o.Name.str()), "Лифт 1");
  EXPECT_EQ(o.Type, 1);
  EXPECT_EQ(o.ImlName, "lift");
  EXPECT_EQ(o.PCount, 8);
  EXPECT_EQ(o.Idx, 3);
  EXPECT_EQ(Utf8(o.Hint.str()), "Подъезд 2\nЭтаж 5");
  EXPECT_TRUE(o.CapVisible);
  EXPECT_EQ(o.CX, 4);
  EXPECT_EQ(o.CY, -6);
  EXPECT_EQ(Utf8(o.Caption.str()), "П2");
  EXPECT_FALSE(o.CapTransparent);
  EXPECT_EQ(o.CapColor, 255);
  EXPECT_EQ(o.Pictures, nullptr);
  EXPECT_EQ(events.statuses, (Strings{"Запрос объектов карты", "Получение объекта 1 из 1"}));
  EXPECT_TRUE(Logged("Создание объекта карты 0: Имя=Лифт 1 Индекс=3 ")) << LogText();
}

TEST_F(Catalogue, ObjectOptionalKeysAndCaptionColour) {
  struct Case {
    const char* tail;
    bool capVisible;
    bool capTransparent;
    int capColor;
  };
  const std::vector<Case> cases = {
      {"", false, true, 0},
      {" CAPCOLOR=-1", false, true, 16777215},
      {" CAPCOLOR=255", false, false, 255},
      {" CAPCOLOR=0 CAPVISIBLE=0", false, false, 0},
      {" CAPVISIBLE=2", true, true, 0},
  };
  std::string reply = "OBJCOUNT=" + std::to_string(cases.size()) + "\r";
  for (size_t i = 0; i < cases.size(); ++i)
    reply += "OBJ=" + std::to_string(i) +
             " MAP=0 X=1 Y=2 NAME=\"n\" TYPE=0 IML=\"l\" PCOUNT=1 IDX=0 HINT=\"\"" + cases[i].tail + "\r";
  server->On("GETMAPOBJ", reply);
  Connect();
  ASSERT_TRUE(LoadMapObjects(*ctx));
  ASSERT_EQ(model.ObjectList.Count(), static_cast<int>(cases.size()));
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].tail);
    const MAPOBJECT& o = *model.ObjectList.Get(static_cast<int>(i));
    EXPECT_EQ(o.CapVisible, cases[i].capVisible);
    EXPECT_EQ(o.CapTransparent, cases[i].capTransparent);
    EXPECT_EQ(o.CapColor, cases[i].capColor);
    EXPECT_EQ(o.CX, 0);
    EXPECT_EQ(o.CY, 0);
    EXPECT_TRUE(o.Caption.empty());
  }
}

TEST_F(Catalogue, ObjectProgressRunsFromOneToN) {
  std::string reply = "OBJCOUNT=10\r";
  for (int i = 0; i < 10; ++i)
    reply +=
        "OBJ=" + std::to_string(i) + " MAP=0 X=0 Y=0 NAME=\"n\" TYPE=0 IML=\"l\" PCOUNT=1 IDX=0 HINT=\"h\"\r";
  server->On("GETMAPOBJ", reply);
  Connect();
  ASSERT_TRUE(LoadMapObjects(*ctx));
  ASSERT_EQ(events.statuses.size(), 11u);
  EXPECT_EQ(events.statuses[1], "Получение объекта 1 из 10");
  EXPECT_EQ(events.statuses[10], "Получение объекта 10 из 10");
}

TEST_F(Catalogue, ObjectTextCapacities) {
  const std::string name(100, 'n'), hint(300, 'h'), iml(80, 'i'), caption(70, 'c');
  server->On("GETMAPOBJ", "OBJCOUNT=1\rOBJ=0 MAP=0 X=0 Y=0 NAME=\"" + name + "\" TYPE=0 IML=\"" + iml +
                              "\" PCOUNT=1 IDX=0 HINT=\"" + hint + "\" CAPTION=\"" + caption + "\"\r");
  Connect();
  ASSERT_TRUE(LoadMapObjects(*ctx));
  const MAPOBJECT& o = *model.ObjectList.Get(0);
  EXPECT_EQ(o.Name.str(), name.substr(0, 63));
  EXPECT_EQ(o.ImlName.str(), iml.substr(0, 63));
  EXPECT_EQ(o.Hint.str(), hint.substr(0, 255));
  EXPECT_EQ(o.Caption.str(), caption.substr(0, 63));
}

TEST_F(Catalogue, ObjectRequiredKeys) {
  struct Case {
    const char* key;  // removed from the line
    const char* logKey;
    bool text;
  };
  const std::vector<Case> cases = {
      {"MAP=1", " MAP=", false},         {"X=100", " X=", false},     {"Y=-20", " Y=", false},
      {"NAME=\"Lift\"", " NAME=", true}, {"TYPE=1", " TYPE=", false}, {"IML=\"lift\"", " IML=", true},
      {"PCOUNT=8", " PCOUNT=", false},   {"IDX=3", " IDX=", false},   {"HINT=\"h\"", " HINT=", true},
  };
  const std::string full =
      "OBJ=0 MAP=1 X=100 Y=-20 NAME=\"Lift\" TYPE=1 IML=\"lift\" PCOUNT=8 IDX=3 HINT=\"h\" CAPVISIBLE=1";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    std::string line = full;
    line.erase(line.find(std::string(" ") + c.key), std::string(c.key).size() + 1);
    server = std::make_unique<ScriptedServer>();
    model.Clear();
    Start(true);
    server->On("GETMAPOBJ", "OBJCOUNT=1\r" + line + "\r");
    Connect();
    EXPECT_FALSE(LoadMapObjects(*ctx));
    EXPECT_EQ(model.ObjectList.Count(), 0);
    const std::string expected =
        std::string("Не получена строка ") + c.logKey + (c.text ? "..." : "... ") + "Получено:" + line;
    EXPECT_EQ(LogLines().back(), expected);
  }
}

TEST_F(Catalogue, ObjectOutOfOrderFailsAndKeepsTheRecordsBefore) {
  server->On("GETMAPOBJ",
             "OBJCOUNT=3\r"
             "OBJ=0 MAP=0 X=0 Y=0 NAME=\"a\" TYPE=0 IML=\"l\" PCOUNT=1 IDX=0 HINT=\"\"\r"
             "OBJ=2 MAP=0 X=0 Y=0 NAME=\"c\" TYPE=0 IML=\"l\" PCOUNT=1 IDX=0 HINT=\"\"\r");
  Connect();
  EXPECT_FALSE(LoadMapObjects(*ctx));
  EXPECT_EQ(model.ObjectList.Count(), 1);
  EXPECT_EQ(LogLines().back(),
            "Не получена строка OBJ=1...Получено:OBJ=2 MAP=0 X=0 Y=0 NAME=\"c\" TYPE=0 IML=\"l\" PCOUNT=1 "
            "IDX=0 HINT=\"\"");
}

TEST_F(Catalogue, ZeroOrNegativeCountsReadNoRecords) {
  for (const char* count : {"OBJCOUNT=0\r", "OBJCOUNT=-5\r", "OBJCOUNT=\r"}) {
    SCOPED_TRACE(count);
    server = std::make_unique<ScriptedServer>();
    Start(true);
    server->On("GETMAPOBJ", count);
    Connect();
    EXPECT_TRUE(LoadMapObjects(*ctx));
    EXPECT_EQ(model.ObjectList.Count(), 0);
  }
}

// ---------------------------------------------------------------- GETTEXT

TEST_F(Catalogue, TextWithEveryKey) {
  server->On(
      "GETTEXT",
      Cp("TEXTCOUNT=2\r"
         "IDX=0 MAP=1 X=10 Y=20 W=30 H=40 CAPTION=\"Подъезд 1\" FONTNAME=\"Verdana\" VIDEOTAG=\"cam1\" "
         "TRANSPARENT=0 VISIBLE=1 AUTOSIZE=0 WORDWRAP=1 BOLD=1 ITALIC=0 UNDERLINE=3 STRIKEOUT=1 "
         "ALIGNMENT=258 LAYOUT=513 COLOR=255 FONTCOLOR=65280 FONTSIZE=14 CHARSET=65740 PITCH=257 "
         "ACTION=2 APARAM=-7\r"
         "IDX=1 MAP=0 X=0 Y=0 W=0 H=0 CAPTION=\"\"\r"));
  Connect();
  ASSERT_TRUE(LoadTexts(*ctx));
  EXPECT_EQ(server->Requests(), Strings{"GETTEXT"});
  EXPECT_EQ(events.progress, (Strings{"1/2", "2/2"}));
  ASSERT_EQ(model.TextList.Count(), 2);
  const MAPTEXT& t = *model.TextList.Get(0);
  EXPECT_EQ(t.MapIndex, 1);
  EXPECT_EQ(t.X, 10);
  EXPECT_EQ(t.Y, 20);
  EXPECT_EQ(t.W, 30);
  EXPECT_EQ(t.H, 40);
  EXPECT_EQ(Utf8(t.Caption.str()), "Подъезд 1");
  EXPECT_EQ(t.FontName, "Verdana");
  EXPECT_EQ(t.VideoTag, "cam1");
  EXPECT_EQ(t.Flags, kTextVisible | kTextWordWrap | kTextBold | kTextUnderline | kTextStrikeOut);
  EXPECT_EQ(t.Alignment, 2);
  EXPECT_EQ(t.Layout, 1);
  EXPECT_EQ(t.Color, 255);
  EXPECT_EQ(t.FontColor, 65280);
  EXPECT_EQ(t.FontSize, 14);
  EXPECT_EQ(t.Charset, 204);
  EXPECT_EQ(t.Pitch, 1);
  EXPECT_EQ(t.Action, 2);
  EXPECT_EQ(t.AParam, -7);

  // Without the optional keys the defaults stay.
  const MAPTEXT& d = *model.TextList.Get(1);
  EXPECT_EQ(d.FontName, "Tahoma");
  EXPECT_EQ(d.Flags, 7);
  EXPECT_EQ(d.Alignment, 3);
  EXPECT_EQ(d.Color, kColorBtnFace);
  EXPECT_EQ(d.FontColor, kColorWindowText);
  EXPECT_EQ(d.FontSize, 8);
  EXPECT_EQ(d.Charset, 1);

  EXPECT_EQ(events.statuses, (Strings{"Получение текста 0", "Получение текста 1"}));
  EXPECT_TRUE(Logged("Создание текста 0: текст=Подъезд 1")) << LogText();
}

TEST_F(Catalogue, TextVisibleZeroClearsItsBit) {
  server->On("GETTEXT", "TEXTCOUNT=1\rIDX=0 MAP=0 X=0 Y=0 W=0 H=0 CAPTION=\"x\" VISIBLE=0\r");
  Connect();
  ASSERT_TRUE(LoadTexts(*ctx));
  EXPECT_FALSE(model.TextList.Get(0)->HasFlag(kTextVisible));
  EXPECT_EQ(model.TextList.Get(0)->Flags, kTextTransparent | kTextAutoSize);
}

TEST_F(Catalogue, TextCapacities) {
  server->On("GETTEXT", "TEXTCOUNT=1\rIDX=0 MAP=0 X=0 Y=0 W=0 H=0 CAPTION=\"" + std::string(300, 'c') +
                            "\" FONTNAME=\"" + std::string(40, 'f') + "\" VIDEOTAG=\"" +
                            std::string(200, 'v') + "\"\r");
  Connect();
  ASSERT_TRUE(LoadTexts(*ctx));
  const MAPTEXT& t = *model.TextList.Get(0);
  EXPECT_EQ(t.Caption.str(), std::string(255, 'c'));
  EXPECT_EQ(t.FontName.str(), std::string(31, 'f'));
  EXPECT_EQ(t.VideoTag.str(), std::string(127, 'v'));
}

TEST_F(Catalogue, TextRequiredKeysInTheirOrder) {
  struct Case {
    const char* line;
    const char* log;
  };
  const std::vector<Case> cases = {
      {"IDX=0 X=1 Y=2 W=3 H=4 CAPTION=\"c\"",
       "Не получена строка  MAP=... Получено:IDX=0 X=1 Y=2 W=3 H=4 CAPTION=\"c\""},
      {"IDX=0 MAP=0 Y=2 H=4", "Не получена строка  X=... Получено:IDX=0 MAP=0 Y=2 H=4"},
      {"IDX=0 MAP=0 X=1 W=3", "Не получена строка  Y=... Получено:IDX=0 MAP=0 X=1 W=3"},
      {"IDX=0 MAP=0 X=1 Y=2 H=4 CAPTION=\"c\"",
       "Не получена строка  W=... Получено:IDX=0 MAP=0 X=1 Y=2 H=4 CAPTION=\"c\""},
      {"IDX=0 MAP=0 X=1 Y=2 W=3 CAPTION=\"c\"",
       "Не получена строка  H=... Получено:IDX=0 MAP=0 X=1 Y=2 W=3 CAPTION=\"c\""},
      {"IDX=0 MAP=0 X=1 Y=2 W=3 H=4", "Не получена строка  CAPTION=...Получено:IDX=0 MAP=0 X=1 Y=2 W=3 H=4"},
      {"IDX=1 MAP=0 X=1 Y=2 W=3 H=4 CAPTION=\"c\"",
       "Не получена строка IDX=0...Получено:IDX=1 MAP=0 X=1 Y=2 W=3 H=4 CAPTION=\"c\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    server = std::make_unique<ScriptedServer>();
    model.Clear();
    Start(true);
    server->On("GETTEXT", std::string("TEXTCOUNT=1\r") + c.line + "\r");
    Connect();
    EXPECT_FALSE(LoadTexts(*ctx));
    EXPECT_EQ(model.TextList.Count(), 0);
    EXPECT_EQ(LogLines().back(), c.log);
  }
}

TEST_F(Catalogue, NothingIsLoggedWithoutDebug) {
  Start(false);
  server->On("GETTEXT", "TEXTCOUNT=1\rIDX=0 MAP=0 X=0 Y=0 W=0 H=0\r");
  Connect();
  EXPECT_FALSE(LoadTexts(*ctx));
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(Catalogue, ADisconnectInTheMiddleFailsTheExchange) {
  server->On("GETTEXT", "TEXTCOUNT=2\rIDX=0 MAP=0 X=0 Y=0 W=0 H=0 CAPTION=\"\"\r");
  Connect();
  // The server closes after the reply: the second record never comes.
  StopServerAfter("GETTEXT");
  EXPECT_FALSE(LoadTexts(*ctx));
  EXPECT_EQ(model.TextList.Count(), 1);
  EXPECT_FALSE(channel->Link().Connected());
}

}  // namespace
}  // namespace vertamo::testing

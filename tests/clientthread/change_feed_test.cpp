// Event lines of the change feed: how each is classified and what reaches the
// main thread or the sound output.
#include <gtest/gtest.h>

#include "clientthread/client_test_support.h"
#include "platform/cp1251.h"
#include "serverlink/change_feed.h"
#include "support/case_names.h"

namespace vertamo {
namespace {

using Kind = TChangeEvent::Kind;

struct FeedCase {
  const char* line;  // UTF-8; converted to code page 1251
  TFeedStep step;
  std::vector<std::string> events;  // recorder lines, in order
  std::vector<std::string> plays;
  std::vector<std::string> missingKeys;
};

std::vector<std::string> Keys(const TChangeEvent& e) {
  std::vector<std::string> out;
  for (auto k : e.missingKeys) out.emplace_back(k);
  return out;
}

class FeedLines : public ::testing::TestWithParam<FeedCase> {};

TEST_P(FeedLines, AreAppliedAsTheServerMeansThem) {
  const FeedCase& c = GetParam();
  TMapModel model;
  testing::TEventRecorder recorder(model);

  const TChangeEvent event = ParseChangeLine(Utf8ToCp1251(c.line));
  EXPECT_EQ(FeedStepOf(event), c.step) << c.line;
  ApplyChangeEvent(event, recorder);
  EXPECT_EQ(recorder.Events(), c.events) << c.line;
  // PLAY is the feed's own: it gives the wave to the sound output.
  std::vector<std::string> plays;
  if (event.kind == TChangeEvent::Kind::Play && event.wave) plays.push_back(Cp1251ToUtf8(*event.wave));
  EXPECT_EQ(plays, c.plays) << c.line;
  EXPECT_EQ(Keys(event), c.missingKeys) << c.line;
}

const TFeedStep Go = TFeedStep::Continue;
const TFeedStep End = TFeedStep::End;
const TFeedStep Fail = TFeedStep::Fail;

INSTANTIATE_TEST_SUITE_P(
    EveryKind, FeedLines,
    ::testing::Values(
        FeedCase{"END", End, {}, {}, {}}, FeedCase{"end", End, {}, {}, {}},
        FeedCase{"ENDSPEAK OBJ=3", End, {}, {}, {}},  // only the prefix is compared
        FeedCase{"RELOAD", Fail, {}, {}, {}}, FeedCase{"reload now", Fail, {}, {}, {}},
        FeedCase{"PLAY WAVE=\"alarm.wav\"", Go, {}, {"alarm.wav"}, {}},
        FeedCase{"PLAYBACK WAVE=\"x.wav\"", Go, {}, {"x.wav"}, {}},
        FeedCase{"play WAVE=\"Тревога.wav\"", Go, {}, {"Тревога.wav"}, {}}, FeedCase{"PLAY", Go, {}, {}, {}},
        FeedCase{"PLAY WAVE=x.wav", Go, {}, {}, {}},  // not quoted: nothing
        FeedCase{
            "LOG OBJ=3 COLOR=255 FONTCOLOR=0 T0=\"12:00\" T1=\"b\" T2=\"Лифт 3\" T3=\"d\" T4=\"e\" T5=\"f\"",
            Go,
            {"Log 3 255 0 [12:00] [b] [Лифт 3] [d] [e] [f]"},
            {},
            {}},
        FeedCase{"LOG OBJ=-1 COLOR=1 FONTCOLOR=2 T5=\"f\" T4=\"e\" T3=\"d\" T2=\"c\" T1=\"b\" T0=\"a\"",
                 Go,
                 {"Log -1 1 2 [a] [b] [c] [d] [e] [f]"},
                 {},
                 {}},
        FeedCase{
            "LOG OBJ=3 COLOR=255 FONTCOLOR=0 T0=\"a\" T1=\"b\" T2=\"c\" T3=\"d\" T4=\"e\"", Go, {}, {}, {}},
        FeedCase{"LOG COLOR=255 FONTCOLOR=0 T0=\"a\" T1=\"b\" T2=\"c\" T3=\"d\" T4=\"e\" T5=\"f\"",
                 Go,
                 {},
                 {},
                 {" OBJ="}},
        FeedCase{
            "LOG OBJ=3 FONTCOLOR=0 T0=\"a\" T1=\"b\" T2=\"c\" T3=\"d\" T4=\"e\" T5=\"f\"", Go, {}, {}, {}},
        FeedCase{"UPDATE OBJ=3 IDX=2", Go, {"State 3 2 -"}, {}, {}},
        FeedCase{"UPDATE OBJ=3 HINT=\"a$b\"", Go, {"Hint 3 a$b"}, {}, {}},
        FeedCase{"UPDATE OBJ=3 CAPTION=\"Подъезд 1\"", Go, {"Caption 3 Подъезд 1"}, {}, {}},
        FeedCase{"UPDATE OBJ=3 CAPCOLOR=255", Go, {"CapColor 3 255"}, {}, {}},
        FeedCase{"UPDATE OBJ=3 CAPCOLOR=-1", Go, {}, {}, {}}, FeedCase{"UPDATE OBJ=3", Go, {}, {}, {}},
        FeedCase{"UPDATE OBJ=7 CAPCOLOR=5 CAPTION=\"c\" HINT=\"h\" IDX=1",
                 Go,
                 {"State 7 1 -", "Hint 7 h", "Caption 7 c", "CapColor 7 5"},
                 {},
                 {}},
        FeedCase{"UPDATE IDX=2", Fail, {}, {}, {" OBJ="}},
        FeedCase{"update OBJ=1 IDX=0", Go, {"State 1 0 -"}, {}, {}},
        FeedCase{"LIFTBREAK VALUE=5", Go, {"CounterValue LiftB 5"}, {}, {}},
        FeedCase{"OHRALR VALUE=-2", Go, {"CounterValue OhrAlr -2"}, {}, {}},
        FeedCase{"PUERR VALUE=0", Go, {"CounterValue PuErr 0"}, {}, {}},
        FeedCase{"LIFTBREAK", Go, {}, {}, {" VALUE="}},
        FeedCase{"SPEAKER CALL=1", Go, {"SpeakerCall 1"}, {}, {}},
        FeedCase{"SPEAKER", Go, {}, {}, {" CALL="}}, FeedCase{"HELLO OBJ=1 IDX=2", Go, {}, {}, {}},
        FeedCase{"", Go, {}, {}, {}}),
    [](const auto& info) { return testing::CaseName(info.param.line, info.index); });

TEST(FeedParser, CutsTextsToTheirCapacities) {
  const std::string t0(40, 'a'), t4(300, 'e'), hint(300, 'h');
  auto e = ParseChangeLine("LOG OBJ=1 COLOR=1 FONTCOLOR=1 T0=\"" + t0 + "\" T1=\"\" T2=\"\" T3=\"\" T4=\"" +
                           t4 + "\" T5=\"\"");
  ASSERT_TRUE(e.entry.has_value());
  EXPECT_EQ(e.entry->texts[0].size(), 31u);
  EXPECT_EQ(e.entry->texts[4].size(), 255u);
  auto u = ParseChangeLine("UPDATE OBJ=1 HINT=\"" + hint + "\"");
  ASSERT_TRUE(u.hint.has_value());
  EXPECT_EQ(u.hint->size(), 255u);
  auto p = ParseChangeLine("PLAY WAVE=\"" + hint + "\"");
  ASSERT_TRUE(p.wave.has_value());
  EXPECT_EQ(p.wave->size(), 255u);
}

TEST(FeedParser, ClassifiesInTheServersOrder) {
  EXPECT_EQ(ParseChangeLine("ENDLOG").kind, Kind::End);
  EXPECT_EQ(ParseChangeLine("LOGUPDATE OBJ=1").kind, Kind::Log);
  EXPECT_EQ(ParseChangeLine("SPEAKERS CALL=1").kind, Kind::Speaker);
  EXPECT_EQ(ParseChangeLine(" END").kind, Kind::Other);
}

TEST(FeedApply, RepeatedStateChangesTheModelOnlyOnce) {
  TMapModel model;
  MAPOBJECT object;
  for (int i = 0; i < 4; ++i) model.ObjectList.Add(object);
  testing::TEventRecorder recorder(model);
  ApplyChangeEvent(ParseChangeLine("UPDATE OBJ=3 IDX=2"), recorder);
  ApplyChangeEvent(ParseChangeLine("UPDATE OBJ=3 IDX=2"), recorder);
  ApplyChangeEvent(ParseChangeLine("UPDATE OBJ=9 IDX=2"), recorder);
  EXPECT_EQ(recorder.Matching("State"),
            (std::vector<std::string>{"State 3 2 changed", "State 3 2 same", "State 9 2 -"}));
  EXPECT_EQ(model.ObjectList.Get(3)->Idx, 2);
}

TEST(FeedLog, MissingKeyLineReadsAsTheConnectionLogWritesIt) {
  EXPECT_EQ(Cp1251ToUtf8(MissingKeyLogLine(" OBJ=", "UPDATE IDX=2")),
            "Не получена строка  OBJ=... Получено:UPDATE IDX=2");
}

}  // namespace
}  // namespace vertamo

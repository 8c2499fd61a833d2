// Faults on purpose: each one, as the workstation's tests will ask for it.
#include <gtest/gtest.h>

#include <functional>

#include "codec/base64.h"
#include "codec/picture_checksum.h"
#include "codec/png_codec.h"
#include "sim/raw_client.h"
#include "sim/test_scenario.h"
#include "tools/orvex-sim/wire.h"

namespace {

using simtest::RawClient;

// A server with the faults given as "kind@step,..." texts.
std::unique_ptr<simtest::SimServer> WithFaults(std::initializer_list<const char*> faults) {
  auto options = simtest::QuietOptions();
  for (const char* params : faults) {
    std::string error;
    auto fault = orvexsim::ParseFault(params, &error);
    EXPECT_TRUE(fault.has_value()) << error;
    if (fault) options.faults.push_back(*fault);
  }
  auto sim = std::make_unique<simtest::SimServer>(simtest::MakeTestScenario(), options);
  EXPECT_TRUE(sim->started) << sim->error;
  return sim;
}

bool LoggedIn(RawClient& client, const orvexsim::Server& server) {
  return client.Connect(server.Port()) && client.Login("disp", "123") == "OK Full";
}

std::string Sum(const std::string& dataLine, size_t prefix) {
  std::string png;
  EXPECT_TRUE(vertamo::Base64Decode(dataLine.substr(prefix + 1, dataLine.size() - prefix - 2), png));
  return png;
}

struct OneLineCase {
  const char* fault;
  const char* request;
  int skip;              // reply lines to pass over before the one checked
  const char* expected;  // the line checked
};

// Faults that change one line of an answer.
TEST(SimFaults, ChangedLinesOfAnswers) {
  const OneLineCase cases[] = {
      {"wrong_record_number@getmap", "GETMAP", 1, "MAP=1 NAME=\"Район\" PICT=1"},
      {"wrong_record_number@getmapobj,value=2", "GETMAPOBJ", 3,
       "OBJ=3 MAP=0 X=50 Y=20 NAME=\"Датчик 1\" TYPE=2 IML=\"sensor\" PCOUNT=2 IDX=0 HINT=\"Шлейф\""},
      {"wrong_record_number@gettext", "GETTEXT", 1,
       "IDX=1 MAP=0 X=5 Y=40 W=50 H=14 CAPTION=\"В холл\" FONTNAME=\"Tahoma\" BOLD=1 ACTION=1 APARAM=1"},
      {"wrong_record_number@getpictmap", "GETPICTMAP MAP=0", 0, "MAP=1 W=40 H=30"},
      {"wrong_record_number@getpictiml", "GETPICTIML OBJ=2", 0, "OBJ=3 PCOUNT=2 W=6 H=6 TRANSPARENT=1"},
      {"wrong_record_number@mousedown", "MOUSEDOWN OBJ=2", 0, "OBJ=3 TYPE=2"},
      {"wrong_record_number@getchanges", "GETCHANGES", 0, "UPDATE OBJ=5 IDX=0"},
      {"missing_key@getmap", "GETMAP", 1, "MAP=0 NAME=\"Район\""},
      {"missing_key@getmapobj,value=1", "GETMAPOBJ", 2,
       "OBJ=1 MAP=0 X=30 Y=20 NAME=\"Лифт 2\" TYPE=1 IML=\"lift\" PCOUNT=4 IDX=1"},
      {"missing_key@gettext", "GETTEXT", 2, "IDX=1 MAP=1 X=1 Y=2 W=3 H=4 CAPTION=\"Холл\""},
      {"missing_key@gettext", "GETTEXT", 1,
       "IDX=0 MAP=0 X=5 Y=40 W=50 H=14 FONTNAME=\"Tahoma\" BOLD=1 ACTION=1 APARAM=1"},
      {"missing_key@getpictmap", "GETPICTMAP MAP=0", 0, "MAP=0 W=40"},
      {"missing_key@getpictiml", "GETPICTIML OBJ=3", 0, "OBJ=3 PCOUNT=2 W=10 H=10"},
      {"missing_key@getpictmapcs", "GETPICTMAPCS MAP=0", 0, "MAP=0 TRANSPARENT=0"},
      {"missing_key@getpictimlcs", "GETPICTIMLCS OBJ=3", 0, "OBJ=3 PCOUNT=2 TRANSPARENT=0"},
      {"missing_key@mousedown", "MOUSEDOWN OBJ=0", 0,
       "OBJ=0 TYPE=1 H323=1720 COM=2 ADR=5 PUL=1 PULTEXT=\"Начать разговор с кабиной\" PU=2"},
      {"missing_key@report", "MOUSEDOWN LIFTBREAK", 1,
       "VIEW T1=\"Лифт 2\" T2=\"ул. Ленина, 7\" T3=\"Неисправен\""},
      {"missing_key@getchanges", "GETCHANGES", 0,
       "LOG OBJ=0 COLOR=255 FONTCOLOR=0 T0=\"01.01.2000\" T1=\"00:00:00\" T2=\"?\" T3=\"?\" T4=\"?\""},
      {"update_without_obj@getchanges", "GETCHANGES", 0, "UPDATE IDX=1"},
      {"reload@getchanges", "GETCHANGES", 0, "RELOAD"},
      {"wrong_prefix@getmap", "GETMAP", 0, "WRONG MAPCOUNT=2"},
      {"wrong_prefix@getpictmapcs", "GETPICTMAPCS MAP=0", 0, "WRONG MAP=0 TRANSPARENT=0"},
      {"lower_case@getmap", "GETMAP", 8, "end"},
      {"lower_case@report", "MOUSEDOWN OHRALR", 1, "end"},
      {"extra_lines@mousedown,value=2", "MOUSEDOWN OBJ=2", 2, "EXTRA LINE 2"},
      {"extra_lines@getmap", "GETMAP", 9, "EXTRA LINE 1"},
  };
  for (const OneLineCase& c : cases) {
    SCOPED_TRACE(c.fault);
    auto sim = WithFaults({c.fault});
    RawClient client;
    ASSERT_TRUE(LoggedIn(client, sim->server));
    auto lines = client.Request(c.request, c.skip + 1);
    ASSERT_EQ(lines.size(), static_cast<size_t>(c.skip + 1));
    std::string line = lines.back();
    // Checksum lines end in a CS that the case does not spell out.
    if (line.find(" CS=") != std::string::npos && std::string(c.expected).find(" CS=") == std::string::npos)
      line = line.substr(0, line.find(" CS="));
    EXPECT_EQ(line, c.expected);
  }
}

TEST(SimFaults, LoginRefusedGarbledOrAnsweredInLowerCase) {
  {
    auto sim = WithFaults({"refuse_login"});
    RawClient client;
    ASSERT_TRUE(client.Connect(sim->server.Port()));
    EXPECT_EQ(client.Login("disp", "123"), "Wrong login");
    EXPECT_TRUE(client.ClosedByPeer());
  }
  {
    auto sim = WithFaults({"garble_prompt"});
    RawClient client;
    ASSERT_TRUE(client.Connect(sim->server.Port()));
    ASSERT_TRUE(client.Send("REMOTE"));
    EXPECT_EQ(client.Bytes(7), "\rLogin:");
  }
  {
    auto sim = WithFaults({"lower_case@login"});
    RawClient client;
    ASSERT_TRUE(client.Connect(sim->server.Port()));
    EXPECT_EQ(client.Login("disp", "123"), "ok Full");
  }
  {
    auto sim = WithFaults({"wrong_prefix@login"});
    RawClient client;
    ASSERT_TRUE(client.Connect(sim->server.Port()));
    EXPECT_EQ(client.Login("disp", "123"), "WRONG OK Full");
  }
}

TEST(SimFaults, DropsAtEachNamedStep) {
  struct Case {
    const char* fault;
    std::function<void(RawClient&)> before;  // what the client does up to the drop
  };
  const Case cases[] = {
      {"drop@greeting", [](RawClient& c) { c.Send("REMOTE"); }},
      {"drop@login",
       [](RawClient& c) { c.Send("REMOTE"), c.Bytes(6), c.Send("disp"), c.Bytes(9), c.Send("123"); }},
      {"drop@getmap", [](RawClient& c) { c.Login("disp", "123"), c.Send("GETMAP"); }},
      {"drop@getmapobj", [](RawClient& c) { c.Login("disp", "123"), c.Send("GETMAPOBJ"); }},
      {"drop@getpictmap", [](RawClient& c) { c.Login("disp", "123"), c.Send("GETPICTMAP MAP=0"); }},
      {"drop@getpictimlcs", [](RawClient& c) { c.Login("disp", "123"), c.Send("GETPICTIMLCS OBJ=0"); }},
      {"drop@gettext", [](RawClient& c) { c.Login("disp", "123"), c.Send("GETTEXT"); }},
      {"drop@getchanges,occurrence=1",
       [](RawClient& c) { c.Login("disp", "123"), c.Request("GETCHANGES", 1), c.Send("GETCHANGES"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    auto sim = WithFaults({c.fault});
    RawClient client;
    ASSERT_TRUE(client.Connect(sim->server.Port()));
    c.before(client);
    EXPECT_FALSE(client.Line(2000).has_value());
    EXPECT_TRUE(client.ClosedByPeer());
  }
}

TEST(SimFaults, DropOnlyTheFirstConnectionSoThatTheReconnectSucceeds) {
  auto sim = WithFaults({"drop@getmap,connection=0"});
  RawClient first, second;
  ASSERT_TRUE(LoggedIn(first, sim->server));
  first.Send("GETMAP");
  EXPECT_TRUE(first.ClosedByPeer());
  ASSERT_TRUE(LoggedIn(second, sim->server));
  second.Send("GETMAP");
  auto lines = second.ListUntilEnd();
  ASSERT_TRUE(lines.has_value());
  EXPECT_EQ(lines->front(), "MAPCOUNT=2");
}

TEST(SimFaults, DropsInTheMiddleOfPictureDataAndOfLists) {
  {
    auto sim = WithFaults({"drop_mid_data@getpictmap"});
    RawClient client;
    ASSERT_TRUE(LoggedIn(client, sim->server));
    ASSERT_TRUE(client.Send("GETPICTMAP MAP=0"));
    EXPECT_EQ(client.Line(), "MAP=0 W=40 H=30");
    EXPECT_FALSE(client.Line().has_value()) << "the DATA value never ends";
    EXPECT_TRUE(client.ClosedByPeer());
  }
  {
    auto sim = WithFaults({"drop_mid_data@getpictiml"});
    RawClient client;
    ASSERT_TRUE(LoggedIn(client, sim->server));
    ASSERT_TRUE(client.Send("GETPICTIML OBJ=0"));
    EXPECT_EQ(client.Line(), "OBJ=0 PCOUNT=4 W=8 H=8 TRANSPARENT=1");
    std::string partial;
    while (auto c = client.Byte(1000)) partial += *c;
    if (!partial.empty() && partial[0] == '\n') partial.erase(0, 1);  // the end of the line before
    EXPECT_EQ(partial.compare(0, 7, "DATA0=\""), 0);
    EXPECT_GT(partial.size(), 8u);
    EXPECT_EQ(partial.find('\r'), std::string::npos);
  }
  {
    auto sim = WithFaults({"drop_mid_reply@getmapobj"});
    RawClient client;
    ASSERT_TRUE(LoggedIn(client, sim->server));
    EXPECT_EQ(client.Request("GETMAPOBJ", 6).size(), 3u);  // half of the six lines
    EXPECT_TRUE(client.ClosedByPeer());
  }
}

TEST(SimFaults, SpoiledPicturesAndChecksums) {
  auto sim = WithFaults({"base64_wrong_length@getpictmap", "not_png@getpictiml", "bad_checksum@getpictmapcs",
                         "bad_checksum@getpictimlcs,occurrence=1"});
  RawClient client;
  ASSERT_TRUE(LoggedIn(client, sim->server));
  auto map = client.Request("GETPICTMAP MAP=0", 2);
  ASSERT_EQ(map.size(), 2u);
  EXPECT_NE((map[1].size() - 7) % 4, 0u) << "Base64 length not a multiple of 4";

  auto set = client.Request("GETPICTIML OBJ=2", 3);
  ASSERT_EQ(set.size(), 3u);
  vertamo::Image image;
  EXPECT_FALSE(vertamo::DecodePng(Sum(set[1], 6), image)) << "DATA0 is not a PNG";
  EXPECT_TRUE(vertamo::DecodePng(Sum(set[2], 6), image)) << "DATA1 is untouched";

  // The true sum of the map picture, from an unspoiled server.
  auto clean = WithFaults({});
  RawClient reference;
  ASSERT_TRUE(LoggedIn(reference, clean->server));
  auto good = reference.Request("GETPICTMAP MAP=0", 2);
  ASSERT_EQ(good.size(), 2u);
  const uint32_t sum = vertamo::PictureChecksum(Sum(good[1], 5));
  EXPECT_EQ(
      client.Request("GETPICTMAPCS MAP=0", 1),
      std::vector<std::string>{"MAP=0 TRANSPARENT=0 CS=\"" + vertamo::FormatPictureChecksum(sum + 1) + "\""});
  auto first = client.Request("GETPICTIMLCS OBJ=2", 1);
  auto second = client.Request("GETPICTIMLCS OBJ=2", 1);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  const uint32_t a = vertamo::ParsePictureChecksum(*orvexsim::FindQuotedKey(first[0], " CS="));
  const uint32_t b = vertamo::ParsePictureChecksum(*orvexsim::FindQuotedKey(second[0], " CS="));
  EXPECT_EQ(b, a + 1) << "only the second answer is spoiled";
}

TEST(SimFaults, OverlongLinesAndLfBeforeCr) {
  {
    auto sim = WithFaults({"overlong_line@getmap"});
    RawClient client;
    ASSERT_TRUE(LoggedIn(client, sim->server));
    auto lines = client.Request("GETMAP", 2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(3000, 'X'));
    EXPECT_EQ(lines[1], "MAPCOUNT=2");
  }
  {
    auto sim = WithFaults({"overlong_line@mousedown,value=2048"});
    RawClient client;
    ASSERT_TRUE(LoggedIn(client, sim->server));
    EXPECT_EQ(client.Request("MOUSEDOWN OBJ=2", 1)[0].size(), 2048u);
  }
  {
    auto sim = WithFaults({"lf_before_cr@mousedown"});
    RawClient client;
    ASSERT_TRUE(LoggedIn(client, sim->server));
    ASSERT_TRUE(client.Send("MOUSEDOWN OBJ=2"));
    // The LF that ended the login verdict, then the answer ended by LF CR.
    EXPECT_EQ(client.Bytes(15), "\nOBJ=2 TYPE=2\n\r");
  }
}

TEST(SimFaults, StallDripAndDelay) {
  {
    auto sim = WithFaults({"stall@getchanges,occurrence=1"});
    RawClient client;
    ASSERT_TRUE(LoggedIn(client, sim->server));
    EXPECT_EQ(client.Request("GETCHANGES", 1), std::vector<std::string>{"END"});
    ASSERT_TRUE(client.Send("GETCHANGES"));
    EXPECT_TRUE(client.Silent(300));
    ASSERT_TRUE(client.Send("GETMAP"));
    EXPECT_TRUE(client.Silent(300)) << "a stalled server answers nothing more";
    // What it was still sent is recorded.
    auto record = sim->server.Record();
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(record.back().line, "GETMAP");
  }
  {
    auto sim = WithFaults({"stall@greeting"});
    RawClient client;
    ASSERT_TRUE(client.Connect(sim->server.Port()));
    ASSERT_TRUE(client.Send("REMOTE"));
    EXPECT_TRUE(client.Silent(300));
  }
  {
    auto sim = WithFaults({"drip@report,delay=1", "delay@mousedown,delay=50", "drip@greeting,delay=1"});
    RawClient client;
    ASSERT_TRUE(LoggedIn(client, sim->server));
    ASSERT_TRUE(client.Send("MOUSEDOWN LIFTBREAK"));
    auto report = client.ListUntilEnd();
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->size(), 2u);
    EXPECT_EQ(client.Request("MOUSEDOWN OBJ=2", 1), std::vector<std::string>{"OBJ=2 TYPE=2"});
  }
}

TEST(SimFaults, FaultsCanBeChangedWhileServingAndComeFromTheScenario) {
  auto scenario = simtest::MakeTestScenario();
  orvexsim::Fault fault;
  fault.kind = orvexsim::FaultKind::WrongPrefix;
  fault.step = orvexsim::Step::Speak;
  scenario->faults.push_back(fault);
  simtest::SimServer sim(scenario);
  ASSERT_TRUE(sim.started) << sim.error;
  RawClient client;
  ASSERT_TRUE(LoggedIn(client, sim.server));
  EXPECT_EQ(client.Request("ENDSPEAK OBJ=0 PU=1", 1), std::vector<std::string>{"WRONG OK"});
  orvexsim::Fault reload;
  reload.kind = orvexsim::FaultKind::Reload;
  reload.step = orvexsim::Step::GetChanges;
  sim.server.AddFault(reload);
  EXPECT_EQ(client.Request("GETCHANGES", 2), (std::vector<std::string>{"RELOAD", "END"}));
  sim.server.ClearFaults();
  EXPECT_EQ(client.Request("GETCHANGES", 1), std::vector<std::string>{"END"});
  EXPECT_EQ(client.Request("ENDSPEAK OBJ=0 PU=1", 1), std::vector<std::string>{"OK"});
}

}  // namespace

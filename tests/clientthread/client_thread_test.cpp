// The connection thread against a scripted server: the connection cycle, the
// login, the pause, reconnection, the change feed, the requests, the log
// and, above all, stopping.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>

#include "clientthread/client_fixture.h"
#include "platform/folders.h"
#include "support/case_names.h"
#include "support/prompt.h"

namespace vertamo {
namespace {

using namespace std::chrono_literals;
using testing::ClientFixture;
using testing::U;

// Index of the first event that begins with prefix, from `from` on; -1 if none.
int Find(const std::vector<std::string>& events, std::string_view prefix, int from = 0) {
  for (size_t i = static_cast<size_t>(std::max(from, 0)); i < events.size(); ++i)
    if (events[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
  return -1;
}

class ClientThread : public ClientFixture {};

TEST_F(ClientThread, LogsInLoadsTheCatalogueAndPollsTheFeed) {
  StartServer();
  StartClient();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 2"));
  EXPECT_EQ(client->Stage(), kStagePolling);
  EXPECT_EQ(client->Attempts(), 1);

  const auto events = recorder.Events();
  const int clear = Find(events, "ClearMaps");
  const int build = Find(events, "BuildMaps");
  const int first = Find(events, "Status Обновление: 1");
  ASSERT_EQ(clear, 0);
  ASSERT_GT(build, clear);
  ASSERT_GT(first, build);
  EXPECT_EQ(events[static_cast<size_t>(build) + 1], "Status ");  // status cleared after the build
  EXPECT_EQ(recorder.Count("ClearMaps"), 1);
  EXPECT_EQ(Find(events, "Status Пауза..."), -1);  // no pause before the first greeting

  const auto received = server->Received();
  ASSERT_GE(received.size(), 7u);
  EXPECT_EQ(received[0], "REMOTE");
  EXPECT_EQ(received[1], "dispatcher");
  EXPECT_EQ(received[2], U("пароль"));
  EXPECT_EQ(received[3], "GETMAP");
  EXPECT_EQ(received[4], "GETMAPOBJ");
  EXPECT_EQ(received[5], "GETTEXT");
  EXPECT_EQ(received[6], "GETCHANGES");
  EXPECT_EQ(recorder.WrongThreadCalls(), 0);
}

TEST_F(ClientThread, StageTextsAreTheSystemsOwn) {
  const std::pair<int, const char*> table[] = {
      {0, ""},
      {1, "Ошибка в настройке сервера"},
      {2, "Подключение к серверу"},
      {3, "Ввод логина"},
      {4, "Ввод пароля"},
      {5, "Проверка авторизации"},
      {6, "Неправильный логин или пароль"},
      {7, ""},
      {8, "Получение карт"},
      {9, "Получение объектов карт"},
      {10, "Получение подложек"},
      {11, "Получение картинок"},
      {12, "Получение текстов"},
      {13, "OK"},
      {14, "Поток завершён..."},
      {15, ""},
      {-1, ""},
  };
  for (const auto& [stage, text] : table) EXPECT_EQ(TOrvexClientThread::StageText(stage), U(text)) << stage;
}

struct LoginCase {
  const char* reply;
  bool accepted;
  bool refused;
};

class LoginReplies : public ClientFixture, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(LoginReplies, DecideBetweenLoadRefusalAndRetry) {
  const LoginCase& c = GetParam();
  script.loginReply = c.reply;
  StartServer();
  StartClient();
  if (c.accepted) {
    EXPECT_TRUE(WaitStage(kStagePolling)) << c.reply;
  } else if (c.refused) {
    ASSERT_TRUE(WaitFinished()) << c.reply;
    EXPECT_EQ(client->Stage(), kStageRefused);
    EXPECT_EQ(recorder.Count("BuildMaps"), 0);
    EXPECT_NE(ClientLogText().find("Не прошёл авторизацию..."), std::string::npos);
    StopClient();
    EXPECT_EQ(client->Stage(), kStageRefused);  // a stop keeps the refusal's stage
  } else {
    // Neither OK nor a refusal: the next cycle, after the pause.
    ASSERT_TRUE(recorder.WaitFor("Status Пауза...")) << c.reply;
    EXPECT_GE(recorder.Count("ClearMaps"), 2);
    EXPECT_FALSE(client->Finished());
    EXPECT_NE(ClientLogText().find("Не получена строка OK..."), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Replies, LoginReplies,
                         ::testing::Values(LoginCase{"OK Full", true, false}, LoginCase{"ok", true, false},
                                           LoginCase{"OK", true, false},
                                           LoginCase{"Wrong login or password", false, true},
                                           LoginCase{"WRONG LOGIN", false, true},
                                           LoginCase{"Welcome", false, false}, LoginCase{"", false, false}),
                         [](const auto& info) { return testing::CaseName(info.param.reply); });

TEST_F(ClientThread, ALoginPromptPrecededByCrIsRefusedAndRetried) {
  script.loginPrompt = "\rLogin:";
  StartServer();
  StartClient();
  ASSERT_TRUE(recorder.WaitFor("Status Пауза..."));
  EXPECT_NE(ClientLogText().find("Не получена строка Login:..."), std::string::npos);
}

TEST_F(ClientThread, AServerDownFromTheStartCyclesWithoutPause) {
  timings.connectWaitMs = 20;  // 20 x 20 ms per cycle instead of 20 x 100 ms
  StartClient(testing::ClosedPort());
  ASSERT_TRUE(recorder.WaitCount("ClearMaps", 4));  // three whole cycles behind
  EXPECT_EQ(recorder.Count("Status Пауза..."), 0);
  EXPECT_EQ(client->Attempts(), 0);
  EXPECT_FALSE(client->Finished());
  StopClient();
  EXPECT_EQ(client->Stage(), kStageStopped);
  // Only "Подключение..." per cycle reaches the log.
  const std::string log = ClientLogText();
  size_t lines = 0, connecting = 0;
  for (size_t at = 0; (at = log.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  for (size_t at = 0; (at = log.find("Подключение...", at)) != std::string::npos; ++at) ++connecting;
  EXPECT_EQ(lines, connecting);
  EXPECT_GE(connecting, 3u);
}

TEST_F(ClientThread, AServerAddressThatCannotBeUsedEndsTheThreadWithStageOne) {
  client = std::make_unique<TOrvexClientThread>(
      [&] {
        SERVERINFO p = Profile(9900);
        SetProfileText(p.Ip, "");
        return p;
      }(),
      folder.folder(), recorder, main, &sound);
  client->Start();
  ASSERT_TRUE(WaitFinished());
  EXPECT_EQ(client->Stage(), kStageBadServer);
  EXPECT_NE(ClientLogText().find("Ошибка инициализации подключения"), std::string::npos);
  StopClient();
  EXPECT_EQ(client->Stage(), kStageBadServer);
}

TEST_F(ClientThread, ADroppedConnectionPausesClearsAndLoadsAgain) {
  StartServer();
  StartClient();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 1"));
  server->DropAll();
  ASSERT_TRUE(recorder.WaitCount("BuildMaps", 2));
  const auto events = recorder.Events();
  const int secondClear = Find(events, "ClearMaps", 1);
  ASSERT_GT(secondClear, Find(events, "BuildMaps"));
  EXPECT_EQ(events[static_cast<size_t>(secondClear) + 1], "Status Пауза...");
  EXPECT_EQ(events[static_cast<size_t>(secondClear) + 2], "Status ");
  EXPECT_EQ(client->Attempts(), 2);
  EXPECT_EQ(server->Accepted(), 2);
  // The counter starts again at 1 after the reload.
  ASSERT_TRUE(recorder.WaitCount("Status Обновление: 1", 2));
}

TEST_F(ClientThread, ReloadAndUpdateWithoutObjectStartANewCycle) {
  for (const char* line : {"RELOAD", "reload", "UPDATE IDX=2"}) {
    SCOPED_TRACE(line);
    recorder.Reset();
    script.PushChanges({"LIFTBREAK VALUE=1", line, "LIFTBREAK VALUE=2"});
    StartServer();
    StartClient();
    ASSERT_TRUE(recorder.WaitCount("BuildMaps", 2));
    EXPECT_EQ(recorder.Matching("CounterValue"), (std::vector<std::string>{"CounterValue LiftB 1"}));
    EXPECT_EQ(recorder.Count("Status Пауза..."), 1);
    StopClient();
    client.reset();
    server.reset();
  }
}

TEST_F(ClientThread, TheFeedAppliesEveryEventInOrder) {
  script.getmapobj = {"OBJCOUNT=2",
                      "OBJ=0 MAP=0 X=1 Y=2 NAME=\"a\" TYPE=1 IML=\"\" PCOUNT=0 IDX=0 HINT=\"h\"",
                      "OBJ=1 MAP=0 X=1 Y=2 NAME=\"b\" TYPE=1 IML=\"\" PCOUNT=0 IDX=0 HINT=\"h\""};
  script.PushChanges({});
  script.PushChanges({
      "UPDATE OBJ=1 IDX=3 HINT=\"x$y\" CAPTION=\"" + U("Лифт") + "\" CAPCOLOR=255",
      "UPDATE OBJ=1 IDX=3",
      "UPDATE OBJ=0 CAPCOLOR=-1",
      "LOG OBJ=1 COLOR=16777215 FONTCOLOR=0 T0=\"t0\" T1=\"t1\" T2=\"t2\" T3=\"t3\" T4=\"t4\" T5=\"t5\"",
      "LOG OBJ=1 COLOR=1 FONTCOLOR=0 T0=\"no t5\" T1=\"\" T2=\"\" T3=\"\" T4=\"\"",
      "PLAY WAVE=\"alarm.wav\"",
      "LIFTBREAK VALUE=4",
      "OHRALR VALUE=5",
      "PUERR VALUE=6",
      "SPEAKER CALL=1",
      "SOMETHING ELSE",
  });
  StartServer();
  StartClient();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 3"));
  const auto events = recorder.Events();
  const int second = Find(events, "Status Обновление: 2");
  const int third = Find(events, "Status Обновление: 3");
  ASSERT_GT(second, 0);
  const std::vector<std::string> applied(events.begin() + second + 1, events.begin() + third);
  EXPECT_EQ(applied, (std::vector<std::string>{
                         "State 1 3 changed",
                         "Hint 1 x$y",
                         "Caption 1 Лифт",
                         "CapColor 1 255",
                         "State 1 3 same",
                         "Log 1 16777215 0 [t0] [t1] [t2] [t3] [t4] [t5]",
                         "CounterValue LiftB 4",
                         "CounterValue OhrAlr 5",
                         "CounterValue PuErr 6",
                         "SpeakerCall 1",
                     }));
  EXPECT_EQ(sound.Plays(), (std::vector<std::string>{"alarm.wav"}));
  EXPECT_EQ(model.ObjectList.Get(1)->Hint, "x\ny");
  EXPECT_EQ(Cp1251ToUtf8(model.ObjectList.Get(1)->Caption.str()), "Лифт");
  EXPECT_EQ(recorder.WrongThreadCalls(), 0);
}

TEST_F(ClientThread, RequestsAreAnsweredWhilePolling) {
  script.SetReply("MOUSEDOWN OBJ=1", {"OBJ=1 IP=\"10.0.0.5\""});
  script.SetReply("MOUSEDOWN LIFTBREAK", {"VIEWHEADER C0=\"a\"", "VIEW C0=\"1\"", "VIEW C0=\"2\"", "END"});
  script.SetReply("EMPTY", {""});
  StartServer();
  StartClient();
  ASSERT_TRUE(WaitStage(kStagePolling));
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(SendCommand("MOUSEDOWN OBJ=1"));
    EXPECT_EQ(answer.line, "OBJ=1 IP=\"10.0.0.5\"");
    EXPECT_TRUE(SendListCommand("MOUSEDOWN LIFTBREAK"));
    EXPECT_EQ(answer.lines, (std::vector<std::string>{"VIEWHEADER C0=\"a\"", "VIEW C0=\"1\"", "VIEW C0=\"2\""}));
  }
  // An empty reply line counts as no answer.
  EXPECT_FALSE(SendCommand("EMPTY"));
  EXPECT_FALSE(SendCommand(""));
  // The feed goes on.
  const int n = script.ChangesServed();
  EXPECT_TRUE(server->WaitReceived("GETCHANGES", n + 1));
}

// Requests asked in one go: they reach the server in the order asked, and
// each answer reaches the handler of its own request, tagged with it; an
// answer whose requester has gone reaches nobody.
TEST_F(ClientThread, RequestsGoOutInTheOrderAskedAndEachAnswerFindsItsRequester) {
  for (const char* line : {"A", "B", "C", "D"}) script.SetReply(line, {std::string("answer ") + line, "END"});
  StartServer();
  StartClient();
  ASSERT_TRUE(WaitStage(kStagePolling));
  struct Got {
    std::string handler;
    TRequestAnswer answer;
  };
  auto got = std::make_shared<std::promise<std::vector<Got>>>();
  auto gathered = std::make_shared<std::vector<Got>>();
  auto gone = std::make_shared<int>(0);
  main.Run([&] {
    const auto handler = [gathered, got](std::string name) {
      return [gathered, got, name](const TRequestAnswer& a) {
        gathered->push_back({name, a});
        if (name == "D") got->set_value(*gathered);
      };
    };
    client->SendCommand("A", requester, handler("A"));
    client->SendListCommand("B", requester, handler("B"));
    client->SendCommand("C", gone, handler("C"));  // its requester goes at once
    client->SendCommand("D", requester, handler("D"));
    gone.reset();
    return 0;
  });
  auto future = got->get_future();
  ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
  const auto answers = future.get();
  ASSERT_EQ(answers.size(), 3u);
  const std::pair<const char*, const char*> expected[] = {{"A", "answer A"}, {"B", ""}, {"D", "answer D"}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(answers[i].handler, expected[i].first);
    EXPECT_EQ(answers[i].answer.request, expected[i].first);
    EXPECT_TRUE(answers[i].answer.answered);
    EXPECT_EQ(answers[i].answer.line, expected[i].second);
  }
  EXPECT_EQ(answers[1].answer.lines, std::vector<std::string>{"answer B"});
  EXPECT_LT(answers[0].answer.id, answers[2].answer.id);
  std::vector<std::string> wire;
  for (const auto& line : server->Received())
    if (line.size() == 1) wire.push_back(line);
  EXPECT_EQ(wire, (std::vector<std::string>{"A", "B", "C", "D"}));
}

// The answer "none" comes when the wait is over, even while the worker is
// still stuck reading the slow reply; a request whose wait ran out before the
// worker got to it never reaches the server; a late reply never becomes the
// answer of a later request.
TEST_F(ClientThread, ARequestWithoutAnswerTimesOutOnTimeAndALateOneIsNotSent) {
  timings.commandWaitMs = 300;
  timings.listCommandWaitMs = 300;
  timings.readTimeoutMs = 3000;  // the worker waits this long for an answer that is slow to come
  auto slowAnswered = std::make_shared<std::atomic<bool>>(false);
  script.hook = [slowAnswered](testing::TFakeConnection& c, const std::string& line) {
    if (line != "SLOW") return false;
    std::this_thread::sleep_for(900ms);
    *slowAnswered = true;
    c.SendLine("slow answer");
    return true;
  };
  script.SetReply("NEXT", {"next answer"});
  script.SetReply("ENDSPEAK OBJ=1", {"OK"});
  StartServer();
  StartClient();
  ASSERT_TRUE(WaitStage(kStagePolling));
  auto late = std::make_shared<std::promise<bool>>();
  main.Run([&] {
    client->SendCommand("SLOW", requester, [slowAnswered](const TRequestAnswer& a) {
      EXPECT_FALSE(a.answered);
      EXPECT_FALSE(*slowAnswered) << "the time-out waited for the worker";
    });
    client->SendCommand("LATE", requester, [late](const TRequestAnswer& a) { late->set_value(a.answered); });
    client->TellServer("ENDSPEAK OBJ=1");  // the server must hear it, however late
    return 0;
  });
  auto lateAnswer = late->get_future();
  ASSERT_EQ(lateAnswer.wait_for(10s), std::future_status::ready);  // its 300 ms, well within
  EXPECT_FALSE(lateAnswer.get());
  main.Run([&] {
    client->SetRequestWaits(8000, 8000);
    return 0;
  });
  EXPECT_TRUE(SendCommand("NEXT"));
  EXPECT_EQ(answer.line, "next answer");
  EXPECT_EQ(server->CountReceived("LATE"), 0);
  EXPECT_EQ(server->CountReceived("ENDSPEAK OBJ=1"), 1) << "sent before NEXT, after its second";
  // Requests the server never answers.
  main.Run([&] {
    client->SetRequestWaits(300, 300);
    return 0;
  });
  EXPECT_FALSE(SendCommand("MOUSEDOWN OBJ=99"));
  EXPECT_FALSE(SendListCommand("MOUSEDOWN PUERR"));
}

TEST_F(ClientThread, AListReplyEndsOnlyAtAnUpperCaseEnd) {
  timings.readTimeoutMs = 500;
  script.SetReply("LIST", {"a", "end", "b"});  // then silence: the read times out
  StartServer();
  StartClient();
  ASSERT_TRUE(WaitStage(kStagePolling));
  EXPECT_TRUE(SendListCommand("LIST"));
  EXPECT_EQ(answer.lines, (std::vector<std::string>{"a", "end", "b"}));
}

TEST_F(ClientThread, AnEndlessListReplyIsCutAtItsBound) {
  timings.listCommandWaitMs = 10000;
  debug = false;  // a log line per received line would only slow the test down
  const size_t n = TOrvexClientThread::kMaxReplyLines + 5;
  script.hook = [n](testing::TFakeConnection& c, const std::string& line) {
    if (line != "HUGE") return false;
    std::string text;
    for (size_t i = 0; i < n; ++i) text += "VIEW\r\n";
    c.Send(text + "END\r\n");
    return true;
  };
  StartServer();
  StartClient();
  ASSERT_TRUE(WaitStage(kStagePolling));
  EXPECT_TRUE(SendListCommand("HUGE"));
  EXPECT_EQ(answer.lines.size(), TOrvexClientThread::kMaxReplyLines);
  // The connection goes on: the next exchange starts from a clean input.
  const int served = script.ChangesServed();
  EXPECT_TRUE(recorder.WaitFor("Status Обновление: " + std::to_string(served + 1)));
}

TEST_F(ClientThread, RequestsWhileLoadingTimeOut) {
  timings.commandWaitMs = 300;
  timings.listCommandWaitMs = 300;
  script.stallAt = "GETMAPOBJ";
  StartServer();
  StartClient();
  ASSERT_TRUE(WaitStage(kStageObjects));
  EXPECT_FALSE(SendCommand("MOUSEDOWN OBJ=1"));
  EXPECT_FALSE(SendListCommand("MOUSEDOWN LIFTBREAK"));
  EXPECT_EQ(server->CountReceived("MOUSEDOWN"), 0);
}

// The changes of one reply reach the main thread as one task, applied in
// order in one go; PLAY goes to the sound output instead.
TEST_F(ClientThread, EachExchangeIsOnePostToTheMainThread) {
  testing::TPostCounter posts{main};
  timings.pollPeriodMs = 50;
  for (int i = 0; i < 5; ++i)
    script.PushChanges({"LIFTBREAK VALUE=" + std::to_string(i), "PLAY WAVE=\"a.wav\"", "UPDATE OBJ=0 IDX=1",
                        "SPEAKER CALL=1"});
  StartServer();
  client =
      std::make_unique<TOrvexClientThread>(Profile(server->port()), folder.folder(), recorder, posts, &sound);
  client->SetTimings(timings);
  client->Start();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 1"));
  const long before = main.Run([&] { return posts.Posted(); });
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 8"));
  const long after = main.Run([&] { return posts.Posted(); });
  // Exchanges 2 to 8 were posted in between (the 9th may have been too).
  EXPECT_GE(after - before, 7);
  EXPECT_LE(after - before, 8);
  const auto events = recorder.Events();
  for (int i = 0; i < 5; ++i) {
    const int at = Find(events, "Status Обновление: " + std::to_string(i + 1));
    ASSERT_GE(at, 0);
    EXPECT_EQ(std::vector<std::string>(events.begin() + at + 1, events.begin() + at + 4),
              (std::vector<std::string>{"CounterValue LiftB " + std::to_string(i), "State 0 1 -", "SpeakerCall 1"}));
  }
  EXPECT_EQ(sound.Plays().size(), 5u);
}

TEST_F(ClientThread, WithoutDebugTheLogHoldsOnlyTheAlwaysWrittenLines) {
  debug = false;
  script.getmap = {"MAPCOUNT=1", "MAP=0 NAME=\"m\" PICT=0", "HELLO THERE", "END"};
  script.getmapobj = {"OBJCOUNT=1",
                      "OBJ=0 MAP=0 X=1 Y=2 NAME=\"a\" TYPE=1 IML=\"lift\" PCOUNT=2 IDX=0 HINT=\"h\""};
  testing::ScriptPictures(script, 0, 0, 2);
  StartServer();
  StartClient();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 1"));
  std::vector<std::string> messages;
  const std::string log = ClientLogText();
  for (size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
    messages.push_back(log.substr(at + 16, end - at - 16));  // after "dd.mm hh:nn:ss  "
  EXPECT_EQ(messages, (std::vector<std::string>{"Неизвестные данные=HELLO THERE", ">>> Получение DATA0=",
                                                "<<< OK", ">>> Получение DATA1=", "<<< OK"}));
}

TEST_F(ClientThread, WithDebugTheLogTellsTheWholeConversation) {
  StartServer();
  StartClient();
  ASSERT_TRUE(recorder.WaitFor("Status Обновление: 1"));
  const std::string log = ClientLogText();
  for (const char* line :
       {"Подключение...", "Послано: REMOTE", "Получено: Login:", "Послано: dispatcher",
        "Получено: Password:", "Послано: ****", "Получено: OK Full", "Послано: GETMAP", "Послано: GETCHANGES"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  // The password itself never reaches the log, which only its owner may read.
  EXPECT_EQ(log.find("пароль"), std::string::npos);
  EXPECT_EQ(FileMode(folder.file("Client.log")), 0600);
}

// ---- Stopping ---------------------------------------------------------------

struct StopCase {
  const char* name;
  const char* stallAt;  // where the server stops answering; "" for none
  int stage;            // the stage to reach before the stop
  bool closedPort = false;
  bool afterDrop = false;  // stop during the pause of the second cycle
};

class StopDuring : public ClientFixture, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopDuring, EndsPromptlyAndNeverHangs) {
  const StopCase& c = GetParam();
  timings.pauseMs = 3000;
  script.stallAt = c.stallAt;
  script.getmap = {"MAPCOUNT=1", "MAP=0 NAME=\"m\" PICT=1", "END"};
  script.getmapobj = {"OBJCOUNT=1",
                      "OBJ=0 MAP=0 X=1 Y=2 NAME=\"a\" TYPE=1 IML=\"lift\" PCOUNT=2 IDX=0 HINT=\"h\""};
  testing::ScriptPictures(script, 0, 0, 2);
  if (!c.closedPort) StartServer();
  for (int round = 0; round < 5; ++round) {
    recorder.Reset();
    StartClient(c.closedPort ? testing::ClosedPort() : server->port());
    if (c.afterDrop) {
      ASSERT_TRUE(WaitStage(kStagePolling));
      server->DropAll();
      ASSERT_TRUE(recorder.WaitFor("Status Пауза..."));
    } else {
      ASSERT_TRUE(WaitStage(c.stage)) << c.name << " stage " << client->Stage() << "\n" << ClientLogText();
      // Stalled on a request: stop while the worker waits for its answer.
      if (std::string_view(c.stallAt).substr(0, 3) == "GET") {
        ASSERT_TRUE(server->WaitReceived(c.stallAt, 1));
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(round * 7));
    ASSERT_LT(testing::MillisecondsOf([&] { StopClient(); }), testing::kPromptMs)
        << c.name << " round " << round;
    EXPECT_TRUE(client->Finished());
    EXPECT_EQ(client->Stage(), kStageStopped);
    client.reset();
  }
}

INSTANTIATE_TEST_SUITE_P(EveryStage, StopDuring,
                         ::testing::Values(StopCase{"connecting", "", kStageConnecting, true},
                                           StopCase{"login prompt", "REMOTE", kStageLogin},
                                           StopCase{"password prompt", "LOGIN", kStagePassword},
                                           StopCase{"authorisation", "PASSWORD", kStageAuthorising},
                                           StopCase{"maps", "GETMAP", kStageMaps},
                                           StopCase{"objects", "GETMAPOBJ", kStageObjects},
                                           StopCase{"backgrounds", "GETPICTMAP", kStageBackgrounds},
                                           StopCase{"pictures", "GETPICTIML", kStagePictures},
                                           StopCase{"texts", "GETTEXT", kStageTexts},
                                           StopCase{"polling", "", kStagePolling},
                                           StopCase{"feed exchange", "GETCHANGES", kStagePolling},
                                           StopCase{"pause", "", kStageCycle, false, true}),
                         [](const auto& info) { return testing::CaseName(info.param.name); });

// F5 or the close stops the thread while it has routines, batches and
// answers on their way: nothing of them is applied after the stop, the stop
// ends within testing::kPromptMs, and a request asked just before the stop
// still goes out when the thread was polling.
TEST_F(ClientThread, AStopAppliesNothingOfWhatWasOnItsWay) {
  script.SetReply("ENDSPEAK OBJ=0 PU=1", {"OK"});
  timings.pollPeriodMs = 1;
  for (int i = 0; i < 400; ++i)
    script.PushChanges({"LIFTBREAK VALUE=" + std::to_string(i), "UPDATE OBJ=0 IDX=1"});
  StartServer();
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    recorder.Reset();
    client =
        std::make_unique<TOrvexClientThread>(Profile(server->port()), folder.folder(), recorder, main, &sound);
    client->SetTimings(timings);
    const bool polling = round % 2 == 1;
    if (polling) {
      client->Start();
      ASSERT_TRUE(recorder.WaitFor("Status Обновление: 1"));
    }
    auto answered = std::make_shared<std::atomic<int>>(0);
    const size_t seen = main.Run([&] {
      if (!polling) client->Start();  // its first routines are posted at once ...
      std::this_thread::sleep_for(std::chrono::microseconds(300 * round));
      client->SendCommand("ENDSPEAK OBJ=0 PU=1", requester,
                          [answered](const TRequestAnswer& a) { *answered += a.answered ? 1 : 0; });
      const auto stopTime = testing::MillisecondsOf([&] { client->Stop(); });  // ... and never run
      EXPECT_LT(stopTime, testing::kPromptMs);
      return recorder.Events().size();
    });
    EXPECT_TRUE(client->Finished());
    EXPECT_EQ(client->Stage(), kStageStopped);
    main.Run([] { return 0; });  // everything posted before has had its turn
    EXPECT_EQ(recorder.Events().size(), seen);
    if (!polling) EXPECT_EQ(seen, 0u);
    EXPECT_EQ(*answered, 0);
    client.reset();
  }
  // Each stop while polling still told the server.
  EXPECT_TRUE(server->WaitReceived("ENDSPEAK OBJ=0 PU=1", 10));
}

TEST_F(ClientThread, StoppingAThreadThatNeverStartedReturnsAtOnceAndDoesNothing) {
  client = std::make_unique<TOrvexClientThread>(Profile(1), folder.folder(), recorder, main, &sound);
  EXPECT_LT(testing::MillisecondsOf([&] { StopClient(); }), testing::kPromptMs);
  EXPECT_EQ(client->Stage(), kStageCycle);
  client.reset();
  EXPECT_TRUE(recorder.Events().empty());
  EXPECT_FALSE(std::filesystem::exists(folder.file("Client.log")));  // debug on, yet not a line
}

TEST_F(ClientThread, TwoClientsRunSideBySide) {
  StartServer();
  testing::TempFolder otherFolder;
  TMapModel otherModel;
  testing::TEventRecorder otherRecorder(otherModel);
  TOrvexClientThread other(Profile(server->port()), otherFolder.folder(), otherRecorder, main, nullptr);
  other.Start();
  StartClient();
  EXPECT_TRUE(recorder.WaitFor("Status Обновление: 2"));
  EXPECT_TRUE(otherRecorder.WaitFor("Status Обновление: 2"));
  main.Run([&] {
    other.Stop();
    return 0;
  });
  EXPECT_EQ(server->Accepted(), 2);
}

}  // namespace
}  // namespace vertamo

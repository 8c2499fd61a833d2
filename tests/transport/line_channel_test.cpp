#include "serverlink/line_channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/cp1251.h"
#include "support/prompt.h"
#include "transport/test_peer.h"

namespace vertamo {
namespace {

using testing::TestListener;
using testing::TestPeer;

// A channel connected to a test peer on a loopback port, with its log lines
// collected as UTF-8.
struct Connection {
  TestListener listener;
  TStopSignal stop;
  std::vector<std::string> log;
  TLineChannel channel{stop, [this](std::string_view m) { log.push_back(Cp1251ToUtf8(m)); }, true};
  TestPeer peer;

  Connection() {
    channel.SetReadTimeout(5000);
    if (channel.Link().ConnectAsync("127.0.0.1", listener.port()) && channel.Link().WaitConnected(5000))
      peer = TestPeer(listener.Accept());
  }
  bool ok() const { return peer.valid() && channel.Link().Connected(); }

  // Sends cp1251 bytes given as UTF-8 text.
  bool SendUtf8(std::string_view utf8) { return peer.Send(Utf8ToCp1251(utf8)); }

  // Waits until at least `count` bytes wait on the client's socket.
  void WaitArrived(size_t count) {
    while (channel.Link().Available() < count)
      if (!channel.Link().WaitSocket(true, false, false, 5000)) break;
  }

  // Lines ReadLine gives until it first fails.
  std::vector<std::string> ReadAllLines() {
    std::vector<std::string> lines;
    while (channel.ReadLine()) lines.emplace_back(channel.Line());
    return lines;
  }
};

// Runs `action` on another thread after a short pause, so that it happens
// while the channel waits.
class Later {
 public:
  explicit Later(std::function<void()> action)
      : thread_([action = std::move(action)] {
          std::this_thread::sleep_for(std::chrono::milliseconds(30));
          action();
        }) {}
  ~Later() { thread_.join(); }

 private:
  std::thread thread_;
};

std::string Repeat(size_t n, char c) { return std::string(n, c); }

// ---------------------------------------------------------------- lines

TEST(LineChannel, ReadLineSplitsAtCrAndDropsEveryLf) {
  const struct {
    std::string input;
    std::vector<std::string> lines;  // read before the first failure
  } cases[] = {
      {"ABC\n\r", {"ABC"}},
      {"\n\r\nX\r", {"", "X"}},
      {"A\r\nB\r\n", {"A", "B"}},
      {"A\nB\r", {"AB"}},
      {"\r\r", {"", ""}},
      {"no end", {}},  // the stream ends inside the line
      {std::string("a\0b\r", 4), {std::string("a\0b", 3)}},
      {Utf8ToCp1251("Лифт №3\r"), {Utf8ToCp1251("Лифт №3")}},
      {Repeat(2046, 'x') + "\r", {Repeat(2046, 'x')}},
      {Repeat(2047, 'x') + "\r", {}},  // over-long
  };
  for (const auto& c : cases) {
    Connection conn;
    ASSERT_TRUE(conn.ok());
    ASSERT_TRUE(conn.peer.Send(c.input));
    conn.peer.CloseGracefully();
    EXPECT_EQ(conn.ReadAllLines(), c.lines) << Cp1251ToUtf8(c.input.substr(0, 40));
  }
}

TEST(LineChannel, OverLongLineFailsAndLeavesTheRestUnread) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  ASSERT_TRUE(conn.peer.Send(Repeat(2047, 'x') + "YZ\r"));
  EXPECT_FALSE(conn.channel.ReadLine());
  EXPECT_EQ(conn.channel.Line().size(), 2047u);
  ASSERT_TRUE(conn.channel.ReadLine());
  EXPECT_EQ(conn.channel.Line(), "YZ");
  EXPECT_TRUE(conn.channel.Link().Connected());
}

TEST(LineChannel, ReadLineLogsEachLine) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  ASSERT_TRUE(conn.SendUtf8("OK Full\rКарта\r"));
  ASSERT_TRUE(conn.channel.ReadLine());
  ASSERT_TRUE(conn.channel.ReadLine());
  EXPECT_EQ(conn.log, (std::vector<std::string>{"Получено: OK Full", "Получено: Карта"}));
}

TEST(LineChannel, LinesLongerThanOneReceiveBlockArriveWhole) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "UPDATE OBJ=" + std::to_string(i) + " IDX=2\r\n";  // ~75 KB
  Later sender([&] { conn.peer.Send(many); });
  for (int i = 0; i < 3000; ++i) {
    ASSERT_TRUE(conn.channel.ReadLine()) << i;
    ASSERT_EQ(conn.channel.Line(), "UPDATE OBJ=" + std::to_string(i) + " IDX=2");
  }
}

// ---------------------------------------------------------------- prompts and prefixes

TEST(LineChannel, ExpectPromptMatchesCharacterByCharacter) {
  const struct {
    const char* input;
    bool matched;
    std::vector<std::string> log;
  } cases[] = {
      {"\nLogin:", true, {}},
      {"L\no\ngin:", true, {}},
      {"Logon:", false, {"Не принята строка: Login: получено Log"}},
      {"Lo\r\ngin:", false, {"Не принята строка: Login: получено Lo"}},  // CR is a mismatch
      {"X", false, {"Не принята строка: Login: получено "}},
      {"Log", false, {"Корректное отключение  по иннициативе сервера..."}},  // the stream ends
  };
  for (const auto& c : cases) {
    Connection conn;
    ASSERT_TRUE(conn.ok());
    ASSERT_TRUE(conn.peer.Send(c.input));
    conn.peer.CloseGracefully();
    EXPECT_EQ(conn.channel.ExpectPrompt("Login:"), c.matched) << c.input;
    EXPECT_EQ(conn.log, c.log) << c.input;
  }
}

TEST(LineChannel, ExpectPromptLeavesWhatFollowsUnread) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  ASSERT_TRUE(conn.peer.Send("Password:rest\r"));
  ASSERT_TRUE(conn.channel.ExpectPrompt("Password:"));
  ASSERT_TRUE(conn.channel.ReadLine());
  EXPECT_EQ(conn.channel.Line(), "rest");
}

TEST(LineChannel, ExpectLineChecksThePrefixIgnoringCase) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  ASSERT_TRUE(conn.peer.Send("ok Full\rNO\r"));
  EXPECT_TRUE(conn.channel.ExpectLine("OK"));
  EXPECT_EQ(conn.channel.Line(), "ok Full");
  EXPECT_FALSE(conn.channel.ExpectLine("OK"));
  EXPECT_EQ(conn.channel.Line(), "NO");
  conn.peer.CloseGracefully();
  EXPECT_FALSE(conn.channel.ExpectLine("OK"));
  EXPECT_EQ(conn.log, (std::vector<std::string>{
                          "Получено: ok Full",
                          "Получено: NO",
                          "Не получена строка OK...Получено:NO",
                          "Корректное отключение  по иннициативе сервера...",
                          "Не получена строка OK...",
                      }));
}

TEST(LineChannel, KeyReadersLogMissingKeysUnlessOptional) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  ASSERT_TRUE(conn.SendUtf8("OBJ=12 MAP=-3 NAME=\"Лифт\"\r"));
  ASSERT_TRUE(conn.channel.ExpectLine("OBJ="));
  conn.log.clear();
  const std::string line = "OBJ=12 MAP=-3 NAME=\"Лифт\"";

  int n = 0;
  EXPECT_TRUE(conn.channel.LineInt(" MAP=", n));
  EXPECT_EQ(n, -3);
  EXPECT_TRUE(conn.channel.LineIntOpt("OBJ=", n));
  EXPECT_EQ(n, 12);
  std::string s;
  EXPECT_TRUE(conn.channel.LineStr(" NAME=", 64, s));
  EXPECT_EQ(Cp1251ToUtf8(s), "Лифт");
  EXPECT_TRUE(conn.channel.LineStrOpt(" NAME=", 3, s));
  EXPECT_EQ(Cp1251ToUtf8(s), "Ли");
  EXPECT_TRUE(conn.log.empty());

  EXPECT_FALSE(conn.channel.LineIntOpt(" X=", n));
  EXPECT_FALSE(conn.channel.LineStrOpt(" CAP=", 64, s));
  EXPECT_TRUE(conn.log.empty());

  EXPECT_FALSE(conn.channel.LineInt(" X=", n));
  EXPECT_EQ(n, 0);
  EXPECT_FALSE(conn.channel.LineStr(" CAP=", 64, s));
  EXPECT_FALSE(conn.channel.LineStr(" MAP=", 64, s));  // present, but not quoted
  EXPECT_EQ(s, "");
  EXPECT_EQ(conn.log, (std::vector<std::string>{
                          "Не получена строка  X=... Получено:" + line,
                          "Не получена строка  CAP=...Получено:" + line,
                          "Не получена строка  MAP=...Получено:" + line,
                      }));
}

// ---------------------------------------------------------------- quoted values

// Every byte except the quote, CR and LF, over and over.
std::string Value(size_t n) {
  std::string v;
  for (size_t i = 0; v.size() < n; ++i) {
    const char c = static_cast<char>(i % 256);
    if (c != '"' && c != '\r' && c != '\n') v += c;
  }
  return v;
}

TEST(LineChannel, QuotedValueOf5000CharactersArrivesIntact) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  const std::string value = Value(5000);
  ASSERT_TRUE(conn.peer.Send("DATA=\"" + value + "\"dropped \"too\"\rNEXT\r"));
  std::string text;
  ASSERT_TRUE(conn.channel.ReadQuotedData("DATA=", text));
  EXPECT_EQ(text, value);
  ASSERT_TRUE(conn.channel.ReadLine());
  EXPECT_EQ(conn.channel.Line(), "NEXT");
  // The prefix is logged; the value is not.
  EXPECT_EQ(conn.log, (std::vector<std::string>{"Получено: DATA=...", "Получено: NEXT"}));
}

TEST(LineChannel, QuotedValueSpanningManyReceiveBlocksDropsLf) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  const std::string value = Value(200000);
  std::string wire = "DATA0=\"";
  for (size_t i = 0; i < value.size(); i += 76) wire += value.substr(i, 76) + "\n";
  wire += "\"\r\n";
  // Written in odd pieces from another thread while the channel reads.
  Later sender([&] {
    for (size_t i = 0; i < wire.size(); i += 7777) conn.peer.Send(std::string_view(wire).substr(i, 7777));
  });
  std::string text;
  ASSERT_TRUE(conn.channel.ReadQuotedData("DATA0=", text));
  EXPECT_EQ(text.size(), value.size());
  EXPECT_TRUE(text == value);
}

TEST(LineChannel, QuotedValueCases) {
  const struct {
    std::string input;
    bool ok;
    std::string text;
  } cases[] = {
      {"DATA=\"\"\r", true, ""},
      {"DATA=\"abc\"\r", true, "abc"},
      {"\nDATA=\"a\nb\"\n\r", true, "ab"},
      {"DATA=\"abc\r", true, "abc"},  // no closing quote: the line end ends the value
      {"DATA=abc\"\r", false, ""},    // no opening quote
      {"DATA=\n\"abc\"\r", false, ""},
      {"DATA=\"abc", false, ""},       // the stream ends inside the value
      {"DATA=\"abc\"xyz", false, ""},  // ... or before the line end
      {"PICT=\"abc\"\r", false, ""},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    Connection conn;
    ASSERT_TRUE(conn.ok());
    ASSERT_TRUE(conn.peer.Send(c.input));
    conn.peer.CloseGracefully();
    std::string text = "old";
    EXPECT_EQ(conn.channel.ReadQuotedData("DATA=", text), c.ok) << c.input;
    EXPECT_EQ(text, c.text) << c.input;
  }
}

TEST(LineChannel, QuotedValueIsBounded) {
  TStopSignal stop;
  EXPECT_EQ(TLineChannel(stop).MaxQuotedValue(), kMaxQuotedValueBytes);
  const struct {
    std::string input;
    bool ok;
  } cases[] = {
      {"DATA=\"" + Repeat(1000, 'A') + "\"\r", true},
      {"DATA=\"" + Repeat(500, 'A') + "\n" + Repeat(500, 'A') + "\"\r", true},  // LF does not count
      {"DATA=\"" + Repeat(1000, 'A') + "\r", true},
      {"DATA=\"" + Repeat(1001, 'A') + "\"\r", false},
      {"DATA=\"" + Repeat(1001, 'A') + "\r", false},
      {"DATA=\"A\"" + Repeat(1001, 'z') + "\r", false},  // endless junk after the value
  };
  for (const auto& c : cases) {
    Connection conn;
    ASSERT_TRUE(conn.ok());
    conn.channel.SetMaxQuotedValue(1000);
    ASSERT_TRUE(conn.peer.Send(c.input + "NEXT\r"));
    std::string text;
    EXPECT_EQ(conn.channel.ReadQuotedData("DATA=", text), c.ok) << c.input.size();
    if (!c.ok) {
      EXPECT_TRUE(text.empty());
    }
  }
}

TEST(LineChannel, EndlessQuotedValueFailsAtTheBoundWhileTheServerStillSends) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  conn.channel.SetMaxQuotedValue(1 << 20);
  std::atomic<bool> done{false};
  std::thread flood([&] {
    conn.peer.Send("DATA=\"");
    const std::string block(65536, 'Q');
    while (!done.load() && conn.peer.Send(block)) {
    }
  });
  std::string text;
  EXPECT_FALSE(conn.channel.ReadQuotedData("DATA=", text));
  EXPECT_TRUE(text.empty());
  done = true;
  conn.channel.Link().Close();  // unblocks the flood's last send
  flood.join();
}

// ---------------------------------------------------------------- requests

TEST(LineChannel, SendLineEndsWithCrLfAndLogs) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  conn.channel.SendLine("GETMAP");
  conn.channel.SendLine(Utf8ToCp1251("Пароль"));
  EXPECT_EQ(conn.peer.Read(8 + 8), "GETMAP\r\n" + Utf8ToCp1251("Пароль") + "\r\n");
  EXPECT_EQ(conn.log, (std::vector<std::string>{"Послано: GETMAP", "Послано: Пароль"}));
  EXPECT_EQ(conn.channel.Link().BytesSent(), 16);
}

TEST(LineChannel, SendLineDropsLateAnswersToEarlierRequests) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  // One line read, one still in the buffer, one still on the socket.
  ASSERT_TRUE(conn.peer.Send("one\rtwo\r"));
  ASSERT_TRUE(conn.channel.ReadLine());
  EXPECT_EQ(conn.channel.Line(), "one");
  ASSERT_TRUE(conn.peer.Send("late\r"));
  conn.WaitArrived(5);
  conn.channel.SendLine("REQ");
  EXPECT_EQ(conn.channel.Buffered(), 0u);
  EXPECT_EQ(conn.peer.Read(5), "REQ\r\n");
  ASSERT_TRUE(conn.peer.Send("answer\r"));
  ASSERT_TRUE(conn.channel.ReadLine());
  EXPECT_EQ(conn.channel.Line(), "answer");
}

TEST(LineChannel, AFailedReceiveBlocksReadsUntilTheNextSend) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  ASSERT_TRUE(conn.peer.Send("ab"));
  conn.WaitArrived(2);
  char buf[16];
  EXPECT_FALSE(conn.channel.Link().Receive(buf, sizeof buf));  // short: Status 3
  ASSERT_TRUE(conn.peer.Send("X\r"));
  conn.WaitArrived(2);
  EXPECT_EQ(conn.channel.FillBuffer(), 0u);
  EXPECT_FALSE(conn.channel.ReadLine());
  conn.channel.SendLine("AGAIN");
  EXPECT_EQ(conn.peer.Read(7), "AGAIN\r\n");
  ASSERT_TRUE(conn.peer.Send("Y\r"));
  ASSERT_TRUE(conn.channel.ReadLine());
  EXPECT_EQ(conn.channel.Line(), "Y");
}

// ---------------------------------------------------------------- disconnects, time-out, stop

TEST(LineChannel, DisconnectWhileWaitingIsDiagnosedAndClosesTheLink) {
  const struct {
    const char* name;
    void (TestPeer::*close)();
    const char* log;
  } cases[] = {
      {"graceful", &TestPeer::CloseGracefully, "Корректное отключение  по иннициативе сервера..."},
      {"reset", &TestPeer::Reset, "Отключение по иннициативе сервера..."},
  };
  for (const auto& c : cases) {
    Connection conn;
    ASSERT_TRUE(conn.ok());
    conn.channel.SetReadTimeout(600000);  // only the disconnect can end this wait
    {
      Later closer([&] { (conn.peer.*c.close)(); });
      EXPECT_EQ(conn.channel.FillBuffer(), 0u) << c.name;
    }
    EXPECT_FALSE(conn.channel.Link().Connected()) << c.name;
    EXPECT_EQ(conn.log, std::vector<std::string>{c.log}) << c.name;
    // Closed: the next read fails at once and says nothing more.
    EXPECT_FALSE(conn.channel.ReadLine()) << c.name;
    EXPECT_EQ(conn.log.size(), 1u) << c.name;
  }
}

TEST(LineChannel, LinesBeforeACloseAreReadFirst) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  ASSERT_TRUE(conn.peer.Send("LAST\r"));
  conn.peer.CloseGracefully();
  EXPECT_EQ(conn.ReadAllLines(), std::vector<std::string>{"LAST"});
  EXPECT_EQ(conn.log.back(), "Корректное отключение  по иннициативе сервера...");
}

TEST(LineChannel, TimeOutIsSilentAndKeepsTheConnection) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  conn.channel.SetReadTimeout(30);
  EXPECT_EQ(conn.channel.FillBuffer(), 0u);
  EXPECT_FALSE(conn.channel.ReadLine());
  EXPECT_TRUE(conn.log.empty());
  EXPECT_TRUE(conn.channel.Link().Connected());
  EXPECT_FALSE(conn.channel.Link().Failed());
  conn.channel.SetReadTimeout(5000);
  ASSERT_TRUE(conn.peer.Send("late\r"));
  ASSERT_TRUE(conn.channel.ReadLine());
  EXPECT_EQ(conn.channel.Line(), "late");
}

TEST(LineChannel, StopEndsAPendingReadPromptly) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  // A read that misses the stop runs into this time-out, far beyond the bound.
  conn.channel.SetReadTimeout(10000);
  {
    Later requester([&] { conn.stop.Request(); });
    long long waited = testing::MillisecondsOf([&] { EXPECT_FALSE(conn.channel.ReadLine()); });
    ASSERT_LT(waited, testing::kPromptMs);  // the 30 ms before the request included
  }
  EXPECT_TRUE(conn.log.empty());
  EXPECT_TRUE(conn.channel.Link().Connected());

  // While the stop is raised no read starts, even with data waiting.
  ASSERT_TRUE(conn.peer.Send("data\r"));
  conn.WaitArrived(5);
  EXPECT_EQ(conn.channel.FillBuffer(), 0u);
  conn.stop.Reset();
  ASSERT_TRUE(conn.channel.ReadLine());
  EXPECT_EQ(conn.channel.Line(), "data");
}

TEST(LineChannel, NotConnectedReadsFailAtOnce) {
  TStopSignal stop;
  std::vector<std::string> log;
  TLineChannel channel(
      stop, [&](std::string_view m) { log.push_back(std::string(m)); }, true);
  EXPECT_EQ(channel.ReadTimeout(), 10000u);
  EXPECT_EQ(channel.FillBuffer(), 0u);
  EXPECT_FALSE(channel.ReadLine());
  channel.DiscardInput();
  channel.SendLine("X");  // logged, nothing sent
  EXPECT_EQ(log.size(), 1u);
}

TEST(LineChannel, NothingIsLoggedWithoutDebug) {
  Connection conn;
  ASSERT_TRUE(conn.ok());
  conn.channel.SetDebug(false);
  ASSERT_TRUE(conn.peer.Send("NO\rLogon:"));
  conn.channel.SendLine("REQ");
  ASSERT_TRUE(conn.peer.Send("NO\rLogon:"));
  EXPECT_FALSE(conn.channel.ExpectLine("OK"));
  int n;
  EXPECT_FALSE(conn.channel.LineInt(" X=", n));
  EXPECT_FALSE(conn.channel.ExpectPrompt("Login:"));
  conn.peer.CloseGracefully();
  EXPECT_FALSE(conn.channel.ReadLine());
  EXPECT_TRUE(conn.log.empty());

  // Debug without a sink: nothing to write to, nothing breaks.
  conn.channel.SetDebug(true);
  conn.channel.SetLogSink({});
  conn.channel.SendLine("X");
  EXPECT_TRUE(conn.log.empty());
}

TEST(LineChannel, TwoChannelsSideBySide) {
  Connection a, b;
  ASSERT_TRUE(a.ok());
  ASSERT_TRUE(b.ok());
  ASSERT_TRUE(a.peer.Send("from a\r"));
  ASSERT_TRUE(b.peer.Send("from b\r"));
  b.stop.Request();
  ASSERT_TRUE(a.channel.ReadLine());
  EXPECT_EQ(a.channel.Line(), "from a");
  EXPECT_FALSE(b.channel.ReadLine());
  EXPECT_EQ(b.log, std::vector<std::string>{});
}

}  // namespace
}  // namespace vertamo

// The counters' reports end to end: the workstation's connection thread
// logged in to orvex-sim's demo district, each report requested the way the
// main window does (a list request, its reply lines, then the list emptied),
// and compared with the district at that moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "clientthread/client_fixture.h"
#include "journal/report.h"
#include "tools/orvex-sim/scenario.h"
#include "tools/orvex-sim/server.h"

namespace vertamo {
namespace {

using orvexsim::StateRole;

StateRole RoleOf(const TReportCounter& counter) {
  const std::string name = counter.name;
  if (name == "LiftB") return StateRole::LiftFault;
  if (name == "OhrAlr") return StateRole::LoopTriggered;
  return StateRole::IntercomFault;
}

const std::array<std::string, 3>& HeaderOf(const orvexsim::Scenario& s, const TReportCounter& counter) {
  const std::string name = counter.name;
  if (name == "LiftB") return s.reports.liftBreak.header;
  if (name == "OhrAlr") return s.reports.ohrAlr.header;
  return s.reports.puErr.header;
}

class ReportAgainstSim : public testing::ClientFixture {
 protected:
  ReportAgainstSim() {
    debug = false;
    timings.pollPeriodMs = 400;  // time enough for three requests between two polls
  }
  ~ReportAgainstSim() override {
    if (client) StopClient();
    client.reset();
    sim.Stop();
  }

  void Start() {
    orvexsim::ServerOptions options;
    options.liveTickMs = 0;  // the district changes only when the test says so
    options.login = "dispatcher";
    options.password = "пароль";
    std::string error;
    ASSERT_TRUE(sim.Start(scenario, options, &error)) << error;
    StartClient(sim.Port());
    ASSERT_TRUE(WaitStage(kStagePolling)) << ClientLogText();
    ASSERT_TRUE(Settle(1));
  }

  // The main window's request: the list request of the connection thread,
  // asked on the main thread; the answer comes back there.
  TListRequest Request() {
    return [this](const std::string& request, TListAnswer answer) {
      main.Run([&] {
        client->SendListCommand(request, requester,
                                [answer](const TRequestAnswer& reply) { answer(reply.answered, reply.lines); });
        return 0;
      });
    };
  }
  // Asks for the counter's report into `table` and waits (on this thread)
  // until the answer or the time-out has filled it or not.
  bool Report(const TReportCounter& counter, TReportTable& table) {
    std::promise<bool> filled;
    RequestReport(counter,
                  [this, &filled](const std::string& request, TListAnswer answer) {
                    Request()(request, [answer, &filled](bool answered, const std::vector<std::string>& lines) {
                      answer(answered, lines);
                      filled.set_value(answered && !lines.empty());
                    });
                  },
                  [&]() -> IReportSink* { return &table; });
    return filled.get_future().get();
  }
  std::shared_ptr<const void> requester = std::make_shared<int>(0);

  std::string Diagnose() {
    std::string out = "stage " + std::to_string(client->Stage()) + "\n";
    const auto rec = sim.Record();
    for (size_t i = rec.size() > 8 ? rec.size() - 8 : 0; i < rec.size(); ++i)
      out += std::to_string(rec[i].micros) + " " + rec[i].line + "\n";
    const auto status = recorder.Matching("");
    for (size_t i = status.size() > 12 ? status.size() - 12 : 0; i < status.size(); ++i)
      out += status[i] + "\n";
    return out;
  }

  // Waits until the connection has finished `polls` more polls of the change
  // feed, each applied with its status text: its view of the district is then
  // the server's present one, and it idles until its next poll.
  bool Settle(int polls) {
    const int target = recorder.Count(kPollStatus) + polls;
    return recorder.WaitCount(kPollStatus, target);
  }
  static constexpr const char* kPollStatus = "Status Обновление";

  // The report of each counter equals the objects in its state right now.
  void ExpectReportsOfThisMoment() {
    const orvexsim::View now = sim.Snapshot();
    for (const TReportCounter& counter : ReportCounters()) {
      SCOPED_TRACE(counter.name);
      TReportTable table;
      ASSERT_TRUE(Report(counter, table)) << Diagnose();
      const auto& header = HeaderOf(*scenario, counter);
      EXPECT_EQ(table.Cell(0, 0), Utf8ToCp1251("№"));
      for (int c = 0; c < 3; ++c)
        EXPECT_EQ(table.Cell(0, c + 1), Utf8ToCp1251(header[static_cast<size_t>(c)]));

      const std::vector<int> objects = now.ObjectsWithRole(RoleOf(counter));
      if (objects.empty()) {
        EXPECT_EQ(table.RowCount(), 2);
        EXPECT_EQ(table.Cell(1, 0), "");
        continue;
      }
      ++rowsSeen;
      ASSERT_EQ(table.RowCount(), static_cast<int>(objects.size()) + 1);
      for (size_t k = 0; k < objects.size(); ++k) {
        const int row = static_cast<int>(k) + 1;
        EXPECT_EQ(table.Cell(row, 0), std::to_string(row));
        EXPECT_EQ(table.Object(row), objects[k]);
        const orvexsim::ObjectDef& o = scenario->objects[static_cast<size_t>(objects[k])];
        EXPECT_EQ(table.Cell(row, 1), Utf8ToCp1251(o.name).substr(0, 127));
        EXPECT_EQ(table.Cell(row, 2), Utf8ToCp1251(o.place).substr(0, 127));
      }
      // Its export has a line per row.
      const std::string csv = ExportReport(table, TExportFormat::Csv);
      EXPECT_EQ(static_cast<int>(std::count(csv.begin(), csv.end(), '\n')), table.RowCount());
    }
  }

  std::shared_ptr<orvexsim::Scenario> scenario =
      std::make_shared<orvexsim::Scenario>(orvexsim::BuildDemoScenario());
  orvexsim::Server sim;
  int rowsSeen = 0;  // reports that listed at least one object
};

TEST_F(ReportAgainstSim, EachCounterShowsTheReportOfThatMoment) {
  Start();
  ExpectReportsOfThisMoment();
  EXPECT_EQ(sim.Snapshot().ObjectsWithRole(StateRole::LiftFault).size(),
            static_cast<size_t>(sim.CountsNow().liftBreak));
  // The district moves on; the reports follow.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    sim.StepLive(40);
    ASSERT_TRUE(Settle(2));
    ExpectReportsOfThisMoment();
  }
  // Every request went out as the counter's request line.
  int reports = 0;
  for (const auto& r : sim.Record())
    if (r.line.rfind("MOUSEDOWN ", 0) == 0) {
      ++reports;
      EXPECT_TRUE(r.line == "MOUSEDOWN LIFTBREAK" || r.line == "MOUSEDOWN OHRALR" ||
                  r.line == "MOUSEDOWN PUERR")
          << r.line;
    }
  EXPECT_EQ(reports, 12);
  EXPECT_GE(rowsSeen, 4);  // the demo district has faults to report
}

TEST_F(ReportAgainstSim, NoConnectionMeansAnEmptyReport) {
  Start();
  sim.Stop();  // the server is gone: the request times out
  main.Run([&] {
    client->SetRequestWaits(200, 200);
    return 0;
  });
  TReportTable table;
  EXPECT_FALSE(Report(*FindReportCounter("LiftB"), table));
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(0, 1), "");
}

}  // namespace
}  // namespace vertamo

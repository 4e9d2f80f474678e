// A run on a highly available PostgreSQL pair, reached through a net service that names both
// servers, survives losing its primary: it connects again, to the promoted standby, and ends
// its queue as one undisturbed run does, at the cost of one log entry. Without a server to
// take over it gives up after a bounded wait, and nothing is lost.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

#include "common/program_run.h"
#include "common/posix/server_pair.h"
#include "common/test_db.h"
#include "run/log_expectations.h"
#include "run/plan_tree.h"

namespace {

using run_tests::Describe;
using run_tests::ExpectQuietSuccess;
using run_tests::Outcome;
using run_tests::PlanShape;
using run_tests::ReportField;
using run_tests::Snapshot;
using run_tests::Tree;
using testing_db::ServerPair;
using testing_run::LogRecord;
using testing_run::ParsedLog;

using namespace std::chrono_literals;

constexpr const char* kGroup = "PLG01";
constexpr int kRequests = 40;
constexpr double kMarkSeconds = 0.1;  // 4 s for the queue: time to fail over in its middle
constexpr int kDoneBeforeTheLoss = 5;
// How long the program tries to connect again, and the slack of the clocks around it.
constexpr auto kReconnectBound = 60s;
constexpr auto kSlack = 15s;

constexpr int kEndedByServer = -3113;
constexpr int kNotConnected = -3114;

// The log holds one entry, the run's for the lost connection, with the status of the loss.
void ExpectOnlyTheEntry(const ParsedLog& log, const std::string& message) {
  ASSERT_TRUE(log.whole && log.entries.size() == 1) << Describe(log);
  const LogRecord& entry = log.entries.front();
  EXPECT_EQ(entry.func + "|" + entry.message, "ProcessRequests()|" + message) << Describe(log);
  EXPECT_TRUE(entry.code == kEndedByServer || entry.code == kNotConnected) << entry.code;
}

// A pair (or a primary alone), the result of an undisturbed run there, and a tree whose run
// lasts long enough to lose its primary in the middle.
class PairTest : public testing::Test {
 protected:
  explicit PairTest(ServerPair::Standby standby) : standby_(standby) {}

  void SetUp() override {
    std::string skipReason;
    pair_ = ServerPair::Start(standby_, skipReason);
    if (!skipReason.empty()) GTEST_SKIP() << skipReason;
    ASSERT_NE(pair_, nullptr);
    expected_ = Reference();
    ASSERT_FALSE(HasFailure());
    tree_ = Tree::GenerateOn(pair_->CreateDb(), Shape());
    ASSERT_NE(tree_.db, nullptr);
    run_tests::SlowDoneMarks(*tree_.db, kMarkSeconds);
  }

  // Each request of a different person, so that one done late ends as if done in order.
  static PlanShape Shape() {
    PlanShape shape{kGroup, 0, kRequests};
    shape.targetsMissedAlike = true;
    return shape;
  }

  Outcome Reference() const {
    Tree reference = Tree::GenerateOn(pair_->CreateDb(), Shape());
    if (reference.db == nullptr) return {};
    ExpectQuietSuccess(reference.RunWhole(kGroup));
    Outcome outcome = Snapshot(*reference.db);
    EXPECT_TRUE(outcome.queue.empty());
    EXPECT_FALSE(outcome.deviations.empty()) << "every recount should record a deviation";
    return outcome;
  }

  // The program started and some of its requests done.
  std::unique_ptr<testing_run::RunningProgram> StartAndLetItWork() const {
    auto program = tree_.Start(kGroup);
    EXPECT_TRUE(run_tests::WaitUntilDone(tree_, kDoneBeforeTheLoss));
    return program;
  }

  ServerPair::Standby standby_;
  std::unique_ptr<ServerPair> pair_;  // outlives the databases on it
  Outcome expected_;
  Tree tree_;
};

// How the primary is lost, when its standby takes over, and the run's road to the pair.
struct Failover {
  const char* name;
  bool kill;                     // SIGKILL to the primary, else a stop without checkpoint
  std::chrono::seconds promoteAfter;
  bool odbc = false;             // through the pair's ODBC data source, else natively
};

void PrintTo(const Failover& failover, std::ostream* os) { *os << failover.name; }
std::string FailoverName(const testing::TestParamInfo<Failover>& info) { return info.param.name; }

class FailoverTest : public PairTest, public testing::WithParamInterface<Failover> {
 protected:
  FailoverTest() : PairTest(ServerPair::Standby::Streaming) {}
};

// The run waits for the new primary, goes on there, and finishes its queue itself: nothing lost
// and nothing done twice, one entry for the pause.
TEST_P(FailoverTest, RunGoesOnWithThePromotedStandby) {
  const Failover& failover = GetParam();
  std::unique_ptr<testing_run::RunningProgram> program;
  if (failover.odbc) {
    const std::string net = pair_->OdbcNetService(*tree_.db);
    if (net.empty()) GTEST_SKIP() << "no ODBC driver for the pair";
    const std::string config = tree_.dir->RunPath() + "/odbc.cfg";
    ASSERT_EQ(testing_run::WriteConfigWithTool(config, net, tree_.db->Schema(), tree_.db->User(),
                                               tree_.db->Password()).exitStatus, 0);
    ServerPair::OdbcSources sources(*pair_);
    // The check finds the primary of the host list as the run does, read-only.
    testing_run::ProgramResult check = testing_run::RunExecutable(
        testing_run::ConfigToolPath(), {"check", config, kGroup}, tree_.dir->RunPath());
    EXPECT_NE(check.out.find("\nok    connection    connected read-only"), std::string::npos)
        << check.out;
    program = std::make_unique<testing_run::RunningProgram>(
        testing_run::ProgramPath(), testing_run::CommandLine(config, kGroup), tree_.dir->RunPath());
    EXPECT_TRUE(run_tests::WaitUntilDone(tree_, kDoneBeforeTheLoss));
  } else {
    program = StartAndLetItWork();
  }
  ASSERT_TRUE(failover.kill ? pair_->KillPrimary() : pair_->StopPrimary());
  if (failover.promoteAfter > 0s) {
    EXPECT_FALSE(program->EndsWithin(failover.promoteAfter)) << "ended before the promotion";
  }
  ASSERT_TRUE(pair_->PromoteStandby());
  ASSERT_TRUE(program->EndsWithin(kReconnectBound + kSlack)) << "still running after the failover";
  ExpectQuietSuccess(program->Wait());

  ParsedLog log = tree_.Log();
  ExpectOnlyTheEntry(log, "Verbindung wiederhergestellt");
  EXPECT_EQ(tree_.Pending(), 0);
  EXPECT_TRUE(Snapshot(*tree_.db) == expected_) << Describe(log);
}

INSTANTIATE_TEST_SUITE_P(
    Failovers, FailoverTest,
    testing::Values(Failover{"PrimaryStoppedStandbyPromotedAtOnce", false, 0s},
                    Failover{"PrimaryKilledStandbyPromotedLate", true, 15s},
                    Failover{"OdbcPrimaryStoppedStandbyPromotedAtOnce", false, 0s, true},
                    Failover{"OdbcPrimaryKilledStandbyPromotedLate", true, 15s, true}),
    FailoverName);

class LostPrimaryTest : public PairTest {
 protected:
  LostPrimaryTest() : PairTest(ServerPair::Standby::None) {}
};

// With no server to take over, the run tries for its bounded time and ends with one entry; the
// request it was at stays pending, and once the primary is back the next run completes the
// queue as one undisturbed run does.
TEST_F(LostPrimaryTest, RunEndsAfterTheBoundAndTheNextCompletesIt) {
  auto program = StartAndLetItWork();
  ASSERT_TRUE(pair_->StopPrimary());
  EXPECT_FALSE(program->EndsWithin(kReconnectBound - kSlack)) << "gave up early";
  ASSERT_TRUE(program->EndsWithin(2 * kSlack)) << "still running after the bound";
  ExpectQuietSuccess(program->Wait());
  ExpectOnlyTheEntry(tree_.Log(), "Abbruch: Verbindung verloren");

  ASSERT_TRUE(pair_->StartPrimary());
  EXPECT_GE(tree_.Done(), kDoneBeforeTheLoss) << "the finished requests are deleted by the next run";
  run_tests::NormalDoneMarks(*tree_.db);
  run_tests::ExpectRerunCompletesLikeAWholeRun(tree_, kGroup, testing_db::Backend::Postgres,
                                               expected_, "after the primary came back");
}

// A run started while its server is down waits for it as a run that lost its server does, and
// does its whole queue once the server is back, without an entry.
TEST_F(LostPrimaryTest, RunStartedWhileTheServerIsDownWaitsForIt) {
  run_tests::NormalDoneMarks(*tree_.db);
  ASSERT_TRUE(pair_->StopPrimary());
  auto program = tree_.Start(kGroup);
  EXPECT_FALSE(program->EndsWithin(10s)) << "gave up at once";
  ASSERT_TRUE(pair_->StartPrimary());
  ASSERT_TRUE(program->EndsWithin(kReconnectBound)) << "still running after the server came back";
  ExpectQuietSuccess(program->Wait());

  ParsedLog log = tree_.Log();
  EXPECT_TRUE(log.whole && log.entries.empty()) << Describe(log);
  EXPECT_EQ(tree_.Pending(), 0);
  EXPECT_TRUE(Snapshot(*tree_.db) == expected_) << Describe(log);
  std::string report = tree_.Report(kGroup);
  EXPECT_EQ(ReportField(report, "ended_by"), "queue done") << report;
  EXPECT_GT(std::stol("0" + ReportField(report, "connect_tries")), 1) << report;
}

}  // namespace

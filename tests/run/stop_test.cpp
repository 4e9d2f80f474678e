// A run stopped at any moment, by SIGKILL or by SIGTERM, and then run again leaves the
// database exactly as one whole run does: each request is done whole or not at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/process.h"
#include "common/program_run.h"
#include "common/backend_test.h"
#include "common/test_db.h"
#include "run/log_expectations.h"
#include "run/plan_tree.h"

namespace {

using run_tests::Outcome;
using run_tests::PlanShape;
using run_tests::Snapshot;
using run_tests::Tree;
using testing_db::Backend;
using testing_db::Rows;
using testing_db::TestDb;

constexpr const char* kGroup = "PLG01";
constexpr int kRequests = 300;
constexpr int kStops = 10;
constexpr std::chrono::seconds kStopWithin{60};

class StopTest : public testing::TestWithParam<Backend> {
 protected:
  Tree NewTree() { return Tree::Generate(GetParam(), PlanShape{kGroup, 0, kRequests}); }
  static testing_run::ProgramResult RunWhole(const Tree& tree) { return tree.RunWhole(kGroup); }
  static std::unique_ptr<testing_run::RunningProgram> Start(const Tree& tree) {
    return tree.Start(kGroup);
  }

  // The result of one whole run, and how long it took.
  void SetUp() override {
    Tree reference = NewTree();
    ASSERT_NE(reference.db, nullptr);
    auto begin = std::chrono::steady_clock::now();
    run_tests::ExpectQuietSuccess(RunWhole(reference));
    wholeRun_ = std::chrono::steady_clock::now() - begin;
    expected_ = Snapshot(*reference.db);
    ASSERT_TRUE(expected_.queue.empty());
    ASSERT_FALSE(expected_.deviations.empty()) << "the plan should miss some targets";
    seed_ = std::random_device{}();
  }

  // The second run completes the first; the database is sound and as after one whole run.
  void ExpectCompletedLikeAWholeRun(const Tree& tree, const std::string& what) {
    run_tests::ExpectRerunCompletesLikeAWholeRun(tree, kGroup, GetParam(), expected_, what);
  }

  // Where a stop request may hang a program busy in a host library (under Wine, see
  // testing_process::StopMayHangHostLibraries), it is sent only while the program waits for a
  // lock the test holds, not at work. On a server the queue's table lock is taken after the
  // chosen number of requests. A run on SQLite holds the write lock from each request's start
  // to its commit, leaving the test no moment to win it: there the lock is taken before the
  // start, and the run stops at its first request.
  bool HoldsBeforeStart() const {
    return testing_process::StopMayHangHostLibraries() && GetParam() == Backend::Sqlite;
  }

  // kStops times: a fresh tree, the program started on it, then `stopAndCheck(tree, program,
  // held)`, with `held` the lock taken before the start (see HoldsBeforeStart) or null.
  template <typename StopAndCheck>
  void ForEachStop(StopAndCheck stopAndCheck, bool holdBeforeStart = false) {
    for (int stop = 0; stop < kStops && !HasFatalFailure(); ++stop) {
      Tree tree = NewTree();
      ASSERT_NE(tree.db, nullptr);
      std::unique_ptr<TestDb::HeldTransaction> held;
      if (holdBeforeStart) {
        held = tree.db->Hold("");
        ASSERT_NE(held, nullptr);
      }
      auto program = Start(tree);
      stopAndCheck(tree, *program, held);
    }
  }

  std::chrono::duration<double> wholeRun_{};
  Outcome expected_;
  unsigned seed_ = 0;
};

// Killed at random moments from start-up to the final delete.
TEST_P(StopTest, KilledRunIsCompletedByTheNextAsIfWhole) {
  std::mt19937 random(seed_);
  std::uniform_real_distribution<double> moment(0.0, 1.1 * wholeRun_.count());
  ForEachStop([&](const Tree& tree, testing_run::RunningProgram& program, auto&) {
    double after = moment(random);
    std::this_thread::sleep_for(std::chrono::duration<double>(after));
    program.Kill();
    program.Wait();
    ExpectCompletedLikeAWholeRun(
        tree, "SIGKILL after " + std::to_string(after) + " s, seed " + std::to_string(seed_));
  });
}

// Terminated after a random number of requests: the run finishes the request at hand,
// deletes the finished ones, says why it stopped and leaves the rest pending, untouched.
TEST_P(StopTest, TerminatedRunWindsDownAndTheNextCompletesIt) {
  std::mt19937 random(seed_);
  std::uniform_int_distribution<long> doneBeforeStop(1, kRequests - 20);
  ForEachStop([&](const Tree& tree, testing_run::RunningProgram& program, auto& held) {
    long done = held != nullptr ? 0 : doneBeforeStop(random);
    std::string what = "SIGTERM after " + std::to_string(done) + " requests, seed " +
                       std::to_string(seed_);
    ASSERT_TRUE(run_tests::WaitUntilDone(tree, done)) << what;
    if (testing_process::StopMayHangHostLibraries()) {
      if (held == nullptr) held = tree.db->Hold("lock table Rvk740Pud in exclusive mode");
      ASSERT_NE(held, nullptr) << what;
      ASSERT_TRUE(run_tests::WaitUntilWaitingForALock(*tree.db, GetParam())) << what;
    }
    program.AskToStop();
    program.AskToStop();  // a second request changes nothing
    held.reset();
    if (!program.EndsWithin(kStopWithin)) {
      program.Kill();
      FAIL() << what << ": still running " << kStopWithin.count() << " s after the request";
    }
    run_tests::ExpectQuietSuccess(program.Wait());

    Rows left = tree.db->Query("select PudPnr, PudKng from Rvk740Pud order by PudDat");
    EXPECT_FALSE(left.empty()) << what;
    for (const auto& row : left) ASSERT_EQ(row[1], "1") << what;
    testing_run::ParsedLog log = testing_run::ReadLog(tree.dir->LogPath(tree.db->Schema()));
    ASSERT_TRUE(log.whole && !log.entries.empty()) << what << run_tests::Describe(log);
    const testing_run::LogRecord& last = log.entries.back();
    EXPECT_EQ(last.func + "|" + last.message + "|" + std::to_string(last.code),
              "ProcessRequests()|Abbruch durch Signal|" +
                  std::to_string(testing_process::StopSignalNumber())) << what;
    EXPECT_EQ(std::count_if(log.entries.begin(), log.entries.end(),
                            [](const auto& entry) { return entry.func == "ProcessRequests()"; }),
              1) << what;
    ExpectCompletedLikeAWholeRun(tree, what);
  }, HoldsBeforeStart());
}

INSTANTIATE_BACKEND_TEST(StopTest);

}  // namespace

// A run stopped at any moment, by SIGKILL or by SIGTERM, and then run again leaves the
// database exactly as one whole run does: each request is done whole or not at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/program_run.h"
#include "common/backend_test.h"
#include "common/test_db.h"
#include "run/log_expectations.h"

namespace {

using testing_db::Backend;
using testing_db::Rows;
using testing_db::TestDb;
using testing_run::CommandLine;
using testing_run::RunDir;

constexpr const char* kGroup = "PLG01";
constexpr int kPersons = 60;
constexpr int kDays = 14;
constexpr int kRequests = 300;
constexpr int kStops = 10;
const char* const kUnits[] = {"ST1", "ST2", "ST3", "ST4"};
constexpr int kShiftStart[] = {600, 1400, 2200};

std::string Day(int day) {
  char text[32];
  std::snprintf(text, sizeof text, "'2024-03-%02d 00:00:00'", day + 1);
  return text;
}

std::string Person(int person) {
  char text[16];
  std::snprintf(text, sizeof text, "'P%03d'", person);
  return text;
}

// Inserts `rows` in statements of a few hundred rows each.
void InsertRows(TestDb& db, const std::string& head, const std::vector<std::string>& rows) {
  constexpr size_t kChunk = 300;
  for (size_t first = 0; first < rows.size(); first += kChunk) {
    std::string sql = head + " values ";
    for (size_t i = first; i < std::min(rows.size(), first + kChunk); ++i) {
      sql += (i > first ? "," : "") + rows[i];
    }
    db.Exec(sql);
  }
}

// A small plan: persons in four units and three shifts working five days in seven, a few
// rows of status D or O, a staffing slot per unit, shift and day with targets that the plan
// misses both ways, day codes for every person and day, a calendar around the days, and a
// queue of type 1 and type 2 requests (one in eight deletes the plan from its day on).
void GenerateTree(TestDb& db) {
  std::vector<std::string> duty, slots, codes, calendar, requests;
  const char* codeSet[] = {"'F  '", "'K  '", "'U  '", "'   '"};
  for (int p = 0; p < kPersons; ++p) {
    int shift = (p / 4) % 3;
    for (int d = 0; d < kDays; ++d) {
      codes.push_back("(" + Person(p) + "," + Day(d) + "," + codeSet[(p + d) % 4] + "," +
                      codeSet[(p * d) % 3 + 1] + "," + codeSet[(p + 2 * d) % 4] + ")");
      if ((p + d) % 7 >= 5) continue;
      const char* status = p % 11 == 0 ? "'D'" : p % 13 == 0 ? "'O'" : "'P'";
      int start = kShiftStart[shift];
      int end = (start + 800) % 2400;
      duty.push_back("(" + Person(p) + "," + Day(d) + ",'" + kUnits[p % 4] + "','A'," +
                     std::to_string(start) + "," + std::to_string(end) + "," +
                     std::to_string(start) + "," + std::to_string(end) + ",1,1," + status +
                     ",'   ','   ','   ','2000-01-01 00:00:00')");
    }
  }
  for (int d = 0; d < kDays; ++d) {
    for (int u = 0; u < 4; ++u) {
      for (int s = 0; s < 3; ++s) {
        int target = 1 + (d + u + s) % 3;
        slots.push_back("(" + Day(d) + ",'" + kUnits[u] + "','A'," +
                        std::to_string(kShiftStart[s]) + "," +
                        std::to_string((kShiftStart[s] + 800) % 2400) + ",1,'F1'," +
                        std::to_string(target) + "," + std::to_string(target - 1) + "," +
                        std::to_string(target + 1) + ",0,0,0,0,0,0,'2000-01-01 00:00:00')");
      }
    }
  }
  for (int d = 0; d < kDays + 5; ++d) calendar.push_back("(" + Day(d) + ")");
  for (int i = 0; i < kRequests; ++i) {
    int type = i % 8 == 7 ? 2 : 1;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "'2024-03-01 %02d:%02d:%02d'", 8 + i / 3600,
                  i / 60 % 60, i % 60);
    requests.push_back("(" + Person((i * 7) % kPersons) + "," + Day((i * 5) % kDays) + "," +
                       std::to_string(type) + ",1,0,'" + kGroup + "','ERF'," + stamp + ")");
  }
  InsertRows(db, "insert into Rvk730Bdp (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpSzb, "
                 "BdpZtv, BdpZtb, BdpAsw, BdpAkt, BdpSts, BdpFc1, BdpFc2, BdpFc3, BdpDat)", duty);
  InsertRows(db, "insert into Rvk725Bsm (BsmBdt, BsmEso, BsmEsa, BsmSzv, BsmSzb, BsmAsw, "
                 "BsmBsz, BsmSol, BsmMin, BsmMax, BsmIst, BsmHtg, BsmHtv, BsmHtn, BsmKor, "
                 "BsmFkt, BsmDat)", slots);
  InsertRows(db, "insert into rvk327tag (TagPnr, TagTag, TagTgb, TagHtv, TagHtn)", codes);
  InsertRows(db, "insert into RVKSTAMM.Rvk133Bak (BakDtm)", calendar);
  InsertRows(db, "insert into Rvk740Pud (PudPnr, PudDtm, PudTyp, PudKng, PudTxc, PudPlg, "
                 "PudErf, PudDat)", requests);
}

// What a run leaves, time stamps and running numbers aside; deviation rows as a multiset.
struct Outcome {
  Rows duty, slots, deviations, queue;
  bool operator==(const Outcome&) const = default;
};

Outcome Snapshot(TestDb& db) {
  return {db.Query("select BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpAkt, BdpAsw, BdpSts, "
                   "BdpFc1, BdpFc2, BdpFc3 from Rvk730Bdp order by 1, 2, 3, 4, 5, 6, 7"),
          db.Query("select BsmBdt, BsmEso, BsmEsa, BsmSzv, BsmAsw, BsmIst, BsmHtg, BsmHtv, "
                   "BsmHtn, BsmKor, BsmFkt from Rvk725Bsm order by 1, 2, 3, 4, 5"),
          db.Query("select ErrPlg, ErrKng, ErrPnr, ErrEso, ErrEsa, ErrKnz, ErrBdt, ErrZtv, "
                   "ErrZtb, ErrFnr, ErrErf, ErrJbd, ErrJbk from Rvk746Err "
                   "order by 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13"),
          db.Query("select PudPnr, PudKng from Rvk740Pud order by PudDat")};
}

class StopTest : public testing::TestWithParam<Backend> {
 protected:
  // A fresh database with the generated plan, and its run directory.
  struct Tree {
    std::unique_ptr<TestDb> db;
    std::unique_ptr<RunDir> dir;
  };
  Tree NewTree() {
    Tree tree{TestDb::Create(GetParam()), nullptr};
    if (tree.db == nullptr) return tree;
    GenerateTree(*tree.db);
    tree.dir = std::make_unique<RunDir>(*tree.db);
    return tree;
  }

  static testing_run::ProgramResult RunWhole(const Tree& tree) {
    return testing_run::RunProgram(tree.dir->RunPath(),
                                   CommandLine(tree.dir->ConfigPath(), kGroup));
  }
  static std::unique_ptr<testing_run::RunningProgram> Start(const Tree& tree) {
    return std::make_unique<testing_run::RunningProgram>(
        testing_run::ProgramPath(), CommandLine(tree.dir->ConfigPath(), kGroup),
        tree.dir->RunPath());
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
    run_tests::ExpectQuietSuccess(RunWhole(tree));
    EXPECT_TRUE(Snapshot(*tree.db) == expected_) << what;
    if (GetParam() == Backend::Sqlite) {
      EXPECT_EQ(tree.db->Scalar("pragma integrity_check"), "ok") << what;
    }
  }

  // Whether `count` requests were marked done within a generous time.
  static bool WaitUntilDone(TestDb& db, long count) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (db.Count("select count(*) from Rvk740Pud where PudKng=3") < count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  // kStops times: a fresh tree, the program started on it, then `stopAndCheck(tree, program)`.
  template <typename StopAndCheck>
  void ForEachStop(StopAndCheck stopAndCheck) {
    for (int stop = 0; stop < kStops && !HasFatalFailure(); ++stop) {
      Tree tree = NewTree();
      ASSERT_NE(tree.db, nullptr);
      auto program = Start(tree);
      stopAndCheck(tree, *program);
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
  ForEachStop([&](const Tree& tree, testing_run::RunningProgram& program) {
    double after = moment(random);
    std::this_thread::sleep_for(std::chrono::duration<double>(after));
    program.Signal(SIGKILL);
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
  ForEachStop([&](const Tree& tree, testing_run::RunningProgram& program) {
    long done = doneBeforeStop(random);
    std::string what = "SIGTERM after " + std::to_string(done) + " requests, seed " +
                       std::to_string(seed_);
    ASSERT_TRUE(WaitUntilDone(*tree.db, done)) << what;
    program.Signal(SIGTERM);
    program.Signal(SIGTERM);  // a second one changes nothing
    run_tests::ExpectQuietSuccess(program.Wait());

    Rows left = tree.db->Query("select PudPnr, PudKng from Rvk740Pud order by PudDat");
    EXPECT_FALSE(left.empty()) << what;
    for (const auto& row : left) ASSERT_EQ(row[1], "1") << what;
    testing_run::ParsedLog log = testing_run::ReadLog(tree.dir->LogPath(tree.db->Schema()));
    ASSERT_TRUE(log.whole && !log.entries.empty()) << what << run_tests::Describe(log);
    const testing_run::LogRecord& last = log.entries.back();
    EXPECT_EQ(last.func + "|" + last.message + "|" + std::to_string(last.code),
              "ProcessRequests()|Abbruch durch Signal|" + std::to_string(SIGTERM)) << what;
    EXPECT_EQ(std::count_if(log.entries.begin(), log.entries.end(),
                            [](const auto& entry) { return entry.func == "ProcessRequests()"; }),
              1) << what;
    ExpectCompletedLikeAWholeRun(tree, what);
  });
}

INSTANTIATE_BACKEND_TEST(StopTest);

}  // namespace

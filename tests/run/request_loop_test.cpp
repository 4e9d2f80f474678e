// The request loop end to end: the built program (or Main in a child run of the test
// executable) against a real database on each backend, checked through the database and the
// log.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/program_run.h"
#include "common/backend_test.h"
#include "common/test_db.h"
#include "db/runtime/fault_seam.h"
#include "db/status.h"
#include "run/log_expectations.h"

namespace {

using run_tests::ExpectEntries;
using run_tests::ExpectQuietSuccess;
using testing_db::Backend;
using testing_db::Rows;
using testing_db::TestDb;
using testing_run::CommandLine;
using testing_run::ReadLog;
using testing_run::RunDir;

constexpr const char* kGroup = "PLG01";
constexpr const char* kOtherGroup = "PLG02";

// A time stamp `seconds` after 2024-03-01 08:00:00, as the fixture takes dates.
std::string Stamp(int seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "2024-03-01 %02d:%02d:%02d", 8 + seconds / 3600,
                seconds / 60 % 60, seconds % 60);
  return text;
}

struct Request {
  std::string pnr;
  int type;
  int state;
  std::string group;
  std::string stamp;
  std::string day = "2024-03-01";
  std::optional<int> txc = 5;
  std::optional<std::string> erf = "ERF";
};

std::string Literal(const std::optional<std::string>& text) {
  return text ? "'" + *text + "'" : "NULL";
}

std::string ValuesOf(const Request& r) {
  return "('" + r.pnr + "','" + r.day + " 00:00:00'," + std::to_string(r.type) + "," +
         std::to_string(r.state) + "," + (r.txc ? std::to_string(*r.txc) : "NULL") + ",'" +
         r.group + "'," + Literal(r.erf) + ",'" + r.stamp + "')";
}

void InsertRequests(TestDb& db, const std::vector<Request>& requests) {
  std::string sql =
      "insert into Rvk740Pud (PudPnr, PudDtm, PudTyp, PudKng, PudTxc, PudPlg, PudErf, PudDat) "
      "values ";
  for (size_t i = 0; i < requests.size(); ++i) sql += (i ? "," : "") + ValuesOf(requests[i]);
  db.Exec(sql);
}

// A duty row in slot ESO/ESA/600/1. Of status "D" it is saved or deleted by the handlers,
// but no staffing work follows.
void InsertDutyRow(TestDb& db, const std::string& pnr, const std::string& day,
                   const std::string& status = "D") {
  db.Exec("insert into Rvk730Bdp (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpAkt, BdpAsw, "
          "BdpSts, BdpDat) values ('" + pnr + "','" + day + " 00:00:00','ESO','ESA',600,1,1,'" +
          status + "','2000-01-01 00:00:00')");
}

void InsertDayCodes(TestDb& db, const std::string& pnr, const std::string& day) {
  db.Exec("insert into rvk327tag (TagPnr, TagTag, TagTgb, TagHtv, TagHtn) values ('" + pnr +
          "','" + day + " 00:00:00','F  ','   ','   ')");
}

class RequestLoopTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    db_ = TestDb::Create(GetParam());
    ASSERT_NE(db_, nullptr);
    dir_ = std::make_unique<RunDir>(*db_);
  }

  testing_run::ProgramResult Run(const std::string& group = kGroup) {
    return testing_run::RunProgram(dir_->RunPath(), CommandLine(dir_->ConfigPath(), group));
  }
  testing_run::ParsedLog Log() { return ReadLog(dir_->LogPath(db_->Schema())); }

  // Person and state of the group's requests, oldest first.
  Rows Requests(const std::string& group = kGroup) {
    return db_->Query("select PudPnr, PudKng from Rvk740Pud where PudPlg='" + group +
                      "' order by PudDat");
  }
  Rows AllRequestColumns() {
    return db_->Query("select PudPnr, PudDtm, PudTyp, PudKng, PudTxc, PudPlg, PudErf, PudDat "
                      "from Rvk740Pud order by PudPlg, PudDat, PudPnr");
  }
  long DutyRows(const std::string& pnr) {
    return db_->Count("select count(*) from Rvk730Bdp where BdpPnr='" + pnr + "'");
  }
  testing_db::Cell DutyStamp(const std::string& pnr) {
    return db_->Scalar("select BdpDat from Rvk730Bdp where BdpPnr='" + pnr + "'");
  }

  std::unique_ptr<TestDb> db_;
  std::unique_ptr<RunDir> dir_;
};

const Rows kNone{};
Rows Pending(std::initializer_list<const char*> persons) {
  Rows rows;
  for (const char* pnr : persons) rows.push_back({std::string(pnr), std::string("1")});
  return rows;
}

TEST_P(RequestLoopTest, EmptyQueueWritesNoLog) {
  ExpectQuietSuccess(Run());
  EXPECT_FALSE(Log().exists);
}

TEST_P(RequestLoopTest, EveryTypeIsMarkedDoneAndDeletedAndTypesOneAndTwoReachTheirHandlers) {
  InsertDayCodes(*db_, "P1", "2024-03-01");
  InsertDutyRow(*db_, "P1", "2024-03-01");
  InsertDutyRow(*db_, "P2", "2024-03-01");
  InsertDutyRow(*db_, "P2", "2024-03-05");
  InsertRequests(*db_, {{"P1", 1, 1, kGroup, Stamp(0)},
                        {"P2", 2, 1, kGroup, Stamp(1)},
                        {"P3", 7, 1, kGroup, Stamp(2)}});

  ExpectQuietSuccess(Run());

  EXPECT_EQ(Requests(), kNone);
  EXPECT_NE(DutyStamp("P1"), testing_db::Cell("2000-01-01 00:00:00")) << "type 1 saved no row";
  EXPECT_EQ(DutyRows("P2"), 0) << "type 2 deleted no row\n" << run_tests::Describe(Log());
  for (const auto& entry : Log().entries) EXPECT_NE(entry.func.rfind("Pud_", 0), 0u);
}

// Deviation rows carry the run's planning group, job code and command-line texts.
TEST_P(RequestLoopTest, DeviationRowsCarryTheRunParameters) {
  InsertDayCodes(*db_, "V1", "2024-03-01");
  InsertDutyRow(*db_, "V1", "2024-03-01", "U");
  db_->Exec("insert into Rvk725Bsm (BsmBdt, BsmEso, BsmEsa, BsmSzv, BsmAsw, BsmSol, BsmMin, "
            "BsmMax, BsmIst, BsmHtg, BsmHtv, BsmHtn) values "
            "('2024-03-01 00:00:00','ESO','ESA',600,1,3,3,3,0,0,0,0)");
  InsertRequests(*db_, {{"V1", 1, 1, kGroup, Stamp(0)}});

  ExpectQuietSuccess(testing_run::RunProgram(
      dir_->RunPath(),
      CommandLine(dir_->ConfigPath(), kGroup, "ERF TEXT", "20240101120000", "JOB KENNUNG")));

  Rows rows = db_->Query("select ErrPlg, ErrKng, ErrErf, ErrJbd, ErrJbk from Rvk746Err");
  ASSERT_FALSE(rows.empty()) << run_tests::Describe(Log());
  for (const auto& row : rows) {
    EXPECT_EQ(row, (std::vector<testing_db::Cell>{kGroup, "PLANU", "ERF", "20240101120000",
                                                   "JOB KENNUNG"}));
  }
}

// The group's pending and done requests go; other states and other groups stay as they were.
TEST_P(RequestLoopTest, OnlyPendingRequestsOfTheGroupAreTouched) {
  InsertRequests(*db_, {{"A2", 7, 2, kGroup, Stamp(1)},
                        {"B1", 7, 1, kOtherGroup, Stamp(4)},
                        {"B2", 7, 3, kOtherGroup, Stamp(5)},
                        {"B3", 1, 2, kGroup, Stamp(6)}});
  InsertDutyRow(*db_, "B3", "2024-03-01");
  Rows untouched = AllRequestColumns();
  InsertRequests(*db_, {{"A1", 7, 1, kGroup, Stamp(0)},
                        {"A3", 7, 3, kGroup, Stamp(2)},
                        {"A4", 7, 1, kGroup, Stamp(3)}});

  ExpectQuietSuccess(Run());

  EXPECT_EQ(AllRequestColumns(), untouched);
  EXPECT_EQ(DutyStamp("B3"), testing_db::Cell("2000-01-01 00:00:00"));
  EXPECT_FALSE(Log().exists);
}

TEST_P(RequestLoopTest, NullCarriedColumnsDoNotStopTheRequest) {
  Request request{"N1", 7, 1, kGroup, Stamp(0)};
  request.txc = std::nullopt;
  request.erf = std::nullopt;
  InsertRequests(*db_, {request});

  ExpectQuietSuccess(Run());

  EXPECT_EQ(Requests(), kNone);
  EXPECT_FALSE(Log().exists);
}

// A request is done whole or not at all: without its done mark, its saved row is undone too.
// The mark's failure is told after what the handler met (here: no day codes).
TEST_P(RequestLoopTest, FailedWriteBackUndoesTheWholeRequest) {
  InsertDutyRow(*db_, "W1", "2024-03-01");
  InsertRequests(*db_, {{"W1", 1, 1, kGroup, Stamp(0)}});
  db_->FailOn("Rvk740Pud", "update");

  ExpectQuietSuccess(Run());

  EXPECT_EQ(Requests(), Pending({"W1"}));
  EXPECT_EQ(DutyStamp("W1"), testing_db::Cell("2000-01-01 00:00:00"));
  ExpectEntries(Log(), {{"Read_UrlKrk_Tgb()", "Fehler: Read Rvk327Tag", 1403},
                        {"Pud_PKeyUpd", "Fehler PudSatz updaten", -20000}});
}

// The first request's commit fails (a full disk): it is undone whole and stays pending; the
// next one is done as usual.
TEST_P(RequestLoopTest, FailedCommitUndoesTheRequestAndTheRunGoesOn) {
  for (const char* pnr : {"K1", "K2"}) {
    InsertDayCodes(*db_, pnr, "2024-03-01");
    InsertDutyRow(*db_, pnr, "2024-03-01");
  }
  InsertRequests(*db_, {{"K1", 1, 1, kGroup, Stamp(0)}, {"K2", 1, 1, kGroup, Stamp(1)}});

  auto result = testing_run::RunMainInChild(
      dir_->RunPath(), CommandLine(dir_->ConfigPath(), kGroup),
      testing_run::ChildFault{db::FaultOp::Execute, "commit", 1, db::status::kTablespaceFull});

  ExpectQuietSuccess(result);
  EXPECT_EQ(Requests(), Pending({"K1"}));
  EXPECT_EQ(DutyStamp("K1"), testing_db::Cell("2000-01-01 00:00:00"));
  EXPECT_NE(DutyStamp("K2"), testing_db::Cell("2000-01-01 00:00:00"));
  ExpectEntries(Log(), {{"ProcessRequests()", "Fehler: Commit", db::status::kTablespaceFull}});
}

// Each request was committed with its done mark: a failed final delete leaves them done, for
// the next run to delete.
TEST_P(RequestLoopTest, FailedFinalDeleteLeavesTheDoneRequestsForTheNextRun) {
  InsertRequests(*db_, {{"D1", 7, 1, kGroup, Stamp(0)},
                        {"D2", 7, 1, kGroup, Stamp(1)},
                        {"D3", 7, 1, kGroup, Stamp(2)}});
  db_->FailOn("Rvk740Pud", "delete");

  ExpectQuietSuccess(Run());

  EXPECT_EQ(Requests(), (Rows{{"D1", "3"}, {"D2", "3"}, {"D3", "3"}}));
  ExpectEntries(Log(), {{"Pud_KngDel", "Fehler Saetze loeschen", -20000}});
}

// The third fetch fails: the two oldest requests were handled and are deleted, the rest wait.
TEST_P(RequestLoopTest, FetchErrorStopsTheLoopAfterTheOldestRequests) {
  InsertRequests(*db_, {{"F3", 7, 1, kGroup, Stamp(30)},
                        {"F1", 7, 1, kGroup, Stamp(10)},
                        {"F5", 7, 1, kGroup, Stamp(50)},
                        {"F2", 7, 1, kGroup, Stamp(20)},
                        {"F4", 7, 1, kGroup, Stamp(40)}});

  auto result = testing_run::RunMainInChild(
      dir_->RunPath(), CommandLine(dir_->ConfigPath(), kGroup),
      testing_run::ChildFault{db::FaultOp::Fetch, "from Rvk740Pud", 3, db::status::kIoError});

  ExpectQuietSuccess(result);
  EXPECT_EQ(Requests(), Pending({"F3", "F4", "F5"}));
  ExpectEntries(Log(), {{"Pud_TSCur_Read", "Fehler Cursor Read", db::status::kIoError}});
}

// A request whose date does not exist (held by a database made before the schema refused
// such dates) fails at its own fetch with the status TO_DATE gives that date: it is reported
// and stays pending, and the requests before and after it are handled and deleted.
TEST_P(RequestLoopTest, DateThatDoesNotExistHoldsOnlyItsOwnRow) {
  if (GetParam() != Backend::Sqlite) GTEST_SKIP() << "PostgreSQL cannot hold such a date";
  InsertDayCodes(*db_, "I1", "2024-03-01");
  InsertDutyRow(*db_, "I1", "2024-03-01");
  InsertRequests(*db_, {{"I1", 1, 1, kGroup, Stamp(0)}, {"I2", 7, 1, kGroup, Stamp(2)}});
  Request impossible{"I3", 7, 1, kGroup, Stamp(1)};
  impossible.day = "2026-02-30";
  db_->Exec("PRAGMA ignore_check_constraints = ON");
  InsertRequests(*db_, {impossible});
  db_->Exec("PRAGMA ignore_check_constraints = OFF");

  ExpectQuietSuccess(Run());

  EXPECT_EQ(Requests(), Pending({"I3"}));
  EXPECT_NE(DutyStamp("I1"), testing_db::Cell("2000-01-01 00:00:00")) << "type 1 saved no row";
  ExpectEntries(Log(), {{"Pud_TSCur_Read", "Fehler Cursor Read", -1847}});  // day of month
}

// Two requests with one time stamp are each written back to their own row, in the group
// and outside it.
TEST_P(RequestLoopTest, RequestsSharingATimeStampEachKeepTheirOwnRow) {
  for (const char* pnr : {"S1", "S2"}) {
    InsertDayCodes(*db_, pnr, "2024-03-01");
    InsertDutyRow(*db_, pnr, "2024-03-01");
  }
  InsertRequests(*db_, {{"S1", 1, 1, kGroup, Stamp(0)},
                        {"S2", 1, 1, kGroup, Stamp(0)},
                        {"S3", 7, 1, kOtherGroup, Stamp(0)}});
  Rows otherGroup = Requests(kOtherGroup);

  ExpectQuietSuccess(Run());

  EXPECT_EQ(Requests(), kNone);
  EXPECT_EQ(Requests(kOtherGroup), otherGroup);
  EXPECT_EQ(db_->Count("select count(*) from Rvk740Pud where PudPnr='S3' and PudTyp=7"), 1);
  for (const char* pnr : {"S1", "S2"}) {
    EXPECT_NE(DutyStamp(pnr), testing_db::Cell("2000-01-01 00:00:00")) << pnr;
  }
}

// Two runs for two groups of one schema at once, sharing the log: every request of both is
// done, nothing else is touched, and every entry is whole. Every tenth request is of type 1
// for a person without day codes, so each run writes entries.
TEST_P(RequestLoopTest, ConcurrentRunsOfTwoGroupsShareTheSchemaAndTheLog) {
  constexpr int kPerGroup = 300;
  const char* groups[] = {"GRP_A", "GRP_B"};
  std::vector<Request> requests;
  for (int i = 0; i < kPerGroup; ++i) {
    for (int g = 0; g < 2; ++g) {
      int type = i % 10 == 0 ? 1 : 7;
      requests.push_back({"Q" + std::to_string(g) + "_" + std::to_string(i), type, 1, groups[g],
                          Stamp(2 * i + g)});
    }
  }
  InsertRequests(*db_, requests);
  InsertRequests(*db_, {{"C1", 7, 1, "GRP_C", Stamp(0)}, {"C2", 1, 1, "GRP_C", Stamp(1)}});
  Rows bystander = Requests("GRP_C");

  testing_run::RunningProgram first(testing_run::ProgramPath(),
                                    CommandLine(dir_->ConfigPath(), groups[0]), dir_->RunPath());
  testing_run::RunningProgram second(testing_run::ProgramPath(),
                                     CommandLine(dir_->ConfigPath(), groups[1]), dir_->RunPath());
  ExpectQuietSuccess(first.Wait());
  ExpectQuietSuccess(second.Wait());

  EXPECT_EQ(Requests(groups[0]), kNone);
  EXPECT_EQ(Requests(groups[1]), kNone);
  EXPECT_EQ(Requests("GRP_C"), bystander);
  testing_run::ParsedLog log = Log();
  ASSERT_TRUE(log.whole) << log.problem;
  EXPECT_EQ(log.entries.size(), 2u * kPerGroup / 10) << run_tests::Describe(log);
  for (const auto& entry : log.entries) {
    EXPECT_EQ(entry.func, "Read_UrlKrk_Tgb()");
    EXPECT_EQ(entry.code, 1403);
  }
}

INSTANTIATE_BACKEND_TEST(RequestLoopTest);

}  // namespace

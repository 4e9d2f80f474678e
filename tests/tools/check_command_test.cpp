// kestrumel-config check on a real database of every backend: a healthy one passes, each fault
// an operator meets shows on its own line with the right exit status, and nothing changes.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/backend_test.h"
#include "common/child_body.h"
#include "common/program_run.h"
#include "common/test_db.h"
#include "db/runtime/fault_seam.h"
#include "db/status.h"
#include "kestrumel-config/commands.h"

namespace {

using testing_db::Backend;
using testing_db::TestDb;
using testing_run::RunDir;

struct Fault {
  const char* name;
  std::function<void(TestDb&, const RunDir&)> make;
  std::string check;    // the one line that is not ok ("" for none)
  std::string verdict;  // its verdict
  std::string finding;  // a text the report shows for it
  int exitStatus;
  enum class Only { kAll, kServer, kSqlite, kPostgresUri } only = Only::kAll;  // SQLite has no logins
};

constexpr const char* kWrongPassword = "Wr0ng-Secret";

bool IsSqlite(const TestDb& db) { return db.NetService().rfind("sqlite:", 0) == 0; }

bool Applies(Fault::Only only, const TestDb& db) {
  switch (only) {
    case Fault::Only::kAll: return true;
    case Fault::Only::kServer: return !IsSqlite(db);
    case Fault::Only::kSqlite: return IsSqlite(db);
    case Fault::Only::kPostgresUri: return db.NetService().rfind("postgresql://", 0) == 0;
  }
  return false;
}

// The server's URI behind a first host where nothing listens (a pair's URI lists two already),
// asking for the host that takes writes or not.
void WriteHostList(TestDb& db, const RunDir& dir, bool askPrimary) {
  std::string net = db.NetService();
  net.erase(std::min(net.find('?'), net.size()));
  if (net.find(',') == std::string::npos) net.insert(std::strlen("postgresql://"), "127.0.0.1:1,");
  if (askPrimary) net += "?target_session_attrs=read-write";
  testing_run::WriteConfigWithTool(dir.ConfigPath(), net, db.Schema(), db.User(),
                                   db.Password() + "\n");
}

// A pending date-range request whose date and the day after are in the calendar.
void Seed(TestDb& db) {
  db.Exec("insert into Rvk740Pud (PudPnr, PudDtm, PudTyp, PudKng, PudTxc, PudPlg, PudErf, PudDat) "
          "values ('4711', '2026-12-14 00:00:00', 2, 1, 0, 'PLG01', 'x', '2026-12-08 09:00:00')");
  db.Exec("insert into Rvk740Pud (PudPnr, PudDtm, PudTyp, PudKng, PudTxc, PudPlg, PudErf, PudDat) "
          "values ('4711', '2026-12-13 00:00:00', 1, 3, 0, 'PLG01', 'x', '2026-12-08 08:00:00')");
  for (const char* day : {"2026-12-14", "2026-12-15"}) {
    db.Exec(std::string("insert into RVKSTAMM.Rvk133Bak (BakDtm, BakJhr, BakMon, BakTag, BakWch, "
                        "BakWtg, BakJtg) values ('") + day + " 00:00:00', 2026, 12, 14, 51, 1, 348)");
  }
}

// A date no run can read: SQLite keeps any text once its checks are off; PostgreSQL has no
// impossible date, but a five-digit year does not fit the program's eight characters.
void AddImpossibleDate(TestDb& db) {
  std::string date = IsSqlite(db) ? "2026-02-30 00:00:00" : "12026-02-01 00:00:00";
  if (IsSqlite(db)) {
    db.Exec("PRAGMA ignore_check_constraints = 1");
  } else {
    db.Exec("alter table Rvk740Pud drop constraint rvk740pud_puddtm_check");
  }
  db.Exec("insert into Rvk740Pud (PudPnr, PudDtm, PudTyp, PudKng, PudTxc, PudPlg, PudErf, PudDat) "
          "values ('0815', '" + date + "', 1, 1, 0, 'PLG01', 'x', '2026-12-08 09:30:00')");
}

const Fault kFaults[] = {
    {"none", [](TestDb&, const RunDir&) {}, "", "", "", 0},
    {"missing index", [](TestDb& db, const RunDir&) { db.Exec("drop index Rvk730Bdp_Slot"); },
     "indexes", "warn", "every tally is a full scan", 0},
    {"missing calendar day",
     [](TestDb& db, const RunDir&) {
       db.Exec("delete from RVKSTAMM.Rvk133Bak where BakDtm = '2026-12-15 00:00:00'");
     },
     "calendar", "FAIL", "the day after 2026-12-14", 1},
    {"missing log directory", [](TestDb&, const RunDir& dir) { dir.RemoveLogDir(); }, "log",
     "FAIL", "../quelborne_php/log does not exist", 1},
    {"impossible date", [](TestDb& db, const RunDir&) { AddImpossibleDate(db); }, "queue", "FAIL",
     "PudPnr=0815", 1},
    {"missing column",
     [](TestDb& db, const RunDir&) { db.Exec("alter table Rvk725Bsm drop column BsmKor"); },
     "tables", "FAIL", "Rvk725Bsm.BsmKor: no such column", 1},
    {"wrong password",
     [](TestDb& db, const RunDir& dir) {
       testing_run::WriteConfigWithTool(dir.ConfigPath(), db.NetService(), db.Schema(), db.User(),
                                        std::string(kWrongPassword) + "\n");
     },
     "connection", "FAIL", "status -1017: ", 1, Fault::Only::kServer},
    {"host list asking for the primary",
     [](TestDb& db, const RunDir& dir) { WriteHostList(db, dir, true); }, "", "",
     "connected read-only", 0, Fault::Only::kPostgresUri},
    {"host list taking any host",
     [](TestDb& db, const RunDir& dir) { WriteHostList(db, dir, false); }, "connection", "warn",
     "add target_session_attrs=read-write", 0, Fault::Only::kPostgresUri},
#ifndef _WIN32  // Windows deletes no file that the test's own connection holds open
    {"missing calendar file",
     [](TestDb& db, const RunDir&) {
       std::remove((db.NetService().substr(std::strlen("sqlite:")) + "/RVKSTAMM.db").c_str());
     },
     "connection", "FAIL", "the file RVKSTAMM.db beside", 1, Fault::Only::kSqlite},
#endif
    {"log of many runs",
     [](TestDb& db, const RunDir& dir) {
       std::string entry = "\r\nSystem-Date: 2026-12-09 15:20:00\r\nx\r\n", text;
       for (int i = 0; i < 3001; ++i) text += entry;
       std::ofstream(dir.LogPath(db.Schema()), std::ios::binary) << text;
     },
     "log", "warn", "logrotate", 0},
};

// The verdict a check gets when `fault` is the only one: after a failed connection the
// database is not looked at.
std::string ExpectedVerdict(const Fault& fault, const std::string& check) {
  if (check == fault.check) return fault.verdict;
  bool looksAtDatabase = check != "configuration" && check != "connection" && check != "log";
  bool connected = fault.check != "connection" || fault.verdict != "FAIL";
  return !connected && looksAtDatabase ? "skip" : "ok";
}

// The report's lines as check name -> verdict, and the whole text.
std::vector<std::pair<std::string, std::string>> Verdicts(const std::string& report) {
  std::vector<std::pair<std::string, std::string>> verdicts;
  size_t start = report.find('\n') + 1;  // after the heading
  for (size_t end; (end = report.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = report.substr(start, end - start);
    if (line.empty() || line[0] == ' ') continue;  // a finding or an advice
    size_t gap = line.find(' ');
    size_t name = line.find_first_not_of(' ', gap);
    verdicts.emplace_back(line.substr(name, line.find(' ', name) - name), line.substr(0, gap));
  }
  return verdicts;
}

// What the check must leave alone: SQLite's files byte for byte (with their write-ahead logs);
// on a server, the rows inserted, updated and deleted in the database once the check's session
// is gone (its read-only statements count as committed transactions, so those may grow).
std::string Footprint(TestDb& db) {
  if (IsSqlite(db)) {
    std::string directory = db.NetService().substr(7), sums;
    for (const std::string& file : {std::string("RVKSTAMM.db"), db.Schema() + ".db"}) {
      for (const char* suffix : {"", "-wal"}) {
        std::string bytes = testing_run::ReadFile(directory + "/" + file + suffix);
        sums += std::to_string(std::hash<std::string>{}(bytes)) + " ";
      }
    }
    return sums;
  }
  for (int i = 0; i < 100 && db.Count("select count(*) from pg_stat_activity where "
                                      "application_name = 'kestrumel' and datname = "
                                      "current_database()") > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  db.Query("select pg_stat_force_next_flush()");
  return *db.Scalar("select tup_inserted || ' ' || tup_updated || ' ' || tup_deleted "
                    "from pg_stat_database where datname = current_database()");
}

class CheckCommandTest : public testing::TestWithParam<Backend> {};

TEST_P(CheckCommandTest, HealthyPassesEachFaultShowsOnItsLineAndNothingChanges) {
  for (const Fault& fault : kFaults) {
    SCOPED_TRACE(fault.name);
    auto db = TestDb::Create(GetParam());
    ASSERT_NE(db, nullptr);
    if (!Applies(fault.only, *db)) continue;
    RunDir dir(*db);
    Seed(*db);
    fault.make(*db, dir);
    std::string before = Footprint(*db);
    auto result = testing_run::RunExecutable(testing_run::ConfigToolPath(),
                                             {"check", dir.ConfigPath()}, dir.RunPath());
    EXPECT_EQ(Footprint(*db), before);
    EXPECT_EQ(result.exitStatus, fault.exitStatus) << result.out << result.err;
    auto verdicts = Verdicts(result.out);
    EXPECT_EQ(verdicts.size(), 8u) << result.out;
    for (const auto& [check, verdict] : verdicts) {
      EXPECT_EQ(verdict, ExpectedVerdict(fault, check)) << check << "\n" << result.out;
    }
    EXPECT_NE(result.out.find(fault.finding), std::string::npos) << result.out;
    for (const std::string& password : {db->Password(), std::string(kWrongPassword)}) {
      EXPECT_EQ(result.out.find(password), std::string::npos) << result.out;
    }
  }
}

// The rows a run can touch, as text: what a preview must leave as it found them.
std::string Contents(TestDb& db) {
  std::string text;
  for (const char* table : {"Rvk740Pud", "Rvk730Bdp", "Rvk725Bsm", "Rvk746Err"}) {
    std::vector<std::string> rows;
    for (const auto& row : db.Query(std::string("select * from ") + table)) {
      std::string line = table;
      for (const auto& cell : row) line += "|" + cell.value_or("<null>");
      rows.push_back(line);
    }
    std::sort(rows.begin(), rows.end());
    for (const std::string& row : rows) text += row + "\n";
  }
  return text;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// preview lists the changes the run then makes, and leaves the database and the log as they were.
TEST_P(CheckCommandTest, PreviewListsWhatTheRunThenDoesAndKeepsNothing) {
  auto db = TestDb::Create(GetParam());
  ASSERT_NE(db, nullptr);
  RunDir dir(*db);
  Seed(*db);  // 4711's plan goes from 2026-12-14 on
  for (const char* day : {"2026-12-14", "2026-12-15"}) {
    db->Exec(std::string("insert into Rvk730Bdp (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpBsz, BdpSzv, "
                         "BdpSzb, BdpFc1, BdpFc2, BdpFc3, BdpPlg, BdpAsw, BdpSts, BdpAkt, BdpDat) "
                         "values ('4711', '") + day + " 00:00:00', 'STAT1', 'FRUEH', 'F', 600, "
             "1400, '   ', '   ', '   ', 'PLG01', 1, 'P', 1, '2026-12-01 08:00:00')");
    db->Exec(std::string("insert into Rvk725Bsm (BsmBdt, BsmEso, BsmEsa, BsmBsz, BsmSzv, BsmSzb, "
                         "BsmSol, BsmMin, BsmMax, BsmIst, BsmPlg, BsmHtg, BsmHtv, BsmHtn, BsmKng, "
                         "BsmFkt, BsmAsw, BsmKor, BsmDat) values ('") + day + " 00:00:00', "
             "'STAT1', 'FRUEH', 'F', 600, 1400, 1, 1, 1, 1, 'PLG01', 0, 0, 0, 0, 0, 1, 0, "
             "'2026-12-01 08:00:00')");
  }
  std::string before = Contents(*db);
  auto preview = testing_run::RunExecutable(testing_run::ConfigToolPath(),
                                            {"preview", dir.ConfigPath(), "PLG01", "--format", "json"},
                                            dir.RunPath());
  ASSERT_EQ(preview.exitStatus, 0) << preview.out << preview.err;
  EXPECT_EQ(Contents(*db), before);
  EXPECT_FALSE(std::ifstream(dir.LogPath(db->Schema())).good());
  EXPECT_EQ(preview.out.find(db->Password()), std::string::npos);
  const std::string& json = preview.out;
  EXPECT_NE(json.find("\"done\":1"), std::string::npos) << json;
  // Both duty rows from the request date on, and both requests at the end; the slots counted anew.
  EXPECT_EQ(Occurrences(json, "{\"table\":\"Rvk730Bdp\",\"change\":\"deleted\""), 2u) << json;
  EXPECT_EQ(Occurrences(json, "{\"table\":\"Rvk740Pud\",\"change\":\"deleted\""), 2u) << json;
  EXPECT_EQ(Occurrences(json, "{\"table\":\"Rvk725Bsm\",\"change\":\"changed\""), 2u) << json;
  EXPECT_EQ(Occurrences(json, "\"BsmIst\":\"1\""), 2u) << json;
  EXPECT_EQ(Occurrences(json, "\"BsmIst\":\"0\""), 2u) << json;
  size_t deviations = Occurrences(json, "{\"table\":\"Rvk746Err\",\"change\":\"inserted\"");

  auto run = testing_run::RunExecutable(testing_run::ProgramPath(),
                                        testing_run::CommandLine(dir.ConfigPath(), "PLG01"),
                                        dir.RunPath());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(db->Count("select count(*) from Rvk730Bdp where BdpPnr = '4711'"), 0);
  EXPECT_EQ(db->Count("select count(*) from Rvk740Pud"), 0);
  EXPECT_EQ(db->Count("select count(*) from Rvk725Bsm where BsmIst = 0"), 2);
  EXPECT_EQ(static_cast<size_t>(db->Count("select count(*) from Rvk746Err")), deviations);
}

// selftest runs its own scenario with every step ok and leaves the database as it found it; a
// rule of the site's that the scenario cannot meet fails it by name.
TEST_P(CheckCommandTest, SelftestPassesEveryStepKeepsNothingAndNamesARuleItCannotMeet) {
  auto db = TestDb::Create(GetParam());
  ASSERT_NE(db, nullptr);
  RunDir dir(*db);
  Seed(*db);  // the calendar's days 2026-12-14 and 2026-12-15, and the site's own requests
  // Byte for byte on SQLite: the seed is checkpointed first, as the tool's connection, the
  // last to close, would checkpoint it.
  if (IsSqlite(*db)) db->Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  std::string before = Contents(*db), footprint = IsSqlite(*db) ? Footprint(*db) : "";
  auto result = testing_run::RunExecutable(testing_run::ConfigToolPath(),
                                           {"selftest", dir.ConfigPath()}, dir.RunPath());
  EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
  EXPECT_EQ(Contents(*db), before);
  if (IsSqlite(*db)) {
    EXPECT_EQ(Footprint(*db), footprint);
  }
  EXPECT_FALSE(std::ifstream(dir.LogPath(db->Schema())).good());
  EXPECT_EQ(result.out.find(db->Password()), std::string::npos);
  auto verdicts = Verdicts(result.out);
  EXPECT_EQ(verdicts.size(), 8u) << result.out;
  for (const auto& [step, verdict] : verdicts) EXPECT_EQ(verdict, "ok") << step << "\n" << result.out;
  EXPECT_NE(result.out.find("Fehler: Read BsmSatz"), std::string::npos) << result.out;

  // A rule of the site's the scenario cannot satisfy: the run fails naming it, and keeps nothing.
  // A database of its own: the checksums above took the first one's file locks away.
  auto ruled = TestDb::Create(GetParam());
  ASSERT_NE(ruled, nullptr);
  RunDir ruledDir(*ruled);
  Seed(*ruled);
  ruled->Exec("create table Rvk001Per (PerPnr varchar(8) primary key)");
  if (IsSqlite(*ruled)) {
    ruled->Exec("create trigger rvk730bdp_person_fk before insert on Rvk730Bdp when not exists "
                "(select 1 from Rvk001Per where PerPnr = new.BdpPnr) begin select "
                "raise(abort, 'rvk730bdp_person_fk violated'); end");
  } else {
    ruled->Exec("alter table Rvk730Bdp add constraint rvk730bdp_person_fk foreign key (BdpPnr) "
                "references Rvk001Per (PerPnr)");
  }
  before = Contents(*ruled);
  result = testing_run::RunExecutable(testing_run::ConfigToolPath(),
                                      {"selftest", ruledDir.ConfigPath(), "--format", "json"},
                                      ruledDir.RunPath());
  EXPECT_EQ(result.exitStatus, 1) << result.out << result.err;
  EXPECT_NE(result.out.find("insert into Rvk730Bdp refused"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("rvk730bdp_person_fk"), std::string::npos) << result.out;
  EXPECT_EQ(Contents(*ruled), before);

#ifndef _WIN32
  // Killed at a random moment of its work, the fault step's included: no row of the scenario
  // stays, and its second session ends with it. The moments are spread evenly over the
  // logarithm, so the short scenario before the fault step is met as often as the long wait.
  auto killed = TestDb::Create(GetParam());
  ASSERT_NE(killed, nullptr);
  RunDir killedDir(*killed);
  Seed(*killed);
  std::mt19937 random(std::random_device{}());
  auto moment = std::chrono::milliseconds(static_cast<long>(
      std::exp(std::uniform_real_distribution<double>(std::log(30.0), std::log(15000.0))(random))));
  SCOPED_TRACE("killed after " + std::to_string(moment.count()) + " ms");
  testing_run::RunningProgram running(testing_run::ConfigToolPath(),
                                      {"selftest", killedDir.ConfigPath()}, killedDir.RunPath());
  if (!running.EndsWithin(moment)) running.Kill();
  running.Wait();
  for (int i = 0; i < 100 && !IsSqlite(*killed) &&
                  killed->Count("select count(*) from pg_stat_activity where application_name = "
                                "'kestrumel' and datname = current_database()") > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!IsSqlite(*killed)) {
    EXPECT_EQ(killed->Count("select count(*) from pg_stat_activity where application_name = "
                            "'kestrumel' and datname = current_database()"), 0);
  }
  EXPECT_EQ(killed->Count("select count(*) from Rvk740Pud where PudPlg like 'ZZST%' or "
                          "PudPnr like 'ZZST%'") +
                killed->Count("select count(*) from Rvk730Bdp where BdpPnr like 'ZZST%'") +
                killed->Count("select count(*) from Rvk725Bsm where BsmEso like 'ZZST%'") +
                killed->Count("select count(*) from rvk327tag where TagPnr like 'ZZST%'") +
                killed->Count("select count(*) from Rvk746Err where ErrPlg like 'ZZST%'"),
            0);
#endif
}

// selftest in a child of this test, with the fault seam armed first when `fault` names a
// statement text (op, n-th call, status, text): the seam lives in this process, not in the tool.
int SelftestBody(const std::vector<std::string>& args) {
  if (args.size() != 5) return 125;
  if (!args[3].empty()) {
    db::FaultSeam_Arm(static_cast<db::FaultOp>(std::stoi(args[0])), args[3].c_str(),
                      std::stoi(args[1]), std::stoi(args[2]));
  }
  return RunSelftest({args[4], false});
}

const testing_child::Registration kSelftest("selftest", &SelftestBody);

struct Breakage {
  const char* name;
  db::FaultOp op;
  const char* fragment;  // "" for no fault of the seam
  int status;
  std::function<void(TestDb&)> make;
  const char* step;  // the one step that must fail
};

// A trigger moves the day of every deviation row by one, as a dialect that writes a date
// wrongly would: the program's own code cannot be made to do that without a hook in it.
void ShiftDeviationDays(TestDb& db) {
  if (IsSqlite(db)) {
    db.Exec("create trigger rvk746err_shift after insert on Rvk746Err begin update Rvk746Err set "
            "ErrBdt = datetime(ErrBdt, '+1 day') where rowid = new.rowid; end");
    return;
  }
  db.Exec("create function rvk746err_shift() returns trigger language plpgsql as $$ begin "
          "new.ErrBdt := new.ErrBdt + interval '1 day'; return new; end $$");
  db.Exec("create trigger rvk746err_shift before insert on Rvk746Err for each row execute "
          "function rvk746err_shift()");
}

const Breakage kBreakages[] = {
    {"the slot's update refused", db::FaultOp::Execute, "update Rvk725Bsm", db::status::kUniqueViolated,
     [](TestDb&) {}, "single-day"},
    {"a date written wrongly", db::FaultOp::Execute, "", 0, ShiftDeviationDays, "widths"},
};

// A program broken on purpose fails selftest at the step that meets the breakage, and the
// database keeps nothing of the scenario.
TEST_P(CheckCommandTest, SelftestFailsTheStepThatMeetsAProgramBrokenOnPurpose) {
  for (const Breakage& breakage : kBreakages) {
    SCOPED_TRACE(breakage.name);
    auto db = TestDb::Create(GetParam());
    ASSERT_NE(db, nullptr);
    RunDir dir(*db);
    Seed(*db);
    breakage.make(*db);
    std::string before = Contents(*db);
    auto result = testing_child::Start("selftest", {std::to_string(static_cast<int>(breakage.op)),
                                                    "1", std::to_string(breakage.status),
                                                    breakage.fragment, dir.ConfigPath()},
                                       dir.RunPath())->Wait();
    EXPECT_EQ(result.exitStatus, 1) << result.out << result.err;
    EXPECT_EQ(Contents(*db), before);
    auto verdicts = Verdicts(result.out);
    EXPECT_EQ(verdicts.size(), 8u) << result.out;
    EXPECT_NE(std::find(verdicts.begin(), verdicts.end(),
                        std::make_pair(std::string(breakage.step), std::string("FAIL"))),
              verdicts.end()) << result.out;
    for (const auto& [step, verdict] : verdicts) {
      std::string expected = step == breakage.step ? "FAIL" : step == "fault" ? "skip" : "ok";
      EXPECT_EQ(verdict, expected) << step << "\n" << result.out;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, CheckCommandTest, testing::ValuesIn(testing_db::TestBackends()),
                         testing_db::BackendTestName);

}  // namespace

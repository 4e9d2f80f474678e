#include "run/plan_tree.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>
#include <vector>

#include "run/log_expectations.h"

namespace run_tests {
namespace {

using testing_db::TestDb;

constexpr int kPersons = 60;
constexpr int kDays = 14;
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

// Request i is for this person and day; within 60 requests no person comes twice.
int PersonOf(int request) { return (request * 7) % kPersons; }
int DayOf(int request) { return (request * 5) % kDays; }

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

void InsertDutyAndDayCodes(TestDb& db) {
  std::vector<std::string> duty, codes;
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
  InsertRows(db, "insert into Rvk730Bdp (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpSzb, "
                 "BdpZtv, BdpZtb, BdpAsw, BdpAkt, BdpSts, BdpFc1, BdpFc2, BdpFc3, BdpDat)", duty);
  InsertRows(db, "insert into rvk327tag (TagPnr, TagTag, TagTgb, TagHtv, TagHtn)", codes);
}

// Targets that the plan misses both ways, or (missed alike) a target far below every count
// and a maximum far above it.
void InsertSlots(TestDb& db, bool missedAlike) {
  std::vector<std::string> slots;
  for (int d = 0; d < kDays; ++d) {
    for (int u = 0; u < 4; ++u) {
      for (int s = 0; s < 3; ++s) {
        int target = missedAlike ? -1000 : 1 + (d + u + s) % 3;
        int maximum = missedAlike ? 1000 : target + 1;
        slots.push_back("(" + Day(d) + ",'" + kUnits[u] + "','A'," +
                        std::to_string(kShiftStart[s]) + "," +
                        std::to_string((kShiftStart[s] + 800) % 2400) + ",1,'F1'," +
                        std::to_string(target) + "," + std::to_string(target - 1) + "," +
                        std::to_string(maximum) + ",0,0,0,0,0,0,'2000-01-01 00:00:00')");
      }
    }
  }
  InsertRows(db, "insert into Rvk725Bsm (BsmBdt, BsmEso, BsmEsa, BsmSzv, BsmSzb, BsmAsw, "
                 "BsmBsz, BsmSol, BsmMin, BsmMax, BsmIst, BsmHtg, BsmHtv, BsmHtn, BsmKor, "
                 "BsmFkt, BsmDat)", slots);
}

void InsertCalendar(TestDb& db) {
  std::vector<std::string> calendar;
  for (int d = 0; d < kDays + 5; ++d) calendar.push_back("(" + Day(d) + ")");
  InsertRows(db, "insert into RVKSTAMM.Rvk133Bak (BakDtm)", calendar);
}

}  // namespace

void AddRequests(TestDb& db, const PlanShape& shape) {
  std::vector<std::string> requests;
  for (int i = shape.firstRequest; i < shape.firstRequest + shape.requests; ++i) {
    int type = i % 8 == 7 ? 2 : 1;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "'2024-03-01 %02d:%02d:%02d'", 8 + i / 3600,
                  i / 60 % 60, i % 60);
    requests.push_back("(" + Person(PersonOf(i)) + "," + Day(DayOf(i)) + "," +
                       std::to_string(type) + ",1,0,'" + shape.group + "','ERF'," + stamp + ")");
  }
  InsertRows(db, "insert into Rvk740Pud (PudPnr, PudDtm, PudTyp, PudKng, PudTxc, PudPlg, "
                 "PudErf, PudDat)", requests);
}

void GenerateTree(TestDb& db, const PlanShape& shape) {
  InsertDutyAndDayCodes(db);
  InsertSlots(db, shape.targetsMissedAlike);
  InsertCalendar(db);
  AddRequests(db, shape);
  if (shape.firstWithoutDayCodes) {
    db.Exec("delete from rvk327tag where TagPnr=" + Person(PersonOf(shape.firstRequest)) +
            " and TagTag=" + Day(DayOf(shape.firstRequest)));
  }
}

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

Tree Tree::Generate(const testing_db::Backend& backend, const PlanShape& shape) {
  return GenerateOn(TestDb::Create(backend), shape);
}

Tree Tree::GenerateOn(std::unique_ptr<TestDb> db, const PlanShape& shape) {
  Tree tree{std::move(db), nullptr};
  if (tree.db == nullptr) return tree;
  GenerateTree(*tree.db, shape);
  tree.dir = std::make_unique<testing_run::RunDir>(*tree.db);
  return tree;
}

testing_run::ProgramResult Tree::RunWhole(const std::string& group) const {
  return testing_run::RunProgram(dir->RunPath(),
                                 testing_run::CommandLine(dir->ConfigPath(), group));
}

std::unique_ptr<testing_run::RunningProgram> Tree::Start(const std::string& group) const {
  return std::make_unique<testing_run::RunningProgram>(
      testing_run::ProgramPath(), testing_run::CommandLine(dir->ConfigPath(), group),
      dir->RunPath());
}

testing_run::ParsedLog Tree::Log() const {
  return testing_run::ReadLog(dir->LogPath(db->Schema()));
}

std::string Tree::Report(const std::string& group) const {
  return testing_run::ReadFile(dir->LogDir() + "/kestrumel_" + db->Schema() + "_" + group +
                               ".json");
}

testing_run::ProgramResult Tree::Status(const std::string& group) const {
  return testing_run::RunExecutable(testing_run::ConfigToolPath(),
                                    {"status", dir->ConfigPath(), group}, dir->RunPath());
}

std::string ReportField(const std::string& report, const std::string& key) {
  const std::string name = "\"" + key + "\": ";
  size_t start = report.find(name);
  if (start == std::string::npos) return "";
  start += name.size();
  std::string value = report.substr(start, report.find_first_of(",}\n", start) - start);
  if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

long Tree::Pending() const { return db->Count("select count(*) from Rvk740Pud where PudKng=1"); }
long Tree::Done() const { return db->Count("select count(*) from Rvk740Pud where PudKng=3"); }

void SlowDoneMarks(TestDb& db, double seconds) {
  db.Exec("CREATE FUNCTION kt_slow_mark() RETURNS trigger LANGUAGE plpgsql AS "
          "$$BEGIN PERFORM pg_sleep(" + std::to_string(seconds) + "); RETURN NEW; END$$;"
          " CREATE TRIGGER kt_slow_mark BEFORE UPDATE ON Rvk740Pud FOR EACH ROW "
          "EXECUTE FUNCTION kt_slow_mark()");
}

void NormalDoneMarks(TestDb& db) {
  db.Exec("DROP TRIGGER kt_slow_mark ON Rvk740Pud; DROP FUNCTION kt_slow_mark()");
}

bool WaitUntilDone(const Tree& tree, long count) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (tree.Done() < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool WaitUntilWaitingForALock(TestDb& db, const testing_db::Backend& backend) {
  if (backend == testing_db::Backend::Sqlite) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return true;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  while (db.Count("select count(*) from pg_stat_activity where datname=current_database() "
                  "and wait_event_type='Lock'") == 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void ExpectRerunCompletesLikeAWholeRun(const Tree& tree, const std::string& group,
                                       const testing_db::Backend& backend,
                                       const Outcome& expected, const std::string& what) {
  ExpectQuietSuccess(tree.RunWhole(group));
  EXPECT_TRUE(Snapshot(*tree.db) == expected) << what << Describe(tree.Log());
  if (backend == testing_db::Backend::Sqlite) {
    EXPECT_EQ(tree.db->Scalar("pragma integrity_check"), "ok") << what;
  }
}

}  // namespace run_tests

// kestrumel-config selftest: the program's own request handling, run on the site's database
// against a small fixed scenario whose rows the test stages itself, every result compared with
// the expected one; all of it in one rehearsal transaction that is rolled back.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "db/connect.h"
#include "db/work.h"
#include "db/runtime/runtime.h"
#include "db/status.h"
#include "kestrumel-config/check_report.h"
#include "kestrumel-config/commands.h"
#include "log/message_log.h"
#include "plan/recount.h"
#include "run/request_loop.h"
#include "run/run_parameters.h"
#include "config/startup_values.h"
#include "platform/child_process.h"

namespace {

constexpr int32_t kLogMask = DMSG | SMSG | FMSG;
constexpr int32_t kUpdateJob = 4;
// A job name as wide as the deviation row's ErrJbk holds.
constexpr const char* kJobName = "kestrumel-config selftest 32char";
static_assert(sizeof("kestrumel-config selftest 32char") == 33, "ErrJbk is 32 characters");

// A bound text, wide enough for every value the scenario sends or reads.
struct Text {
  char value[64] = {};
  Text() = default;
  Text(const std::string& text) { std::snprintf(value, sizeof value, "%s", text.c_str()); }
};

// The scenario's keys and days: the group is also the slots' station, so no slot of the site's
// is met; the persons are the group's key and a letter.
struct Scenario {
  std::string group;
  std::string single, range, keep;  // persons: a single-day request, date-range requests
  std::string fault;                // the request a second session holds up
  std::string day, next;            // two days in a row of the calendar, yyyymmdd
};

// The fault request's time stamp; its day as the write-back stores it is what the second
// session holds.
constexpr const char* kFaultQueued = "20000104";
// The last day a four-digit year holds: a single-day request on it, which needs no calendar.
constexpr const char* kLastDay = "99991231";
// How long the second session may take to connect and take its lock, and how long it holds
// it at most: past the program's lock bound and its one retry, and never for good.
constexpr int kHolderAnswerMs = 30000;
constexpr std::chrono::seconds kHoldBound{60};

// Runs `text` with as many text inputs as `values` holds (one to five).
int Execute(const char* text, const std::vector<std::string>& values, db::HostList out = {}) {
  std::vector<Text> in(values.begin(), values.end());
  in.resize(5);
  auto t = [&in](size_t k) { return db::TextIn(in[k].value); };
  switch (values.size()) {
    case 1: return db::SqlExecute(text, {t(0)}, out);
    case 2: return db::SqlExecute(text, {t(0), t(1)}, out);
    case 3: return db::SqlExecute(text, {t(0), t(1), t(2)}, out);
    case 4: return db::SqlExecute(text, {t(0), t(1), t(2), t(3)}, out);
    default: return db::SqlExecute(text, {t(0), t(1), t(2), t(3), t(4)}, out);
  }
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string Failure(const char* what, int rc) {
  std::string text = std::string(what) + ": status " + std::to_string(rc);
  std::string native = FirstLine(db::SqlLastNativeError());
  return native.empty() ? text : text + ": " + native;
}

// One count; -1 when the database refused it, with the refusal in `failure` when given.
long Count(const char* text, const std::vector<std::string>& values,
           std::string* failure = nullptr) {
  int32_t n = -1;
  int rc = Execute(text, values, {db::IntOut(n)});
  if (rc != 0 && failure != nullptr) *failure = Failure(text, rc);
  return rc == 0 ? n : -1;
}

// Three texts of one row; empty when there is none.
std::vector<std::string> Row3(const char* text, const std::vector<std::string>& values) {
  Text a, b, c;
  int rc = Execute(text, values, {db::TextOut(a.value, true), db::TextOut(b.value, true),
                                  db::TextOut(c.value, true)});
  if (rc != 0) return {};
  return {Trimmed(a.value), Trimmed(b.value), Trimmed(c.value)};
}

// Three numbers of one slot row as texts; empty when there is none.
std::vector<std::string> Slot3(const char* text, const std::vector<std::string>& values) {
  int32_t a = 0, b = 0, c = 0;
  int rc = Execute(text, values, {db::IntOut(a, true), db::IntOut(b, true), db::IntOut(c, true)});
  if (rc != 0) return {};
  return {std::to_string(a), std::to_string(b), std::to_string(c)};
}

// Whether no table of the site holds a row with these keys; a refused read tells why in
// `failure`.
bool KeysFree(const Scenario& s, std::string& failure) {
  const std::vector<std::string> keys = {s.group, s.single, s.range, s.keep, s.fault};
  const char* counts[] = {
      "select count(*) into :b0  from Rvk740Pud where ((((PudPlg=:b1 or PudPnr=:b2) or "
      "PudPnr=:b3) or PudPnr=:b4) or PudPnr=:b5)",
      "select count(*) into :b0  from Rvk730Bdp where ((((BdpEso=:b1 or BdpPnr=:b2) or "
      "BdpPnr=:b3) or BdpPnr=:b4) or BdpPnr=:b5)",
      "select count(*) into :b0  from rvk327tag where ((((TagPnr=:b1 or TagPnr=:b2) or "
      "TagPnr=:b3) or TagPnr=:b4) or TagPnr=:b5)",
      "select count(*) into :b0  from Rvk725Bsm where ((((BsmEso=:b1 or BsmPlg=:b2) or "
      "BsmPlg=:b3) or BsmPlg=:b4) or BsmPlg=:b5)",
      "select count(*) into :b0  from Rvk746Err where ((((ErrEso=:b1 or ErrPlg=:b2) or "
      "ErrPnr=:b3) or ErrPnr=:b4) or ErrPnr=:b5)",
  };
  for (const char* count : counts) {
    if (Count(count, keys, &failure) != 0) return false;
  }
  return true;
}

// The day after yyyymmdd, by the civil calendar.
std::string DayAfter(const std::string& day) {
  int y = std::stoi(day.substr(0, 4)), m = std::stoi(day.substr(4, 2)), d = std::stoi(day.substr(6, 2));
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  int last = m == 2 && leap ? 29 : kDays[m - 1];
  if (++d > last) {
    d = 1;
    if (++m > 12) m = 1, ++y;
  }
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
  return text;
}

// The latest two days in a row the calendar holds: the range request needs the next day.
int PickDays(Scenario& s) {
  db::SqlCursor cursor;
  int rc = db::SqlOpen(cursor, "select TO_CHAR(BakDtm,'yyyymmdd')  from RVKSTAMM.Rvk133Bak "
                               "order by BakDtm desc");
  Text day;
  std::string later;
  while (rc == 0 && (rc = db::SqlFetch(cursor, {db::TextOut(day.value, true)})) == 0) {
    std::string now = day.value;
    if (now.size() == 8 && DayAfter(now) == later) {
      s.day = now;
      s.next = later;
      break;
    }
    later = now;
  }
  db::SqlClose(cursor);
  return s.day.empty() ? (rc == 0 || rc == db::status::kNoData ? db::status::kNoData : rc) : 0;
}

// The scenario's rows, one statement each; "" when all went in, else what refused which.
std::string Stage(const Scenario& s) {
  static const char* kSlot =
      "insert into Rvk725Bsm (BsmBdt,BsmEso,BsmEsa,BsmBsz,BsmSzv,BsmSzb,BsmSol,BsmMin,BsmMax,"
      "BsmIst,BsmPlg,BsmHtg,BsmHtv,BsmHtn,BsmKng,BsmFkt,BsmAsw,BsmKor,BsmDat) values "
      "(TO_DATE(:b0,'yyyymmdd'),:b1,:b2,'F',600,1400,1,1,2,1,:b3,0,0,0,0,0,1,0,sysdate)";
  static const char* kDuty =
      "insert into Rvk730Bdp (BdpPnr,BdpBdt,BdpEso,BdpEsa,BdpBsz,BdpSzv,BdpSzb,BdpZtv,BdpZtb,"
      "BdpFc1,BdpFc2,BdpFc3,BdpPlg,BdpAsw,BdpSts,BdpAkt,BdpDat) values (:b0,TO_DATE(:b1,"
      "'yyyymmdd'),:b2,:b3,'F',600,1400,600,1400,'   ','   ','   ',:b4,1,'P',1,sysdate)";
  static const char* kCodes =
      "insert into rvk327tag (TagPnr,TagTag,TagTgb,TagHtv,TagHtn) values (:b0,TO_DATE(:b1,"
      "'yyyymmdd'),'K  ','   ','   ')";
  static const char* kRequest =
      "insert into Rvk740Pud (PudPnr,PudDtm,PudTyp,PudKng,PudTxc,PudPlg,PudErf,PudDat) values "
      "(:b0,TO_DATE(:b1,'yyyymmdd'),:b2,1,0,:b3,'selftest',TO_DATE(:b4,'yyyymmdd'))";
  struct Insert {
    const char* table;
    const char* text;
    std::vector<std::string> values;
    int32_t type;
  };
  const std::vector<Insert> inserts = {
      {"Rvk725Bsm", kSlot, {s.next, s.group, "SDAY", s.group}, 0},
      {"Rvk725Bsm", kSlot, {s.day, s.group, "RANGE", s.group}, 0},
      {"Rvk725Bsm", kSlot, {s.next, s.group, "RANGE", s.group}, 0},
      {"Rvk725Bsm", kSlot, {s.day, s.group, "KEEP", s.group}, 0},
      {"Rvk725Bsm", kSlot, {kLastDay, s.group, "Y9999", s.group}, 0},
      {"Rvk730Bdp", kDuty, {s.single, s.next, s.group, "SDAY", s.group}, 0},
      {"Rvk730Bdp", kDuty, {s.single, s.next, s.group, "NOSLT", s.group}, 0},  // no slot
      {"Rvk730Bdp", kDuty, {s.range, s.day, s.group, "RANGE", s.group}, 0},
      {"Rvk730Bdp", kDuty, {s.range, s.next, s.group, "RANGE", s.group}, 0},
      {"Rvk730Bdp", kDuty, {s.keep, s.day, s.group, "KEEP", s.group}, 0},
      {"Rvk730Bdp", kDuty, {s.single, kLastDay, s.group, "Y9999", s.group}, 0},
      {"rvk327tag", kCodes, {s.single, s.next}, 0},
      {"rvk327tag", kCodes, {s.single, kLastDay}, 0},
      // Oldest first: the order the loop works them in.
      {"Rvk740Pud", kRequest, {s.single, s.next, s.group, "20000101"}, 1},
      {"Rvk740Pud", kRequest, {s.range, s.day, s.group, "20000102"}, 2},
      {"Rvk740Pud", kRequest, {s.keep, s.day, s.group, "20000103"}, 2},
      {"Rvk740Pud", kRequest, {s.single, kLastDay, s.group, "20000103"}, 1},
  };
  for (const Insert& insert : inserts) {
    int rc;
    if (insert.type != 0) {
      Text in[4] = {insert.values[0], insert.values[1], insert.values[2], insert.values[3]};
      rc = db::SqlExecute(insert.text, {db::TextIn(in[0].value), db::TextIn(in[1].value),
                                        db::IntIn(insert.type), db::TextIn(in[2].value),
                                        db::TextIn(in[3].value)});
    } else {
      rc = Execute(insert.text, insert.values);
    }
    if (rc != 0) return Failure((std::string("insert into ") + insert.table + " refused").c_str(), rc);
  }
  return "";
}

CheckResult Step(const std::string& name, const std::string& summary,
                 const std::vector<std::pair<std::string, std::string>>& compared) {
  CheckResult result{name, Verdict::kOk, summary, {}, {}, ""};
  for (const auto& [expected, found] : compared) {
    if (expected == found) continue;
    result.verdict = Verdict::kFail;
    result.problems.push_back("expected " + expected + ", found " + found);
  }
  return result;
}

std::string Joined(const std::vector<std::string>& values) {
  std::string text;
  for (const std::string& value : values) text += (text.empty() ? "" : " ") + value;
  return text.empty() ? "(no row)" : text;
}

std::string At(const std::vector<std::string>& values, size_t k) {
  return k < values.size() ? values[k] : "(no row)";
}

bool HasEntry(const std::vector<std::string>& entries, const char* part) {
  for (const std::string& entry : entries) {
    if (entry.find(part) != std::string::npos) return true;
  }
  return false;
}

// Reads the results back in the rehearsal's transaction and compares each with the expected.
void Compare(const Scenario& s, const RunAccount& account, const std::vector<std::string>& entries,
             std::vector<CheckResult>& results) {
  static const char* kDutyRow =
      "select BdpFc1 ,BdpFc2 ,TO_CHAR(BdpBdt,'yyyymmdd') into :b0:b1,:b2:b3,:b4  from Rvk730Bdp "
      "where ((BdpPnr=:b5 and BdpEsa=:b6) and BdpBdt=TO_DATE(:b7,'yyyymmdd'))";
  static const char* kSlotRow =
      "select BsmIst ,BsmHtg ,BsmFkt into :b0:b1,:b2:b3,:b4:b5  from Rvk725Bsm where ((BsmEso=:b6 "
      "and BsmEsa=:b7) and BsmBdt=TO_DATE(:b8,'yyyymmdd'))";
  static const char* kDeviations =
      "select count(*) into :b0  from Rvk746Err where (((ErrPlg=:b1 and ErrEsa=:b2) and "
      "ErrFnr=1601) and ErrKng=:b3)";
  static const char* kDeviationRow =
      "select ErrPlg ,ErrJbk ,TO_CHAR(ErrBdt,'yyyymmdd') into :b0:b1,:b2:b3,:b4:b5  from Rvk746Err "
      "where ((ErrPlg=:b6 and ErrEsa=:b7) and ErrKng=:b8)";
  static const char* kDutyRows = "select count(*) into :b0  from Rvk730Bdp where BdpPnr=:b1";
  static const char* kPending = "select count(*) into :b0  from Rvk740Pud where PudPlg=:b1";

  results.push_back(Step(
      "single-day", "the day codes copied into the duty row, the slot recounted, a deviation row",
      {{"codes 'K'", "codes '" + At(Row3(kDutyRow, {s.single, "SDAY", s.next}), 0) + "'"},
       {"counted 1 with code 1, level -150", [&] {
          auto v = Slot3(kSlotRow, {s.group, "SDAY", s.next});
          return v.empty() ? "(no slot)" : "counted " + v[0] + " with code " + v[1] + ", level " + v[2];
        }()},
       {"1 deviation row 1601", std::to_string(Count(kDeviations, {s.group, "SDAY", "PLANU"})) +
                                    " deviation row 1601"}}));

  auto slotCount = [&](const std::string& esa, const std::string& day) {
    auto v = Slot3(kSlotRow, {s.group, esa, day});
    return v.empty() ? std::string("(no slot)") : v[0] + "/" + v[2];
  };
  results.push_back(Step(
      "date-range", "rows from the request date on deleted, the calendar's next day " + s.next +
                        " read, slots recounted",
      {{"0 rows left", std::to_string(Count(kDutyRows, {s.range})) + " rows left"},
       {"slots 0/-150 0/-150", "slots " + slotCount("RANGE", s.day) + " " + slotCount("RANGE", s.next)},
       {"2 deviation rows 1601", std::to_string(Count(kDeviations, {s.group, "RANGE", "PLANU"})) +
                                     " deviation rows 1601"},
       // Nothing planned after the request date: the row of the date itself stays.
       {"1 row kept", std::to_string(Count(kDutyRows, {s.keep})) + " row kept"}}));

  auto deviation = Row3(kDeviationRow, {s.group, "SDAY", "PLANU"});
  auto duty = Row3(kDutyRow, {s.keep, "KEEP", s.day});
  // The request on the last day went through the program's dates both ways: its duty row was
  // found by that day, and its slot's deviation row carries it.
  auto lastDeviation = Row3(kDeviationRow, {s.group, "Y9999", "PLANU"});
  results.push_back(Step(
      "widths", "a 5-character group, a 32-character job name and the dates " + s.day + ", " +
                    s.next + " and " + kLastDay + " read back",
      {{Joined({s.group, kJobName, s.next}), Joined(deviation)},
       {s.day, At(duty, 2)},
       {std::string("codes 'K' on ") + kLastDay,
        "codes '" + At(Row3(kDutyRow, {s.single, "Y9999", kLastDay}), 0) + "' on " +
            At(Row3(kDutyRow, {s.single, "Y9999", kLastDay}), 2)},
       {kLastDay, At(lastDeviation, 2)}}));

  bool told = HasEntry(entries, "Fehler: Read BsmSatz");
  results.push_back(Step(
      "data-error", "a duty row without its staffing slot: told, its codes kept, the request "
                    "goes on",
      {{"entry 'Fehler: Read BsmSatz'", told ? "entry 'Fehler: Read BsmSatz'" : "no such entry"},
       {"codes 'K'", "codes '" + At(Row3(kDutyRow, {s.single, "NOSLT", s.next}), 0) + "'"}}));

  results.push_back(Step(
      "queue-end", "the done requests deleted at the end",
      {{"4 done, 0 rolled back", std::to_string(account.done) + " done, " +
                                     std::to_string(account.rolledBack) + " rolled back"},
       {"0 pending", std::to_string(Count(kPending, {s.group})) + " pending"}}));
}

// The scenario's group as a run of it would be started.
RunParameters ScenarioParameters(const Scenario& s) {
  RunParameters parameters{};
  std::snprintf(parameters.planGroup, sizeof parameters.planGroup, "%s", s.group.c_str());
  std::snprintf(parameters.erfText, sizeof parameters.erfText, "%s", "selftest");
  std::snprintf(parameters.jbkText, sizeof parameters.jbkText, "%s", kJobName);
  Err_Init(parameters.planGroup, RunErrRecord(), parameters.erfText, parameters.jbdText,
           parameters.jbkText, kUpdateJob);
  return parameters;
}

// The scenario in a rehearsal; the steps' results go to `report`. Returns the scenario, its
// group empty when none could be staged.
Scenario Rehearse(CheckReport& report, std::vector<std::string>& entries) {
  CheckResult setup{"scenario", Verdict::kOk, "", {}, {}, ""};
  if (int rc = db::SqlBeginRehearsal()) {
    setup.verdict = Verdict::kFail;
    setup.summary = Failure("no transaction to rehearse in", rc);
    report.results.push_back(setup);
    return {};
  }
  Scenario s;
  std::string refused;
  for (char digit = '1'; digit <= '9' && s.group.empty(); ++digit) {
    Scenario candidate{std::string("ZZST") + digit, "", "", "", "", "", ""};
    candidate.single = candidate.group + "A";
    candidate.range = candidate.group + "B";
    candidate.keep = candidate.group + "C";
    candidate.fault = candidate.group + "D";
    if (KeysFree(candidate, refused)) s = candidate;
    if (!refused.empty()) break;
  }
  if (!refused.empty()) {
    // a read of the site's tables was refused: `refused` tells which
  } else if (s.group.empty()) {
    refused = "the keys ZZST1 to ZZST9 are all in use in the site's tables";
  } else if (int rc = PickDays(s)) {
    refused = rc == db::status::kNoData ? "the calendar RVKSTAMM.Rvk133Bak holds no two days in a row"
                                        : Failure("reading the calendar", rc);
  } else if ((refused = Stage(s)).empty()) {
    // Inside the rehearsal a commit is a mark: a request rolled back goes back to it, not
    // behind the scenario's rows.
    if (int marked = Work_Commit()) refused = Failure("the scenario's rows not marked", marked);
  }
  if (!refused.empty()) {
    setup.verdict = Verdict::kFail;
    setup.summary = refused;
    report.results.push_back(setup);
    db::SqlEndRehearsal();
    return {};
  }
  setup.summary = "group " + s.group + ", persons " + s.single + " " + s.range + " " + s.keep +
                  " " + s.fault + ", days " + s.day + " " + s.next;
  report.results.push_back(setup);
  RunAccount account;
  ProcessRequests(ScenarioParameters(s), account);
  Compare(s, account, entries, report.results);
  // Nothing of the scenario stays, whatever became of it.
  db::SqlEndRehearsal();
  return s;
}

// The first entry from `from` on that names `function`, flattened to one line; "" for none.
std::string EntryNaming(const std::vector<std::string>& entries, size_t from, const char* function) {
  for (size_t k = from; k < entries.size(); ++k) {
    if (entries[k].find(function) == std::string::npos) continue;
    std::string text;
    for (char c : entries[k]) {
      if (c == '\r' || c == '\n') {
        if (!text.empty() && text.back() != ' ') text += ' ';
      } else {
        text += c;
      }
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  return "";
}

// Whether the flattened entry ends with `status`, as its error code.
bool Mentions(const std::string& entry, int status) {
  const std::string code = " " + std::to_string(status);
  return entry.size() >= code.size() && entry.compare(entry.size() - code.size(), code.size(), code) == 0;
}

// A request queued at kFaultQueued for the fault person's first day at 10:00: its write-back
// stores the day without the time, the key the second session holds.
int StageFaultRequest(const Scenario& s) {
  static const char* kTimedRequest =
      "insert into Rvk740Pud (PudPnr,PudDtm,PudTyp,PudKng,PudTxc,PudPlg,PudErf,PudDat) values "
      "(:b0,TO_DATE(:b1,'yyyymmddHH24MISS'),1,1,0,:b2,'selftest',TO_DATE(:b3,'yyyymmdd'))";
  return Execute(kTimedRequest, {s.fault, s.day + "100000", s.group, kFaultQueued});
}

// The request held up: on a server, the second session's uncommitted request of the key the
// program's write-back stores makes the write-back wait for the lock bound; the request is
// rolled back, tried once more after the queue, and stays pending.
CheckResult HeldRequest(const Scenario& s, std::vector<std::string>& entries) {
  std::string summary = "a second session's uncommitted request of the key " + s.fault + " " +
                        s.day + " held the program's write-back past its lock bound";
  if (int rc = StageFaultRequest(s)) {
    return {"fault", Verdict::kFail, Failure("insert into Rvk740Pud refused", rc), {}, {}, ""};
  }
  if (int rc = Work_Commit()) {
    return {"fault", Verdict::kFail, Failure("the fault request not marked", rc), {}, {}, ""};
  }
  const size_t from = entries.size();
  const auto start = std::chrono::steady_clock::now();
  RunAccount account;
  ProcessRequests(ScenarioParameters(s), account);
  const auto waited = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::steady_clock::now() - start).count();
  static const char* kPending = "select count(*) into :b0  from Rvk740Pud where PudPlg=:b1";
  std::string entry = EntryNaming(entries, from, "Pud_PKeyUpd");
  const std::string busy = std::to_string(db::status::kResourceBusy);
  CheckResult result = Step(
      "fault", summary + " (" + std::to_string(waited) + " s for the request and its retry)",
      {{"0 done, 1 rolled back", std::to_string(account.done) + " done, " +
                                     std::to_string(account.rolledBack) + " rolled back"},
       {"1 pending", std::to_string(Count(kPending, {s.group})) + " pending"},
       {"entry 'Pud_PKeyUpd' with status " + busy,
        Mentions(entry, db::status::kResourceBusy) ? "entry 'Pud_PKeyUpd' with status " + busy
        : entry.empty() ? std::string("no such entry") : "entry '" + entry + "'"}});
  if (account.done != 0) {
    result.problems.push_back("the write-back did not wait for the second session: either "
                              "Rvk740Pud has no unique key over PudDat, PudPnr, PudDtm, PudTyp, or "
                              "the program waited without a bound until the session let go");
  }
  return result;
}

// Step 5 in a rehearsal of its own, with a second process of this program as the second
// session: it holds a key of the scenario's (on SQLite, whose one write lock a transaction
// takes at its begin, that lock) until its input is closed.
CheckResult Fault(const std::string& configPath, const Scenario& s,
                  std::vector<std::string>& entries) {
  auto holder = platform::StartSelf({"selftest-hold", configPath, s.fault, s.day, s.group});
  std::string said;
  if (holder == nullptr || !holder->ReadLine(said, kHolderAnswerMs) || said != "held") {
    return {"fault", Verdict::kFail,
            "no second session to hold a lock: " + (said.empty() ? "it did not answer" : said), {}, {}, ""};
  }
  const auto start = std::chrono::steady_clock::now();
  int begun = db::SqlBeginRehearsal();
  const auto waited = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::steady_clock::now() - start).count();
  CheckResult result;
  if (begun == 0) {
    result = HeldRequest(s, entries);
  } else {
    // The one writer's lock: nothing of the program's can run behind it, the begin meets it.
    result = Step("fault", "the second connection's write lock held the rehearsal's begin for " +
                               std::to_string(waited) + " s, the lock bound; no request can be "
                               "reached behind it on a database of one writer",
                  {{"status " + std::to_string(db::status::kResourceBusy),
                    "status " + std::to_string(begun)}});
  }
  db::SqlEndRehearsal();
  holder->Finish(kHolderAnswerMs);
  return result;
}

}  // namespace

// The second session of the fault step: connects with the configuration, inserts the fault
// request's key as its write-back would store it, says "held" and holds it, uncommitted, until
// its input ends or kHoldBound passes; then the work goes with the session.
int RunSelftestHold(const std::string& configPath, const std::string& person,
                    const std::string& day, const std::string& group) {
  StartupValues values;
  ReadStartupValues(configPath.c_str(), values);
  ClearClientEnvironment();
  int rc = dbConnect(values.user, values.password, values.netService, values.schema);
  WipeStartupValues(values);
  static const char* kHeldKey =
      "insert into Rvk740Pud (PudPnr,PudDtm,PudTyp,PudKng,PudTxc,PudPlg,PudErf,PudDat) values "
      "(:b0,TO_DATE(:b1,'yyyymmdd'),1,9,0,:b2,'selftest',TO_DATE(:b3,'yyyymmdd'))";
  if (rc == 0) rc = Execute(kHeldKey, {person, day, group, kFaultQueued});
  if (rc != 0) {
    std::printf("%s\n", Failure("the second session's insert", rc).c_str());
    std::fflush(stdout);
    db::SqlDisconnect();
    return kExitFailure;
  }
  std::printf("held\n");
  std::fflush(stdout);
  auto inputEnded = std::async(std::launch::async, [] {
    while (std::fgetc(stdin) != EOF) {
    }
  });
  inputEnded.wait_for(kHoldBound);
  db::SqlDisconnect();
  // The reader may still wait on an input that never ends; the process ends without it.
  std::_Exit(kExitOk);
}

int RunSelftest(const SelftestOptions& options) {
  CheckReport report;
  report.command = "selftest";
  report.config = options.configPath;
  StartupValues values;
  ReadStartupValues(options.configPath.c_str(), values);
  if (values.netService[0] == '\0' || values.schema[0] == '\0' || values.user[0] == '\0' ||
      values.password[0] == '\0') {
    WipeStartupValues(values);
    report.results.push_back({"configuration", Verdict::kFail,
                              "the configuration is not usable (see check)", {}, {}, ""});
    options.json ? PrintJson(report, stdout) : PrintText(report, stdout);
    return kExitRefused;
  }
  const std::string password = values.password;
  ClearClientEnvironment();
  std::vector<std::string> entries;
  SetLogFile(kLogMask, LogFileName(values.schema).c_str());
  // The scenario's entries are shown, never written to the site's log.
  CaptureLogEntries(&entries);
  int rc = dbConnect(values.user, values.password, values.netService, values.schema);
  WipeStartupValues(values);
  if (rc != 0) {
    report.results.push_back({"connection", Verdict::kFail, Failure("no connection", rc), {}, {}, ""});
  } else {
    Scenario s = Rehearse(report, entries);
    // Step 5 goes before the queue's end, as the steps are numbered. It costs the lock bound
    // twice, so a scenario that failed already, which is to be mended first, goes without it.
    if (!s.group.empty()) {
      CheckResult fault{"fault", Verdict::kSkipped, "not run after a step that failed", {}, {}, ""};
      if (!report.Failed()) fault = Fault(options.configPath, s, entries);
      report.results.insert(report.results.end() - 1, fault);
    }
  }
  db::SqlDisconnect();
  CaptureLogEntries(nullptr);
  CheckResult told{"entries", Verdict::kOk, std::to_string(entries.size()) + " log entries", {}, {}, ""};
  for (std::string entry : entries) {
    while (!entry.empty() && (entry.back() == '\n' || entry.back() == '\r')) entry.pop_back();
    for (char& c : entry) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    told.details.push_back(entry);
  }
  report.results.push_back(told);
  for (CheckResult& result : report.results) {
    result.summary = Masked(result.summary, password);
    for (std::string& line : result.problems) line = Masked(line, password);
    for (std::string& line : result.details) line = Masked(line, password);
  }
  options.json ? PrintJson(report, stdout) : PrintText(report, stdout);
  return report.Failed() ? kExitFailure : kExitOk;
}

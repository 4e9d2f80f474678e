// kestrumel-config selftest: the program's own request handling, run on the site's database
// against a small fixed scenario whose rows the test stages itself, every result compared with
// the expected one; all of it in one rehearsal transaction that is rolled back.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "db/connect.h"
#include "db/runtime/runtime.h"
#include "db/status.h"
#include "kestrumel-config/check_report.h"
#include "kestrumel-config/commands.h"
#include "log/message_log.h"
#include "plan/deviation.h"
#include "config/client_environment.h"
#include "run/request_loop.h"
#include "run/run_parameters.h"
#include "config/startup_values.h"

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
  std::string day, next;            // two days in a row of the calendar, yyyymmdd
};

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
  const std::vector<std::string> keys = {s.group, s.single, s.range, s.keep};
  const char* counts[] = {
      "select count(*) into :b0  from Rvk740Pud where (((PudPlg=:b1 or PudPnr=:b2) or "
      "PudPnr=:b3) or PudPnr=:b4)",
      "select count(*) into :b0  from Rvk730Bdp where (((BdpEso=:b1 or BdpPnr=:b2) or "
      "BdpPnr=:b3) or BdpPnr=:b4)",
      "select count(*) into :b0  from rvk327tag where (((TagPnr=:b1 or TagPnr=:b2) or "
      "TagPnr=:b3) or TagPnr=:b4)",
      "select count(*) into :b0  from Rvk725Bsm where (((BsmEso=:b1 or BsmPlg=:b2) or "
      "BsmPlg=:b3) or BsmPlg=:b4)",
      "select count(*) into :b0  from Rvk746Err where (((ErrEso=:b1 or ErrPlg=:b2) or "
      "ErrPnr=:b3) or ErrPnr=:b4)",
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
      {"Rvk730Bdp", kDuty, {s.single, s.next, s.group, "SDAY", s.group}, 0},
      {"Rvk730Bdp", kDuty, {s.single, s.next, s.group, "NOSLT", s.group}, 0},  // no slot
      {"Rvk730Bdp", kDuty, {s.range, s.day, s.group, "RANGE", s.group}, 0},
      {"Rvk730Bdp", kDuty, {s.range, s.next, s.group, "RANGE", s.group}, 0},
      {"Rvk730Bdp", kDuty, {s.keep, s.day, s.group, "KEEP", s.group}, 0},
      {"rvk327tag", kCodes, {s.single, s.next}, 0},
      // Oldest first: the order the loop works them in.
      {"Rvk740Pud", kRequest, {s.single, s.next, s.group, "20000101"}, 1},
      {"Rvk740Pud", kRequest, {s.range, s.day, s.group, "20000102"}, 2},
      {"Rvk740Pud", kRequest, {s.keep, s.day, s.group, "20000103"}, 2},
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
  results.push_back(Step(
      "widths", "a 5-character group, a 32-character job name and the dates " + s.day + " and " +
                    s.next + " read back",
      {{Joined({s.group, kJobName, s.next}), Joined(deviation)},
       {s.day, At(duty, 2)}}));

  bool told = HasEntry(entries, "Fehler: Read BsmSatz");
  results.push_back(Step(
      "data-error", "a duty row without its staffing slot: told, its codes kept, the request "
                    "goes on",
      {{"entry 'Fehler: Read BsmSatz'", told ? "entry 'Fehler: Read BsmSatz'" : "no such entry"},
       {"codes 'K'", "codes '" + At(Row3(kDutyRow, {s.single, "NOSLT", s.next}), 0) + "'"}}));

  results.push_back(Step(
      "queue-end", "the done requests deleted at the end",
      {{"3 done, 0 rolled back", std::to_string(account.done) + " done, " +
                                     std::to_string(account.rolledBack) + " rolled back"},
       {"0 pending", std::to_string(Count(kPending, {s.group})) + " pending"}}));
}

// The scenario in a rehearsal; the steps' results go to `report`.
void Rehearse(CheckReport& report, std::vector<std::string>& entries) {
  CheckResult setup{"scenario", Verdict::kOk, "", {}, {}, ""};
  if (int rc = db::SqlBeginRehearsal()) {
    setup.verdict = Verdict::kFail;
    setup.summary = Failure("no transaction to rehearse in", rc);
    report.results.push_back(setup);
    return;
  }
  Scenario s;
  std::string refused;
  for (char digit = '1'; digit <= '9' && s.group.empty(); ++digit) {
    Scenario candidate{std::string("ZZST") + digit, "", "", "", "", ""};
    candidate.single = candidate.group + "A";
    candidate.range = candidate.group + "B";
    candidate.keep = candidate.group + "C";
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
  } else {
    refused = Stage(s);
  }
  if (!refused.empty()) {
    setup.verdict = Verdict::kFail;
    setup.summary = refused;
    report.results.push_back(setup);
    db::SqlEndRehearsal();
    return;
  }
  setup.summary = "group " + s.group + ", persons " + s.single + " " + s.range + " " + s.keep +
                  ", days " + s.day + " " + s.next;
  report.results.push_back(setup);
  RunParameters parameters{};
  std::snprintf(parameters.planGroup, sizeof parameters.planGroup, "%s", s.group.c_str());
  std::snprintf(parameters.erfText, sizeof parameters.erfText, "%s", "selftest");
  std::snprintf(parameters.jbkText, sizeof parameters.jbkText, "%s", kJobName);
  Err_Init(parameters.planGroup, RunErrRecord(), parameters.erfText, parameters.jbdText,
           parameters.jbkText, kUpdateJob);
  RunAccount account;
  ProcessRequests(parameters, account);
  Compare(s, account, entries, report.results);
  // Nothing of the scenario stays, whatever became of it.
  db::SqlEndRehearsal();
}

}  // namespace

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
    Rehearse(report, entries);
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

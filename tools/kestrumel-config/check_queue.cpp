#include "kestrumel-config/check_queue.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <set>

#include "db/bak.h"
#include "db/pud.h"
#include "db/runtime/runtime.h"
#include "db/status.h"
#include "db/statement_list.h"

namespace {

// The pending rows as the program's cursor reads them, and the same rows by their stored key,
// in one order that the key makes unique, so that the two cursors walk the rows side by side.
constexpr const char* kOrderTail = ",PudPnr,PudDtm,PudTyp";
constexpr const char* kGroupCondition = "(PudPlg=:b0 and PudKng=1)";
constexpr const char* kAnyGroupCondition = "PudKng=1";
constexpr const char* kKeyColumns = "select PudPlg ,PudPnr ,PudDtm ,PudTyp ,PudDat";
constexpr const char* kDoneCounts =
    "select PudPlg ,count(*)  from Rvk740Pud where PudKng=3 group by PudPlg";
constexpr const char* kDoneCountOfGroup =
    "select PudPlg ,count(*)  from Rvk740Pud where (PudPlg=:b0 and PudKng=3) group by PudPlg";

// The widths of the program's record: a longer value would be read cut.
constexpr size_t kPersonChars = sizeof(PudRecord::PudPnr) - 1;
constexpr size_t kGroupChars = sizeof(PudRecord::PudPlg) - 1;
constexpr size_t kErfChars = sizeof(PudRecord::PudErf) - 1;

std::string ProgramCursor() {
  std::vector<db::NamedStatement> statements;
  Pud_Statements(statements);
  for (const db::NamedStatement& statement : statements) {
    if (std::strcmp(statement.name, "Pud_TSCur_Open") == 0) return statement.text;
  }
  return "";
}

// The program's cursor for `planGroup`, or for every group when it is "", ordered by the key;
// `keysOnly`: the key's columns in place of the program's select list.
std::string PendingText(const std::string& planGroup, bool keysOnly) {
  std::string text = ProgramCursor() + kOrderTail;
  if (planGroup.empty()) {
    size_t at = text.find(kGroupCondition);
    if (at != std::string::npos) {
      text.replace(at, std::strlen(kGroupCondition), kAnyGroupCondition);
    }
  }
  if (keysOnly) text = kKeyColumns + text.substr(text.find("  from "));
  return text;
}

// Wide enough for any value a row may hold, so that an over-long one shows whole.
struct RowBuffers {
  char pnr[256];
  char dtm[32];
  int32_t typ;
  int32_t kng;
  int32_t txc;
  char plg[256];
  char erf[256];
  char dat[32];
};

struct KeyBuffers {
  char plg[256];
  char pnr[256];
  char dtm[64];
  int32_t typ;
  char dat[64];
};

std::string StatusText(int status) {
  std::string native = FirstLine(db::SqlLastNativeError());
  return "status " + std::to_string(status) + (native.empty() ? "" : ": " + native);
}

std::string KeyText(const KeyBuffers& key) {
  return std::string("PudPlg=") + key.plg + " PudPnr=" + key.pnr + " PudDtm=" + key.dtm +
         " PudTyp=" + std::to_string(key.typ) + " PudDat=" + key.dat;
}

bool AllDigits(const char* text, size_t count) {
  if (std::strlen(text) != count) return false;
  for (size_t i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

std::string Longer(const char* column, size_t chars) {
  return std::string(column) + " longer than " + std::to_string(chars) + " bytes";
}

// What the program could not take from a row it fetched, or "" when it takes it whole.
std::string Unusable(const RowBuffers& row) {
  if (std::strlen(row.pnr) > kPersonChars) return Longer("PudPnr", kPersonChars);
  if (std::strlen(row.plg) > kGroupChars) return Longer("PudPlg", kGroupChars);
  if (std::strlen(row.erf) > kErfChars) return Longer("PudErf", kErfChars);
  if (row.dtm[0] != '\0' && !AllDigits(row.dtm, 8)) return "PudDtm not a date of the years 1 to 9999";
  if (!AllDigits(row.dat, 14)) return "PudDat not a time of the years 1 to 9999";
  return "";
}

int OpenBoth(const std::string& planGroup, db::SqlCursor& rows, db::SqlCursor& keys) {
  std::string rowText = PendingText(planGroup, false);
  std::string keyText = PendingText(planGroup, true);
  db::HostList group = {db::TextIn(planGroup.c_str(), static_cast<int32_t>(planGroup.size() + 1))};
  db::HostList none = {};
  int rc = db::SqlOpen(rows, rowText.c_str(), planGroup.empty() ? none : group);
  if (rc != db::status::kOk) return rc;
  return db::SqlOpen(keys, keyText.c_str(), planGroup.empty() ? none : group);
}

int FetchRow(db::SqlCursor& cursor, RowBuffers& row) {
  std::memset(&row, 0, sizeof row);
  return db::SqlFetch(cursor, {db::TextOut(row.pnr, true), db::TextOut(row.dtm, true),
                               db::IntOut(row.typ, true), db::IntOut(row.kng, true),
                               db::IntOut(row.txc, true), db::TextOut(row.plg, true),
                               db::TextOut(row.erf, true), db::TextOut(row.dat, true)});
}

int FetchKey(db::SqlCursor& cursor, KeyBuffers& key) {
  std::memset(&key, 0, sizeof key);
  return db::SqlFetch(cursor, {db::TextOut(key.plg, true), db::TextOut(key.pnr, true),
                               db::TextOut(key.dtm, true), db::IntOut(key.typ, true),
                               db::TextOut(key.dat, true)});
}

GroupCount& CountOf(std::vector<GroupCount>& groups, const std::string& group) {
  for (GroupCount& count : groups) {
    if (count.group == group) return count;
  }
  groups.push_back({group, 0, 0, ""});
  return groups.back();
}

int ReadPending(const std::string& planGroup, QueueState& queue) {
  db::SqlCursor rows, keys;
  int rc = OpenBoth(planGroup, rows, keys);
  if (rc != db::status::kOk) return rc;
  RowBuffers row;
  KeyBuffers key;
  for (;;) {
    int rowStatus = FetchRow(rows, row);
    int keyStatus = FetchKey(keys, key);
    if (rowStatus == db::status::kNoData && keyStatus == db::status::kNoData) break;
    if (keyStatus != db::status::kOk) return keyStatus;  // the rows cannot be told apart
    GroupCount& count = CountOf(queue.groups, key.plg);
    ++count.pending;
    // The conversion that failed is the row's own: the last native error is another's.
    std::string wrong = rowStatus == db::status::kOk
                            ? Unusable(row)
                            : "not readable, status " + std::to_string(rowStatus);
    if (!wrong.empty()) {
      queue.unreadable.push_back(KeyText(key) + ": " + wrong);
    } else {
      queue.readable.push_back({row.plg, row.dtm, row.dat});
      if (count.oldest.empty()) count.oldest = row.dat;  // the rows come oldest first
    }
  }
  return db::status::kOk;
}

int ReadDoneCounts(const std::string& planGroup, QueueState& queue) {
  db::SqlCursor cursor;
  db::HostList group = {db::TextIn(planGroup.c_str(), static_cast<int32_t>(planGroup.size() + 1))};
  int rc = planGroup.empty() ? db::SqlOpen(cursor, kDoneCounts) :
                               db::SqlOpen(cursor, kDoneCountOfGroup, group);
  char plg[256];
  int32_t count = 0;
  while (rc == db::status::kOk) {
    rc = db::SqlFetch(cursor, {db::TextOut(plg, true), db::IntOut(count)});
    if (rc == db::status::kOk) CountOf(queue.groups, plg).done = count;
  }
  return rc == db::status::kNoData ? db::status::kOk : rc;
}

std::string ShownStamp(const std::string& stamp) {
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " +
         stamp.substr(8, 2) + ":" + stamp.substr(10, 2) + ":" + stamp.substr(12, 2);
}

std::string Counts(int pending, int done, const std::string& oldest) {
  return std::to_string(pending) + " pending" +
         (oldest.empty() ? "" : " (oldest queued " + ShownStamp(oldest) + ")") + ", " +
         std::to_string(done) + " done not deleted yet";
}

std::string ShownDay(const std::string& day) {
  return day.substr(0, 4) + "-" + day.substr(4, 2) + "-" + day.substr(6, 2);
}

// 0 when the calendar holds the day `shift` days after `day`, 1403 when not.
int FindDay(const std::string& day, int32_t shift) {
  CalendarDay lookup{};
  std::memcpy(lookup.BakDtm, day.c_str(), 9);
  lookup.BakDays = shift;
  return Bak_DayRead(lookup);
}

}  // namespace

QueueState ReadQueue(const std::string& planGroup) {
  QueueState queue;
  queue.status = ReadPending(planGroup, queue);
  if (queue.status == db::status::kOk) queue.status = ReadDoneCounts(planGroup, queue);
  return queue;
}

CheckResult CheckQueue(const QueueState& queue) {
  CheckResult result;
  result.name = "queue";
  if (queue.status != db::status::kOk) {
    result.verdict = Verdict::kFail;
    result.summary = "the queue cannot be read, " + StatusText(queue.status);
    result.advice = "see the tables check; a run would stop at its first request";
    return result;
  }
  int pending = 0, done = 0;
  std::string oldest;
  for (const GroupCount& group : queue.groups) {
    pending += group.pending;
    done += group.done;
    if (!group.oldest.empty() && (oldest.empty() || group.oldest < oldest)) oldest = group.oldest;
    result.details.push_back(group.group + ": " + Counts(group.pending, group.done, group.oldest));
  }
  result.summary = std::to_string(queue.groups.size());
  result.summary += queue.groups.size() == 1 ? " group: " : " groups: ";
  result.summary += Counts(pending, done, oldest);
  if (queue.groups.size() == 1) result.details.clear();
  if (queue.unreadable.empty()) return result;
  result.verdict = Verdict::kFail;
  result.problems = queue.unreadable;
  result.advice = "correct or delete these rows: the program cannot take them as stored";
  return result;
}

CheckResult CheckCalendar(const QueueState& queue) {
  CheckResult result;
  result.name = "calendar";
  std::map<std::string, int> requestsOfDay;
  for (const PendingRequest& request : queue.readable) {
    if (!request.day.empty()) ++requestsOfDay[request.day];
  }
  std::set<std::string> missing;
  for (const auto& [day, requests] : requestsOfDay) {
    for (int32_t shift = 0; shift <= 1; ++shift) {
      int rc = FindDay(day, shift);
      if (rc == db::status::kNoData) {
        missing.insert(shift == 0 ? ShownDay(day) + " (the date of " + std::to_string(requests) +
                                        " pending request(s))"
                                  : "the day after " + ShownDay(day));
      } else if (rc != db::status::kOk) {
        result.verdict = Verdict::kFail;
        result.summary = "RVKSTAMM.Rvk133Bak cannot be read, " + StatusText(rc);
        result.advice = "create the calendar as schema/*/rvkstamm.sql does";
        return result;
      }
    }
  }
  if (missing.empty()) {
    result.summary = "RVKSTAMM.Rvk133Bak holds every pending request's date and the day "
                     "after";
    return result;
  }
  result.verdict = Verdict::kFail;
  result.summary = "RVKSTAMM.Rvk133Bak lacks days that pending requests need";
  result.problems.assign(missing.begin(), missing.end());
  result.advice = "add these days: a date-range request without them deletes the wrong rows";
  return result;
}

// kestrumel-config preview: what the next run of a planning group would change, found by doing
// that run's work in a rehearsal that keeps nothing, and by reading the group's rows before and
// after it inside the same transaction.
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "db/connect.h"
#include "db/runtime/runtime.h"
#include "db/status.h"
#include "kestrumel-config/commands.h"
#include "kestrumel-config/expected_schema.h"
#include "kestrumel-config/flat_json.h"
#include "log/message_log.h"
#include "plan/recount.h"
#include "run/group_lock.h"
#include "run/request_loop.h"
#include "run/run_parameters.h"
#include "config/startup_values.h"

namespace {

// The run's log mask and job type, so that the rehearsal writes the entries and rows a run would.
constexpr int32_t kLogMask = DMSG | SMSG | FMSG;
constexpr int32_t kUpdateJob = 4;
// The widest table read has fewer columns; the select list is filled up with NULLs to this.
constexpr size_t kColumns = 48;
constexpr int32_t kValueWidth = 256;

using Row = std::vector<std::string>;

// A table as the preview reads it: the group's rows, paired by their key columns.
struct View {
  const char* table;
  std::vector<std::string> key;  // column names
  const char* where;             // with one input, :b0
  std::string select;            // built from the expected columns
  std::vector<std::string> columns;
};

struct Change {
  std::string table;
  std::string kind;  // "changed", "deleted", "inserted"
  std::vector<std::pair<std::string, std::string>> key;
  std::vector<std::pair<std::string, std::string>> before, after;  // changed columns, or the whole row
};

void BuildSelect(View& view) {
  for (const ExpectedTable& table : ExpectedTables()) {
    if (std::strcmp(table.name, view.table) != 0) continue;
    std::string list;
    for (const ExpectedColumn& column : table.columns) {
      std::string name = column.name;
      list += list.empty() ? "" : " ,";
      list += column.kind == db::CatalogColumn::Kind::Date
                  ? "TO_CHAR(" + name + ",'yyyymmddHH24MISS')" : name;
      view.columns.push_back(name);
    }
    for (size_t k = view.columns.size(); k < kColumns; ++k) list += " ,NULL";
    view.select = "select " + list + "  from " + view.table + " where " + view.where;
  }
}

using Buffers = std::array<std::array<char, kValueWidth>, kColumns>;

template <size_t... I>
int FetchInto(db::SqlCursor& cursor, Buffers& values, std::index_sequence<I...>) {
  return db::SqlFetch(cursor, {db::TextOut(values[I].data(), kValueWidth, true)...});
}

// The rows `view` finds for `argument`, appended to `rows`; returns the status of the read.
int ReadRows(const View& view, const char* argument, std::vector<Row>& rows) {
  if (view.columns.empty() || view.columns.size() > kColumns) return db::status::kNoSuchTable;
  char input[201] = {};
  std::snprintf(input, sizeof input, "%s", argument);
  db::SqlCursor cursor;
  int rc = db::SqlOpen(cursor, view.select.c_str(), {db::TextIn(input)});
  Buffers values{};
  while (rc == 0 && (rc = FetchInto(cursor, values, std::make_index_sequence<kColumns>{})) == 0) {
    Row row;
    for (size_t k = 0; k < view.columns.size(); ++k) row.emplace_back(values[k].data());
    rows.push_back(std::move(row));
  }
  db::SqlClose(cursor);
  return rc == db::status::kNoData ? 0 : rc;
}

std::string KeyOf(const View& view, const Row& row) {
  std::string key;
  for (const std::string& name : view.key) {
    for (size_t k = 0; k < view.columns.size(); ++k) {
      if (view.columns[k] == name) key += row[k] + '\x1f';
    }
  }
  return key;
}

std::vector<std::pair<std::string, std::string>> Named(const View& view, const Row& row,
                                                      bool keyOnly) {
  std::vector<std::pair<std::string, std::string>> named;
  for (size_t k = 0; k < view.columns.size(); ++k) {
    bool inKey = false;
    for (const std::string& name : view.key) inKey = inKey || name == view.columns[k];
    if (!keyOnly || inKey) named.emplace_back(view.columns[k], row[k]);
  }
  return named;
}

// Rows of one key pair up in order; what is left over was inserted or deleted.
void Compare(const View& view, const std::vector<Row>& before, const std::vector<Row>& after,
             std::vector<Change>& changes) {
  std::map<std::string, std::vector<const Row*>> was, is;
  std::vector<std::string> order;
  for (const Row& row : before) {
    auto& slot = was[KeyOf(view, row)];
    if (slot.empty()) order.push_back(KeyOf(view, row));
    slot.push_back(&row);
  }
  for (const Row& row : after) {
    auto& slot = is[KeyOf(view, row)];
    if (slot.empty() && was.count(KeyOf(view, row)) == 0) order.push_back(KeyOf(view, row));
    slot.push_back(&row);
  }
  for (const std::string& key : order) {
    const auto& old = was[key];
    const auto& now = is[key];
    for (size_t k = 0; k < old.size() || k < now.size(); ++k) {
      Change change{view.table, "", {}, {}, {}};
      if (k >= now.size()) {
        change.kind = "deleted";
        change.key = Named(view, *old[k], true);
        change.before = Named(view, *old[k], false);
      } else if (k >= old.size()) {
        change.kind = "inserted";
        change.key = Named(view, *now[k], true);
        change.after = Named(view, *now[k], false);
      } else {
        if (*old[k] == *now[k]) continue;
        change.kind = "changed";
        change.key = Named(view, *old[k], true);
        for (size_t c = 0; c < view.columns.size(); ++c) {
          if ((*old[k])[c] == (*now[k])[c]) continue;
          change.before.emplace_back(view.columns[c], (*old[k])[c]);
          change.after.emplace_back(view.columns[c], (*now[k])[c]);
        }
      }
      changes.push_back(std::move(change));
    }
  }
}

struct Snapshot {
  std::vector<std::vector<Row>> rows;  // per view
};

// The duty rows are read per person: the requests that name them are gone after the run.
int Read(const std::vector<View>& views, const std::string& group,
         const std::vector<std::string>& persons, Snapshot& snapshot) {
  snapshot.rows.assign(views.size(), {});
  for (size_t v = 0; v < views.size(); ++v) {
    bool perPerson = std::strcmp(views[v].table, "Rvk730Bdp") == 0;
    if (!perPerson) {
      if (int rc = ReadRows(views[v], group.c_str(), snapshot.rows[v])) return rc;
      continue;
    }
    for (const std::string& person : persons) {
      if (int rc = ReadRows(views[v], person.c_str(), snapshot.rows[v])) return rc;
    }
  }
  return 0;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string Joined(const std::vector<std::pair<std::string, std::string>>& named, bool names) {
  std::string text;
  for (const auto& [name, value] : named) {
    text += text.empty() ? "" : " ";
    text += names ? name + "=" + Quoted(value) : value;
  }
  return text;
}

std::string JsonMembers(const std::vector<std::pair<std::string, std::string>>& named) {
  std::string text = "{";
  for (const auto& [name, value] : named) {
    text += (text.size() > 1 ? "," : "") + JsonQuoted(name) + ":" + JsonQuoted(value);
  }
  return text + "}";
}

struct Outcome {
  std::string group;
  std::string failure;  // why there is no preview, else ""
  RunAccount account;
  std::vector<Change> changes;
  std::vector<std::string> entries;
};

void PrintText(const Outcome& outcome) {
  if (!outcome.failure.empty()) {
    std::printf("preview of %s: FAIL %s\n", outcome.group.c_str(), outcome.failure.c_str());
    return;
  }
  std::printf("preview of %s: %ld requests done, %ld rolled back, %ld unreadable; nothing was kept\n",
              outcome.group.c_str(), outcome.account.done, outcome.account.rolledBack,
              outcome.account.skipped);
  for (const Change& change : outcome.changes) {
    std::printf("%s %-8s %s", change.table.c_str(), change.kind.c_str(),
                Joined(change.key, false).c_str());
    if (change.kind == "changed") {
      for (size_t k = 0; k < change.before.size(); ++k) {
        std::printf("%s %s %s -> %s", k == 0 ? ":" : ",", change.before[k].first.c_str(),
                    Quoted(change.before[k].second).c_str(), Quoted(change.after[k].second).c_str());
      }
    }
    std::printf("\n");
  }
  for (const std::string& entry : outcome.entries) {
    std::string text = entry;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::printf("entry: %s\n", text.c_str());
  }
}

void PrintJson(const Outcome& outcome) {
  std::string text = "{\"planGroup\":" + JsonQuoted(outcome.group);
  if (!outcome.failure.empty()) {
    std::printf("%s,\"failure\":%s}\n", text.c_str(), JsonQuoted(outcome.failure).c_str());
    return;
  }
  text += ",\"done\":" + std::to_string(outcome.account.done) +
          ",\"rolledBack\":" + std::to_string(outcome.account.rolledBack) +
          ",\"unreadable\":" + std::to_string(outcome.account.skipped) + ",\"changes\":[";
  for (size_t k = 0; k < outcome.changes.size(); ++k) {
    const Change& change = outcome.changes[k];
    text += std::string(k == 0 ? "" : ",") + "{\"table\":" + JsonQuoted(change.table) +
            ",\"change\":" + JsonQuoted(change.kind) + ",\"key\":" + JsonMembers(change.key);
    if (!change.before.empty()) text += ",\"before\":" + JsonMembers(change.before);
    if (!change.after.empty()) text += ",\"after\":" + JsonMembers(change.after);
    text += "}";
  }
  text += "],\"entries\":[";
  for (size_t k = 0; k < outcome.entries.size(); ++k) {
    text += (k == 0 ? "" : ",") + JsonQuoted(outcome.entries[k]);
  }
  std::printf("%s]}\n", text.c_str());
}

// The persons of the group's pending requests.
int PendingPersons(const std::string& group, std::vector<std::string>& persons) {
  static const char* kPersons =
      "select distinct PudPnr  from Rvk740Pud where (PudPlg=:b0 and PudKng=1)";
  char input[6] = {};
  std::snprintf(input, sizeof input, "%s", group.c_str());
  db::SqlCursor cursor;
  int rc = db::SqlOpen(cursor, kPersons, {db::TextIn(input)});
  char person[201] = {};
  while (rc == 0 && (rc = db::SqlFetch(cursor, {db::TextOut(person, true)})) == 0) {
    persons.emplace_back(person);
  }
  db::SqlClose(cursor);
  return rc == db::status::kNoData ? 0 : rc;
}

// The rehearsal itself, on a connection that holds the group's lock.
void Rehearse(const std::string& group, Outcome& outcome) {
  std::vector<View> views = {
      {"Rvk730Bdp", {"BdpPnr", "BdpBdt", "BdpEso", "BdpEsa", "BdpSzv", "BdpAsw"}, "BdpPnr=:b0", {}, {}},
      {"Rvk725Bsm", {"BsmBdt", "BsmEso", "BsmEsa", "BsmSzv", "BsmAsw"}, "BsmPlg=:b0", {}, {}},
      {"Rvk746Err", {}, "ErrPlg=:b0", {}, {}},  // a row is known by all of it
      {"Rvk740Pud", {"PudDat", "PudPnr", "PudTyp"}, "PudPlg=:b0", {}, {}},
  };
  for (View& view : views) {
    BuildSelect(view);
    if (view.key.empty()) view.key = view.columns;
  }
  if (int rc = db::SqlBeginRehearsal()) {
    outcome.failure = "no transaction to rehearse in: status " + std::to_string(rc);
    return;
  }
  std::vector<std::string> persons;
  Snapshot before, after;
  int rc = PendingPersons(group, persons);
  if (rc == 0) rc = Read(views, group, persons, before);
  if (rc == 0) {
    RunParameters parameters{};
    std::snprintf(parameters.planGroup, sizeof parameters.planGroup, "%s", group.c_str());
    std::snprintf(parameters.erfText, sizeof parameters.erfText, "%s", "preview");
    Err_Init(parameters.planGroup, RunErrRecord(), parameters.erfText, parameters.jbdText,
             parameters.jbkText, kUpdateJob);
    ProcessRequests(parameters, outcome.account);
    rc = Read(views, group, persons, after);
  }
  if (rc != 0) outcome.failure = "reading the group's rows: status " + std::to_string(rc);
  // Ends the transaction whatever became of it; nothing of the run stays.
  db::SqlEndRehearsal();
  if (rc != 0) return;
  for (size_t v = 0; v < views.size(); ++v) {
    Compare(views[v], before.rows[v], after.rows[v], outcome.changes);
  }
}

}  // namespace

int RunPreview(const PreviewOptions& options) {
  Outcome outcome;
  outcome.group = options.planGroup;
  StartupValues values;
  ReadStartupValues(options.configPath.c_str(), values);
  if (values.netService[0] == '\0' || values.schema[0] == '\0' || values.user[0] == '\0' ||
      values.password[0] == '\0') {
    WipeStartupValues(values);
    outcome.failure = "the configuration " + options.configPath + " is not usable (see check)";
    options.json ? PrintJson(outcome) : PrintText(outcome);
    return kExitRefused;
  }
  ClearClientEnvironment();
  SetLogFile(kLogMask, LogFileName(values.schema).c_str());
  CaptureLogEntries(&outcome.entries);
  std::string schema = values.schema;
  int rc = dbConnect(values.user, values.password, values.netService, values.schema);
  WipeStartupValues(values);
  if (rc != 0) {
    outcome.failure = "no connection: status " + std::to_string(rc);
  } else {
    std::string report = RunReportFileName(schema.c_str(), options.planGroup.c_str());
    std::string lockFile = report.substr(0, report.size() - 5) + ".lock";
    // As a run: no other run of the group works the queue meanwhile.
    GroupLockResult lock = TakeGroupLock(schema, ReportedGroup(options.planGroup.c_str()), lockFile);
    if (lock != GroupLockResult::kHeld) {
      outcome.failure = "the group's lock was not to be had (a run of it under way?)";
    } else {
      Rehearse(options.planGroup, outcome);
    }
  }
  db::SqlDisconnect();
  CaptureLogEntries(nullptr);
  options.json ? PrintJson(outcome) : PrintText(outcome);
  return outcome.failure.empty() ? kExitOk : kExitFailure;
}

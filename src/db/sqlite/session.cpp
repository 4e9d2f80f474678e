#include "db/sqlite/session.h"

#include "common/stop_request.h"
#include "db/dialect/dialect.h"
#include "db/runtime/letter_case.h"
#include "db/status.h"
#include "db/sqlite/functions.h"
#include "db/sqlite/statement.h"
#include "platform/paths.h"

namespace db {
namespace sqlite {
namespace {

constexpr const char* kPrefix = "sqlite:";
constexpr int kBusyTimeoutMs = 10000;
// How often a running statement looks whether it is to stop: rare enough to cost nothing
// measurable, often enough to stop within milliseconds.
constexpr int kStepsBetweenStopChecks = 4000;
constexpr const char* kCalendarSchema = "RVKSTAMM";
constexpr const char* kCalendarTable = "Rvk133Bak";

bool StopDue() { return stop_request::SecondsSince() >= stop_request::kCancelAfterSeconds; }

// Non-zero interrupts the running statement, which then fails with SQLITE_INTERRUPT.
int InterruptWhenStopDue(void*) { return StopDue() ? 1 : 0; }

// Waits for another connection's lock as SQLite's busy timeout does, with the same growing
// pauses, but gives up as soon as a stop is due. `attempt` counts from 0 for each lock.
int WaitForLock(void*, int attempt) {
  static constexpr int kPausesMs[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
  constexpr int kPauses = static_cast<int>(sizeof kPausesMs / sizeof kPausesMs[0]);
  if (StopDue()) return 0;
  int waited = 0;
  for (int k = 0; k < attempt; ++k) waited += kPausesMs[k < kPauses ? k : kPauses - 1];
  int pause = kPausesMs[attempt < kPauses ? attempt : kPauses - 1];
  if (waited >= kBusyTimeoutMs) return 0;
  sqlite3_sleep(waited + pause > kBusyTimeoutMs ? kBusyTimeoutMs - waited : pause);
  return 1;
}

// "sqlite:DIR" with DIR an existing directory, made absolute so that a later change of the
// working directory does not move the database.
bool ResolveDirectory(const char* netService, std::string& directory) {
  std::string net = netService;
  if (net.rfind(kPrefix, 0) != 0 || net.size() == std::string(kPrefix).size()) return false;
  std::string resolved;
  if (!platform::ResolvePath(net.substr(std::string(kPrefix).size()), resolved)) return false;
  if (!platform::IsDirectory(resolved)) return false;
  directory = resolved;
  return true;
}

// A file path as the path of a "file:" URI: the characters a URI gives meaning to escaped.
std::string UriPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c < 0x21 || c > 0x7E) {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0xF];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri;
}

// Steps `sql` once with `text` as its one input; returns the prepare's or the step's code.
int StepOnce(sqlite3* handle, const char* sql, const std::string& text) {
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(handle, sql, -1, &raw, nullptr);
  NativeStatement statement(raw);
  if (rc != SQLITE_OK) return rc;
  sqlite3_bind_text(raw, 1, text.c_str(), -1, SQLITE_TRANSIENT);
  return sqlite3_step(raw);
}

int Configure(sqlite3* handle, const std::string& mainPath, const std::string& directory,
              bool readOnly) {
  // A read-only handle leaves the file's journal as it finds it.
  bool setsJournal = mainPath != ":memory:" && !readOnly;
  sqlite3_extended_result_codes(handle, 1);
  sqlite3_busy_handler(handle, WaitForLock, nullptr);
  sqlite3_progress_handler(handle, kStepsBetweenStopChecks, InterruptWhenStopDue, nullptr);
  int rc = RegisterDateFunctions(handle);
  // Statement journals of a request's savepoints stay in memory instead of a temporary file
  // each; a page cache of some megabytes keeps the indexes' upper levels between requests.
  if (rc == SQLITE_OK) {
    rc = sqlite3_exec(handle, "PRAGMA temp_store=MEMORY; PRAGMA cache_size=-16384", nullptr,
                      nullptr, nullptr);
  }
  // A checkpoint copies every page changed since the last one back into the file: every
  // 10,000 pages (40 MB of log) instead of 1,000, a page changed by many requests is copied
  // once where it was copied several times.
  if (rc == SQLITE_OK && setsJournal) {
    rc = sqlite3_exec(handle,
                      "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; "
                      "PRAGMA wal_autocheckpoint=10000",
                      nullptr, nullptr, nullptr);
  }
  std::string calendar = directory + "/" + kCalendarSchema + ".db";
  // The calendar schema itself as main must not be opened twice on one handle: the two
  // would lock each other out. A calendar gone since the connect fails the open.
  if (rc != SQLITE_OK || mainPath == calendar) return rc;
  // Read-only: a transaction then takes no write lock on the calendar, so runs of different
  // schemas, which share the calendar, do not wait for each other.
  rc = StepOnce(handle, "ATTACH DATABASE ? AS RVKSTAMM", "file:" + UriPath(calendar) + "?mode=ro");
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Without the calendar the date-range requests would find no day and delete what they should
// keep: a directory without one is refused. Read-only, so that a missing file is not created.
int CheckCalendar(const std::string& directory) {
  std::string uri = "file:" + UriPath(directory + "/" + kCalendarSchema + ".db") + "?mode=ro";
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(uri.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  Handle calendar(raw);
  if (rc != SQLITE_OK) return status::kNoSuchTable;  // no such file
  sqlite3_extended_result_codes(calendar.get(), 1);
  rc = StepOnce(calendar.get(),
                "select 1 from sqlite_master where type = 'table' and name = ? collate nocase",
                kCalendarTable);
  if (rc == SQLITE_ROW) return status::kOk;
  if (rc == SQLITE_DONE) return status::kNoSuchTable;  // an empty file among them
  return MapSqliteError(rc, sqlite3_errmsg(calendar.get()));  // e.g. a damaged file
}

class Session : public BackendSession {
 public:
  Session(std::string directory, Access access) : link_(std::make_shared<Link>()) {
    link_->directory = std::move(directory);
    link_->readOnly = access == Access::ReadOnly;
  }

  int Prepare(const ParsedStatement& parsed, std::unique_ptr<BackendStatement>& prepared) override {
    if (parsed.kind == ParsedStatement::Kind::Modify) {
      return PrepareChange(link_, parsed.body, prepared);
    }
    auto statement = std::make_unique<Statement>(
        link_, dialect::Sqlite().Adapt(parsed.body, parsed.inputCount, dialect::Markers::Question));
    int rc = statement->Prepare();
    if (rc == status::kOk) prepared = std::move(statement);
    return rc;
  }

  TransactionTraits Traits() const override { return dialect::Sqlite().Traits(); }

  // One by one: SQLite runs in this process, a command costs no round trip.
  int Send(std::span<const Command> commands, std::vector<StepResult>& results,
           size_t& done) override {
    for (done = 0; done < commands.size(); ++done) {
      int rc = Run(commands[done], results[done]);
      if (rc != status::kOk) return rc;
    }
    return status::kOk;
  }

  ServerTransaction Transaction() const override {
    return link_->InTransaction() ? ServerTransaction::Open : ServerTransaction::None;
  }

  // DIR/S.db becomes the main database of a new handle; Oracle names are case-blind, so the
  // upper-case file name serves as well.
  int SetSchema(const std::string& schema) override {
    const std::string& directory = link_->directory;
    std::string path = directory + "/" + schema + ".db";
    if (!platform::IsRegularFile(path)) path = directory + "/" + UpperCase(schema) + ".db";
    if (!platform::IsRegularFile(path)) return link_->FailWith(status::kSchemaUnknown, "no database " + path);
    return link_->Open(path);
  }

  std::string LastNativeError() const override { return link_->LastNativeError(); }
  int FailWith(int status, const std::string& message) override {
    return link_->FailWith(status, message);
  }

 private:
  // A transaction is taken at once as a write transaction, so that two processes queue on the
  // lock instead of failing on a stale read.
  int Run(const Command& command, StepResult& result) {
    switch (command.kind) {
      case Command::Kind::Begin: {
        int rc = link_->Exec("BEGIN IMMEDIATE");
        if (rc == status::kOk) link_->ForgetTriggers();  // another connection may have changed them
        return rc;
      }
      case Command::Kind::Savepoint: return link_->Exec("SAVEPOINT " + command.savepoint);
      case Command::Kind::Release: return link_->Exec("RELEASE " + command.savepoint);
      case Command::Kind::RollbackTo: return link_->Exec("ROLLBACK TO " + command.savepoint);
      case Command::Kind::Commit: return link_->Exec("COMMIT");
      case Command::Kind::Rollback: return link_->Exec("ROLLBACK");
      case Command::Kind::Statement: break;
    }
    const BackendStep& step = *command.step;
    auto& statement = static_cast<Runnable&>(*step.statement);
    return statement.Run(step.inputs, step.modifies ? nullptr : &result.rows,
                         step.modifies ? &result.affected : nullptr);
  }

  friend Link& sqlite::LinkOf(BackendSession& session);

  std::shared_ptr<Link> link_;  // statements hold it weakly; it closes with the session
};

// User, password and service are given (checked by the runtime core).
int OpenSession(const char*, const char*, const char* netService, Access access,
                std::unique_ptr<BackendSession>& session, std::string& failure) {
  std::string directory;
  if (!ResolveDirectory(netService, directory)) {
    failure = "no directory " + std::string(netService + std::string(kPrefix).size());
    return status::kServiceUnresolved;
  }
  if (int rc = CheckCalendar(directory); rc != status::kOk) {
    failure = "no calendar " + directory + "/" + kCalendarSchema + ".db";
    return rc;
  }
  session = std::make_unique<Session>(directory, access);
  return status::kOk;
}

}  // namespace

Link& LinkOf(BackendSession& session) { return *static_cast<Session&>(session).link_; }

int Link::Open(const std::string& mainPath) {
  sqlite3* raw = nullptr;
  int access = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  int rc = sqlite3_open_v2(mainPath.c_str(), &raw, access | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI,
                           nullptr);
  Handle fresh(raw);  // also a handle whose open failed must be closed
  if (rc == SQLITE_OK) rc = Configure(fresh.get(), mainPath, directory, readOnly);
  if (rc != SQLITE_OK) return Record(fresh.get(), fresh ? sqlite3_extended_errcode(fresh.get()) : rc);
  compiled.clear();  // before the handle they were compiled on closes
  control.clear();
  handle = std::move(fresh);
  return status::kOk;
}

int Link::Ready() { return handle ? status::kOk : Open(":memory:"); }

sqlite3_stmt* Link::OwnStatement(const std::string& sql) {
  auto found = control.find(sql);
  if (found != control.end()) return found->second.get();
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(handle.get(), sql.c_str(), -1, &raw, nullptr);
  NativeStatement own(raw);
  if (!own) return nullptr;
  return control.emplace(sql, std::move(own)).first->second.get();
}

bool Link::HasTriggers(const std::string& table) {
  bool keep = InTransaction();
  if (auto found = triggers_.find(table); keep && found != triggers_.end()) return found->second;
  sqlite3_stmt* lookup = OwnStatement(
      "select 1 from sqlite_master where type = 'trigger' and tbl_name = ?1 collate nocase "
      "union all "
      "select 1 from sqlite_temp_master where type = 'trigger' and tbl_name = ?1 collate nocase");
  if (lookup == nullptr) return true;
  sqlite3_bind_text(lookup, 1, table.data(), static_cast<int>(table.size()), SQLITE_STATIC);
  int rc = sqlite3_step(lookup);
  sqlite3_reset(lookup);
  sqlite3_clear_bindings(lookup);
  bool any = rc != SQLITE_DONE;  // a trigger, or a lookup that failed
  if (keep && (rc == SQLITE_DONE || rc == SQLITE_ROW)) triggers_[table] = any;
  return any;
}

int Link::Exec(const std::string& sql) {
  if (int rc = Ready(); rc != status::kOk) return rc;
  sqlite3_stmt* statement = OwnStatement(sql);
  int rc = statement != nullptr ? sqlite3_step(statement) : SQLITE_ERROR;
  int result = rc == SQLITE_DONE ? status::kOk : Fail(sqlite3_extended_errcode(handle.get()));
  if (statement != nullptr) sqlite3_reset(statement);
  return result;
}

int Link::Fail(int code) { return Record(handle.get(), code); }

int Link::Record(sqlite3* on, int code) {
  nativeCode_ = code;
  nativeMessage_ = on != nullptr ? sqlite3_errmsg(on) : sqlite3_errstr(code);
  return MapSqliteError(code, nativeMessage_.c_str());
}

int Link::FailWith(int status, const std::string& message) {
  nativeCode_ = 0;
  nativeMessage_ = message;
  return status;
}

std::string Link::LastNativeError() const {
  if (nativeMessage_.empty()) return std::string();
  return "SQLite " + std::to_string(nativeCode_) + ": " + nativeMessage_;
}

}  // namespace sqlite

namespace registered {
extern const BackendEntry sqlite;
const BackendEntry sqlite{"sqlite", {"sqlite:", nullptr, nullptr}, &::db::sqlite::OpenSession};
}  // namespace registered

}  // namespace db

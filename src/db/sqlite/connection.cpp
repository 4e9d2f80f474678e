#include "db/sqlite/connection.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include "db/runtime/status.h"
#include "db/sqlite/error.h"
#include "db/sqlite/functions.h"

namespace db::sqlite {
namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr const char* kCalendarSchema = "RVKSTAMM";

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
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

int ExecOn(sqlite3* handle, const std::string& sql) {
  return sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace

Connection::~Connection() { Close(); }

int Connection::Open(const std::string& mainPath, const std::string& directory) {
  sqlite3* fresh = nullptr;
  int rc = sqlite3_open_v2(mainPath.c_str(), &fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI,
                           nullptr);
  if (rc == SQLITE_OK) rc = Configure(fresh, mainPath, directory);
  if (rc != SQLITE_OK) {
    int result = Record(fresh, fresh != nullptr ? sqlite3_extended_errcode(fresh) : rc);
    sqlite3_close(fresh);
    return result;
  }
  Close();
  handle_ = fresh;
  ++generation_;
  return status::kOk;
}

int Connection::Configure(sqlite3* handle, const std::string& mainPath,
                          const std::string& directory) {
  bool fileMain = mainPath != ":memory:";
  sqlite3_extended_result_codes(handle, 1);
  sqlite3_busy_timeout(handle, kBusyTimeoutMs);
  int rc = RegisterDateFunctions(handle);
  if (rc == SQLITE_OK && fileMain) rc = ExecOn(handle, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL");
  std::string calendar = directory + "/" + kCalendarSchema + ".db";
  // The calendar schema itself as main must not be opened twice on one handle: the two
  // would lock each other out.
  if (rc != SQLITE_OK || !IsFile(calendar) || mainPath == calendar) return rc;
  // Read-only: a transaction then takes no write lock on the calendar, so runs of different
  // schemas, which share the calendar, do not wait for each other.
  sqlite3_stmt* attach = nullptr;
  rc = sqlite3_prepare_v2(handle, "ATTACH DATABASE ? AS RVKSTAMM", -1, &attach, nullptr);
  if (rc == SQLITE_OK) {
    std::string uri = "file:" + UriPath(calendar) + "?mode=ro";
    sqlite3_bind_text(attach, 1, uri.c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(attach);
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  sqlite3_finalize(attach);
  return rc;
}

// Pending work of a closed handle is not kept. Its statements are finalized here, so that the
// handle closes now; their owners see the new generation and never touch them again.
void Connection::Retire(sqlite3* handle) {
  if (!sqlite3_get_autocommit(handle)) ExecOn(handle, "ROLLBACK");
  while (sqlite3_stmt* statement = sqlite3_next_stmt(handle, nullptr)) sqlite3_finalize(statement);
  sqlite3_close(handle);
}

void Connection::Close() {
  if (handle_ == nullptr) return;
  Retire(handle_);
  handle_ = nullptr;
  ++generation_;
  inTransaction_ = false;
  lostWork_ = false;
}

int Connection::BeginIfIdle() {
  if (inTransaction_) return status::kOk;
  int rc = Exec("BEGIN IMMEDIATE");
  if (rc == status::kOk) inTransaction_ = true;
  return rc;
}

int Connection::Exec(const std::string& sql) {
  if (handle_ == nullptr) return FailWith(status::kNotConnected, "no connection");
  int rc = ExecOn(handle_, sql);
  if (rc == SQLITE_OK) return status::kOk;
  int result = Fail(sqlite3_extended_errcode(handle_));
  NoteTransactionEnd();
  return result;
}

void Connection::NoteTransactionEnd() {
  if (inTransaction_ && handle_ != nullptr && sqlite3_get_autocommit(handle_)) {
    inTransaction_ = false;
    lostWork_ = true;
  }
}

bool Connection::TakeLostWork() {
  bool lost = lostWork_;
  lostWork_ = false;
  return lost;
}

int Connection::Fail(int code) { return Record(handle_, code); }

int Connection::Record(sqlite3* handle, int code) {
  nativeCode_ = code;
  nativeMessage_ = handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(code);
  return MapSqliteError(code, nativeMessage_.c_str());
}

int Connection::FailWith(int status, const std::string& message) {
  nativeCode_ = 0;
  nativeMessage_ = message;
  return status;
}

std::string Connection::LastNativeError() const {
  if (nativeMessage_.empty()) return std::string();
  return "SQLite " + std::to_string(nativeCode_) + ": " + nativeMessage_;
}

}  // namespace db::sqlite

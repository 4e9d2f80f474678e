#pragma once
// What a SQLite session shares with its statements, which hold it weakly (one outliving its
// session reports a lost connection): the schema file's handle, the last native error and every
// native statement compiled on the handle, kept here to be finalised before the handle closes.
#include <sqlite3.h>

#include <memory>
#include <string>
#include <unordered_map>

#include "db/runtime/backend.h"

namespace db::sqlite {

struct HandleDeleter {
  void operator()(sqlite3* handle) const { sqlite3_close(handle); }
};
struct NativeStatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Handle = std::unique_ptr<sqlite3, HandleDeleter>;
using NativeStatement = std::unique_ptr<sqlite3_stmt, NativeStatementDeleter>;

class Statement;

struct Link {
  // Opens `mainPath` (":memory:" or an existing file, never created) as the main database,
  // with the date functions, the busy timeout, WAL and full sync, a running statement
  // interrupted once a stop is due, and DIR/RVKSTAMM.db attached as RVKSTAMM (its absence
  // fails the open). On success the old handle and its statements go. Returns a status.
  int Open(const std::string& mainPath);
  // The handle, opened as an in-memory database on first use. A session is normally given
  // its schema's file right after it connects; a handle opened at connect time would be
  // configured for nothing.
  int Ready();

  // Records the handle's last error (an extended result code) and returns its status.
  int Fail(int code);
  // Records a failure found by this backend itself and returns `status`.
  int FailWith(int status, const std::string& message);
  std::string LastNativeError() const;

  // A statement of the backend's own (transaction control, the trigger lookup), compiled once
  // per handle: a request runs the same few thousands of times. Null when it does not compile.
  sqlite3_stmt* OwnStatement(const std::string& sql);
  // Runs a statement of its own without inputs or results.
  int Exec(const std::string& sql);
  // A transaction is open on the handle; SQLite ends one itself after some failures.
  bool InTransaction() const { return handle && sqlite3_get_autocommit(handle.get()) == 0; }
  // Whether a trigger fires on `table` (main or temporary schema); true when that is unknown.
  // Within a write transaction the answer is kept: no other connection can change the schema
  // before it ends, and the program's own statements never do.
  bool HasTriggers(const std::string& table);
  void ForgetTriggers() { triggers_.clear(); }

  Handle handle;  // declared first: closed after the statements compiled on it
  std::unordered_map<const Statement*, NativeStatement> compiled;
  std::unordered_map<std::string, NativeStatement> control;  // OwnStatement's
  std::string directory;  // of the net service: the schemas' files and the calendar
  bool readOnly = false;  // files opened for reading only: nothing can change them

 private:
  int Record(sqlite3* on, int code);

  std::unordered_map<std::string, bool> triggers_;  // by table, for the open transaction
  int nativeCode_ = 0;
  std::string nativeMessage_;
};

// The link of a session this backend opened.
Link& LinkOf(BackendSession& session);

}  // namespace db::sqlite

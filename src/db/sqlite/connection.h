#pragma once
// The SQLite handle of a session and the transaction state that goes with it, shared by the
// session and its statements. A schema switch replaces the handle: statements notice the new
// generation and prepare themselves again, so none ever runs on a closed handle.
#include <cstdint>
#include <string>

struct sqlite3;

namespace db::sqlite {

class Connection {
 public:
  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens `mainPath` (":memory:" or an existing file, never created) as the main database,
  // with the date functions, the busy timeout, WAL and full sync, and DIR/RVKSTAMM.db attached
  // as RVKSTAMM when it exists. On success the old handle, if any, is closed. Returns a status.
  int Open(const std::string& mainPath, const std::string& directory);
  void Close();

  sqlite3* Handle() const { return handle_; }
  uint64_t Generation() const { return generation_; }
  bool InTransaction() const { return inTransaction_; }

  // Oracle opens a transaction with the first change; here it is taken at once as a write
  // transaction, so that two processes queue on the lock instead of failing on a stale read.
  int BeginIfIdle();
  // Runs transaction-control SQL; returns a status.
  int Exec(const std::string& sql);
  // After a failure: SQLite may have rolled the whole transaction back (I/O error, full disk,
  // RAISE(ROLLBACK)); the work it held is then lost.
  void NoteTransactionEnd();
  // Lost work not yet reported: the commit meant for it says so, once, also when new work has
  // begun since, for that work is only the rest of what the commit was meant for.
  bool TakeLostWork();
  void MarkEnded() { inTransaction_ = false; }

  // Records the handle's last error and returns its status.
  int Fail(int code);
  // Records a failure found by this backend itself.
  int FailWith(int status, const std::string& message);
  std::string LastNativeError() const;

 private:
  int Configure(sqlite3* handle, const std::string& mainPath, const std::string& directory);
  void Retire(sqlite3* handle);
  int Record(sqlite3* handle, int code);

  sqlite3* handle_ = nullptr;
  uint64_t generation_ = 0;
  bool inTransaction_ = false;
  bool lostWork_ = false;
  int nativeCode_ = 0;
  std::string nativeMessage_;
};

}  // namespace db::sqlite

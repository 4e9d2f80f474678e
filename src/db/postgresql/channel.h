#pragma once
// The wire to the server. Commands go out as one pipeline closed by a sync, so that a statement
// and the transaction control around it cost one round trip; after a failed command the server
// skips the rest. A statement still running kCancelAfterSeconds after a stop is cancelled, and
// a connection whose server takes no cancel is closed at kCloseAfterSeconds.
#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace db::postgresql {

// Owns what libpq hands out, freed by libpq's own call for it.
template <typename T, void (*Free)(T*)>
struct Freed {
  void operator()(T* object) const { Free(object); }
};
using Result = std::unique_ptr<PGresult, Freed<PGresult, PQclear>>;
using ConnectionHandle = std::unique_ptr<PGconn, Freed<PGconn, PQfinish>>;
using CancelHandle = std::unique_ptr<PGcancel, Freed<PGcancel, PQfreeCancel>>;

struct Command {
  enum class Kind : uint8_t { Text, Prepare, Execute };
  Kind kind = Kind::Text;
  std::string sql;                  // Text, Prepare
  std::string name;                 // Prepare, Execute: the server's prepared statement
  std::vector<Oid> types;           // Prepare: parameter types, 0 where the server infers one
  std::vector<const char*> values;  // Text, Execute: parameter texts, null for NULL
};

inline Command TextCommand(std::string sql) {
  return {Command::Kind::Text, std::move(sql), {}, {}, {}};
}

struct Outcome {
  std::vector<Result> results;  // one per command; null for a command that got no answer
  int failed = -1;              // the first failed command, -1 when all succeeded
  std::string sqlState;         // of that failure; empty when the connection broke
  std::string message;
  // Nothing could be sent: the connection was known to be gone before, or was closed here
  // because its server answered no cancel.
  bool notConnected = false;
  // The server said nothing for the answer bound: the connection was closed here.
  bool unanswered = false;
};

class Channel {
 public:
  explicit Channel(ConnectionHandle connection);

  // How long a wait for an answer may go without a byte from the server; then the connection
  // is closed and the commands fail as on a connection the server ended.
  void SetAnswerBound(int seconds) { answerBoundSeconds_ = seconds; }

  // Sends `commands` and a sync and reads every answer. True when all commands succeeded.
  bool Run(const std::vector<Command>& commands, Outcome& outcome);

  bool Broken() const;
  // The server's transaction state after the last sync.
  bool InTransactionBlock() const;
  bool InFailedTransaction() const;

  // Records the failure of `outcome` as the last native error and returns its status.
  int Fail(const Outcome& outcome);
  // Records a failure found without the server and returns `status`.
  int FailWith(int status, const std::string& message);
  const std::string& LastError() const { return lastError_; }

 private:
  bool Send(const Command& command);
  void Collect(size_t sent, Outcome& outcome);
  void NoteFailure(Outcome& outcome, size_t index, const PGresult* result);
  PGresult* NextResult();
  bool AwaitAnswer();
  bool StopAllowsWaiting();
  void Close();

  ConnectionHandle connection_;
  CancelHandle cancel_;  // made at connect: a cancel needs no round trip of the connection
  // Seconds after the stop at which this round trip's cancel went out; negative when none did.
  double cancelledAt_ = -1.0;
  bool closed_ = false;  // closed here, for a stop or after the session ended
  bool unanswered_ = false;  // closed here because the server fell silent
  int answerBoundSeconds_ = 120;
  std::string lastError_;
};

}  // namespace db::postgresql

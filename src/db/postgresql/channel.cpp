#include "db/postgresql/channel.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

#include "common/stop_request.h"
#include "db/dialect/postgresql.h"
#include "db/status.h"
#include "db/status_kind.h"

namespace db::postgresql {
namespace {

// How often a wait for an answer looks at the stop clock.
constexpr int kTickMillis = 250;
constexpr double kCloseAfterCancelSeconds =
    stop_request::kCloseAfterSeconds - stop_request::kCancelAfterSeconds;

int Count(const std::vector<const char*>& values) { return static_cast<int>(values.size()); }

std::string WithoutTrailingNewline(const char* text) {
  std::string message = text != nullptr ? text : "";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

}  // namespace

Channel::Channel(ConnectionHandle connection)
    : connection_(std::move(connection)), cancel_(PQgetCancel(connection_.get())) {}

bool Channel::Run(const std::vector<Command>& commands, Outcome& outcome) {
  outcome = Outcome{};
  outcome.results.resize(commands.size());
  cancelledAt_ = -1.0;
  if (Broken()) {
    outcome.failed = 0;
    outcome.notConnected = true;
    outcome.message = "the connection to the server is lost";
    return false;
  }
  size_t sent = 0;
  while (sent < commands.size() && Send(commands[sent])) ++sent;
  if (sent < commands.size()) {
    outcome.failed = static_cast<int>(sent);
    outcome.message = WithoutTrailingNewline(PQerrorMessage(connection_.get()));
  }
  if (PQpipelineSync(connection_.get()) != 1) {
    if (outcome.failed < 0) outcome.failed = 0;
    outcome.message = WithoutTrailingNewline(PQerrorMessage(connection_.get()));
    return false;
  }
  Collect(sent, outcome);
  return outcome.failed < 0;
}

bool Channel::Send(const Command& command) {
  PGconn* connection = connection_.get();
  switch (command.kind) {
    case Command::Kind::Text:
      return PQsendQueryParams(connection, command.sql.c_str(), Count(command.values), nullptr,
                               command.values.data(), nullptr, nullptr, 0) == 1;
    case Command::Kind::Prepare:
      return PQsendPrepare(connection, command.name.c_str(), command.sql.c_str(),
                           static_cast<int>(command.types.size()), command.types.data()) == 1;
    case Command::Kind::Execute:
      return PQsendQueryPrepared(connection, command.name.c_str(), Count(command.values),
                                 command.values.data(), nullptr, nullptr, 0) == 1;
  }
  return false;
}

// Each command's answer is one result followed by a null; the sync's answer closes the
// pipeline. A broken connection ends the reading early.
void Channel::Collect(size_t sent, Outcome& outcome) {
  for (size_t i = 0; i < sent; ++i) {
    PGresult* first = NextResult();
    if (first == nullptr) {
      NoteFailure(outcome, i, nullptr);
      return;
    }
    outcome.results[i].reset(first);
    ExecStatusType state = PQresultStatus(first);
    if (state != PGRES_COMMAND_OK && state != PGRES_TUPLES_OK && state != PGRES_PIPELINE_ABORTED) {
      NoteFailure(outcome, i, first);
    }
    while (Result extra{NextResult()}) {
    }
    if (Broken()) {
      NoteFailure(outcome, i, nullptr);
      return;
    }
  }
  Result sync(NextResult());
  if (!sync || PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC) NoteFailure(outcome, 0, nullptr);
}

// PQgetResult after waiting here, not in libpq, which a stop cannot wake; null once closed.
PGresult* Channel::NextResult() {
  if (!AwaitAnswer()) return nullptr;
  return PQgetResult(connection_.get());
}

// Polls only while libpq is busy (an answer already there costs nothing); false once closed.
bool Channel::AwaitAnswer() {
  using Clock = std::chrono::steady_clock;
  if (closed_) return false;
  PGconn* connection = connection_.get();
  Clock::time_point lastHeard = Clock::now();
  while (PQisBusy(connection) == 1) {
    pollfd wait{PQsocket(connection), POLLIN, 0};
    if (wait.fd < 0) return true;  // broken: PQgetResult reports it
    int ready = poll(&wait, 1, kTickMillis);
    if (ready < 0 && errno != EINTR) return true;
    if (ready > 0) {
      lastHeard = Clock::now();
      if (PQconsumeInput(connection) == 0) return true;
    }
    if (!StopAllowsWaiting()) {
      Close();
      return false;
    }
    if (Clock::now() - lastHeard >= std::chrono::seconds(answerBoundSeconds_)) {
      Close();
      unanswered_ = true;
      return false;
    }
  }
  return true;
}

// Whether the wait goes on: a stop cancels at kCancelAfterSeconds, closes at kCloseAfterSeconds.
bool Channel::StopAllowsWaiting() {
  double sinceStop = stop_request::SecondsSince();
  if (sinceStop < stop_request::kCancelAfterSeconds) return true;
  if (cancelledAt_ < 0) {
    char error[256];
    if (cancel_) PQcancel(cancel_.get(), error, sizeof error);
    cancelledAt_ = sinceStop;
    return true;
  }
  return sinceStop - cancelledAt_ < kCloseAfterCancelSeconds;
}

// The server rolls back what the closed session had open. The socket is shut first, so that
// libpq's goodbye to a server that reads nothing (a stalled one) cannot block.
void Channel::Close() {
  int socket = PQsocket(connection_.get());
  if (socket >= 0) shutdown(socket, SHUT_RDWR);
  connection_.reset();
  closed_ = true;
}

void Channel::NoteFailure(Outcome& outcome, size_t index, const PGresult* result) {
  if (outcome.failed >= 0) return;
  outcome.failed = static_cast<int>(index);
  if (unanswered_) {
    outcome.unanswered = true;
    outcome.message = "no answer from the server within " + std::to_string(answerBoundSeconds_) +
                      " s: connection closed";
    return;
  }
  if (closed_) {
    outcome.notConnected = true;
    outcome.message = "no answer from the server after a stop and a cancel: connection closed";
    return;
  }
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  outcome.sqlState = state != nullptr ? state : "";
  outcome.message = WithoutTrailingNewline(result != nullptr ? PQresultErrorMessage(result)
                                                             : PQerrorMessage(connection_.get()));
}

bool Channel::Broken() const { return PQstatus(connection_.get()) != CONNECTION_OK; }

bool Channel::InTransactionBlock() const {
  PGTransactionStatusType state = PQtransactionStatus(connection_.get());
  return state == PQTRANS_INTRANS || state == PQTRANS_INERROR;
}

bool Channel::InFailedTransaction() const {
  return PQtransactionStatus(connection_.get()) == PQTRANS_INERROR;
}

int Channel::Fail(const Outcome& outcome) {
  lastError_ =
      (outcome.sqlState.empty() ? std::string("libpq") : outcome.sqlState) + ": " + outcome.message;
  if (outcome.unanswered) return status::kEndOfFileOnChannel;
  if (outcome.notConnected) return status::kNotConnected;
  // A connection dropped without a word from the server shows only once libpq reads its end.
  if (outcome.sqlState.empty() && !Broken()) PQconsumeInput(connection_.get());
  // The session ended under these commands, whatever the server managed to say first.
  int rc = status::kEndOfFileOnChannel;
  if (!Broken()) {
    if (outcome.sqlState.empty()) return status::kInternal;  // refused by libpq itself
    rc = dialect::StatusFromPostgresSqlState(outcome.sqlState.c_str());
  }
  // libpq may not have read the end of a session that the server reported ending (57P01):
  // nothing more is sent on it either way.
  if (status::IsConnectionLost(rc)) Close();
  return rc;
}

int Channel::FailWith(int status, const std::string& message) {
  lastError_ = message;
  return status;
}

}  // namespace db::postgresql

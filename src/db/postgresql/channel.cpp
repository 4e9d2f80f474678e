#include "db/postgresql/channel.h"

#include "db/postgresql/error.h"
#include "db/runtime/status.h"

namespace db::postgresql {
namespace {

int Count(const std::vector<const char*>& values) { return static_cast<int>(values.size()); }

std::string WithoutTrailingNewline(const char* text) {
  std::string message = text != nullptr ? text : "";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

}  // namespace

bool Channel::Run(const std::vector<Command>& commands, Outcome& outcome) {
  outcome = Outcome{};
  outcome.results.resize(commands.size());
  if (Broken()) {
    outcome.failed = 0;
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
  PGconn* connection = connection_.get();
  for (size_t i = 0; i < sent; ++i) {
    PGresult* first = PQgetResult(connection);
    if (first == nullptr) {
      NoteFailure(outcome, i, nullptr);
      return;
    }
    outcome.results[i].reset(first);
    ExecStatusType state = PQresultStatus(first);
    if (state != PGRES_COMMAND_OK && state != PGRES_TUPLES_OK && state != PGRES_PIPELINE_ABORTED) {
      NoteFailure(outcome, i, first);
    }
    while (Result extra{PQgetResult(connection)}) {
    }
    if (Broken()) {
      NoteFailure(outcome, i, nullptr);
      return;
    }
  }
  Result sync(PQgetResult(connection));
  if (!sync || PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC) NoteFailure(outcome, 0, nullptr);
}

void Channel::NoteFailure(Outcome& outcome, size_t index, const PGresult* result) {
  if (outcome.failed >= 0) return;
  outcome.failed = static_cast<int>(index);
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
  if (Broken()) return status::kNotConnected;
  if (outcome.sqlState.empty()) return status::kInternal;  // refused by libpq itself
  return StatusFromSqlState(outcome.sqlState.c_str());
}

int Channel::FailWith(int status, const std::string& message) {
  lastError_ = message;
  return status;
}

}  // namespace db::postgresql

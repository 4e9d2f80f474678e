#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "db/dialect/dialect.h"
#include "db/postgresql/session.h"
#include "db/postgresql/statement.h"
#include "db/runtime/answer_bound.h"
#include "db/runtime/backend.h"
#include "db/status.h"

namespace db {
namespace postgresql {
namespace {

// The SQL of a transaction command.
std::string ControlSql(const db::Command& command) {
  switch (command.kind) {
    case db::Command::Kind::Begin: return "BEGIN";
    case db::Command::Kind::Savepoint: return "SAVEPOINT " + command.savepoint;
    case db::Command::Kind::Release: return "RELEASE SAVEPOINT " + command.savepoint;
    case db::Command::Kind::RollbackTo: return "ROLLBACK TO SAVEPOINT " + command.savepoint;
    case db::Command::Kind::Commit: return "COMMIT";
    case db::Command::Kind::Rollback: return "ROLLBACK";
    case db::Command::Kind::Statement: break;
  }
  return {};
}

class Session : public BackendSession {
 public:
  Session(ConnectionHandle connection, int answerSeconds) : link_(std::move(connection)) {
    link_.channel.SetAnswerBound(answerSeconds);
  }

  // Before any other command of the session; `failure` gets the server's word on a failure.
  int MakeReadOnly(std::string& failure) {
    Outcome outcome;
    if (link_.channel.Run({TextCommand(dialect::Postgres().ReadOnlySetting())}, outcome)) return status::kOk;
    int rc = link_.channel.Fail(outcome);
    failure = link_.channel.LastError();
    return rc;
  }

  int Prepare(const ParsedStatement& parsed, std::unique_ptr<BackendStatement>& prepared) override {
    dialect::DialectText text = dialect::Postgres().Adapt(parsed.body, parsed.inputCount,
                                                          dialect::Markers::Numbered);
    if (text.parameterCount != parsed.inputCount) {
      return link_.channel.FailWith(status::kNotAllVariablesBound,
                                    "placeholders do not match the inputs: " + parsed.text);
    }
    prepared = std::make_unique<Statement>(std::move(text),
                                           parsed.kind == ParsedStatement::Kind::Modify);
    return status::kOk;
  }

  TransactionTraits Traits() const override { return dialect::Postgres().Traits(); }

  // All in one pipeline, so in one round trip; the server skips what follows a failure. An
  // input that cannot be sent fails its statement before the server sees it: what comes
  // before that goes out alone.
  int Send(std::span<const db::Command> commands, std::vector<StepResult>& results,
           size_t& done) override {
    std::vector<Parameters> parameters(commands.size());  // sized first: commands point into them
    std::vector<Placed> placed(commands.size());
    std::vector<size_t> starts;
    std::vector<Command> pipeline;
    std::unordered_set<const PreparedStatements::Entry*> preparing;
    int stopped = status::kOk;
    for (const db::Command& command : commands) {
      size_t i = starts.size();
      size_t start = pipeline.size();
      if (command.kind == db::Command::Kind::Statement) {
        stopped = StatementOf(command).AddCommands(link_, command.step->inputs, parameters[i],
                                                   pipeline, preparing, placed[i]);
        if (stopped != status::kOk) break;
      } else {
        pipeline.push_back(TextCommand(ControlSql(command)));
      }
      starts.push_back(start);
    }
    Outcome outcome;
    bool ran = pipeline.empty() || link_.channel.Run(pipeline, outcome);
    done = starts.size();
    if (!ran) {
      size_t failed = outcome.failed > 0 ? static_cast<size_t>(outcome.failed) : 0;
      done = 0;
      while (done + 1 < starts.size() && starts[done + 1] <= failed) ++done;
    }
    for (size_t i = 0; i < starts.size(); ++i) {
      if (commands[i].kind != db::Command::Kind::Statement) continue;
      StatementOf(commands[i]).TakeOutcome(placed[i], outcome, i < done, results[i]);
    }
    return ran ? stopped : link_.channel.Fail(outcome);
  }

  ServerTransaction Transaction() const override {
    const Channel& channel = link_.channel;
    if (channel.Broken()) return ServerTransaction::Lost;
    if (channel.InFailedTransaction()) return ServerTransaction::Failed;
    return channel.InTransactionBlock() ? ServerTransaction::Open : ServerTransaction::None;
  }

  int SetSchema(const std::string& schema) override {
    std::string name = dialect::Postgres().Folded(schema);
    Command lookup = TextCommand(OwnText(dialect::Postgres().SwitchSchema(schema).sql));
    lookup.values.push_back(name.c_str());
    Outcome outcome;
    if (!link_.channel.Run({lookup}, outcome)) return link_.channel.Fail(outcome);
    if (PQntuples(outcome.results[0].get()) == 0) {
      return link_.channel.FailWith(status::kSchemaUnknown, "no schema " + name);
    }
    return status::kOk;
  }

  int TryLockName(const std::string& name, bool& taken) override {
    Command lock = TextCommand(OwnText(dialect::Postgres().TryLockNameQuery()));
    lock.values.push_back(name.c_str());
    Outcome outcome;
    if (!link_.channel.Run({lock}, outcome)) return link_.channel.Fail(outcome);
    const char* answer = PQgetvalue(outcome.results[0].get(), 0, 0);
    taken = answer != nullptr && answer[0] == 't';
    return status::kOk;
  }

  std::string LastNativeError() const override { return link_.channel.LastError(); }
  int FailWith(int status, const std::string& message) override {
    return link_.channel.FailWith(status, message);
  }

 private:
  friend Link& postgresql::LinkOf(BackendSession& session);

  static const Statement& StatementOf(const db::Command& command) {
    return static_cast<const Statement&>(*command.step->statement);
  }

  Link link_;
};

int OpenSession(const char* user, const char* password, const char* netService,
                Access access, std::unique_ptr<BackendSession>& session, std::string& failure) {
  std::string service;
  int answerSeconds = kDefaultAnswerSeconds;
  if (!TakeAnswerBound(netService, service, answerSeconds)) {
    failure = "kestrumel_answer_timeout takes one whole number of seconds from 15 to 86400";
    return status::kServiceUnresolved;
  }
  ConnectionHandle connection;
  int rc = OpenConnection(user, password, service.c_str(), connection, failure);
  if (rc != status::kOk) return rc;
  auto opened = std::make_unique<Session>(std::move(connection), answerSeconds);
  if (access == Access::ReadOnly) rc = opened->MakeReadOnly(failure);
  if (rc == status::kOk) session = std::move(opened);
  return rc;
}

}  // namespace

Link& LinkOf(BackendSession& session) { return static_cast<Session&>(session).link_; }

}  // namespace postgresql

namespace registered {
extern const BackendEntry postgresql;
const BackendEntry postgresql{
    "postgresql", {"postgresql://", "postgres://", nullptr}, &::db::postgresql::OpenSession};
}  // namespace registered

}  // namespace db

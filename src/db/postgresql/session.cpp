#include <memory>
#include <string>

#include "db/dialect/postgresql_text.h"
#include "db/postgresql/connect.h"
#include "db/postgresql/session.h"
#include "db/postgresql/statement.h"
#include "db/runtime/backend.h"
#include "db/runtime/letter_case.h"
#include "db/runtime/status.h"

namespace db {
namespace postgresql {
namespace {

// Only a schema that exists becomes the search path, in the same statement that looks for it.
constexpr const char* kSwitchSchema =
    "select set_config('search_path', quote_ident(nspname), false)"
    " from pg_catalog.pg_namespace where nspname = $1";

class Session : public BackendSession {
 public:
  explicit Session(ConnectionHandle connection)
      : link_(std::make_shared<Link>(std::move(connection))) {}

  int Prepare(const ParsedStatement& parsed, std::unique_ptr<BackendStatement>& prepared) override {
    dialect::PostgresText text = dialect::AdaptToPostgres(parsed.body);
    if (text.parameterCount != parsed.inputCount) {
      return link_->channel.FailWith(status::kNotAllVariablesBound,
                                     "placeholders do not match the inputs: " + parsed.text);
    }
    bool modifies = parsed.kind == ParsedStatement::Kind::Modify;
    bool locks = !modifies && dialect::LocksRows(parsed.body);
    prepared = std::make_unique<Statement>(link_, std::move(text), modifies, locks);
    return status::kOk;
  }

  int Savepoint(const std::string& name) override { return link_->transaction.Savepoint(name); }
  int RollbackTo(const std::string& name) override { return link_->transaction.RollbackTo(name); }
  int Commit() override { return link_->transaction.Commit(); }
  int Rollback() override { return link_->transaction.Rollback(); }

  // PostgreSQL folds unquoted names to lower case, as Oracle folds them to upper case. The
  // search path is a setting that a rollback would undo, so it changes only between
  // transactions.
  int SetSchema(const std::string& schema) override {
    if (link_->transaction.Pending()) {
      return link_->channel.FailWith(status::kSessionChangeInTransaction,
                                     "schema switch with uncommitted work");
    }
    std::string name = LowerCase(schema);
    Command lookup = TextCommand(kSwitchSchema);
    lookup.values.push_back(name.c_str());
    Outcome outcome;
    size_t first = 0;
    int rc = link_->transaction.RunStatement({lookup}, false, outcome, first);
    if (rc != status::kOk) return rc;
    if (PQntuples(outcome.results[first].get()) == 0) {
      return link_->channel.FailWith(status::kSchemaUnknown, "no schema " + name);
    }
    return status::kOk;
  }

  std::string LastNativeError() const override { return link_->channel.LastError(); }

  // Independent statements (a recount's tallies, a change and the reads after it) cost one
  // round trip together.
  int RunSteps(std::span<const BackendStep> steps, std::vector<StepResult>& results,
               size_t& succeeded) override {
    return Statement::RunSteps(*link_, steps, results, succeeded);
  }

 private:
  std::shared_ptr<Link> link_;
};

int OpenSession(const char* user, const char* password, const char* netService,
                std::unique_ptr<BackendSession>& session) {
  ConnectionHandle connection;
  int rc = OpenConnection(user, password, netService, connection);
  if (rc == status::kOk) session = std::make_unique<Session>(std::move(connection));
  return rc;
}

}  // namespace
}  // namespace postgresql

namespace registered {
extern const BackendEntry postgresql;
const BackendEntry postgresql{
    "postgresql", {"postgresql://", "postgres://", nullptr}, &::db::postgresql::OpenSession};
}  // namespace registered

}  // namespace db

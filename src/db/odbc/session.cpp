#include "db/odbc/session.h"

#include <memory>
#include <string>

#include "db/odbc/catalog.h"
#include "db/odbc/command_text.h"
#include "db/odbc/connect.h"
#include "db/odbc/error.h"
#include "db/odbc/statement.h"
#include "db/runtime/backend.h"
#include "db/runtime/letter_case.h"
#include "db/runtime/status.h"
#include "db/runtime/status_kind.h"

namespace db {
namespace odbc {

Link::Link(EnvironmentHandle environment, ConnectionHandle connection, Dialect dialect,
           bool ownRollback)
    : environment_(std::move(environment)),
      connection_(std::move(connection)),
      dialect_(dialect),
      ownRollback_(ownRollback) {}

PreparedText* Link::Prepared(const std::string& sql, int& status) {
  auto found = prepared_.find(sql);
  if (found != prepared_.end()) return &found->second;
  SQLHANDLE allocated = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &allocated))) {
    status = Fail(SQL_HANDLE_DBC, connection_.get());
    return nullptr;
  }
  PreparedText text;
  text.handle.reset(allocated);
  SQLCHAR* native = reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str()));
  SQLRETURN prepared = SQL_ERROR;
  {
    // A driver that prepares on the server waits for it here as for an execute.
    Executing executing(watch_, allocated);
    prepared = SQLPrepare(allocated, native, SQL_NTS);
  }
  if (!SQL_SUCCEEDED(prepared)) {
    status = Fail(SQL_HANDLE_STMT, allocated);
    return nullptr;
  }
  return &prepared_.emplace(sql, std::move(text)).first->second;
}

int Link::ExecuteControl(const std::string& sql) {
  if (lost_) return FailNotConnected();
  if (!control_) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &handle))) {
      return Fail(SQL_HANDLE_DBC, connection_.get());
    }
    control_.reset(handle);
  }
  int result = status::kOk;
  {
    Executing executing(watch_, control_.get());
    SQLRETURN rc = SQLExecDirect(control_.get(),
                                 reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) result = Fail(SQL_HANDLE_STMT, control_.get());
  }
  SQLFreeStmt(control_.get(), SQL_CLOSE);
  return result;
}

int Link::SetAutocommit(bool on) {
  if (lost_) return FailNotConnected();
  SQLRETURN rc = SQLSetConnectAttr(
      connection_.get(), SQL_ATTR_AUTOCOMMIT,
      reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
      SQL_IS_UINTEGER);
  if (!SQL_SUCCEEDED(rc)) return Fail(SQL_HANDLE_DBC, connection_.get());
  inTransaction_ = !on;
  return status::kOk;
}

int Link::EndTransaction(bool commit) {
  if (lost_) return FailNotConnected();
  int rc = status::kOk;
  SQLRETURN ended = SQLEndTran(SQL_HANDLE_DBC, connection_.get(), commit ? SQL_COMMIT : SQL_ROLLBACK);
  if (!SQL_SUCCEEDED(ended)) rc = Fail(SQL_HANDLE_DBC, connection_.get());
  // A commit the server refused has ended the transaction all the same.
  int switched = lost_ ? status::kOk : SetAutocommit(true);
  return rc != status::kOk ? rc : switched;
}

int Link::Fail(SQLSMALLINT type, SQLHANDLE handle) {
  // A call cancelled because the server said nothing: the connection is taken for lost, as a
  // native one is closed, so that the run connects again.
  if (watch_.TakeUnanswered()) {
    bool known = lost_;
    lost_ = true;
    inTransaction_ = false;
    return FailWith(known ? status::kNotConnected : status::kEndOfFileOnChannel,
                    "no answer from the server within the answer bound");
  }
  Diagnostic diagnostic = ReadDiagnostic(type, handle);
  lastSqlState_ = diagnostic.sqlState;
  lastError_ = (diagnostic.sqlState.empty() ? std::string("odbc") : diagnostic.sqlState) + " (" +
               std::to_string(diagnostic.native) + "): " + diagnostic.message;
  int status = StatusFromDiagnostic(dialect_, diagnostic);
  if (!status::IsConnectionLost(status)) return status;
  bool known = lost_;
  lost_ = true;
  inTransaction_ = false;
  return known ? status::kNotConnected : status;
}

int Link::FailWith(int status, const std::string& message) {
  lastSqlState_.clear();
  lastError_ = message;
  return status;
}

namespace {

// Only a schema that exists becomes the search path, in the same statement that looks for it.
constexpr const char* kPostgresSwitchSchema =
    "select set_config('search_path', quote_ident(nspname), false)"
    " from pg_catalog.pg_namespace where nspname = ?";
// A session-level advisory lock: it ends with the session, so a killed run never keeps it.
// Oracle's named locks need a package grant that a site's user may not have: there the run
// keeps its own means.
constexpr const char* kPostgresTryLockName = "select pg_try_advisory_lock(hashtextextended(?, 0))";

// PostgreSQL refuses every statement of a transaction that failed as a whole.
constexpr const char* kTransactionAborted = "25P02";

class Session : public BackendSession {
 public:
  explicit Session(std::shared_ptr<Link> link) : link_(std::move(link)) {}

  int Prepare(const ParsedStatement& parsed, std::unique_ptr<BackendStatement>& prepared) override {
    DialectText text = AdaptToDialect(link_->ServerDialect(), parsed.body, parsed.inputCount);
    if (text.parameterCount != parsed.inputCount) {
      return link_->FailWith(status::kNotAllVariablesBound,
                             "placeholders do not match the inputs: " + parsed.text);
    }
    prepared = std::make_unique<Statement>(std::move(text));
    return status::kOk;
  }

  // Oracle undoes a failed statement itself and knows no RELEASE SAVEPOINT; so do PostgreSQL
  // drivers other than its own, which leave that to the program (see connect.cpp).
  TransactionTraits Traits() const override {
    bool postgres = link_->ServerDialect() == Dialect::Postgres;
    return {.undoesFailedStatement = !link_->OwnRollback(),
            .releasesSavepoints = postgres,
            .keepsStartSavepoints = false,
            .locksRows = true};
  }

  int Send(std::span<const Command> commands, std::vector<StepResult>& results,
           size_t& done) override {
    int rc = SendCommands(*link_, commands, results, done);
    failed_ = rc != status::kOk;
    return rc;
  }

  ServerTransaction Transaction() const override {
    if (link_->Lost()) return ServerTransaction::Lost;
    if (!link_->InTransaction()) return ServerTransaction::None;
    bool aborted = link_->OwnRollback()
                       ? failed_
                       : link_->ServerDialect() == Dialect::Postgres &&
                             link_->LastSqlState() == kTransactionAborted;
    return aborted ? ServerTransaction::Failed : ServerTransaction::Open;
  }

  // A session setting that a rollback may undo (PostgreSQL's search path is one), so it
  // changes only between transactions, in autocommit.
  int SetSchema(const std::string& schema) override {
    if (link_->ServerDialect() == Dialect::Oracle) {
      int rc = link_->ExecuteControl("ALTER SESSION SET CURRENT_SCHEMA=" + schema);
      if (rc == status::kOk) link_->SetSwitchedSchema(UpperCase(schema));
      return rc;
    }
    Statement lookup({kPostgresSwitchSchema, 1, {}});
    BackendStep step{&lookup, {SqlValue{SqlValue::Kind::Text, 0, LowerCase(schema)}}, false,
                     false, {}};
    Command command{Command::Kind::Statement, {}, &step};
    std::vector<StepResult> results(1);
    size_t done = 0;
    int rc = SendCommands(*link_, {&command, 1}, results, done);
    if (rc == status::kOk && results[0].rows.empty()) {
      rc = link_->FailWith(status::kSchemaUnknown, "no schema " + LowerCase(schema));
    }
    if (rc == status::kOk) link_->SetSwitchedSchema(LowerCase(schema));
    return rc;
  }

  int TryLockName(const std::string& name, bool& taken) override {
    taken = false;
    if (link_->ServerDialect() != Dialect::Postgres) return kNoNamedLocks;
    Statement lock({kPostgresTryLockName, 1, {}});
    BackendStep step{&lock, {SqlValue{SqlValue::Kind::Text, 0, name}}, false, false, {}};
    Command command{Command::Kind::Statement, {}, &step};
    std::vector<StepResult> results(1);
    size_t done = 0;
    int rc = SendCommands(*link_, {&command, 1}, results, done);
    if (rc != status::kOk) return rc;
    SqlRow row;
    if (!results[0].rows.empty()) results[0].rows.Read(0, row);
    if (row.empty()) return link_->FailWith(status::kInternal, "no answer to the advisory lock");
    taken = row[0].text == "1" || row[0].text == "t" || row[0].number == 1;
    return status::kOk;
  }

  int Describe(BackendStatement& statement, const std::vector<bool>& integerInputs) override {
    return odbc::Describe(*link_, statement, integerInputs);
  }
  int Columns(const std::string& schema, const std::string& table,
              std::vector<CatalogColumn>& columns) override {
    return odbc::Columns(*link_, schema, table, columns);
  }
  int Indexes(const std::string& schema, const std::string& table,
              std::vector<std::vector<std::string>>& indexes) override {
    return odbc::Indexes(*link_, schema, table, indexes);
  }
  int Privileges(const std::string& schema, const std::string& table,
                 TablePrivileges& granted) override {
    return odbc::Privileges(*link_, schema, table, granted);
  }

  std::string LastNativeError() const override { return link_->LastError(); }
  int FailWith(int status, const std::string& message) override {
    return link_->FailWith(status, message);
  }

 private:
  std::shared_ptr<Link> link_;
  bool failed_ = false;  // the last commands sent failed
};

int OpenSession(const char* user, const char* password, const char* netService,
                Access access, std::unique_ptr<BackendSession>& session, std::string& failure) {
  std::shared_ptr<Link> link;
  int rc = OpenLink(user, password, netService, access, link, failure);
  if (rc == status::kOk) session = std::make_unique<Session>(std::move(link));
  return rc;
}

}  // namespace
}  // namespace odbc

namespace registered {
extern const BackendEntry odbc;
const BackendEntry odbc{"odbc", {"odbc:", nullptr, nullptr}, &::db::odbc::OpenSession};
}  // namespace registered

}  // namespace db

#include <memory>
#include <string>

#include "db/odbc/connect.h"
#include "db/odbc/error.h"
#include "db/odbc/series.h"
#include "db/odbc/session.h"
#include "db/odbc/statement.h"
#include "db/runtime/backend.h"
#include "db/runtime/letter_case.h"
#include "db/runtime/status.h"
#include "db/runtime/status_kind.h"

namespace db {
namespace odbc {
namespace {

constexpr const char* kIndeterminateType = "42P18";

}  // namespace

Link::Link(EnvironmentHandle environment, ConnectionHandle connection, Dialect dialect)
    : environment_(std::move(environment)), connection_(std::move(connection)), dialect_(dialect) {}

int Link::NewStatement(const Statement* owner, SQLHSTMT& handle) {
  SQLHANDLE allocated = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &allocated))) {
    return Fail(SQL_HANDLE_DBC, connection_.get());
  }
  statements_[owner].reset(allocated);
  handle = allocated;
  return status::kOk;
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

// A statement prepared in a transaction that is rolled back stays prepared: the names hold for
// the whole session.
int Link::ServerStatement(const std::string& sql, const std::vector<bool>& integer,
                          std::string& name) {
  auto found = serverStatements_.find(sql);
  if (found == serverStatements_.end()) {
    std::string fresh = "kestrumel_" + std::to_string(serverStatements_.size() + 1);
    int rc = transaction_.Guarded("PREPARE " + fresh + " AS " + sql);
    // An input the server cannot type from where it stands is sent as the driver types it
    // when it prepares a statement itself.
    if (rc != status::kOk && lastSqlState_ == kIndeterminateType) {
      std::string types;
      for (bool number : integer) {
        types += types.empty() ? "(" : ",";
        types += number ? "int4" : "varchar";
      }
      rc = transaction_.Guarded("PREPARE " + fresh + types + ") AS " + sql);
    }
    if (rc != status::kOk) return rc;
    found = serverStatements_.emplace(sql, std::move(fresh)).first;
  }
  name = found->second;
  return status::kOk;
}

int Link::DirectHandle(SQLHSTMT& handle) {
  if (!direct_) {
    SQLHANDLE allocated = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &allocated))) {
      return Fail(SQL_HANDLE_DBC, connection_.get());
    }
    direct_.reset(allocated);
  }
  handle = direct_.get();
  return status::kOk;
}

int Link::Fail(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnostic diagnostic = ReadDiagnostic(type, handle);
  lastSqlState_ = diagnostic.sqlState;
  lastError_ = (diagnostic.sqlState.empty() ? std::string("odbc") : diagnostic.sqlState) + " (" +
               std::to_string(diagnostic.native) + "): " + diagnostic.message;
  int status = StatusFromDiagnostic(dialect_, diagnostic);
  if (!status::IsConnectionLost(status)) return status;
  bool known = lost_;
  lost_ = true;
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

class Session : public BackendSession {
 public:
  explicit Session(std::shared_ptr<Link> link) : link_(std::move(link)) {}

  int Prepare(const ParsedStatement& parsed, std::unique_ptr<BackendStatement>& prepared) override {
    DialectText text = AdaptToDialect(link_->ServerDialect(), parsed.body, parsed.inputCount);
    if (text.parameterCount != parsed.inputCount) {
      return link_->FailWith(status::kNotAllVariablesBound,
                             "placeholders do not match the inputs: " + parsed.text);
    }
    bool modifies = parsed.kind == ParsedStatement::Kind::Modify;
    bool locks = !modifies && dialect::LocksRows(parsed.body);
    auto statement = std::make_unique<Statement>(link_, std::move(text), modifies, locks);
    int rc = statement->Prepare();
    if (rc == status::kOk) prepared = std::move(statement);
    return rc;
  }

  int Savepoint(const std::string& name) override { return link_->Work().Savepoint(name); }
  int RollbackTo(const std::string& name) override { return link_->Work().RollbackTo(name); }
  int Commit() override { return link_->Work().Commit(); }
  int Rollback() override { return link_->Work().Rollback(); }

  // A session setting that a rollback may undo (PostgreSQL's search path is one), so it
  // changes only between transactions, in autocommit.
  int SetSchema(const std::string& schema) override {
    if (link_->Work().Pending()) {
      return link_->FailWith(status::kSessionChangeInTransaction,
                             "schema switch with uncommitted work");
    }
    if (link_->ServerDialect() == Dialect::Oracle) {
      return link_->ExecuteControl("ALTER SESSION SET CURRENT_SCHEMA=" + schema);
    }
    Statement lookup(link_, {kPostgresSwitchSchema, 1, {}}, false);
    int rc = lookup.Prepare();
    std::string name = LowerCase(schema);
    SqlValue input{SqlValue::Kind::Text, 0, name};
    SqlRows rows;
    if (rc == status::kOk) rc = lookup.Run({input}, &rows, nullptr);
    if (rc == status::kOk && rows.empty()) {
      rc = link_->FailWith(status::kSchemaUnknown, "no schema " + name);
    }
    return rc;
  }

  std::string LastNativeError() const override { return link_->LastError(); }

  // One text of several statements is PostgreSQL's own driver's way; elsewhere (Oracle's
  // driver takes one statement per text) they run one by one.
  int RunQueries(const std::vector<BackendStatement*>& statements,
                 const std::vector<std::vector<SqlValue>>& inputs,
                 std::vector<SqlRows>& rows, size_t& succeeded) override {
    if (!link_->Work().OwnStatementRollback()) {
      return BackendSession::RunQueries(statements, inputs, rows, succeeded);
    }
    std::vector<Statement*> own;
    own.reserve(statements.size());
    for (BackendStatement* statement : statements) own.push_back(static_cast<Statement*>(statement));
    return RunSeries(*link_, own, inputs, rows, succeeded);
  }

 private:
  std::shared_ptr<Link> link_;
};

int OpenSession(const char* user, const char* password, const char* netService,
                std::unique_ptr<BackendSession>& session) {
  std::shared_ptr<Link> link;
  int rc = OpenLink(user, password, netService, link);
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

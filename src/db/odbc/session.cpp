#include "db/odbc/session.h"

#include <memory>
#include <string>
#include <utility>

#include "db/odbc/statement.h"
#include "db/runtime/backend.h"
#include "db/status.h"
#include "db/status_kind.h"

namespace db {
namespace odbc {

Link::Link(EnvironmentHandle environment, ConnectionHandle connection,
           const dialect::Dialect& dialect, bool ownRollback)
    : environment_(std::move(environment)),
      connection_(std::move(connection)),
      dialect_(dialect),
      ownRollback_(ownRollback) {}

int Link::NewStatement(StatementHandle& statement) {
  if (lost_) return FailNotConnected();
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &handle))) {
    return Fail(SQL_HANDLE_DBC, connection_.get());
  }
  statement.reset(handle);
  return status::kOk;
}

PreparedText* Link::Prepared(const std::string& sql, int& status) {
  auto found = prepared_.find(sql);
  if (found != prepared_.end()) return &found->second;
  PreparedText text;
  status = NewStatement(text.handle);
  if (status != status::kOk) return nullptr;
  SQLHSTMT allocated = text.handle.get();
  SQLRETURN prepared = SQL_ERROR;
  {
    // A driver that prepares on the server waits for it here as for an execute.
    Executing executing(watch_, allocated);
    prepared = SQLPrepare(allocated, Native(sql), SQL_NTS);
  }
  if (!SQL_SUCCEEDED(prepared)) {
    status = Fail(SQL_HANDLE_STMT, allocated);
    return nullptr;
  }
  return &prepared_.emplace(sql, std::move(text)).first->second;
}

namespace {

// A command without results on `handle` (run directly when `direct`), cancellable; its cursor
// closed after.
int ExecuteOn(Link& link, SQLHSTMT handle, const std::string* direct) {
  int result = status::kOk;
  {
    Executing executing(link.Watch(), handle);
    SQLRETURN rc = direct != nullptr ? SQLExecDirect(handle, Native(*direct), SQL_NTS) : SQLExecute(handle);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) result = link.Fail(SQL_HANDLE_STMT, handle);
  }
  SQLFreeStmt(handle, SQL_CLOSE);
  return result;
}

}  // namespace

int Link::ExecuteControl(const std::string& sql) {
  if (lost_) return FailNotConnected();
  int result = control_ ? status::kOk : NewStatement(control_);
  return result != status::kOk ? result : ExecuteOn(*this, control_.get(), &sql);
}

int Link::ExecutePreparedControl(const std::string& sql) {
  if (lost_) return FailNotConnected();
  int result = status::kOk;
  PreparedText* text = Prepared(sql, result);
  return text == nullptr ? result : ExecuteOn(*this, text->handle.get(), nullptr);
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
  int status = status::kEndOfFileOnChannel;
  // A call cancelled because the server said nothing: the connection is taken for lost, as a
  // native one is closed, so that the run connects again.
  if (watch_.TakeUnanswered()) {
    FailWith(status, "no answer from the server within the answer bound");
  } else {
    Diagnostic diagnostic = ReadDiagnostic(type, handle);
    lastSqlState_ = diagnostic.sqlState;
    lastError_ = (diagnostic.sqlState.empty() ? std::string("odbc") : diagnostic.sqlState) + " (" +
                 std::to_string(diagnostic.native) + "): " + diagnostic.message;
    status = StatusFromDiagnostic(dialect_, diagnostic);
    if (!status::IsConnectionLost(status)) return status;
  }
  bool known = std::exchange(lost_, true);
  inTransaction_ = false;
  return known ? status::kNotConnected : status;
}

int Link::FailWith(int status, const std::string& message) {
  lastSqlState_.clear();
  lastError_ = message;
  return status;
}

std::string DriverInfo(SQLHDBC connection, SQLUSMALLINT item) {
  SQLCHAR text[256] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(connection, item, text, sizeof text, &length))) return "";
  return reinterpret_cast<const char*>(text);
}

int RunQuery(Link& link, const std::string& sql, const std::vector<std::string>& inputs,
             SqlRows& rows) {
  Statement query({sql, static_cast<int>(inputs.size()), {}, {}});
  BackendStep step{&query, {}, false, false, {}};
  for (const std::string& input : inputs) step.inputs.push_back({SqlValue::Kind::Text, 0, input});
  Command command{Command::Kind::Statement, {}, &step};
  std::vector<StepResult> results(1);
  size_t done = 0;
  int rc = SendCommands(link, {&command, 1}, results, done);
  rows = std::move(results[0].rows);
  return rc;
}

namespace {

class Session : public BackendSession {
 public:
  explicit Session(std::shared_ptr<Link> link) : link_(std::move(link)) {}

  int Prepare(const ParsedStatement& parsed, std::unique_ptr<BackendStatement>& prepared) override {
    dialect::DialectText text =
        link_->ServerDialect().Adapt(parsed.body, parsed.inputCount, dialect::Markers::Question);
    if (text.parameterCount != parsed.inputCount) {
      return link_->FailWith(status::kNotAllVariablesBound,
                             "placeholders do not match the inputs: " + parsed.text);
    }
    prepared = std::make_unique<Statement>(std::move(text));
    return status::kOk;
  }

  // The server's, except that a driver other than PostgreSQL's own undoes a failed statement
  // itself, where the program does not take that on (see connect.cpp).
  TransactionTraits Traits() const override {
    TransactionTraits traits = link_->ServerDialect().Traits();
    traits.undoesFailedStatement = !link_->OwnRollback();
    return traits;
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
    bool aborted = link_->OwnRollback() ? failed_
                                        : link_->ServerDialect().RefusesUntilRollback(link_->LastSqlState());
    return aborted ? ServerTransaction::Failed : ServerTransaction::Open;
  }

  // A session setting that a rollback may undo (PostgreSQL's search path is one), so it
  // changes only between transactions, in autocommit.
  int SetSchema(const std::string& schema) override {
    const dialect::Dialect& server = link_->ServerDialect();
    dialect::Dialect::SchemaSwitch change = server.SwitchSchema(schema);
    std::string name = server.Folded(schema);
    SqlRows rows;
    int rc = change.lookup ? RunQuery(*link_, change.sql, {name}, rows) : link_->ExecuteControl(change.sql);
    if (rc == status::kOk && change.lookup && rows.empty()) {
      rc = link_->FailWith(status::kSchemaUnknown, "no schema " + name);
    }
    if (rc == status::kOk) link_->SetSwitchedSchema(name);
    return rc;
  }

  int TryLockName(const std::string& name, bool& taken) override {
    taken = false;
    const char* query = link_->ServerDialect().TryLockNameQuery();
    if (query == nullptr) return kNoNamedLocks;  // the run keeps its own means
    SqlRows rows;
    int rc = RunQuery(*link_, query, {name}, rows);
    if (rc != status::kOk) return rc;
    SqlRow row;
    if (!rows.empty()) rows.Read(0, row);
    if (row.empty()) return link_->FailWith(status::kInternal, "no answer to the advisory lock");
    taken = row[0].text == "1" || row[0].text == "t" || row[0].number == 1;
    return status::kOk;
  }

  std::string LastNativeError() const override { return link_->LastError(); }
  int FailWith(int status, const std::string& message) override {
    return link_->FailWith(status, message);
  }

 private:
  friend Link& odbc::LinkOf(BackendSession& session);

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

Link& LinkOf(BackendSession& session) { return *static_cast<Session&>(session).link_; }

}  // namespace odbc

namespace registered {
extern const BackendEntry odbc;
const BackendEntry odbc{"odbc", {"odbc:", nullptr, nullptr}, &::db::odbc::OpenSession};
}  // namespace registered

}  // namespace db

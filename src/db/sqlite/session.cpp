#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "db/runtime/backend.h"
#include "db/runtime/status.h"
#include "db/sqlite/connection.h"
#include "db/sqlite/dialect.h"
#include "db/sqlite/statement.h"

namespace db {
namespace sqlite {
namespace {

constexpr const char* kPrefix = "sqlite:";

bool IsEmpty(const char* text) { return text == nullptr || *text == '\0'; }

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// "sqlite:DIR" with DIR an existing directory, made absolute so that a later change of the
// working directory does not move the database.
bool ResolveDirectory(const char* netService, std::string& directory) {
  std::string net = netService != nullptr ? netService : "";
  if (net.rfind(kPrefix, 0) != 0 || net.size() == std::string(kPrefix).size()) return false;
  char resolved[PATH_MAX];
  if (realpath(net.c_str() + std::string(kPrefix).size(), resolved) == nullptr) return false;
  struct stat info {};
  if (stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  directory = resolved;
  return true;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class Session : public BackendSession {
 public:
  explicit Session(std::string directory)
      : directory_(std::move(directory)), connection_(std::make_shared<Connection>()) {}

  // Statements kept by their owners share the connection; it closes with the session all the
  // same, so that no pending work outlives it.
  ~Session() override { connection_->Close(); }

  int Open() { return connection_->Open(":memory:", directory_); }

  int Prepare(const ParsedStatement& parsed, std::unique_ptr<BackendStatement>& prepared) override {
    auto statement = std::make_unique<Statement>(connection_, AdaptDialect(parsed.body),
                                                 parsed.kind == ParsedStatement::Kind::Modify);
    int rc = statement->Prepare();
    if (rc == status::kOk) prepared = std::move(statement);
    return rc;
  }

  int Savepoint(const std::string& name) override {
    int rc = connection_->BeginIfIdle();
    if (rc != status::kOk) return rc;
    return connection_->Exec("SAVEPOINT \"" + name + "\"");
  }

  int RollbackTo(const std::string& name) override {
    if (!connection_->InTransaction()) {
      return connection_->FailWith(status::kSavepointUnknown, "no such savepoint: " + name);
    }
    return connection_->Exec("ROLLBACK TO \"" + name + "\"");
  }

  // Work done after a loss is only the rest of a transaction that is gone: it goes too.
  int Commit() override {
    if (connection_->TakeLostWork()) {
      if (connection_->InTransaction() && connection_->Exec("ROLLBACK") == status::kOk) {
        connection_->MarkEnded();
      }
      return connection_->FailWith(status::kTransactionRolledBack, "transaction rolled back by a failure");
    }
    if (!connection_->InTransaction()) return status::kOk;
    int rc = connection_->Exec("COMMIT");
    if (rc == status::kOk) connection_->MarkEnded();
    return rc;
  }

  int Rollback() override {
    connection_->TakeLostWork();
    if (!connection_->InTransaction()) return status::kOk;
    int rc = connection_->Exec("ROLLBACK");
    if (rc == status::kOk) connection_->MarkEnded();
    return rc;
  }

  // DIR/S.db becomes the main database of a new handle; Oracle names are case-blind, so the
  // upper-case file name serves as well. The handle cannot carry pending work across.
  int SetSchema(const std::string& schema) override {
    if (connection_->InTransaction()) {
      return connection_->FailWith(status::kSessionChangeInTransaction,
                                   "schema switch with uncommitted work");
    }
    std::string path = directory_ + "/" + schema + ".db";
    if (!IsFile(path)) path = directory_ + "/" + UpperCase(schema) + ".db";
    if (!IsFile(path)) return connection_->FailWith(status::kSchemaUnknown, "no database " + path);
    return connection_->Open(path, directory_);
  }

  std::string LastNativeError() const override { return connection_->LastNativeError(); }

 private:
  std::string directory_;
  std::shared_ptr<Connection> connection_;
};

}  // namespace
}  // namespace sqlite

// The password is checked before the service is looked up, as an Oracle client does.
int OpenSqliteSession(const char* user, const char* password, const char* netService,
                      std::unique_ptr<BackendSession>& session) {
  if (sqlite::IsEmpty(password)) return status::kPasswordMissing;
  std::string directory;
  if (!sqlite::ResolveDirectory(netService, directory)) return status::kServiceUnresolved;
  if (sqlite::IsEmpty(user)) return status::kLogonDenied;
  auto opened = std::make_unique<sqlite::Session>(directory);
  int rc = opened->Open();
  if (rc == status::kOk) session = std::move(opened);
  return rc;
}

}  // namespace db

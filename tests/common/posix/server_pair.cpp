#include "common/posix/server_pair.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <utility>

#include "db/runtime/backend.h"

namespace testing_db {
namespace {

// start-pair's status where no PostgreSQL server is installed.
constexpr int kNoServerInstalled = 77;

std::string ScriptPath() { return std::string(KESTRUMEL_SOURCE_DIR) + "/scripts/pg-test-server.sh"; }

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool Required() {
  const char* value = std::getenv("KESTRUMEL_REQUIRE_PG");
  return value != nullptr && std::string(value) == "1";
}

bool ProgramHasPostgresBackend() {
  for (const db::BackendEntry* backend : db::RegisteredBackends()) {
    if (std::string(backend->name) == "postgresql") return true;
  }
  return false;
}

// The exit status of a command run through the shell, -1 when it did not exit.
int ExitStatus(int waitStatus) {
  return waitStatus != -1 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

// "export A=1 B=2" as start-pair prints it. Its values need no quoting but a temporary
// directory's name might: such a value is refused rather than unquoted.
std::optional<std::map<std::string, std::string>> ParseExports(const std::string& text) {
  std::map<std::string, std::string> variables;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (word == "export") continue;
    size_t equals = word.find('=');
    if (equals == std::string::npos || word.find_first_of("\\'\"$") != std::string::npos) {
      return std::nullopt;
    }
    variables[word.substr(0, equals)] = word.substr(equals + 1);
  }
  for (const char* name : {"KESTRUMEL_TEST_PG_HOST", "KESTRUMEL_TEST_PG_PORT",
                           "KESTRUMEL_TEST_PG_USER", "KESTRUMEL_TEST_PG_PASSWORD",
                           "KESTRUMEL_TEST_PG_DIR"}) {
    if (variables[name].empty()) return std::nullopt;
  }
  return variables;
}

// The test variables pointed at another server while it lasts: the PostgreSQL half of the
// fixture reads them when it makes a database. The test's process runs this test alone.
class PointedVariables {
 public:
  explicit PointedVariables(const std::map<std::string, std::string>& variables) {
    for (const auto& [name, value] : variables) {
      const char* old = std::getenv(name.c_str());
      saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
      setenv(name.c_str(), value.c_str(), 1);
    }
  }
  ~PointedVariables() {
    for (const auto& [name, old] : saved_) {
      if (old) {
        setenv(name.c_str(), old->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

std::unique_ptr<ServerPair> ServerPair::Start(Standby standby, std::string& skipReason) {
  skipReason.clear();
  if (!ProgramHasPostgresBackend()) {
    skipReason = "the program has no PostgreSQL backend";
    return nullptr;
  }
  std::string command = ShellQuoted(ScriptPath()) + " start-pair" +
                        (standby == Standby::None ? " --no-standby" : "");
  FILE* script = popen(command.c_str(), "r");
  if (script == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return nullptr;
  }
  std::string output;
  char buffer[512];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, script)) > 0;) output.append(buffer, n);
  int status = ExitStatus(pclose(script));
  if (status == kNoServerInstalled && !Required()) {
    skipReason = "no PostgreSQL server installed";
    return nullptr;
  }
  auto variables = status == 0 ? ParseExports(output) : std::nullopt;
  if (!variables) {
    ADD_FAILURE() << command << " failed (" << status << "): " << output;
    return nullptr;
  }
  return std::unique_ptr<ServerPair>(new ServerPair(std::move(*variables)));
}

ServerPair::ServerPair(std::map<std::string, std::string> variables)
    : variables_(std::move(variables)) {}

ServerPair::~ServerPair() { Script("stop"); }

std::unique_ptr<TestDb> ServerPair::CreateDb(const std::string& schema) const {
  PointedVariables pointed(variables_);
  return TestDb::Create(Backend::Postgres, schema);
}

std::string ServerPair::OdbcNetService(const TestDb& db) const {
  auto dsn = variables_.find("KESTRUMEL_TEST_ODBC_DSN");
  if (dsn == variables_.end()) return "";
  const std::string native = db.NetService();  // postgresql://HOSTS/DATABASE?...
  const size_t slash = native.find('/', std::string("postgresql://").size());
  const std::string database = native.substr(slash + 1, native.find('?') - slash - 1);
  return "odbc:DSN=" + dsn->second + ";Database=" + database;
}

ServerPair::OdbcSources::OdbcSources(const ServerPair& pair) {
  for (const char* name : {"ODBCSYSINI", "ODBCINI"}) {
    const char* old = std::getenv(name);
    saved_[name] = old != nullptr ? old : "";
    auto value = pair.variables_.find(name);
    if (value != pair.variables_.end()) setenv(name, value->second.c_str(), 1);
  }
}

ServerPair::OdbcSources::~OdbcSources() {
  for (const auto& [name, old] : saved_) {
    if (old.empty()) {
      unsetenv(name.c_str());
    } else {
      setenv(name.c_str(), old.c_str(), 1);
    }
  }
}

bool ServerPair::StopPrimary() const { return Script("stop-primary"); }
bool ServerPair::KillPrimary() const { return Script("kill-primary"); }
bool ServerPair::PromoteStandby() const { return Script("promote-standby"); }
bool ServerPair::StartPrimary() const { return Script("start-primary"); }

// The script finds the pair by KESTRUMEL_TEST_PG_DIR, which in the test's environment names
// the regular test server: given on the command line instead.
bool ServerPair::Script(const std::string& command) const {
  std::string line = "KESTRUMEL_TEST_PG_DIR=" + ShellQuoted(variables_.at("KESTRUMEL_TEST_PG_DIR")) +
                     " " + ShellQuoted(ScriptPath()) + " " + command;
  int status = ExitStatus(std::system(line.c_str()));
  if (status != 0) ADD_FAILURE() << "failed (" << status << "): " << line;
  return status == 0;
}

}  // namespace testing_db

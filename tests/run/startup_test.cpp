// Start-up of the built program: configuration, log file name, connect, argument count.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/backend_test.h"
#include "common/process.h"
#include "common/program_run.h"
#include "common/test_db.h"
#include "run/log_expectations.h"

namespace {

using run_tests::ExpectEntries;
using run_tests::ExpectQuietSuccess;
using testing_db::Backend;
using testing_db::TestDb;
using testing_run::CommandLine;
using testing_run::ReadLog;
using testing_run::RunDir;
using testing_run::RunProgram;

const run_tests::ExpectedEntry kConnectFailed{"dbConnect", "Fehlerhafter Connect mit der DB ", 0};

// Runs without a database: whatever fails, the run ends quietly with 0.
TEST(StartupWithoutDatabase, MissingConfigFileLogsFailedConnectUnderEmptySchema) {
  RunDir dir;
  auto result = RunProgram(dir.RunPath(), CommandLine(dir.RunPath() + "/missing.cfg", "PG1"));
  ExpectQuietSuccess(result);
  ExpectEntries(ReadLog(dir.LogPath("")), {kConnectFailed});
}

TEST(StartupWithoutDatabase, NoArgumentsAtAllStillTryTheConnect) {
  RunDir dir;
  ExpectQuietSuccess(RunProgram(dir.RunPath(), {}));
  ExpectEntries(ReadLog(dir.LogPath("")), {kConnectFailed});
}

TEST(StartupWithoutDatabase, MissingLogDirectoryStillEndsWithZero) {
  RunDir dir;
  dir.RemoveLogDir();
  ExpectQuietSuccess(RunProgram(dir.RunPath(), CommandLine("missing.cfg", "PG1")));
  EXPECT_FALSE(testing_run::FileExists(dir.LogPath("")));
}

// The records of a configuration file: pairs of lines, keyed by the name on the second line.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start + 1));
  }
  return lines;
}

// The record of `key` replaced by `record` (two lines), or dropped when `record` is empty.
std::string ReplaceRecord(const std::string& config, const std::string& key,
                          const std::string& record) {
  std::vector<std::string> lines = Lines(config);
  std::string text;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    bool isKey = lines[i + 1].find(";" + key + ";") != std::string::npos;
    text += isKey ? record : lines[i] + lines[i + 1];
  }
  return text;
}

void WriteText(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

class StartupTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    db_ = TestDb::Create(GetParam());
    ASSERT_NE(db_, nullptr);
    dir_ = std::make_unique<RunDir>(*db_);
  }

  // The configuration tool's file for this database, with `password` and `net`.
  std::string ToolConfig(const std::string& password, const std::string& net) {
    std::string path = dir_->RunPath() + "/tool.cfg";
    auto tool = testing_run::WriteConfigWithTool(path, net, db_->Schema(), db_->User(), password);
    EXPECT_EQ(tool.exitStatus, 0) << tool.err;
    return testing_run::ReadFile(path);
  }
  std::string ToolConfig() { return ToolConfig(db_->Password(), db_->NetService()); }

  // The tool refuses a schema over 20 characters; its NET8 value takes any text, and the
  // cipher does not depend on the key, so that value is moved into a SCHEMA record.
  std::string SchemaRecord(const std::string& storedSchema) {
    std::vector<std::string> lines = Lines(ToolConfig(db_->Password(), storedSchema));
    std::string netLine = lines.at(1);
    std::string hex = netLine.substr(netLine.rfind(';') + 1);
    return ";SCHEMA;\n2;SCHEMA;" + hex;
  }

  std::string SaveConfig(const std::string& text) {
    std::string path = dir_->RunPath() + "/broken.cfg";
    WriteText(path, text);
    return path;
  }

  std::unique_ptr<TestDb> db_;
  std::unique_ptr<RunDir> dir_;
};

TEST_P(StartupTest, WrongPasswordLogsFailedConnect) {
  if (GetParam() == Backend::Sqlite) GTEST_SKIP() << "SQLite files have no passwords";
  std::string config = SaveConfig(ToolConfig(db_->Password() + "-wrong", db_->NetService()));
  ExpectQuietSuccess(RunProgram(dir_->RunPath(), CommandLine(config, "PG1")));
  ExpectEntries(ReadLog(dir_->LogPath(db_->Schema())), {kConnectFailed});
}

// The client libraries' own variables steer nothing: the right password in PGPASSWORD does not
// rescue a wrong one, and a wrong host, port or database does not spoil a right connect.
TEST_P(StartupTest, ClientEnvironmentDoesNotSteerTheConnection) {
  const std::pair<const char*, std::string> variables[] = {
      {"PGPASSWORD", db_->Password()},        {"PGSERVICE", "kestrumel_no_such_service"},
      {"PGHOST", "/nonexistent"},             {"PGPORT", "1"},
      {"PGOPTIONS", "-c search_path=nowhere"}, {"PGSSLMODE", "require"},
      {"PGDATABASE", "kt_no_such_database"},  {"PGPASSFILE", "/nonexistent"},
  };
  for (const auto& [name, value] : variables) testing_process::SetVariable(name, value);
  ExpectQuietSuccess(RunProgram(dir_->RunPath(), CommandLine(dir_->ConfigPath(), "PG1")));
  bool connected = !testing_run::FileExists(dir_->LogPath(db_->Schema()));
  if (GetParam() != Backend::Sqlite) {
    std::string config = SaveConfig(ToolConfig(db_->Password() + "-wrong", db_->NetService()));
    ExpectQuietSuccess(RunProgram(dir_->RunPath(), CommandLine(config, "PG1")));
  }
  for (const auto& [name, value] : variables) testing_process::RemoveVariable(name);
  EXPECT_TRUE(connected) << testing_run::ReadFile(dir_->LogPath(db_->Schema()));
  if (GetParam() != Backend::Sqlite) {
    ExpectEntries(ReadLog(dir_->LogPath(db_->Schema())), {kConnectFailed});
  }
}

TEST_P(StartupTest, UnknownNetServiceLogsFailedConnect) {
  std::string config = SaveConfig(ToolConfig(db_->Password(), db_->NetService() + "-missing"));
  ExpectQuietSuccess(RunProgram(dir_->RunPath(), CommandLine(config, "PG1")));
  ExpectEntries(ReadLog(dir_->LogPath(db_->Schema())), {kConnectFailed});
}

// Without a schema name the log has nothing between '_' and ".log", and the switch fails.
TEST_P(StartupTest, MissingSchemaKeyLogsFailedConnectUnderEmptySchema) {
  std::string config = SaveConfig(ReplaceRecord(ToolConfig(), "SCHEMA", ""));
  ExpectQuietSuccess(RunProgram(dir_->RunPath(), CommandLine(config, "PG1")));
  ExpectEntries(ReadLog(dir_->LogPath("")), {kConnectFailed});
}

TEST_P(StartupTest, OverlongSchemaValueLeavesTheSchemaNameEmpty) {
  std::string stored = db_->Schema() + std::string(22 - db_->Schema().size(), 'X');
  std::string config = SaveConfig(ReplaceRecord(ToolConfig(), "SCHEMA", SchemaRecord(stored)));
  ExpectQuietSuccess(RunProgram(dir_->RunPath(), CommandLine(config, "PG1")));
  ExpectEntries(ReadLog(dir_->LogPath("")), {kConnectFailed});
}

// The argument count is checked only after a successful connect; the log carries the
// five-character schema name.
TEST_P(StartupTest, SevenArgumentsLogTheCountAfterConnecting) {
  std::vector<std::string> args = CommandLine(dir_->ConfigPath(), "PG1");
  args.pop_back();
  ExpectQuietSuccess(RunProgram(dir_->RunPath(), args));
  ASSERT_EQ(db_->Schema().size(), 5u);
  ExpectEntries(ReadLog(dir_->LogPath(db_->Schema())),
                {{"Main()", "Mindestanzahl Parameter(9) unterschritten", 8}});
  EXPECT_FALSE(testing_run::FileExists(dir_->LogPath("")));
}

// Eight arguments are enough: an empty queue runs through without any entry.
TEST_P(StartupTest, EightArgumentsRunTheQueue) {
  ExpectQuietSuccess(RunProgram(dir_->RunPath(), CommandLine(dir_->ConfigPath(), "PG1")));
  EXPECT_FALSE(testing_run::FileExists(dir_->LogPath(db_->Schema())));
}

INSTANTIATE_BACKEND_TEST(StartupTest);

}  // namespace

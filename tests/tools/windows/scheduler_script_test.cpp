// The Task Scheduler's script (scheduler\kestrumel-run.cmd of the zip): kestrumel in the run
// folder it is given, wherever the task starts it, then kestrumel-config status, whose exit
// code is the script's and so the task's Last Run Result.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/program_run.h"
#include "common/temp_path.h"
#include "common/test_db.h"

namespace {

using testing_db::Backend;
using testing_db::TestDb;
using testing_run::RunDir;

// A path as cmd takes it: with its drive, backslashes only.
std::string WindowsPath(const std::string& path) {
  return std::filesystem::absolute(testing_files::PathOf(path)).make_preferred().string();
}

// The script as the task runs it, from a folder other than the run folder, and what status
// says of that run when asked directly afterwards.
struct Outcome {
  int script;
  int status;
  std::string said;  // the script's output, for a failure's message
};
Outcome RunScript(const RunDir& dir, const std::string& config) {
  const char* comspec = std::getenv("COMSPEC");
  const std::string cmd = comspec != nullptr ? comspec : "C:\\windows\\system32\\cmd.exe";
  std::vector<std::string> args = {"/c", WindowsPath(KESTRUMEL_BINARY_DIR "/scheduler/kestrumel-run.cmd"),
                                   WindowsPath(dir.RunPath())};
  for (const std::string& arg : testing_run::CommandLine(config, "PLG01")) args.push_back(arg);
  testing_run::ProgramResult script = testing_run::RunExecutable(cmd, args, dir.Root());
  testing_run::ProgramResult status = testing_run::RunExecutable(
      testing_run::ConfigToolPath(), {"status", config, "PLG01"}, dir.RunPath());
  return {script.exitStatus, status.exitStatus, script.out + script.err};
}

TEST(SchedulerScriptTest, RunsInTheRunFolderAndEndsWithStatusExitCode) {
  std::unique_ptr<TestDb> db = TestDb::Create(Backend::Sqlite);
  RunDir healthy(*db);
  const Outcome ok = RunScript(healthy, healthy.ConfigPath());
  EXPECT_EQ(ok.script, ok.status) << ok.said;

  // A database that is not there: the run logs its failed connect beside the run folder.
  RunDir broken;
  const std::string config = broken.RunPath() + "/kestrumel.cfg";
  ASSERT_EQ(testing_run::WriteConfigWithTool(config, "sqlite:no-such-folder", "KTEST", "planer",
                                             "secret").exitStatus, 0);
  const Outcome failed = RunScript(broken, config);
  EXPECT_EQ(failed.script, failed.status) << failed.said;
  EXPECT_NE(failed.script, 0) << failed.said;
  EXPECT_FALSE(testing_run::ReadLog(broken.LogPath("KTEST")).entries.empty())
      << "no log entry in " << broken.LogDir() << "; " << failed.said;
}

}  // namespace

// Several processes writing one log file: turns, waiting, and rotation by one of them.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/child_body.h"
#include "common/stop_request.h"
#include "log/log_test_files.h"
#include "log/message_log.h"
#include "platform/log_file.h"

namespace {

using log_test::MessagesOf;
using testing_run::RunningProgram;

std::string Message(int writer, int number) { return "W" + std::to_string(writer) + " #" + std::to_string(number); }

// Writes entries "W<writer> #<first>" to "#<last>" as a fresh process would.
int WriteAsWriter(const std::string& log, int writer, int first, int last, int32_t limit,
                  double lockWaitSeconds = 30.0) {
  SetLogFile(7, log.c_str(), {limit, lockWaitSeconds});
  for (int i = first; i <= last; ++i) LogError("Writer()", Message(writer, i).c_str(), i);
  return 0;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The child writers. Arguments: log, writer, first, last, limit, lock wait in seconds, and a
// flag to raise just before the first entry ("" for none).
int WriterBody(const std::vector<std::string>& args) {
  if (args.size() != 7) return 125;
  if (!args[6].empty()) testing_child::Raise(args[6]);
  return WriteAsWriter(args[0], std::stoi(args[1]), std::stoi(args[2]), std::stoi(args[3]),
                       std::stoi(args[4]), std::stod(args[5]));
}

// Arguments: log. Asked to stop first, then writes entry W0 #1; fails if it waited for that.
int WriterAfterStopBody(const std::vector<std::string>& args) {
  if (args.size() != 1) return 125;
  stop_request::Note(SIGTERM);
  const auto start = std::chrono::steady_clock::now();
  WriteAsWriter(args[0], 0, 1, 1, 3000);
  return SecondsSince(start) < 0.5 ? 0 : 1;
}

// Arguments: log, writer, ready flag, go flag. Fills the log past a limit of 3, raises "ready",
// and writes entry #5, which is due to rotate, once "go" is raised.
int DueToRotateBody(const std::vector<std::string>& args) {
  if (args.size() != 4) return 125;
  const int writer = std::stoi(args[1]);
  WriteAsWriter(args[0], writer, 1, 4, 3);
  testing_child::Raise(args[2]);
  if (!testing_child::WaitRaised(args[3], std::chrono::seconds(60))) return 2;
  LogError("Writer()", Message(writer, 5).c_str(), 5);
  return 0;
}

const testing_child::Registration kWriter("log-writer", &WriterBody);
const testing_child::Registration kWriterAfterStop("log-writer-after-stop", &WriterAfterStopBody);
const testing_child::Registration kDueToRotate("log-writer-due-to-rotate", &DueToRotateBody);

std::unique_ptr<RunningProgram> StartWriter(const std::string& log, int writer, int first,
                                            int last, int32_t limit, double lockWaitSeconds = 30.0,
                                            const std::string& startedFlag = "") {
  char wait[32];
  std::snprintf(wait, sizeof wait, "%.3f", lockWaitSeconds);
  return testing_child::Start("log-writer", {log, std::to_string(writer), std::to_string(first),
                                             std::to_string(last), std::to_string(limit), wait,
                                             startedFlag});
}

// The child's exit status, with what it wrote to stderr when that is not 0.
testing::AssertionResult EndsWell(RunningProgram& child) {
  testing_run::ProgramResult result = child.Wait();
  if (result.exitStatus == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "child ended with " << result.exitStatus << ": "
                                     << result.err;
}

// Every writer's entries, once each and in its own order, none broken: the concatenation of
// `files` must hold exactly entries 1..counts[w] of each writer w.
void ExpectEveryEntryOnce(const std::vector<std::string>& files, const std::vector<int>& counts) {
  std::map<std::string, int> seen;
  std::vector<int> nextOf(counts.size(), 1);
  for (const std::string& file : files) {
    for (const std::string& message : MessagesOf(file)) {
      ASSERT_NE(message, "<broken>") << "in " << file;
      ASSERT_EQ(++seen[message], 1) << message;
      const int writer = std::stoi(message.substr(1));
      const int number = std::stoi(message.substr(message.find('#') + 1));
      EXPECT_EQ(number, nextOf[writer]++) << "writer " << writer << " out of order";
    }
  }
  for (size_t w = 0; w < counts.size(); ++w) EXPECT_EQ(nextOf[w] - 1, counts[w]) << "writer " << w;
}

// The test's own hold on the log file, as another writer would have it.
class FileHold {
 public:
  explicit FileHold(const std::string& path) {
    EXPECT_EQ(file_.Open(path), 0);
    EXPECT_EQ(file_.TryLock(), 0);
  }
  void Release() { file_.Close(); }

 private:
  platform::AppendOnlyFile file_;
};

void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

class MessageLogProcessesTest : public testing::Test {
 protected:
  log_test::ScratchDir dir_;
  const std::string log_ = dir_.File("kestrumel_KTEST.log");
  const std::string old_ = dir_.File("kestrumel_KTEST.old");
};

TEST_F(MessageLogProcessesTest, ConcurrentWritersNeitherInterleaveNorLoseEntries) {
  const std::vector<int> counts(4, 250);
  std::vector<std::unique_ptr<RunningProgram>> children;
  for (int w = 0; w < 4; ++w) children.push_back(StartWriter(log_, w, 1, counts[w], 3000));
  for (auto& child : children) EXPECT_TRUE(EndsWell(*child));
  EXPECT_FALSE(log_test::FileExists(old_));
  ExpectEveryEntryOnce({log_}, counts);
}

// Only writer 0 writes past the limit, and only once, so the rotation keeps every entry.
TEST_F(MessageLogProcessesTest, RotationAmongConcurrentWritersLosesNothing) {
  const int32_t limit = 150;
  const std::vector<int> counts = {200, 150, 150, 150};
  std::vector<std::unique_ptr<RunningProgram>> children;
  for (int w = 0; w < 4; ++w) children.push_back(StartWriter(log_, w, 1, counts[w], limit));
  for (auto& child : children) EXPECT_TRUE(EndsWell(*child));
  const size_t rotated = MessagesOf(old_).size();
  EXPECT_GT(rotated, static_cast<size_t>(limit));
  ExpectEveryEntryOnce({old_, log_}, counts);
}

TEST_F(MessageLogProcessesTest, WriterWaitsWhileAnotherHoldsTheFile) {
  FileHold hold(log_);
  testing_child::Flag started;
  auto child = StartWriter(log_, 0, 1, 1, 3000, 30.0, started.Path());
  ASSERT_TRUE(started.WaitRaised(std::chrono::seconds(60)));
  Pause(500);
  EXPECT_FALSE(child->EndsWithin(std::chrono::milliseconds(0)));
  EXPECT_EQ(log_test::ReadWhole(log_), "");
  hold.Release();
  EXPECT_TRUE(EndsWell(*child));
  EXPECT_EQ(MessagesOf(log_), std::vector<std::string>{Message(0, 1)});
}

// A hold that outlasts the bound: every waiting writer's entries go in whole without the lock,
// and the rotation they made due waits for the first entry that gets the lock.
TEST_F(MessageLogProcessesTest, WritersGiveUpWaitingAtTheBoundAndRotateOnlyWithTheLock) {
  const double bound = 1.0;
  WriteAsWriter(log_, 0, 1, 4, 3, bound);  // past the limit of 3: the next entry rotates
  FileHold hold(log_);
  std::vector<std::unique_ptr<RunningProgram>> children;
  for (int w = 1; w <= 2; ++w) children.push_back(StartWriter(log_, w, 1, 2, 3000, bound));
  const auto start = std::chrono::steady_clock::now();
  LogError("Writer()", Message(0, 5).c_str(), 5);
  const double waited = SecondsSince(start);
  for (auto& child : children) EXPECT_TRUE(EndsWell(*child));
  EXPECT_GE(waited, bound - 0.05);
  EXPECT_LT(waited, bound + 2.0);
  EXPECT_FALSE(log_test::FileExists(old_));
  ExpectEveryEntryOnce({log_}, {5, 2, 2});

  hold.Release();
  LogError("Writer()", Message(0, 6).c_str(), 6);
  EXPECT_EQ(MessagesOf(old_).size(), 9u);
  EXPECT_EQ(MessagesOf(log_), std::vector<std::string>{Message(0, 6)});
  EXPECT_EQ(LogEntriesTowardsRotation(), 1);
  ExpectEveryEntryOnce({old_, log_}, {6, 2, 2});
  SetLogFile(0, nullptr);
}

// After a stop, a writer no longer waits for the hold, whatever the bound.
TEST_F(MessageLogProcessesTest, StopRequestEndsTheWaitAtOnce) {
  FileHold hold(log_);
  auto child = testing_child::Start("log-writer-after-stop", {log_});
  EXPECT_TRUE(EndsWell(*child)) << "waited for the hold after the stop";
  EXPECT_EQ(MessagesOf(log_), std::vector<std::string>{Message(0, 1)});
}

// The waiting writer has the old file open when another process rotates it; its entry belongs
// in the new file, not in the companion.
TEST_F(MessageLogProcessesTest, WaitingWriterFollowsTheNameAfterARotation) {
  FileHold hold(log_);
  testing_child::Flag started;
  auto child = StartWriter(log_, 0, 1, 1, 3000, 30.0, started.Path());
  ASSERT_TRUE(started.WaitRaised(std::chrono::seconds(60)));
  Pause(200);
  ASSERT_EQ(platform::RenameFile(log_, old_), 0);
  WriteAsWriter(log_, 1, 1, 1, 3000);  // the rotating writer's entry starts the new file
  SetLogFile(0, nullptr);
  hold.Release();
  EXPECT_TRUE(EndsWell(*child));
  EXPECT_EQ(log_test::ReadWhole(old_), "");
  EXPECT_EQ(MessagesOf(log_), (std::vector<std::string>{Message(1, 1), Message(0, 1)}));
}

// Two writers both past the limit wait for the file at once: the first rotates it, the
// second finds the new file and writes to it, rather than rotating the older generation away.
TEST_F(MessageLogProcessesTest, TwoWritersDueToRotateRotateOnce) {
  testing_child::Flag ready[2];
  testing_child::Flag go;
  std::vector<std::unique_ptr<RunningProgram>> children;
  for (int w = 0; w < 2; ++w) {
    children.push_back(testing_child::Start(
        "log-writer-due-to-rotate", {log_, std::to_string(w), ready[w].Path(), go.Path()}));
  }
  for (const auto& flag : ready) ASSERT_TRUE(flag.WaitRaised(std::chrono::seconds(60)));
  FileHold hold(log_);
  testing_child::Raise(go.Path());
  Pause(200);
  hold.Release();
  for (auto& child : children) EXPECT_TRUE(EndsWell(*child));

  EXPECT_EQ(MessagesOf(old_).size(), 8u);
  EXPECT_EQ(MessagesOf(log_).size(), 2u);
  ExpectEveryEntryOnce({old_, log_}, {5, 5});
}

// The package's logrotate configuration, forced again and again while four writers append:
// each rename cuts between entries, and every entry is in one generation, once and whole. The
// program's own companion is no log of logrotate's.
TEST_F(MessageLogProcessesTest, LogrotateWithThePackagesConfigurationLosesNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "logrotate rotates the logs of the Debian package only";
#endif
  std::string logrotate;
  for (const char* path : {"/usr/sbin/logrotate", "/sbin/logrotate", "/usr/bin/logrotate"}) {
    if (logrotate.empty() && log_test::FileExists(path)) logrotate = path;
  }
  if (logrotate.empty()) GTEST_SKIP() << "logrotate is not installed";
  // The shipped configuration, for this folder and the test's user, keeping every generation.
  std::string config = log_test::ReadWhole(KESTRUMEL_SOURCE_DIR "/packaging/kestrumel.logrotate");
  auto replace = [&config](const std::string& from, const std::string& to) {
    const size_t at = config.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    config.replace(at, from.size(), to);
  };
  replace("/var/lib/kestrumel/quelborne_php/log/", log_.substr(0, log_.rfind('/') + 1));
  replace("su kestrumel kestrumel", "");
  replace("rotate 12", "rotate 1000");
  const std::string configPath = dir_.File("logrotate.conf");
  log_test::WriteWhole(configPath, config);
  log_test::WriteWhole(old_, "the program's own\r\n");
  const std::string command = logrotate + " -f -s '" + dir_.File("state") + "' '" + configPath + "'";

  const std::vector<int> counts(4, 500);
  std::vector<std::unique_ptr<RunningProgram>> children;
  for (int w = 0; w < 4; ++w) children.push_back(StartWriter(log_, w, 1, counts[w], 3000));
  auto running = [&children] {
    return std::any_of(children.begin(), children.end(),
                       [](const auto& child) { return !child->EndsWithin(std::chrono::milliseconds(0)); });
  };
  while (running()) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    Pause(10);
  }
  for (auto& child : children) EXPECT_TRUE(EndsWell(*child));
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  // Oldest first: kestrumel_KTEST.log.N[.gz] down to .1, then what was written after the last.
  std::vector<std::pair<int, std::string>> generations;
  for (int n = 1; n <= 1000; ++n) {
    const std::string plain = log_ + "." + std::to_string(n);
    if (log_test::FileExists(plain + ".gz")) {
      ASSERT_EQ(std::system(("gzip -d '" + plain + ".gz'").c_str()), 0) << plain;
    }
    if (!log_test::FileExists(plain)) break;
    generations.emplace_back(-n, plain);
  }
  std::sort(generations.begin(), generations.end());
  std::vector<std::string> files;
  for (const auto& generation : generations) files.push_back(generation.second);
  EXPECT_GE(files.size(), 2u) << "too few rotations among the writers";
  if (log_test::FileExists(log_)) files.push_back(log_);
  ExpectEveryEntryOnce(files, counts);
  EXPECT_EQ(log_test::ReadWhole(old_), "the program's own\r\n");
}

}  // namespace

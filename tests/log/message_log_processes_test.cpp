// Several processes writing one log file: turns, waiting, and rotation by one of them.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/stop_request.h"
#include "log/log_test_files.h"
#include "log/message_log.h"
#include "log/message_log_testing.h"

namespace {

using log_test::ForkChild;
using log_test::MessagesOf;
using log_test::WaitChild;

std::string Message(int writer, int number) { return "W" + std::to_string(writer) + " #" + std::to_string(number); }

// Writes entries "W<writer> #<first>" to "#<last>" as a fresh process would.
int WriteAsWriter(const std::string& log, int writer, int first, int last, int32_t limit,
                  double lockWaitSeconds = 30.0) {
  MessageLog_ResetForTesting();
  SetLogFile(7, log.c_str());
  MessageLog_SetEntryLimitForTesting(limit);
  MessageLog_SetLockWaitForTesting(lockWaitSeconds);
  for (int i = first; i <= last; ++i) LogError("Writer()", Message(writer, i).c_str(), i);
  return 0;
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

// The test's own hold on the log file, as another writer would have it. A forked child shares
// the lock through its copy of the descriptor and must release that copy.
class FileHold {
 public:
  explicit FileHold(const std::string& path) : fd_(::open(path.c_str(), O_WRONLY | O_CREAT, 0644)) {
    ::flock(fd_, LOCK_EX);
  }
  ~FileHold() { Release(); }
  void Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class MessageLogProcessesTest : public testing::Test {
 protected:
  log_test::ScratchDir dir_;
  const std::string log_ = dir_.File("kestrumel_KTEST.log");
  const std::string old_ = dir_.File("kestrumel_KTEST.old");
};

TEST_F(MessageLogProcessesTest, ConcurrentWritersNeitherInterleaveNorLoseEntries) {
  const std::vector<int> counts(4, 250);
  std::vector<pid_t> children;
  for (int w = 0; w < 4; ++w) {
    children.push_back(ForkChild([&, w] { return WriteAsWriter(log_, w, 1, counts[w], 3000); }));
  }
  for (pid_t child : children) EXPECT_EQ(WaitChild(child), 0);
  EXPECT_FALSE(log_test::FileExists(old_));
  ExpectEveryEntryOnce({log_}, counts);
}

// Only writer 0 writes past the limit, and only once, so the rotation keeps every entry.
TEST_F(MessageLogProcessesTest, RotationAmongConcurrentWritersLosesNothing) {
  const int32_t limit = 150;
  const std::vector<int> counts = {200, 150, 150, 150};
  std::vector<pid_t> children;
  for (int w = 0; w < 4; ++w) {
    children.push_back(ForkChild([&, w] { return WriteAsWriter(log_, w, 1, counts[w], limit); }));
  }
  for (pid_t child : children) EXPECT_EQ(WaitChild(child), 0);
  const size_t rotated = MessagesOf(old_).size();
  EXPECT_GT(rotated, static_cast<size_t>(limit));
  ExpectEveryEntryOnce({old_, log_}, counts);
}

TEST_F(MessageLogProcessesTest, WriterWaitsWhileAnotherHoldsTheFile) {
  FileHold hold(log_);
  const pid_t child = ForkChild([&] {
    hold.Release();  // the child's copy only: the lock stays with the test
    return WriteAsWriter(log_, 0, 1, 1, 3000);
  });
  Pause(500);
  EXPECT_FALSE(log_test::HasExited(child));
  EXPECT_EQ(log_test::ReadWhole(log_), "");
  hold.Release();
  EXPECT_EQ(WaitChild(child), 0);
  EXPECT_EQ(MessagesOf(log_), std::vector<std::string>{Message(0, 1)});
}

// A hold that outlasts the bound: every waiting writer's entries go in whole without the lock,
// and the rotation they made due waits for the first entry that gets the lock.
TEST_F(MessageLogProcessesTest, WritersGiveUpWaitingAtTheBoundAndRotateOnlyWithTheLock) {
  const double bound = 1.0;
  WriteAsWriter(log_, 0, 1, 4, 3, bound);  // past the limit of 3: the next entry rotates
  FileHold hold(log_);
  std::vector<pid_t> children;
  for (int w = 1; w <= 2; ++w) {
    children.push_back(ForkChild([&, w] {
      hold.Release();  // the child's copy only: the lock stays with the test
      return WriteAsWriter(log_, w, 1, 2, 3000, bound);
    }));
  }
  const auto start = std::chrono::steady_clock::now();
  LogError("Writer()", Message(0, 5).c_str(), 5);
  const double waited = SecondsSince(start);
  for (pid_t child : children) EXPECT_EQ(WaitChild(child), 0);
  EXPECT_GE(waited, bound - 0.05);
  EXPECT_LT(waited, bound + 2.0);
  EXPECT_FALSE(log_test::FileExists(old_));
  ExpectEveryEntryOnce({log_}, {5, 2, 2});

  hold.Release();
  LogError("Writer()", Message(0, 6).c_str(), 6);
  EXPECT_EQ(MessagesOf(old_).size(), 9u);
  EXPECT_EQ(MessagesOf(log_), std::vector<std::string>{Message(0, 6)});
  EXPECT_EQ(MessageLog_EntryCountForTesting(), 1);
  ExpectEveryEntryOnce({old_, log_}, {6, 2, 2});
  MessageLog_ResetForTesting();
}

// After a stop, a writer no longer waits for the hold, whatever the bound.
TEST_F(MessageLogProcessesTest, StopRequestEndsTheWaitAtOnce) {
  FileHold hold(log_);
  const pid_t child = ForkChild([&] {
    hold.Release();  // the child's copy only: the lock stays with the test
    stop_request::Note(SIGTERM);
    const auto start = std::chrono::steady_clock::now();
    WriteAsWriter(log_, 0, 1, 1, 3000);
    return SecondsSince(start) < 0.5 ? 0 : 1;
  });
  EXPECT_EQ(WaitChild(child), 0) << "waited for the hold after the stop";
  EXPECT_EQ(MessagesOf(log_), std::vector<std::string>{Message(0, 1)});
}

// The waiting writer has the old file open when another process rotates it; its entry belongs
// in the new file, not in the companion.
TEST_F(MessageLogProcessesTest, WaitingWriterFollowsTheNameAfterARotation) {
  FileHold hold(log_);
  const pid_t child = ForkChild([&] {
    hold.Release();  // the child's copy only: the lock stays with the test
    return WriteAsWriter(log_, 0, 1, 1, 3000);
  });
  Pause(200);
  ASSERT_EQ(::rename(log_.c_str(), old_.c_str()), 0);
  WriteAsWriter(log_, 1, 1, 1, 3000);  // the rotating writer's entry starts the new file
  MessageLog_ResetForTesting();
  hold.Release();
  EXPECT_EQ(WaitChild(child), 0);
  EXPECT_EQ(log_test::ReadWhole(old_), "");
  EXPECT_EQ(MessagesOf(log_), (std::vector<std::string>{Message(1, 1), Message(0, 1)}));
}

// Two writers both past the limit wait for the file at once: the first rotates it, the
// second finds the new file and writes to it, rather than rotating the older generation away.
TEST_F(MessageLogProcessesTest, TwoWritersDueToRotateRotateOnce) {
  int ready[2];
  int go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> children;
  for (int w = 0; w < 2; ++w) {
    children.push_back(ForkChild([&, w] {
      WriteAsWriter(log_, w, 1, 4, 3);
      char signal = 'r';
      if (::write(ready[1], &signal, 1) != 1 || ::read(go[0], &signal, 1) != 1) return 2;
      LogError("Writer()", Message(w, 5).c_str(), 5);
      return 0;
    }));
  }
  char signals[2];
  ASSERT_EQ(::read(ready[0], signals, 1) + ::read(ready[0], signals + 1, 1), 2);
  FileHold hold(log_);
  ASSERT_EQ(::write(go[1], "gg", 2), 2);
  Pause(200);
  hold.Release();
  for (pid_t child : children) EXPECT_EQ(WaitChild(child), 0);
  for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);

  EXPECT_EQ(MessagesOf(old_).size(), 8u);
  EXPECT_EQ(MessagesOf(log_).size(), 2u);
  ExpectEveryEntryOnce({old_, log_}, {5, 5});
}

}  // namespace

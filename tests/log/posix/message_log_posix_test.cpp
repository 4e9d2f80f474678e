// What only POSIX systems have: the mode bits of a new log file, and a file size limit per
// process for a write to run into.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "common/child_body.h"
#include "log/log_test_files.h"
#include "log/message_log.h"

namespace {

// Arguments: log, file size limit. Writes one entry under that limit; fails if it was counted.
int WriteUnderSizeLimitBody(const std::vector<std::string>& args) {
  if (args.size() != 2) return 125;
  std::signal(SIGXFSZ, SIG_IGN);
  const rlim_t limit = std::stoul(args[1]);
  const rlimit fileSize{limit, limit};
  if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) return 2;
  SetLogFile(7, args[0].c_str());
  LogError("F", "#2", 2);
  return LogEntriesLost() == 1 ? 0 : 1;
}

const testing_child::Registration kWriteUnderSizeLimit("log-write-under-size-limit",
                                                       &WriteUnderSizeLimitBody);

TEST(MessageLogPosixTest, NewFileIsReadableByAllAndWritableByItsOwner) {
  SetLogFile(0, nullptr);
  const log_test::ScratchDir dir;
  const std::string log = dir.File("kestrumel_KTEST.log");
  const mode_t previousMask = ::umask(022);
  SetLogFile(7, log.c_str());
  LogError("F", "#1", 1);
  ::umask(previousMask);
  SetLogFile(0, nullptr);
  struct stat status {};
  ASSERT_EQ(::stat(log.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0644u);
}

// A write cut short (here by the file size limit) must not leave half an entry behind.
TEST(MessageLogPosixTest, FailedWriteLeavesTheFileAsItWas) {
  SetLogFile(0, nullptr);
  const log_test::ScratchDir dir;
  const std::string log = dir.File("kestrumel_KTEST.log");
  SetLogFile(7, log.c_str());
  LogError("F", "#1", 1);
  SetLogFile(0, nullptr);
  const std::string before = log_test::ReadWhole(log);
  auto result = testing_child::Start("log-write-under-size-limit",
                                     {log, std::to_string(before.size() + 40)})->Wait();
  EXPECT_EQ(result.exitStatus, 0) << "the failed entry was counted " << result.err;
  EXPECT_EQ(log_test::ReadWhole(log), before);
}

}  // namespace

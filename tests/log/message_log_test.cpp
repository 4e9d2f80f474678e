// One process writing the log: the file, the kind mask, the count and the rotation.
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "log/log_test_files.h"
#include "log/message_log.h"
#include "platform/local_time.h"

namespace {

using log_test::FileExists;
using log_test::MessagesOf;
using log_test::ReadWhole;

std::string Formatted(const char* format, std::time_t at) {
  const std::tm local = platform::LocalTime(at);
  char text[32];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

// Messages "#first" to "#last".
std::vector<std::string> Numbered(int first, int last) {
  std::vector<std::string> messages;
  for (int i = first; i <= last; ++i) messages.push_back("#" + std::to_string(i));
  return messages;
}

void WriteNumbered(int first, int last) {
  for (int i = first; i <= last; ++i) LogError("F", ("#" + std::to_string(i)).c_str(), i);
}

class MessageLogTest : public testing::Test {
 protected:
  void SetUp() override { SetLogFile(0, nullptr); }
  void TearDown() override { SetLogFile(0, nullptr); }

  log_test::ScratchDir dir_;
  const std::string log_ = dir_.File("kestrumel_KTEST.log");
  const std::string old_ = dir_.File("kestrumel_KTEST.old");
};

TEST_F(MessageLogTest, WritesOneEntryWithTheLocalDateAndTime) {
  SetLogFile(7, log_.c_str());
  const std::time_t before = std::time(nullptr);
  LogError("Bdp_PKeyUpd()", "Fehler: Dienstplan aktualisieren", -2291);
  const std::time_t after = std::time(nullptr);

  const std::string text = ReadWhole(log_);
  const log_test::ParsedEntry entry = log_test::ParseEntry(text);
  ASSERT_TRUE(entry.whole) << text;
  EXPECT_EQ(entry.message, "Fehler: Dienstplan aktualisieren");
  EXPECT_EQ(entry.funcName, "Bdp_PKeyUpd()");
  EXPECT_EQ(entry.errorCode, "-2291");
  const std::string stamp = text.substr(15, 8) + " " + text.substr(38, 8);
  bool taken = false;
  for (std::time_t second = before; second <= after; ++second) {
    taken = taken || stamp == Formatted("%d.%m.%y %H:%M:%S", second);
  }
  EXPECT_TRUE(taken) << stamp;
}

TEST_F(MessageLogTest, CreatesTheFileThenAppendsAlsoInALaterRun) {
  SetLogFile(7, log_.c_str());
  LogError("F", "#1", 1);
  LogError("F", "#2", 2);
  EXPECT_EQ(LogEntriesTowardsRotation(), 2);

  SetLogFile(7, log_.c_str());  // a new run of the program
  LogError("F", "#3", 3);
  EXPECT_EQ(MessagesOf(log_), Numbered(1, 3));
  EXPECT_EQ(LogEntriesTowardsRotation(), 1);
}

TEST_F(MessageLogTest, KindOutsideTheMaskWritesAndCountsNothing) {
  const struct {
    int32_t mask;
    int32_t kind;
  } cases[] = {{7, WMSG}, {7, CMSG}, {0, FMSG}, {FMSG, DMSG | SMSG}};
  for (const auto& c : cases) {
    SetLogFile(c.mask, log_.c_str());
    WriteLogEntry({"F", "M", c.kind, 1, nullptr, 0});
    EXPECT_FALSE(FileExists(log_)) << c.mask << "/" << c.kind;
    EXPECT_EQ(LogEntriesTowardsRotation(), 0);
  }
}

// A rehearsal's entries are kept for its report and never reach the site's log.
TEST_F(MessageLogTest, CapturedEntriesStayOutOfTheFile) {
  SetLogFile(FMSG, log_.c_str());
  std::vector<std::string> entries;
  CaptureLogEntries(&entries);
  LogError("F", "#1", 1);
  WriteLogEntry({"F", "M", WMSG, 1, nullptr, 0});  // outside the mask: not kept either
  CaptureLogEntries(nullptr);
  EXPECT_FALSE(FileExists(log_));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(log_test::ParseEntry(entries[0]).message, "#1");
  LogError("F", "#2", 2);
  EXPECT_EQ(MessagesOf(log_), Numbered(2, 2));
}

TEST_F(MessageLogTest, TakesALongFileNameWhole) {
  const std::string longLog = dir_.File(std::string(120, 'k') + ".log");
  SetLogFile(7, longLog.c_str(), {0});
  LogError("F", "#1", 1);
  LogError("F", "#2", 2);
  EXPECT_EQ(MessagesOf(dir_.File(std::string(120, 'k') + ".old")), Numbered(1, 1));
  EXPECT_EQ(MessagesOf(longLog), Numbered(2, 2));
}

TEST_F(MessageLogTest, MissingDirectoryLosesEveryEntrySilently) {
  const std::string lost = dir_.File("no-such-dir/kestrumel_KTEST.log");
  SetLogFile(7, lost.c_str());
  WriteNumbered(1, 3);
  EXPECT_FALSE(FileExists(dir_.File("no-such-dir")));
  EXPECT_EQ(LogEntriesTowardsRotation(), 0);
}

// Limit 3: entries 1 to 4 fill the file, entry 5 starts the next one.
TEST_F(MessageLogTest, RotatesOnTheSecondEntryPastTheLimit) {
  for (bool olderCompanion : {false, true}) {
    SCOPED_TRACE(olderCompanion ? "with an older companion" : "without a companion");
    std::filesystem::remove(log_);
    std::filesystem::remove(old_);
    if (olderCompanion) log_test::WriteWhole(old_, "older generation");
    SetLogFile(7, log_.c_str(), {3});

    WriteNumbered(1, 4);
    EXPECT_EQ(ReadWhole(old_), olderCompanion ? "older generation" : "");
    WriteNumbered(5, 9);
    EXPECT_EQ(MessagesOf(old_), Numbered(5, 8));
    EXPECT_EQ(MessagesOf(log_), Numbered(9, 9));
    EXPECT_EQ(LogEntriesTowardsRotation(), 1);
  }
}

// With the real limit: the 3001st entry still goes to the old file, the 3002nd to a new one.
TEST_F(MessageLogTest, RotatesAtTheDefaultLimit) {
  const log_test::ScratchDir fast(log_test::FastScratchParent());
  const std::string log = fast.File("kestrumel_KTEST.log");
  const std::string old = fast.File("kestrumel_KTEST.old");
  SetLogFile(7, log.c_str());
  WriteNumbered(1, 3001);
  EXPECT_FALSE(FileExists(old));
  WriteNumbered(3002, 3002);
  EXPECT_EQ(MessagesOf(old), Numbered(1, 3001));
  EXPECT_EQ(MessagesOf(log), Numbered(3002, 3002));
}

TEST_F(MessageLogTest, FailedRenameDropsTheEntryAndTheNextOneRetries) {
  SetLogFile(7, log_.c_str(), {1});
  std::filesystem::create_directories(old_ + "/occupied");  // neither deletable nor a rename target
  WriteNumbered(1, 4);
  EXPECT_EQ(MessagesOf(log_), Numbered(1, 2));
  EXPECT_EQ(LogEntriesTowardsRotation(), 2);

  std::filesystem::remove_all(old_);
  WriteNumbered(5, 6);
  EXPECT_EQ(MessagesOf(old_), Numbered(1, 2));
  EXPECT_EQ(MessagesOf(log_), Numbered(5, 6));
}

TEST_F(MessageLogTest, CompanionNameEqualToTheLogNameKeepsTheLog) {
  const std::string sameName = dir_.File("kestrumel.old");
  SetLogFile(7, sameName.c_str(), {1});
  WriteNumbered(1, 5);
  EXPECT_EQ(MessagesOf(sameName), Numbered(1, 5));
}

}  // namespace

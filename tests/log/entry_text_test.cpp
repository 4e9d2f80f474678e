// The bytes of an entry and the companion file name.
#include <climits>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

#include "log/entry_text.h"

namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

const std::string kHead = "\r\nSystem-Date: 23.04.09\r\nSystem-Time: 13:24:59\r\nMsgArt_____: ";
const unsigned char kDump[] = {'a', '\0', '\r', 0xff, 'z'};

struct EntryCase {
  const char* name;
  LogEntry entry;
  int32_t mask;
  std::string expected;
};

class EntryTextTest : public testing::TestWithParam<EntryCase> {};

TEST_P(EntryTextTest, IsByteExact) {
  const EntryCase& c = GetParam();
  EXPECT_EQ(message_log::FormatEntryText(c.entry, c.mask, At(2009, 4, 23, 13, 24, 59)), c.expected);
}

const std::string kLongMessage(500, 'x');

INSTANTIATE_TEST_SUITE_P(
    Entries, EntryTextTest,
    testing::Values(
        EntryCase{"NegativeCode", {"Bdp_PKeyUpd()", "Fehler: Update", FMSG, -1403, nullptr, 0}, 7,
                  kHead + "FMSG \r\nMessage____: Fehler: Update\r\nFunktion___: Bdp_PKeyUpd()\r\n"
                          "ErrorCode__: -1403\r\n"},
        EntryCase{"PositiveCode", {"F", "M", FMSG, 1601, nullptr, 0}, 7,
                  kHead + "FMSG \r\nMessage____: M\r\nFunktion___: F\r\nErrorCode__: 1601\r\n"},
        EntryCase{"ZeroAndNullTexts", {nullptr, nullptr, FMSG, 0, nullptr, 0}, 7,
                  kHead + "FMSG \r\nMessage____: \r\nFunktion___: \r\nErrorCode__: 0\r\n"},
        EntryCase{"SmallestCode", {"F", "M", FMSG, INT32_MIN, nullptr, 0}, 7,
                  kHead + "FMSG \r\nMessage____: M\r\nFunktion___: F\r\nErrorCode__: -2147483648\r\n"},
        EntryCase{"EveryKindNamedEvenIfDisabled", {"F", "M", FMSG | WMSG | CMSG, 1, nullptr, 0}, 7,
                  kHead + "FMSG WMSG CMSG \r\nMessage____: M\r\nFunktion___: F\r\nErrorCode__: 1\r\n"},
        EntryCase{"DumpOfFiveBytes", {"F", "M", DMSG, 2, kDump, 5}, 7,
                  kHead + "DMSG \r\nMessage____: M\r\nFunktion___: F\r\nErrorCode__: 2\r\n" +
                      std::string(reinterpret_cast<const char*>(kDump), 5) + "\r\n"},
        EntryCase{"DumpNotEnabled", {"F", "M", DMSG | FMSG, 2, kDump, 5}, FMSG,
                  kHead + "DMSG FMSG \r\nMessage____: M\r\nFunktion___: F\r\nErrorCode__: 2\r\n"},
        EntryCase{"DumpWithoutData", {"F", "M", DMSG, 2, nullptr, 5}, 7,
                  kHead + "DMSG \r\nMessage____: M\r\nFunktion___: F\r\nErrorCode__: 2\r\n\r\n"},
        EntryCase{"SystemBlock", {"F", "M", SMSG, 3, nullptr, 0}, 7,
                  kHead + "SMSG \r\nMessage____: M\r\nFunktion___: F\r\nErrorCode__: 3\r\n\r\n\r\n"},
        EntryCase{"DumpBeforeSystemBlock", {"F", "M", DMSG | SMSG, 4, kDump, 1}, 7,
                  kHead + "DMSG SMSG \r\nMessage____: M\r\nFunktion___: F\r\nErrorCode__: 4\r\na\r\n\r\n\r\n"},
        EntryCase{"LongMessageWhole",
                  {"GetLastPlnDat()", kLongMessage.c_str(), FMSG, -1, nullptr, 0}, 7,
                  kHead + "FMSG \r\nMessage____: " + kLongMessage +
                      "\r\nFunktion___: GetLastPlnDat()\r\nErrorCode__: -1\r\n"}),
    [](const testing::TestParamInfo<EntryCase>& param) { return std::string(param.param.name); });

TEST(EntryTextTest, DateAndTimeHaveTwoDigitsEach) {
  const std::string text =
      message_log::FormatEntryText({"F", "M", FMSG, 0, nullptr, 0}, 7, At(2000, 1, 5, 3, 4, 5));
  EXPECT_EQ(text.substr(0, 50), "\r\nSystem-Date: 05.01.00\r\nSystem-Time: 03:04:05\r\nMs");
}

TEST(CompanionNameTest, ReplacesTheExtensionOfTheFileNamePart) {
  const std::string longStem(150, 'n');
  const struct {
    std::string logName;
    std::string companion;
  } cases[] = {
      {"msg.dat", "msg.old"},
      {"../quelborne_php/log/kestrumel_KTEST.log", "../quelborne_php/log/kestrumel_KTEST.old"},
      {"logs/kestrumel", "logs/kestrumel.old"},
      {"a.b/c", "a.b/c.old"},
      {"dir\\x.tar.gz", "dir\\x.old"},
      {"x.y\\z", "x.y\\z.old"},
      {"/var/log/" + longStem + ".log", "/var/log/" + longStem + ".old"},
  };
  for (const auto& c : cases) EXPECT_EQ(message_log::CompanionName(c.logName), c.companion) << c.logName;
}

}  // namespace

// The configuration reader on real files: record shape, selection, line ends, limits.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "config/blowfish.h"
#include "config/config_reader.h"
#include "config/reference_cipher.h"

namespace {

class ConfigReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::TempDir() + "config_reader_" +
            testing::UnitTest::GetInstance()->current_test_info()->name() + ".cfg";
  }
  void TearDown() override { std::remove(path_.c_str()); }

  // Writes `content` as the file and looks up as the program does: empty section, number 0.
  const ConfigRecord& LookUp(const std::string& content, const char* name) {
    return LookUp(content, "", name, 0);
  }
  const ConfigRecord& LookUp(const std::string& content, const char* section, const char* name, int32_t number) {
    std::ofstream(path_, std::ios::binary) << content;
    GetConfigValue(section, name, number, path_.c_str());
    return g_configRecord;
  }

  std::string path_;
};

// A well-formed record: section and number of its own, answering only its name.
std::string Record(const std::string& section, const std::string& number, const std::string& name,
                   const std::string& plain, const char* lineEnd = "\n") {
  return "x;" + section + ";y" + lineEnd + number + ";" + name + ";" + ReferenceEncipher(plain) + lineEnd;
}

void ExpectCleared(const ConfigRecord& record) {
  EXPECT_STREQ(record.section, "");
  EXPECT_EQ(record.number, 0);
  EXPECT_STREQ(record.name, "");
  EXPECT_STREQ(record.value, "");
}

TEST_F(ConfigReaderTest, SelectedRecordComesBackWithItsValueDeciphered) {
  const ConfigRecord& record = LookUp(Record("DB", "7", "NET8", "db.example:1521/ORCL"), "NET8");
  EXPECT_STREQ(record.section, "DB");
  EXPECT_EQ(record.number, 7);
  EXPECT_STREQ(record.name, "NET8");
  EXPECT_STREQ(record.value, "db.example:1521/ORCL");

  ExpectCleared(LookUp(Record("DB", "7", "NET8", "db.example:1521/ORCL"), "LOGIN"));
}

TEST_F(ConfigReaderTest, FirstRecordMatchingSectionNameOrNumberAnswers) {
  std::string file = Record("S1", "1", "NET8", "net") + Record("S2", "2", "LOGIN", "scott") +
                     Record("S3", "3", "LOGIN", "other");
  EXPECT_STREQ(LookUp(file, "LOGIN").value, "scott");
  EXPECT_STREQ(LookUp(file, "S3", "none", 9).value, "other");
  EXPECT_STREQ(LookUp(file, "none", "none", 2).value, "scott");
  ExpectCleared(LookUp(file, "none", "none", 9));
}

// An empty section or the number 0 answers the program's lookup of any key.
TEST_F(ConfigReaderTest, EmptySectionOrNumberZeroAnswersEveryLookup) {
  const std::string tail = Record("S9", "9", "LOGIN", "scott");
  struct Case {
    const char* what;
    std::string record;
  };
  const Case cases[] = {
      {"first line without ';'", "no separators\n1;NET8;" + ReferenceEncipher("catch") + "\n"},
      {"first line with one ';'", "one;\n1;NET8;" + ReferenceEncipher("catch") + "\n"},
      {"adjacent ';' in first line", ";;\n1;NET8;" + ReferenceEncipher("catch") + "\n"},
      {"number 0", Record("S1", "0", "NET8", "catch")},
      {"number text without digits", Record("S1", "x", "NET8", "catch")},
      {"empty number text", Record("S1", "", "NET8", "catch")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ConfigRecord& record = LookUp(c.record + tail, "LOGIN");
    EXPECT_STREQ(record.value, "catch");
    EXPECT_STREQ(record.section, c.record.rfind("x;S1;", 0) == 0 ? "S1" : "");
  }
}

TEST_F(ConfigReaderTest, NumberTextIsReadLikeADecimalInteger) {
  struct Case {
    const char* text;
    int32_t number;
  };
  for (Case c : {Case{"  +12", 12}, Case{"-3", -3}, Case{"7x9", 7}, Case{"-2147483648", INT32_MIN},
                 Case{"02147483647", INT32_MAX}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LookUp(Record("S", c.text, "NET8", "v"), "NET8").number, c.number);
  }
}

TEST_F(ConfigReaderTest, OddLastLineIsNoRecord) {
  std::string file = Record("S1", "1", "NET8", "net") + "x;S2;y\n";
  ExpectCleared(LookUp(file, "S2", "none", 9));
  EXPECT_STREQ(LookUp(file, "NET8").value, "net");
}

TEST_F(ConfigReaderTest, SecondLineWithOneSeparatorHasEmptyNameAndValueAfterIt) {
  const ConfigRecord& record = LookUp("x;S;y\n5;" + ReferenceEncipher("pw") + "\n", "S", "", 9);
  EXPECT_EQ(record.number, 5);
  EXPECT_STREQ(record.name, "");
  EXPECT_STREQ(record.value, "pw");
}

// Empty fields are empty, never the rest of the line.
TEST_F(ConfigReaderTest, EmptyNameOrValueIsTakenAsEmpty) {
  const ConfigRecord& noName = LookUp("x;S;y\n3;;" + ReferenceEncipher("pw") + "\n", "", "", 9);
  EXPECT_EQ(noName.number, 3);
  EXPECT_STREQ(noName.name, "");
  EXPECT_STREQ(noName.value, "pw");

  const ConfigRecord& noValue = LookUp("x;S;y\n3;NET8;\n" + Record("T", "4", "NET8", "later"), "NET8");
  EXPECT_EQ(noValue.number, 3);
  EXPECT_STREQ(noValue.value, "");
}

TEST_F(ConfigReaderTest, SeparatorsInsideTheValueBelongToIt) {
  const std::string raw = "0123;5678;ABCDEF";  // 16 characters: one group, ';' counting 11
  char expected[17];
  DecipherValue(raw.c_str(), expected, "KELDRUM");
  EXPECT_STREQ(LookUp("x;S;y\n1;NET8;" + raw + "\n", "NET8").value, expected);
}

TEST_F(ConfigReaderTest, CarriageReturnBelongsToTheLineEnd) {
  std::string value(96, 'v');  // 192 hexadecimal characters
  std::string file = "x;" + std::string(195, 's') + ";\r\n" + "1;NET8;" + ReferenceEncipher(value) + "\r\n" +
                     Record("S2", "2", "LOGIN", "scott", "\r\n");
  const ConfigRecord& net = LookUp(file, "NET8");
  EXPECT_EQ(net.section, std::string(195, 's'));  // 198 characters before the CR LF: one line
  EXPECT_EQ(net.value, value);
  EXPECT_STREQ(LookUp(file, "LOGIN").value, "scott");
}

TEST_F(ConfigReaderTest, LastLineWithoutLineFeedKeepsItsValue) {
  EXPECT_STREQ(LookUp("x;S;y\n1;NET8;" + ReferenceEncipher("net"), "NET8").value, "net");
}

TEST_F(ConfigReaderTest, FieldsAtTheirLimitsAreTaken) {
  std::string name(200, 'n');
  const ConfigRecord& longName = LookUp("x;S;y\n-1234567890;" + name + ";" + ReferenceEncipher("v") + "\n", name.c_str());
  EXPECT_EQ(longName.number, -1234567890);
  EXPECT_EQ(longName.name, name);
  EXPECT_STREQ(longName.value, "v");

  std::string value(96, 'v');
  std::string raw = ReferenceEncipher(value) + "00000000";  // 12 whole groups and a partial one
  ASSERT_EQ(raw.size(), 200u);
  EXPECT_EQ(LookUp("x;S;y\n1;NET8;" + raw + "\n", "NET8").value, value);
}

// A record with a field too long for its buffer is skipped whole; the next one answers.
TEST_F(ConfigReaderTest, RecordWithAnOverlongFieldIsSkipped) {
  const std::string next = Record("S2", "2", "NET8", "good");
  struct Case {
    const char* what;
    std::string record;
  };
  const Case cases[] = {
      {"name of 201", "x;S1;y\n1;" + std::string(201, 'n') + ";" + ReferenceEncipher("bad") + "\n"},
      {"value of 208", "x;S1;y\n1;NET8;" + ReferenceEncipher(std::string(100, 'b')) + "\n"},
      {"number text of 12", "x;S1;y\n000000000001;NET8;" + ReferenceEncipher("bad") + "\n"},
      {"number beyond 32 bits", "x;S1;y\n99999999999;NET8;" + ReferenceEncipher("bad") + "\n"},
      {"second line without ';'", "x;S1;y\n1 NET8 " + ReferenceEncipher("bad") + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ConfigRecord& record = LookUp(c.record + next, "NET8");
    EXPECT_EQ(record.number, 2);
    EXPECT_STREQ(record.value, "good");
  }
}

// A second line beyond the 399 characters of its buffer is split: the record is skipped and
// the rest of the line is read as the first line of the next record.
TEST_F(ConfigReaderTest, OverlongSecondLineIsSplitAndItsRecordSkipped) {
  std::string file = "x;S1;y\n1;NET8;" + std::string(400, 'A') + "\n" + "2;NET8;" + ReferenceEncipher("good") + "\n";
  const ConfigRecord& record = LookUp(file, "NET8");
  EXPECT_EQ(record.number, 2);
  EXPECT_STREQ(record.section, "");
  EXPECT_STREQ(record.value, "good");
}

TEST_F(ConfigReaderTest, MissingFileLeavesTheResultCleared) {
  LookUp(Record("S", "1", "NET8", "net"), "NET8");
  GetConfigValue("", "NET8", 0, (path_ + ".missing").c_str());
  ExpectCleared(g_configRecord);
}

TEST(ConfigTextTest, FindNthChar) {
  struct Case {
    const char* text;
    int n;
    int position;
  };
  for (Case c : {Case{"a;b;c", 1, 1}, Case{"a;b;c", 2, 3}, Case{"a;b;c", 5, 3}, Case{";", 2, 0},
                 Case{"abc", 1, -1}, Case{"", 1, -1}, Case{"a;b", 0, -1}}) {
    EXPECT_EQ(FindNthChar(c.text, ';', c.n), c.position) << c.text << " n=" << c.n;
  }
}

TEST(ConfigTextTest, CopySubText) {
  struct Case {
    int start;
    int length;
    const char* copy;
  };
  for (Case c : {Case{1, 2, "bc"}, Case{2, 0, "cdef"}, Case{4, 10, "ef"}, Case{6, 1, ""}, Case{7, 1, ""},
                 Case{-1, 2, ""}}) {
    char out[8] = "#######";
    CopySubText("abcdef", c.start, c.length, out);
    EXPECT_STREQ(out, c.copy) << c.start << "," << c.length;
  }
}

}  // namespace

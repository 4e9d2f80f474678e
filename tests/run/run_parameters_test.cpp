#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "run/run_parameters.h"

namespace {

struct ParseCase {
  const char* name;
  std::vector<std::string> args;  // argument 0 included
  const char* planGroup;
  const char* erfText;
  const char* jbdText;
  const char* jbkText;
};

std::vector<std::string> Args(const std::string& erf, const std::string& jbd,
                              const std::string& jbk, const std::string& group) {
  return {"kestrumel", "cfg", erf, "a3", "a4", "a5", jbd, jbk, group};
}

const std::string kSixtyChars(60, 'E');
const std::string kFiftyChars(50, 'E');

const ParseCase kCases[] = {
    {"FullLine", Args("ERF", "20240101120000", "JOB", "PG001"), "PG001", "ERF", "20240101120000",
     "JOB"},
    {"CountEightHasNoGroup", {"kestrumel", "cfg", "ERF", "a3", "a4", "a5", "JBD", "JBK"}, "",
     "ERF", "JBD", "JBK"},
    {"CountThreeOnlyErf", {"kestrumel", "cfg", "ERF X"}, "", "ERF", "", ""},
    {"FiveZerosLeaveGroupEmpty", Args("E", "D", "K", "00000"), "", "E", "D", "K"},
    {"FiveZerosAndMoreLeaveGroupEmpty", Args("E", "D", "K", "00000X"), "", "E", "D", "K"},
    {"ThreeZerosAreAGroup", Args("E", "D", "K", "000"), "000", "E", "D", "K"},
    {"FourZerosAndALetterAreAGroup", Args("E", "D", "K", "0000A"), "0000A", "E", "D", "K"},
    {"SevenLettersGiveFirstFive", Args("E", "D", "K", "ABCDEFG"), "ABCDE", "E", "D", "K"},
    {"BlankAfterSecondCharacterCuts", Args("E", "D", "K", "AB CD"), "AB", "E", "D", "K"},
    {"BlankAfterFifthCharacterIsBeyondTheGroup", Args("E", "D", "K", "ABCDE F"), "ABCDE", "E",
     "D", "K"},
    {"TabIsNoBlank", Args("E", "D", "K", "A\tB"), "A\tB", "E", "D", "K"},
    {"ErfWordBlankDigit", Args("WORD 7", "D", "K", "G"), "G", "WORD", "D", "K"},
    {"ErfOfSixtyCutToFifty", Args(kSixtyChars, "D", "K", "G"), "G", kFiftyChars.c_str(), "D",
     "K"},
    {"ErfBlankBeyondFiftyIsGone", Args(kFiftyChars + " X", "D", "K", "G"), "G",
     kFiftyChars.c_str(), "D", "K"},
    {"ErfLeadingBlankEmptiesIt", Args(" ERF", "D", "K", "G"), "G", "", "D", "K"},
    {"JbdKeepsBlanksAndIsCutToFourteen", Args("E", "2024 01 01 12 00 00", "K", "G"), "G", "E",
     "2024 01 01 12 ", "K"},
    {"JbkKeepsBlanksAndIsCutToThirtyTwo",
     Args("E", "D", "job kennung mit blanks und mehr als 32", "G"), "G", "E", "D",
     "job kennung mit blanks und mehr "},
    {"EmptyArguments", Args("", "", "", ""), "", "", "", ""},
};

class ParseRunParametersTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseRunParametersTest, FillsFieldsFromTheCommandLine) {
  const ParseCase& c = GetParam();
  std::vector<std::string> texts = c.args;
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  RunParameters parameters;
  std::memset(&parameters, 'x', sizeof parameters);  // the parse must clear what it does not set

  ParseRunParameters(static_cast<int>(texts.size()), argv.data(), parameters);

  EXPECT_STREQ(parameters.planGroup, c.planGroup);
  EXPECT_STREQ(parameters.erfText, c.erfText);
  EXPECT_STREQ(parameters.jbdText, c.jbdText);
  EXPECT_STREQ(parameters.jbkText, c.jbkText);
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseRunParametersTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ParseCase>& param) {
                           return std::string(param.param.name);
                         });

// Only arguments the count shows are read: argv entries past the count are poison.
TEST(ParseRunParametersCount, ReadsNothingBeyondTheCount) {
  char program[] = "kestrumel";
  char config[] = "cfg";
  char* argv[] = {program, config, reinterpret_cast<char*>(0x1), nullptr};
  RunParameters parameters;
  ParseRunParameters(2, argv, parameters);
  EXPECT_STREQ(parameters.erfText, "");
  EXPECT_STREQ(parameters.planGroup, "");
}

}  // namespace

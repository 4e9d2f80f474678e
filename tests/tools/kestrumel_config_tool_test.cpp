// kestrumel-config run as an operator would, its file read back by the program's reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/program_run.h"
#include "config/config_reader.h"
#include "platform/process_state.h"
#include "tools/owner_only.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class KestrumelConfigToolTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(testing::TempDir()) /
           (std::string("kestrumel_config_") + testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    file_ = (dir_ / "kestrumel.cfg").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  Outcome Run(const std::vector<std::string>& args, const std::string& input = "") {
    testing_run::ProgramResult result = testing_run::RunExecutable(
        testing_run::ConfigToolPath(), args, std::filesystem::current_path().string(), input);
    return {result.exitStatus, LineFeeds(result.out), LineFeeds(result.err)};
  }

  // A console program's lines end in CR LF on Windows.
  static std::string LineFeeds(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
      text.erase(at, 1);
    }
    return text;
  }

  Outcome Write(const std::string& net, const std::string& schema, const std::string& login,
                const std::string& password) {
    return Run({"write", file_, "--net", net, "--schema", schema, "--login", login}, password);
  }

  std::filesystem::path dir_;
  std::string file_;
};

TEST_F(KestrumelConfigToolTest, WrittenFileGivesTheProgramEachValue) {
  Outcome outcome = Write("db.example:1521/ORCL", "KTEST", "scott", "ti;ger pw\r\nsecond line\n");
  ASSERT_EQ(outcome.status, 0) << outcome.err;

  std::string why;
  if (AccessIsKeptAsWritten()) {
    EXPECT_TRUE(OnlyTheOwnerMayUse(file_, why)) << why;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1) << "a temporary file was left";

  struct Expected {
    const char* key;
    int32_t number;
    const char* value;
  };
  for (Expected e : {Expected{"NET8", 1, "db.example:1521/ORCL"}, Expected{"SCHEMA", 2, "KTEST "},
                     Expected{"LOGIN", 3, "scott"}, Expected{"PASS", 4, "ti;ger pw"}}) {
    GetConfigValue("", e.key, 0, file_.c_str());
    EXPECT_EQ(g_configRecord.number, e.number) << e.key;
    EXPECT_STREQ(g_configRecord.name, e.key);
    EXPECT_STREQ(g_configRecord.section, e.key);
    EXPECT_STREQ(g_configRecord.value, e.value);
  }
}

TEST_F(KestrumelConfigToolTest, RewriteReplacesTheFile) {
  ASSERT_EQ(Write("net1", "KTEST", "scott", "one\n").status, 0);
  ASSERT_EQ(Write("net2", "KPROD", "scott", "two\n").status, 0);
  GetConfigValue("", "NET8", 0, file_.c_str());
  EXPECT_STREQ(g_configRecord.value, "net2");
}

TEST_F(KestrumelConfigToolTest, LongestValuesThatFitAreWritten) {
  std::string longest(96, 'x');  // 192 hexadecimal characters; one block more exceeds 200
  ASSERT_EQ(Write(longest, std::string(20, 'K'), longest, longest + "\n").status, 0);
  GetConfigValue("", "PASS", 0, file_.c_str());
  EXPECT_EQ(g_configRecord.value, longest);
}

TEST_F(KestrumelConfigToolTest, RefusesValuesTheProgramWouldCutOrReject) {
  struct Case {
    const char* what;
    std::string net, schema, login, password;
  };
  const std::string ok = "value";
  const Case cases[] = {
      {"empty NET8", "", "KTEST", ok, ok},
      {"NET8 too long to encipher into a record", std::string(97, 'x'), "KTEST", ok, ok},
      {"NET8 over 200", std::string(201, 'x'), "KTEST", ok, ok},
      {"NET8 with LF", "a\nb", "KTEST", ok, ok},
      {"empty schema", ok, "", ok, ok},
      {"schema of 21", ok, std::string(21, 'K'), ok, ok},
      {"schema starting with a digit", ok, "1KTEST", ok, ok},
      {"schema with a blank", ok, "K TEST", ok, ok},
      {"empty LOGIN", ok, "KTEST", "", ok},
      {"LOGIN with CR", ok, "KTEST", "a\rb", ok},
      {"no password line", ok, "KTEST", ok, ""},
      {"empty password line", ok, "KTEST", ok, "\n"},
      {"password with NUL", ok, "KTEST", ok, std::string("a\0b\n", 4)},
      {"password too long", ok, "KTEST", ok, std::string(97, 'p') + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Outcome outcome = Write(c.net, c.schema, c.login, c.password);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.err.find("refused"), std::string::npos) << outcome.err;
    if (c.net.size() > 96) {
      EXPECT_NE(outcome.err.find("service=NAME"), std::string::npos) << outcome.err;
    }
    EXPECT_FALSE(std::filesystem::exists(file_));
  }
}

TEST_F(KestrumelConfigToolTest, ShowMasksThePasswordUnlessAsked) {
  ASSERT_EQ(Write("db.example", "KTEST", "scott", "tiger\n").status, 0);
  Outcome shown = Run({"show", file_});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out,
            "NET8: number=1 name=NET8 section=NET8 value=db.example\n"
            "SCHEMA: number=2 name=SCHEMA section=SCHEMA value=KTEST\n"
            "LOGIN: number=3 name=LOGIN section=LOGIN value=scott\n"
            "PASS: number=4 name=PASS section=PASS value=********\n");

  Outcome revealed = Run({"show", file_, "--show-password"});
  EXPECT_NE(revealed.out.find("PASS: number=4 name=PASS section=PASS value=tiger\n"), std::string::npos);
}

TEST_F(KestrumelConfigToolTest, ShowReportsMissingKeysAndFiles) {
  std::ofstream(file_) << ";NET8;\n1;NET8;\n";
  Outcome partial = Run({"show", file_});
  EXPECT_EQ(partial.status, 1);
  EXPECT_NE(partial.out.find("SCHEMA: not found"), std::string::npos) << partial.out;

  EXPECT_EQ(Run({"show", file_ + ".missing"}).status, 1);
}

TEST_F(KestrumelConfigToolTest, UsageOnHelpAndOnBadArguments) {
  Outcome help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage:"), std::string::npos);

  const std::vector<std::string> bad[] = {
      {},
      {"frobnicate", file_},
      {"write", file_, "--net", "n", "--schema", "KTEST"},
      {"write", file_, "--net", "n", "--schema", "KTEST", "--login", "l", "--password", "p"},
      {"write", file_, "--net", "n", "--net", "m", "--schema", "KTEST", "--login", "l"},
      {"write", "--net", "n", "--schema", "KTEST", "--login", "l"},
      {"show", file_, "--verbose"},
  };
  for (const std::vector<std::string>& args : bad) {
    Outcome outcome = Run(args, "pw\n");
    EXPECT_EQ(outcome.status, 2) << testing::PrintToString(args);
    EXPECT_NE(outcome.err.find("usage:"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(file_));
}

// A run report as the program writes it: ended by `endedBy` at `at`, or running as `pid` on
// `host` since `at` when `endedBy` is empty.
std::string RunReport(const std::string& at, const std::string& endedBy, int rolledBack = 0,
                      const char* pending = "0", long pid = 1234, const std::string& host = "planhost") {
  bool running = endedBy.empty();
  return "{\"state\": \"" + std::string(running ? "running" : "ended") + "\", \"pid\": " +
         std::to_string(pid) + ", \"host\": \"" + host + "\", \"version\": \"1.4.0\", " +
         "\"schema\": \"PLAN1\", \"group\": \"PLG01\", \"started\": \"" + at + "\", \"ended\": " +
         (running ? "null" : "\"" + at + "\"") + ", \"ended_by\": " +
         (running ? "null" : "\"" + endedBy + "\"") + ", \"status\": 0, \"requests\": {\"done\": 40, " +
         "\"rolled_back\": " + std::to_string(rolledBack) + ", \"skipped\": 0, \"pending\": " + pending +
         "}, \"entries\": 0, \"entries_lost\": 0, \"reconnects\": 0, \"connect_tries\": 1}\n";
}

TEST_F(KestrumelConfigToolTest, StatusAnswersInOneLineWithTheMonitoringExitStatus) {
  testing_run::RunDir dir;
  ASSERT_EQ(Run({"write", dir.ConfigPath(), "--net", "sqlite:/secret-net", "--schema", "PLAN1",
                 "--login", "l"}, "pw\n").status, 0);
  char now[32];
  std::time_t clock = std::time(nullptr);
  std::strftime(now, sizeof now, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&clock));
  const std::string here = platform::HostName(), old = "2020-01-01T00:00:00+01:00";
  const long self = platform::CurrentProcessId(), gone = 2147483646;
  struct Case {
    const char* what;
    std::string report;  // "" for none
    std::vector<std::string> options;
    int status;
    std::string start;  // of stdout
  };
  const Case cases[] = {
      {"queue done", RunReport(now, "queue done"), {}, 0, "KESTRUMEL OK - PLAN1/PLG01 queue done"},
      {"rolled back", RunReport(now, "queue done", 2), {}, 1, "KESTRUMEL WARNING - "},
      {"pending", RunReport(now, "queue done", 0, "3"), {}, 1, "KESTRUMEL WARNING - "},
      {"as JSON", RunReport(now, "queue done", 2), {"--format", "json"}, 1,
       "{\"verdict\":\"WARNING\",\"code\":1,"},
      {"connect failed", RunReport(now, "connect failed", 0, "null"), {}, 2, "KESTRUMEL CRITICAL - "},
      {"running, gone", RunReport(now, "", 0, "null", gone, here), {}, 2, "KESTRUMEL CRITICAL - "},
      {"running", RunReport(now, "", 0, "null", self, here), {}, 0, "KESTRUMEL OK - "},
      {"running elsewhere", RunReport(now, "", 0, "null", self, "other.invalid"), {}, 3,
       "KESTRUMEL UNKNOWN - "},
      {"malformed", "{\"state\": \"ended\", \"pid\": 12", {}, 3, "KESTRUMEL UNKNOWN - "},
      {"missing", "", {}, 3, "KESTRUMEL UNKNOWN - "},
      {"too old", RunReport(old, "queue done"), {"--max-age", "60"}, 3, "KESTRUMEL UNKNOWN - "},
      {"old, no limit", RunReport(old, "queue done"), {}, 0, "KESTRUMEL OK - "},
      {"bad command line", RunReport(now, "queue done"), {"--max-age", "soon"}, 3,
       "KESTRUMEL UNKNOWN - "},
  };
  const std::string reportPath = dir.LogDir() + "/kestrumel_PLAN1_PLG01.json";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(reportPath);
    if (!c.report.empty()) std::ofstream(reportPath, std::ios::binary) << c.report;
    std::vector<std::string> args = {"status", dir.ConfigPath(), "PLG01"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    testing_run::ProgramResult result =
        testing_run::RunExecutable(testing_run::ConfigToolPath(), args, dir.RunPath());
    std::string out = LineFeeds(result.out);
    EXPECT_EQ(result.exitStatus, c.status) << out << result.err;
    EXPECT_EQ(out.rfind(c.start, 0), 0u) << out;
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
    EXPECT_EQ(out.find("secret-net"), std::string::npos) << out;
  }
}

}  // namespace

#pragma once
// Assertions on a log file read back by testing_run::ReadLog.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/program_run.h"

namespace run_tests {

struct ExpectedEntry {
  std::string func;
  std::string message;
  int code;
};

inline std::string Describe(const testing_run::ParsedLog& log) {
  std::string text = log.exists ? "" : "(no log file)";
  if (!log.whole) text += "broken: " + log.problem + "\n";
  for (const testing_run::LogRecord& entry : log.entries) {
    text += "[" + entry.kind + "|" + entry.message + "|" + entry.func + "|" +
            std::to_string(entry.code) + "]\n";
  }
  return text;
}

// The log holds exactly these kind-4 entries, in this order, each well formed.
inline void ExpectEntries(const testing_run::ParsedLog& log,
                          const std::vector<ExpectedEntry>& expected) {
  ASSERT_TRUE(log.exists) << "no log file";
  ASSERT_TRUE(log.whole) << Describe(log);
  ASSERT_EQ(log.entries.size(), expected.size()) << Describe(log);
  for (size_t i = 0; i < expected.size(); ++i) {
    const testing_run::LogRecord& entry = log.entries[i];
    EXPECT_EQ(entry.kind, "FMSG ") << "entry " << i;
    EXPECT_EQ(entry.func, expected[i].func) << "entry " << i;
    EXPECT_EQ(entry.message, expected[i].message) << "entry " << i;
    EXPECT_EQ(entry.code, expected[i].code) << "entry " << i;
  }
}

// A run that ends on any path is silent on the console and exits with 0.
inline void ExpectQuietSuccess(const testing_run::ProgramResult& result) {
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
}

}  // namespace run_tests

#pragma once
// The report of `kestrumel-config check`: one line per check, aligned for a person or as one
// JSON object for monitoring. Every text passes through a mask that hides the password.
#include <cstdio>
#include <string>
#include <vector>

enum class Verdict { kOk, kWarn, kFail, kSkipped };

struct CheckResult {
  std::string name;                   // "configuration", "connection", ...
  Verdict verdict = Verdict::kOk;
  std::string summary;                // what was checked, or what is wrong
  std::vector<std::string> details;   // what was found, one line each (a count per group)
  std::vector<std::string> problems;  // one per finding, for a check that is not ok
  std::string advice;                 // what to do, for a check that is not ok
};

struct CheckReport {
  std::string config;
  std::string planGroup;  // "" for every group
  std::vector<CheckResult> results;
  std::string command = "check";  // the heading's: check or selftest

  bool Failed() const;
};

// The first line of a driver's message: a report line holds one finding.
std::string FirstLine(const std::string& text);

// A text with every occurrence of `secret` replaced by asterisks.
std::string Masked(std::string text, const std::string& secret);

void PrintText(const CheckReport& report, FILE* out);
void PrintJson(const CheckReport& report, FILE* out);

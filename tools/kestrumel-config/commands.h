#pragma once
// The commands of kestrumel-config; each returns the process exit status.
#include <string>

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the file could not be read or written, or a key is missing
constexpr int kExitRefused = 2;  // bad command line or a value the program could not use

struct WriteOptions {
  std::string path;
  std::string net;
  std::string schema;
  std::string login;
};

// Writes the configuration file; the password comes from the first line of standard input.
int RunWrite(const WriteOptions& options);

// Prints what the program's lookup finds for each key, the password masked unless asked.
int RunShow(const std::string& path, bool showPassword);

struct CheckOptions {
  std::string configPath;
  std::string planGroup;  // "" for every group
  bool json = false;
};

// Checks the configuration, its database and the log directory without changing anything and
// prints the report: 0 nothing failed, 1 a check failed, 2 the configuration is not usable.
int RunCheck(const CheckOptions& options);

// The monitoring convention's exit statuses, which `status` answers with.
constexpr int kStatusOk = 0;
constexpr int kStatusWarning = 1;
constexpr int kStatusCritical = 2;
constexpr int kStatusUnknown = 3;  // also a bad command line of `status`

struct StatusOptions {
  std::string configPath;
  std::string planGroup;   // as given; the report's name takes it as the program does
  int maxAgeMinutes = 0;   // 0: any age
  bool json = false;
};

// Prints one line (or one JSON object) on the last run of the group from its run report,
// without a database; returns the monitoring status.
int RunStatus(const StatusOptions& options);

struct PreviewOptions {
  std::string configPath;
  std::string planGroup;
  bool json = false;
};

// Works off the group's pending requests as a run would, in a transaction that is rolled back,
// and prints what the run would change: 0 done, 1 no preview (no connection, the group busy),
// 2 the configuration is not usable.
int RunPreview(const PreviewOptions& options);

struct SelftestOptions {
  std::string configPath;
  bool json = false;
};

// Runs the program's request handling on a small scenario of its own, staged in the database
// in a transaction that is rolled back, and compares each result with the expected one:
// 0 every step ok, 1 a step failed (or no connection), 2 the configuration is not usable.
int RunSelftest(const SelftestOptions& options);

// Not for operators: the second session that selftest starts for its fault step. Inserts the
// fault request's key in `group` uncommitted, writes "held" and holds it until standard input
// ends or a bound passes.
int RunSelftestHold(const std::string& configPath, const std::string& person,
                    const std::string& day, const std::string& group);

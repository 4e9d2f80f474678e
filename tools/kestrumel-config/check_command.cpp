// kestrumel-config check: an operator's look at a configuration, its database and the working
// directory before a run, on a connection that cannot change anything.
#include <cstdio>
#include <cstring>
#include <string>

#include "config/config_reader.h"
#include "db/connect.h"
#include "db/runtime/catalog.h"
#include "db/runtime/runtime.h"
#include "db/runtime/status.h"
#include "kestrumel-config/check_log.h"
#include "kestrumel-config/check_queue.h"
#include "kestrumel-config/check_report.h"
#include "kestrumel-config/check_schema.h"
#include "kestrumel-config/commands.h"
#include "kestrumel-config/config_entries.h"
#include "platform/secure_zero.h"
#include "run/client_environment.h"
#include "run/startup_values.h"

namespace {

// The longest value each key's field takes; the schema's with its stored extra character.
size_t LongestValue(const std::string& key) { return key == "SCHEMA" ? 21 : 200; }

bool Printable(const char* text) {
  for (const char* c = text; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) return false;
  }
  return true;
}

// Each record as the program's own lookup finds it; the value is wiped right away.
std::string RecordProblem(const char* key, const std::string& path) {
  GetConfigValue("", key, 0, path.c_str());
  ConfigRecord& record = g_configRecord;
  size_t length = strnlen(record.value, sizeof record.value);
  bool found = record.number != 0 || record.name[0] != '\0' || record.section[0] != '\0';
  bool printable = Printable(record.value);
  platform::SecureZero(record.value, sizeof record.value);
  std::string name = key;
  if (!found) return name + ": no record";
  if (length == 0) return name + ": the value does not decipher";
  if (!printable) return name + ": the value deciphers to control characters (written with another key?)";
  if (length > LongestValue(key)) return name + ": the value is longer than the program takes";
  return "";
}

CheckResult CheckConfiguration(const std::string& path, const StartupValues& values, bool& usable) {
  CheckResult result;
  result.name = "configuration";
  usable = false;
  FILE* probe = std::fopen(path.c_str(), "r");
  if (probe == nullptr) {
    result.verdict = Verdict::kFail;
    result.summary = "cannot read " + path + ": " + std::strerror(errno);
    return result;
  }
  std::fclose(probe);
  for (const char* key : kConfigKeys) {
    std::string problem = RecordProblem(key, path);
    if (!problem.empty()) result.problems.push_back(problem);
  }
  if (!result.problems.empty()) {
    result.verdict = Verdict::kFail;
    result.summary = "records missing or not readable";
    result.advice = "write the file anew with kestrumel-config write";
    return result;
  }
  usable = true;
  const char* backend = db::SqlBackendServing(values.netService);
  if (backend == nullptr) {
    result.verdict = Verdict::kFail;
    result.summary = std::string("NET8 ") + values.netService + " names no backend of this build";
    result.advice = "use sqlite:DIR, postgresql://HOST[:PORT]/DB or odbc:CONNECTION-STRING";
    return result;
  }
  result.summary = std::string("NET8 ") + values.netService + " (" + backend + "), SCHEMA " +
                   values.schema + ", LOGIN " + values.user;
  return result;
}

const char* ConnectAdvice(int status) {
  switch (status) {
    case db::status::kLogonDenied:
    case db::status::kPasswordMissing: return "check LOGIN and the password (kestrumel-config write)";
    case db::status::kServiceUnresolved: return "check NET8: the directory, host or database it names";
    case db::status::kSchemaUnknown:
    case db::status::kInvalidCharacter: return "check SCHEMA: it must name an existing schema";
    default: return "check that the database is up and reachable from here";
  }
}

CheckResult CheckConnection(const StartupValues& values) {
  CheckResult result;
  result.name = "connection";
  ClearClientEnvironment();  // as the program does: only the configuration decides
  int rc = dbConnect(values.user, values.password, values.netService, values.schema,
                     db::Access::ReadOnly);
  if (rc == db::status::kOk) {
    result.summary = std::string("connected read-only, schema ") + values.schema;
    return result;
  }
  std::string native = FirstLine(db::SqlLastNativeError());
  result.verdict = Verdict::kFail;
  result.summary = "status " + std::to_string(rc) + (native.empty() ? "" : ": " + native);
  result.advice = ConnectAdvice(rc);
  return result;
}

CheckResult Skipped(const char* name, const char* why) {
  CheckResult result;
  result.name = name;
  result.verdict = Verdict::kSkipped;
  result.summary = why;
  return result;
}

void RunDatabaseChecks(const std::string& planGroup, CheckReport& report) {
  report.results.push_back(CheckTables());
  report.results.push_back(CheckIndexes());
  report.results.push_back(CheckPrivileges());
  QueueState queue = ReadQueue(planGroup);
  report.results.push_back(CheckCalendar(queue));
  report.results.push_back(CheckQueue(queue));
}

void MaskPassword(CheckReport& report, const std::string& password) {
  for (CheckResult& result : report.results) {
    result.summary = Masked(result.summary, password);
    result.advice = Masked(result.advice, password);
    for (std::string& problem : result.problems) problem = Masked(problem, password);
    for (std::string& detail : result.details) detail = Masked(detail, password);
  }
}

}  // namespace

int RunCheck(const CheckOptions& options) {
  CheckReport report{options.configPath, options.planGroup, {}};
  StartupValues values;
  ReadStartupValues(options.configPath.c_str(), values);
  bool usable = false;
  report.results.push_back(CheckConfiguration(options.configPath, values, usable));
  bool connected = false;
  if (!usable || report.results.back().verdict == Verdict::kFail) {
    report.results.push_back(Skipped("connection", "not tried: the configuration is not usable"));
  } else {
    report.results.push_back(CheckConnection(values));
    connected = report.results.back().verdict == Verdict::kOk;
  }
  if (connected) {
    RunDatabaseChecks(options.planGroup, report);
  } else {
    for (const char* name : {"tables", "indexes", "privileges", "calendar", "queue"}) {
      report.results.push_back(Skipped(name, "not checked: no connection"));
    }
  }
  if (usable) {
    report.results.push_back(CheckLog(values.schema));
  } else {
    report.results.push_back(Skipped("log", "not checked: no schema"));
  }
  db::SqlDisconnect();
  MaskPassword(report, values.password);
  WipeStartupValues(values);
  if (options.json) {
    PrintJson(report, stdout);
  } else {
    PrintText(report, stdout);
  }
  if (!usable) return kExitRefused;
  return report.Failed() ? kExitFailure : kExitOk;
}

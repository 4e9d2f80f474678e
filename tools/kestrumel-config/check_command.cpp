// kestrumel-config check: an operator's look at a configuration, its database and the working
// directory before a run, on a connection that cannot change anything.
#include <cstdio>
#include <cstring>
#include <string>

#include "config/config_reader.h"
#include "db/connect.h"
#include "db/runtime/runtime.h"
#include "db/status.h"
#include "kestrumel-config/check_log.h"
#include "kestrumel-config/check_queue.h"
#include "kestrumel-config/check_report.h"
#include "kestrumel-config/check_schema.h"
#include "kestrumel-config/commands.h"
#include "kestrumel-config/config_entries.h"
#include "platform/secure_zero.h"
#include "config/startup_values.h"

namespace {

// The longest value each key's field takes; the schema's with its stored extra character.
size_t LongestValue(const std::string& key) { return key == "SCHEMA" ? 21 : 200; }

bool Printable(const char* text) {
  for (const char* c = text; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) return false;
  }
  return true;
}

constexpr const char* kTooLong = ": the value is longer than the program takes";

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
  if (length > LongestValue(key)) return name + kTooLong;
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
    if (result.problems.front() == std::string("NET8") + kTooLong) {
      result.advice += "; for a NET8 too long, name a connection service (postgresql://?service=NAME "
                       "and pg_service.conf, or an ODBC DSN)";
    }
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

// What kind of failure the status is, and what to do: a server that takes no writes is not a
// wrong password.
std::string ConnectAdvice(int status, const std::string& backend) {
  switch (status) {
    case db::status::kLogonDenied:
    case db::status::kPasswordMissing: return "check LOGIN and the password (kestrumel-config write)";
    case db::status::kNoListener:
      return "no server answers at that address: check that the database server is up and the "
             "host and port in NET8";
    case db::status::kConnectTimedOut:
      return "the server did not answer in time: check the network path to the host (a "
             "firewall?) and that the server is not overloaded";
    case db::status::kStartingOrShuttingDown:
      return "the server is starting up, shutting down or recovering: try again once it is up";
    case db::status::kDatabaseReadOnly:
      return "the server takes no writes (a standby): name the primary in NET8 or add "
             "target_session_attrs=read-write";
    case db::status::kServiceUnresolved:
      return "NET8 names a database, service or host that is not known: check the directory, "
             "host name and database it names";
    case db::status::kSchemaUnknown:
    case db::status::kInvalidCharacter: return "check SCHEMA: it must name an existing schema";
    case db::status::kNoSuchTable:
      return backend == "sqlite"
                 ? "the calendar RVKSTAMM.Rvk133Bak is missing: the file RVKSTAMM.db beside the "
                   "schema's database in the NET8 directory; create it as "
                   "share/kestrumel/schema/sqlite/rvkstamm.sql does"
                 : "the calendar RVKSTAMM.Rvk133Bak is missing: create it as "
                   "share/kestrumel/schema/*/rvkstamm.sql does";
    default: return "check that the database is up and reachable from here";
  }
}

std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Several hosts in one NET8: a URI's "h1,h2" before the path, or a host, hostaddr, server or
// servername setting whose value lists them (a URI's query, an ODBC connection string).
bool NamesSeveralHosts(const std::string& netService) {
  std::string net = LowerCase(netService);
  size_t scheme = net.find("://");
  if (scheme != std::string::npos) {
    size_t start = scheme + 3;
    size_t end = net.find_first_of("/?", start);
    if (net.substr(start, end == std::string::npos ? end : end - start).find(',') != std::string::npos) {
      return true;
    }
  }
  for (const std::string key : {"host=", "hostaddr=", "server=", "servername="}) {
    for (size_t at = net.find(key); at != std::string::npos; at = net.find(key, at + 1)) {
      if (at > 0 && std::string("?&;{ ").find(net[at - 1]) == std::string::npos) continue;
      size_t start = at + key.size();
      size_t end = net.find_first_of("&;} ", start);
      std::string value = net.substr(start, end == std::string::npos ? end : end - start);
      if (value.find(',') != std::string::npos) return true;
    }
  }
  return false;
}

bool AsksForPrimary(const std::string& netService) {
  std::string net = LowerCase(netService);
  return net.find("target_session_attrs=read-write") != std::string::npos ||
         net.find("target_session_attrs=primary") != std::string::npos;
}

CheckResult CheckConnection(const StartupValues& values, const std::string& backend) {
  CheckResult result;
  result.name = "connection";
  ClearClientEnvironment();  // as the program does: only the configuration decides
  int rc = dbConnect(values.user, values.password, values.netService, values.schema,
                     db::Access::ReadOnly);
  if (rc == db::status::kOk) {
    result.summary = std::string("connected read-only, schema ") + values.schema;
    if (NamesSeveralHosts(values.netService) && !AsksForPrimary(values.netService)) {
      result.verdict = Verdict::kWarn;
      result.problems.push_back(
          "NET8 names several hosts without target_session_attrs=read-write: a run connects to "
          "whichever host answers first, after a failover perhaps a standby that takes no writes");
      result.advice = "add target_session_attrs=read-write (postgresql://h1,h2/db?"
                      "target_session_attrs=read-write; ODBC: Pqopt={target_session_attrs=read-write})";
    }
    return result;
  }
  std::string native = FirstLine(db::SqlLastNativeError());
  result.verdict = Verdict::kFail;
  result.summary = "status " + std::to_string(rc) + (native.empty() ? "" : ": " + native);
  result.advice = ConnectAdvice(rc, backend);
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
    const char* backend = db::SqlBackendServing(values.netService);  // known: the file is usable
    report.results.push_back(CheckConnection(values, backend != nullptr ? backend : ""));
    connected = report.results.back().verdict != Verdict::kFail;  // a warning still connected
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

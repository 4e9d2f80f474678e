// kestrumel-config status: the last run of a schema and planning group as a monitoring check
// sees it, from the run report beside the log; one line and the monitoring exit status.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "common/civil_days.h"
#include "kestrumel-config/commands.h"
#include "kestrumel-config/flat_json.h"
#include "platform/process_state.h"
#include "config/startup_values.h"

namespace {

constexpr const char* kStateNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

// A report is a few hundred bytes; a larger file is no report and is not read whole.
constexpr size_t kMaxReportBytes = 64 * 1024;

struct Answer {
  int code = kStatusUnknown;
  std::string text;
  std::string perfdata;
};

// A monitoring line is one line: a control character from a file or an argument would end it.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

// 0, or the errno of a file that cannot be read; EFBIG for one too large to be a report.
int ReadReportFile(const std::string& path, std::string& text) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return errno;
  text.assign(kMaxReportBytes + 1, '\0');
  size_t read = std::fread(text.data(), 1, text.size(), file);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  text.resize(read);
  if (failed) return EIO;
  return read > kMaxReportBytes ? EFBIG : 0;
}

bool Digits(const std::string& text, size_t at, size_t count, int64_t& value) {
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// "2026-12-09T15:20:07+01:00" (or "...Z") as seconds since 1970 UTC.
bool ParseMoment(const std::string& text, int64_t& seconds) {
  int64_t year, month, day, hour, minute, second, offsetHours = 0, offsetMinutes = 0;
  bool shape = text.size() >= 20 && text[4] == '-' && text[7] == '-' && text[10] == 'T' &&
               text[13] == ':' && text[16] == ':' && Digits(text, 0, 4, year) &&
               Digits(text, 5, 2, month) && Digits(text, 8, 2, day) && Digits(text, 11, 2, hour) &&
               Digits(text, 14, 2, minute) && Digits(text, 17, 2, second);
  if (!shape || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
      second > 60) {
    return false;
  }
  int64_t sign = 0;
  if (text.size() == 20 && text[19] == 'Z') {
    sign = 1;
  } else if (text.size() == 25 && (text[19] == '+' || text[19] == '-') && text[22] == ':' &&
             Digits(text, 20, 2, offsetHours) && Digits(text, 23, 2, offsetMinutes) &&
             offsetHours <= 23 && offsetMinutes <= 59) {
    sign = text[19] == '+' ? 1 : -1;
  }
  if (sign == 0) return false;
  seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
            sign * (offsetHours * 3600 + offsetMinutes * 60);
  return true;
}

// What the verdict needs of a report; the rest is passed on as read.
struct Report {
  bool running = false;
  int64_t pid = 0;
  std::string host, started, ended, endedBy;
  int64_t status = 0, done = 0, rolledBack = 0, skipped = 0, entries = 0;
  bool pendingCounted = false;
  int64_t pending = 0;
  int64_t lastMoment = 0;  // ended, or started while running
};

class Fields {
 public:
  explicit Fields(const std::vector<JsonField>& fields) : fields_(fields) {}

  bool Text(const char* path, std::string& value) {
    const JsonField* field = Find(path, JsonField::Kind::kText);
    if (field != nullptr) value = field->text;
    return field != nullptr;
  }
  bool Count(const char* path, int64_t& value) {
    const JsonField* field = Find(path, JsonField::Kind::kInteger);
    if (field != nullptr) value = field->integer;
    return field != nullptr;
  }
  bool Null(const char* path) { return Find(path, JsonField::Kind::kNull) != nullptr; }
  const std::string& Missing() const { return missing_; }

 private:
  const JsonField* Find(const char* path, JsonField::Kind kind) {
    const JsonField* field = FindField(fields_, path);
    if (field != nullptr && field->kind == kind) return field;
    if (missing_.empty()) missing_ = path;
    return nullptr;
  }

  const std::vector<JsonField>& fields_;
  std::string missing_;
};

// False with `why` for a report that does not hold what every report holds.
bool TakeReport(const std::vector<JsonField>& fields, Report& report, std::string& why) {
  Fields read(fields);
  std::string state;
  bool ok = read.Text("state", state) && (state == "running" || state == "ended") &&
            read.Count("pid", report.pid) && read.Text("host", report.host) &&
            read.Text("started", report.started) && read.Count("status", report.status) &&
            read.Count("requests.done", report.done) &&
            read.Count("requests.rolled_back", report.rolledBack) &&
            read.Count("requests.skipped", report.skipped) && read.Count("entries", report.entries);
  if (!ok) {
    why = read.Missing().empty() ? "an unknown state" : "no valid " + read.Missing();
    return false;
  }
  report.running = state == "running";
  report.pendingCounted = FindField(fields, "requests.pending") != nullptr &&
                          FindField(fields, "requests.pending")->kind == JsonField::Kind::kInteger;
  if (report.pendingCounted) {
    read.Count("requests.pending", report.pending);
  } else if (!read.Null("requests.pending")) {
    why = "no valid requests.pending";
    return false;
  }
  std::string lastMoment = report.started;
  if (!report.running) {
    ok = read.Text("ended", report.ended) && read.Text("ended_by", report.endedBy);
    lastMoment = report.ended;
  } else {
    ok = read.Null("ended") && read.Null("ended_by");
  }
  if (!ok) {
    why = "no valid " + read.Missing();
    return false;
  }
  int64_t startedAt = 0;
  if (!ParseMoment(report.started, startedAt) || !ParseMoment(lastMoment, report.lastMoment)) {
    why = "a time that is not of the form 2026-12-09T15:20:07+01:00";
    return false;
  }
  return true;
}

// Both names of one machine: the same, or the same before the domain, whichever way each is
// told.
bool SameHost(const std::string& a, const std::string& b) {
  auto lower = [](std::string text) {
    for (char& c : text) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
  };
  std::string first = lower(a), second = lower(b);
  return first == second || first.substr(0, first.find('.')) == second.substr(0, second.find('.'));
}

std::string Requests(const Report& report) {
  return std::to_string(report.done) + " done, " + std::to_string(report.rolledBack) +
         " rolled back, " + std::to_string(report.skipped) + " skipped, " +
         (report.pendingCounted ? std::to_string(report.pending) + " pending" : "pending not counted");
}

std::string Perfdata(const Report& report) {
  return "done=" + std::to_string(report.done) + " rolled_back=" + std::to_string(report.rolledBack) +
         " skipped=" + std::to_string(report.skipped) +
         (report.pendingCounted ? " pending=" + std::to_string(report.pending) : "") +
         " entries=" + std::to_string(report.entries);
}

bool KnownFailure(const std::string& endedBy) {
  for (const char* known : {"connect failed", "too few arguments", "connection lost",
                            "repeated faults", "signal", "group busy"}) {
    if (endedBy == known) return true;
  }
  return false;
}

Answer Judge(const Report& report) {
  Answer answer;
  answer.perfdata = Perfdata(report);
  if (report.running) {
    std::string since = "running since " + report.started + " as pid " + std::to_string(report.pid);
    std::string here = platform::HostName();
    if (here.empty() || !SameHost(report.host, here)) {
      answer.code = kStatusUnknown;
      answer.text = since + " on " + report.host + ": whether it still runs cannot be told on " +
                    (here.empty() ? "this machine" : here);
    } else if (platform::ProcessRuns(static_cast<long>(report.pid))) {
      answer.code = kStatusOk;
      answer.text = since + ", " + std::to_string(report.done) + " done so far";
    } else {
      answer.code = kStatusCritical;
      answer.text = "the run of pid " + std::to_string(report.pid) + " started " + report.started +
                    " ended without its report (killed, crashed or the machine stopped): " +
                    Requests(report);
    }
    return answer;
  }
  std::string at = " at " + report.ended + ": ";
  if (report.endedBy == "queue done") {
    bool clean = report.rolledBack == 0 && report.skipped == 0 && report.pendingCounted &&
                 report.pending == 0;
    answer.code = clean ? kStatusOk : kStatusWarning;
    answer.text = "queue done" + at + Requests(report);
  } else if (KnownFailure(report.endedBy)) {
    answer.code = kStatusCritical;
    answer.text = "ended by " + report.endedBy + at + Requests(report) +
                  (report.status != 0 ? ", status " + std::to_string(report.status) : "");
  } else {
    answer.code = kStatusUnknown;
    answer.text = "ended by \"" + report.endedBy + "\"" + at + "a reason this tool does not know";
  }
  return answer;
}

Answer Examine(const StatusOptions& options, const std::string& path,
               std::vector<JsonField>& fields) {
  Answer answer;
  std::string text;
  int error = ReadReportFile(path, text);
  if (error == ENOENT) {
    answer.text = "no run report " + path + " (no run of this group yet, or another working directory)";
    return answer;
  }
  if (error != 0) {
    answer.text = "run report " + path + " not readable: " +
                  (error == EFBIG ? std::string("too large") : std::strerror(error));
    return answer;
  }
  std::string why;
  Report report;
  if (!ReadFlatJson(text, fields, why) || !TakeReport(fields, report, why)) {
    fields.clear();
    answer.text = "run report " + path + " malformed: " + why;
    return answer;
  }
  answer = Judge(report);
  int64_t ageMinutes = (static_cast<int64_t>(std::time(nullptr)) - report.lastMoment) / 60;
  if (options.maxAgeMinutes > 0 && ageMinutes > options.maxAgeMinutes) {
    answer.code = kStatusUnknown;
    answer.text = "run report is " + std::to_string(ageMinutes) + " minutes old (--max-age " +
                  std::to_string(options.maxAgeMinutes) + "), it said: " + answer.text;
  }
  return answer;
}

}  // namespace

int RunStatus(const StatusOptions& options) {
  std::string group = ReportedGroup(options.planGroup.c_str());
  std::string schema;
  FILE* probe = std::fopen(options.configPath.c_str(), "r");
  int configError = probe == nullptr ? errno : 0;
  if (probe != nullptr) std::fclose(probe);
  if (configError == 0) {
    StartupValues values;
    ReadStartupValues(options.configPath.c_str(), values);
    schema = values.schema;
    WipeStartupValues(values);  // only the schema is wanted here
  }
  Answer answer;
  std::vector<JsonField> fields;
  if (configError != 0) {
    answer.text = "cannot read " + options.configPath + ": " + std::strerror(configError);
  } else if (schema.empty()) {
    answer.text = options.configPath + " gives no SCHEMA (see kestrumel-config check)";
  } else {
    answer = Examine(options, RunReportFileName(schema.c_str(), group.c_str()), fields);
  }
  std::string line = std::string("KESTRUMEL ") + kStateNames[answer.code] + " - " +
                     OneLine((schema.empty() ? "" : schema + "/" + group + " ") + answer.text);
  if (!answer.perfdata.empty()) line += " | " + answer.perfdata;
  if (options.json) {
    std::printf("{\"verdict\":%s,\"code\":%d,\"line\":%s,\"report\":%s}\n",
                JsonQuoted(kStateNames[answer.code]).c_str(), answer.code, JsonQuoted(line).c_str(),
                fields.empty() ? "null" : JsonObjectText(fields).c_str());
  } else {
    std::printf("%s\n", line.c_str());
  }
  return answer.code;
}

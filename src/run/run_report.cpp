#include "run/run_report.h"

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <string>

#include "common/civil_days.h"
#include "platform/local_time.h"
#include "platform/log_file.h"
#include "platform/process_state.h"

namespace {

long long CivilSeconds(const std::tm& t) {
  return DaysFromCivil(t.tm_year + 1900LL, t.tm_mon + 1, t.tm_mday) * 86400LL +
         t.tm_hour * 3600LL + t.tm_min * 60LL + t.tm_sec;
}

// Local time with its offset from UTC, as monitoring tools compare moments across zones.
std::string Iso8601(std::time_t moment) {
  const std::tm local = platform::LocalTime(moment);
  const long long offset = CivilSeconds(local) - CivilSeconds(platform::UtcTime(moment));
  const int minutes = static_cast<int>((offset < 0 ? -offset : offset) / 60 % (24 * 60));
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return text;
}

// A command line's or host's bytes need not be UTF-8: every byte outside printable ASCII is
// written as its own code point, so the file stays valid JSON whatever it holds.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      quoted += escape;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + "\"";
}

std::string Field(const char* name, const std::string& value) {
  std::string field = "\"";
  field += name;
  field += "\": ";
  field += value;
  return field;
}

std::string NullOr(bool present, const std::string& value) { return present ? value : "null"; }

// Appended piece by piece: GCC 12 at -O3 takes "text" + std::string&& for an overlapping copy.
std::string Joined(const std::string* items, size_t count, const char* open,
                   const char* separator, const char* close) {
  std::string text = open;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += separator;
    text += items[i];
  }
  text += close;
  return text;
}

// The report as its file holds it.
std::string RunReportText(const RunReport& report) {
  const std::string counts[] = {
      Field("done", std::to_string(report.done)),
      Field("rolled_back", std::to_string(report.rolledBack)),
      Field("skipped", std::to_string(report.skipped)),
      Field("pending", NullOr(report.pending >= 0, std::to_string(report.pending))),
  };
  const std::string requests = Joined(counts, std::size(counts), "{", ", ", "}");
  const std::string fields[] = {
      Field("state", Quoted(report.ended ? "ended" : "running")),
      Field("pid", std::to_string(report.pid)),
      Field("host", Quoted(report.host)),
      Field("version", Quoted(report.version)),
      Field("schema", Quoted(report.schema)),
      Field("group", Quoted(report.group)),
      Field("started", Quoted(Iso8601(report.started))),
      Field("ended", NullOr(report.ended, Quoted(Iso8601(report.endedAt)))),
      Field("ended_by", NullOr(report.ended, Quoted(report.endedBy))),
      Field("status", std::to_string(report.status)),
      Field("requests", requests),
      Field("entries", std::to_string(report.entries)),
      Field("entries_lost", std::to_string(report.entriesLost)),
      Field("reconnects", std::to_string(report.reconnects)),
      Field("connect_tries", std::to_string(report.connectTries)),
  };
  return Joined(fields, std::size(fields), "{\n  ", ",\n  ", "\n}\n");
}

}  // namespace

int WriteRunReport(const std::string& path, const RunReport& report) {
  const std::string text = RunReportText(report);
  const std::string temporary = path + "." + std::to_string(platform::CurrentProcessId()) + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return errno != 0 ? errno : EIO;
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = std::fclose(file) == 0 && written;
  int error = written ? platform::RenameFile(temporary, path) : EIO;
  if (error != 0) platform::DeleteFileNamed(temporary);
  return error;
}

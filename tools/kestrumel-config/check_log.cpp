#include "kestrumel-config/check_log.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "log/entry_text.h"
#include "log/message_log.h"
#include "platform/file_access.h"
#include "platform/paths.h"
#include "config/startup_values.h"

namespace {

// A log this large is worth rotating, whatever its count of entries.
constexpr size_t kLargeLogBytes = 16u * 1024 * 1024;

std::string Directory(const std::string& path) {
  size_t slash = platform::LastPathSeparator(path);
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The working directory, so that an operator sees where the relative name leads.
std::string WorkingDirectory() {
  std::string here = platform::WorkingDirectory();
  return !here.empty() ? here : "(unknown)";
}

int CountEntries(const std::string& path, size_t& bytes) {
  std::ifstream file(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  bytes = text.size();
  int count = 0;
  for (size_t at = text.find(message_log::kEntryStart); at != std::string::npos;
       at = text.find(message_log::kEntryStart, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

CheckResult CheckLog(const std::string& schema) {
  CheckResult result;
  result.name = "log";
  std::string path = LogFileName(schema.c_str());
  std::string directory = Directory(path);
  if (int error = platform::MayChangeEntriesOf(directory); error != 0) {
    result.verdict = Verdict::kFail;
    result.summary = directory + (error == ENOENT ? " does not exist" : " is not writable") +
                     ": every entry would be lost";
    result.problems.push_back("seen from " + WorkingDirectory());
    result.advice = error == ENOENT ? "create it, or run the program where it is found"
                                    : "let the user running the program write it";
    return result;
  }
  bool exists = platform::Exists(path);
  if (exists && platform::MayWrite(path) != 0) {
    result.verdict = Verdict::kFail;
    result.summary = path + " is not writable: every entry of a run would be lost";
    result.advice = "let the user running the program write it";
    return result;
  }
  size_t bytes = 0;
  int entries = exists ? CountEntries(path, bytes) : 0;
  result.summary = path + ": " + std::to_string(entries) + " entries, " +
                   std::to_string((bytes + 1023) / 1024) + " KB";
  // The program counts only the entries of the run itself: a log of many short runs grows on.
  if (entries > kLogEntryLimit || bytes > kLargeLogBytes) {
    result.verdict = Verdict::kWarn;
    result.problems.push_back("a run renames it to .old only after " +
                              std::to_string(kLogEntryLimit) +
                              " entries of its own: runs that each write fewer never rotate it");
    result.advice = "rotate it outside the program, e.g. with logrotate";
  }
  return result;
}

#include "kestrumel-config/check_log.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "log/message_log.h"
#include "platform/file_access.h"
#include "platform/paths.h"
#include "run/startup_values.h"

namespace {

// Every entry begins with this line.
constexpr const char* kEntryStart = "\r\nSystem-Date: ";

std::string Directory(const std::string& path) {
  size_t slash = platform::LastPathSeparator(path);
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The working directory, so that an operator sees where the relative name leads.
std::string WorkingDirectory() {
  std::string here = platform::WorkingDirectory();
  return !here.empty() ? here : "(unknown)";
}

int CountEntries(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  int count = 0;
  for (size_t at = text.find(kEntryStart); at != std::string::npos;
       at = text.find(kEntryStart, at + 1)) {
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
  int entries = exists ? CountEntries(path) : 0;
  result.summary = path + ": " + std::to_string(entries) + " entries (a run rotates it after " +
                   std::to_string(kLogEntryLimit) + ")";
  return result;
}

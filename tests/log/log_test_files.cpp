#include "log/log_test_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace log_test {
namespace {

const std::string kEntryStart = "\r\nSystem-Date: ";

}  // namespace

ScratchDir::ScratchDir() : ScratchDir(std::filesystem::temp_directory_path().string()) {}

ScratchDir::ScratchDir(const std::string& parent) {
  std::string pattern = parent + "/kestrumel-log-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string FastScratchParent() {
  return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path().string();
}

bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWhole(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> SplitEntries(const std::string& text) {
  std::vector<std::string> entries;
  size_t start = 0;
  while (start < text.size()) {
    size_t next = text.find(kEntryStart, start + 1);
    if (next == std::string::npos) next = text.size();
    entries.push_back(text.substr(start, next - start));
    start = next;
  }
  return entries;
}

ParsedEntry ParseEntry(const std::string& entry) {
  static const std::regex form(
      "\r\nSystem-Date: \\d\\d\\.\\d\\d\\.\\d\\d\r\nSystem-Time: \\d\\d:\\d\\d:\\d\\d\r\n"
      "MsgArt_____: FMSG \r\nMessage____: ([^\r\n]*)\r\nFunktion___: ([^\r\n]*)\r\n"
      "ErrorCode__: (-?[1-9][0-9]*|0)\r\n");
  std::smatch match;
  ParsedEntry parsed;
  if (!std::regex_match(entry, match, form)) return parsed;
  parsed.whole = true;
  parsed.message = match[1];
  parsed.funcName = match[2];
  parsed.errorCode = match[3];
  return parsed;
}

std::vector<std::string> MessagesOf(const std::string& path) {
  std::vector<std::string> messages;
  for (const std::string& entry : SplitEntries(ReadWhole(path))) {
    ParsedEntry parsed = ParseEntry(entry);
    messages.push_back(parsed.whole ? parsed.message : "<broken>");
  }
  return messages;
}

pid_t ForkChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  return pid;
}

int WaitChild(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool HasExited(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace log_test

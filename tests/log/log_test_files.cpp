#include "log/log_test_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "common/temp_path.h"

namespace log_test {
namespace {

const std::string kEntryStart = "\r\nSystem-Date: ";

}  // namespace

ScratchDir::ScratchDir() : ScratchDir("") {}

ScratchDir::ScratchDir(const std::string& parent)
    : path_(testing_files::MakeTempDir("kestrumel-log-", parent)) {
  if (path_.empty()) std::abort();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(testing_files::PathOf(path_), ignored);
}

std::string FastScratchParent() {
  std::error_code ignored;
  return std::filesystem::is_directory("/dev/shm", ignored) ? "/dev/shm" : "";
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(testing_files::PathOf(path), ignored);
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(testing_files::PathOf(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWhole(const std::string& path, const std::string& bytes) {
  std::ofstream(testing_files::PathOf(path), std::ios::binary) << bytes;
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

}  // namespace log_test

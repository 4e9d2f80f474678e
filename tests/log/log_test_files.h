#pragma once
// Helpers for the message log tests: a scratch directory and reading the log back as entries.
#include <string>
#include <vector>

namespace log_test {

// A fresh directory under the system's temporary directory (or under `parent` unless it is
// empty), removed with all its content.
class ScratchDir {
 public:
  ScratchDir();
  explicit ScratchDir(const std::string& parent);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A directory in memory when the system has one, else "" (the temporary directory):
// write-through costs nothing there, so that thousands of entries take a fraction of a second
// whatever the disk's load.
std::string FastScratchParent();

bool FileExists(const std::string& path);
std::string ReadWhole(const std::string& path);  // "" when the file is missing
void WriteWhole(const std::string& path, const std::string& bytes);

// The entries of a log text, each beginning with the empty line that opens an entry. Bytes
// before the first entry come back as an entry of their own, so that they fail any check.
std::vector<std::string> SplitEntries(const std::string& text);

// The three values of a whole FMSG entry; `whole` is false when the entry is not exactly the
// seven lines of that form (with any valid date and time).
struct ParsedEntry {
  bool whole = false;
  std::string message;
  std::string funcName;
  std::string errorCode;
};
ParsedEntry ParseEntry(const std::string& entry);
std::vector<std::string> MessagesOf(const std::string& path);  // "<broken>" for a broken entry

}  // namespace log_test

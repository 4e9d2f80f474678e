#include "log/message_log.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>

#include "log/entry_text.h"
#include "log/log_file.h"
#include "platform/local_time.h"

namespace {

using message_log::FileIdentity;
using message_log::LockedLogFile;
using message_log::WaitDeadline;

constexpr const char* kDefaultFileName = "msg.dat";

struct LogState {
  int32_t mask = 0;
  std::string fileName = kDefaultFileName;
  std::string companionName = message_log::CompanionName(kDefaultFileName);
  LogLimits limits;
  // Entries this process wrote into `countedFile`, the file generation they went to.
  int32_t entryCount = 0;
  std::optional<FileIdentity> countedFile;
  std::vector<std::string>* captured = nullptr;  // CaptureLogEntries
  // Entries of the process, whatever file they went to: a new name leaves them as they are.
  int32_t written = 0;
  int32_t lost = 0;
};

LogState& State() {
  static LogState state;
  return state;
}

// Rotates if this process has written more than the limit into the file `file` holds locked,
// then leaves `file` open on the file that takes the entry; false to drop the entry. Without the
// lock it waits for a later entry: renaming a held file could delete a generation just rotated.
bool RotateIfDue(LogState& state, LockedLogFile& file, const WaitDeadline& deadline) {
  // Entries counted into a generation another process has rotated since: counted against the
  // new file, they would rotate it again at once and delete the older generation early.
  if (state.countedFile && !(*state.countedFile == file.Identity())) state.entryCount = 0;
  if (state.entryCount <= state.limits.entryLimit || !file.IsLocked()) return true;
  // On failure the count stays above the limit, so the next entry tries again.
  if (message_log::RotateLogFile(state.fileName, state.companionName, deadline) != 0) return false;
  state.entryCount = 0;
  state.countedFile.reset();
  return file.Open(state.fileName, deadline) == 0;
}

// Whether the entry went into the file. One deadline for all its waits, so that the entry as a
// whole holds the run no longer than the bound.
bool AppendEntry(LogState& state, const std::string& text) {
  const WaitDeadline deadline(state.limits.lockWaitSeconds);
  LockedLogFile file;
  if (file.Open(state.fileName, deadline) != 0) return false;
  if (!RotateIfDue(state, file, deadline)) return false;
  if (file.AppendWhole(text) != 0) return false;
  const FileIdentity written = file.Identity();
  if (file.Close() != 0) return false;
  ++state.entryCount;
  state.countedFile = written;
  return true;
}

}  // namespace

void SetLogFile(int32_t mask, const char* fileName, const LogLimits& limits) noexcept {
  LogState& state = State();
  try {
    std::string name = fileName != nullptr ? fileName : kDefaultFileName;
    state.companionName = message_log::CompanionName(name);
    state.fileName = std::move(name);
  } catch (...) {
    // Out of memory: the previous names stay in force, still a consistent pair.
  }
  state.mask = mask;
  state.limits = limits;
  state.entryCount = 0;
  state.countedFile.reset();
}

// A run's last words come from a thread of their own while its main thread may be stuck, rarely
// in an entry: that gets a moment to finish, then the last words go in, the process ending.
void WriteLogEntry(const LogEntry& entry) noexcept {
  static std::timed_mutex entryMutex;
  std::unique_lock<std::timed_mutex> lock(entryMutex, std::chrono::seconds(2));
  LogState& state = State();
  if ((entry.kind & state.mask) == 0) return;
  bool written = false;
  try {
    std::string text = message_log::FormatEntryText(entry, state.mask, platform::LocalTime(std::time(nullptr)));
    if (state.captured != nullptr) {
      state.captured->push_back(std::move(text));
      written = true;
    } else {
      written = AppendEntry(state, text);
    }
  } catch (...) {
    // Out of memory: the entry is lost like any other failed entry.
  }
  ++(written ? state.written : state.lost);
}

void CaptureLogEntries(std::vector<std::string>* entries) noexcept { State().captured = entries; }

int32_t LogEntriesWritten() noexcept { return State().written; }

int32_t LogEntriesLost() noexcept { return State().lost; }

int32_t LogEntriesTowardsRotation() noexcept { return State().entryCount; }

#include "log/message_log.h"

#include <chrono>
#include <ctime>
#include <mutex>
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
  bool hasCountedFile = false;
  FileIdentity countedFile;
  std::vector<std::string>* captured = nullptr;  // CaptureLogEntries
};

// Not part of LogState: a new log file name does not make the process's entries unwritten.
struct EntryTally {
  int32_t written = 0;
  int32_t lost = 0;
};

EntryTally& Tally() {
  static EntryTally tally;
  return tally;
}

LogState& State() {
  static LogState state;
  return state;
}

std::tm LocalTimeNow() { return platform::LocalTime(std::time(nullptr)); }

// When another process has rotated the file (or someone replaced it), the entries counted so
// far went to a generation that is already rotated; counting them against the new file would
// rotate it again at once and delete the older generation after only a few entries.
void ForgetEntriesOfOtherGeneration(LogState& state, const FileIdentity& current) {
  if (state.hasCountedFile && !(state.countedFile == current)) state.entryCount = 0;
}

// Rotates if this process has written more than the limit into the file that `file` holds
// locked, then leaves `file` open on the file that takes the entry. Without the lock the
// rotation waits for a later entry that gets it: renaming a file that another writer holds
// could delete a generation it has just rotated. Returns false when the entry is to be dropped.
bool RotateIfDue(LogState& state, LockedLogFile& file, const WaitDeadline& deadline) {
  ForgetEntriesOfOtherGeneration(state, file.Identity());
  if (state.entryCount <= state.limits.entryLimit || !file.IsLocked()) return true;
  // On failure the count stays above the limit, so the next entry tries again.
  if (message_log::RotateLogFile(state.fileName, state.companionName, deadline) != 0) return false;
  state.entryCount = 0;
  state.hasCountedFile = false;
  return file.Open(state.fileName, deadline) == 0;
}

// One deadline for all of the entry's waits, so that the entry as a whole holds the run no
// longer than the bound.
// Returns whether the entry is in the file.
bool AppendEntry(LogState& state, const std::string& text) {
  const WaitDeadline deadline(state.limits.lockWaitSeconds);
  LockedLogFile file;
  if (file.Open(state.fileName, deadline) != 0) return false;
  if (!RotateIfDue(state, file, deadline)) return false;
  if (file.AppendWhole(text) != 0) return false;
  const FileIdentity written = file.Identity();
  if (file.Close() != 0) return false;
  ++state.entryCount;
  state.hasCountedFile = true;
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
  state.hasCountedFile = false;
}

// A run's last words come from a thread of their own while its main thread may be stuck in a
// driver call, or, rarely, in an entry: that entry gets a moment to finish, then the last
// words go in regardless, since the process ends right after them.
std::timed_mutex& EntryMutex() {
  static std::timed_mutex mutex;
  return mutex;
}

void WriteLogEntry(const LogEntry& entry) noexcept {
  std::unique_lock<std::timed_mutex> lock(EntryMutex(), std::chrono::seconds(2));
  LogState& state = State();
  if ((entry.kind & state.mask) == 0) return;
  bool written = false;
  try {
    std::string text = message_log::FormatEntryText(entry, state.mask, LocalTimeNow());
    if (state.captured != nullptr) {
      state.captured->push_back(std::move(text));
      written = true;
    } else {
      written = AppendEntry(state, text);
    }
  } catch (...) {
    // Out of memory: the entry is lost like any other failed entry.
  }
  ++(written ? Tally().written : Tally().lost);
}

void CaptureLogEntries(std::vector<std::string>* entries) noexcept { State().captured = entries; }

int32_t LogEntriesWritten() noexcept { return Tally().written; }

int32_t LogEntriesLost() noexcept { return Tally().lost; }

int32_t LogEntriesTowardsRotation() noexcept { return State().entryCount; }

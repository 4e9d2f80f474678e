#pragma once
// The message log: German error entries appended to a shared text file, with rotation.
#include <cstdint>
#include <string>
#include <vector>

enum LogKind : int32_t {
  DMSG = 1,
  SMSG = 2,
  FMSG = 4,
  WMSG = 8,
  CMSG = 16,
};

struct LogEntry {
  const char* funcName;
  const char* message;
  int32_t kind;
  int32_t errorCode;
  const unsigned char* dumpData;
  int32_t dumpLength;
};

// A process that has written more entries than this since it started or last rotated the file
// renames the file to its companion name before its next entry.
constexpr int32_t kLogEntryLimit = 3000;

// What rotation and the wait for another writer are bound by.
struct LogLimits {
  int32_t entryLimit = kLogEntryLimit;
  double lockWaitSeconds = 30.0;
};

// Sets the enable mask, the file name, taken whole (nullptr: the default "msg.dat"), and the
// limits; the process counts its entries towards the next rotation from 0.
void SetLogFile(int32_t mask, const char* fileName, const LogLimits& limits = {}) noexcept;
// Appends one entry if its kind shares a bit with the mask; the caller learns nothing of the
// outcome. Null texts are written as empty ones. Another writer's hold delays it at most the
// lock wait (not at all after a stop), then it goes in without the lock.
void WriteLogEntry(const LogEntry& entry) noexcept;

// While `entries` is set (not nullptr), each entry goes to it as the file would hold it, counted
// as written, instead of to the file: for a rehearsal, whose entries are no run's.
void CaptureLogEntries(std::vector<std::string>* entries) noexcept;

// Entries of an enabled kind this process has written since it started, and those it could
// not write (no file, a lock or write that failed, no memory): what the run's report counts.
int32_t LogEntriesWritten() noexcept;
int32_t LogEntriesLost() noexcept;
// Entries this process wrote into the log's current generation; past the limit the next rotates.
int32_t LogEntriesTowardsRotation() noexcept;

// The usual entry of this program: kind FMSG with a function name, message and status.
inline void LogError(const char* funcName, const char* message, int32_t errorCode) noexcept {
  WriteLogEntry(LogEntry{funcName, message, FMSG, errorCode, nullptr, 0});
}

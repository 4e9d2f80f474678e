#pragma once
// The log file on disk. Writers in several processes take turns through an exclusive advisory
// lock, waiting in steps of 333 ms only until a deadline: the run may hold its database's write
// lock meanwhile, and a stop must not wait for another process. Every write goes through to
// disk, and the file is never kept open between entries.
#include <cstdint>
#include <string>

#include "platform/log_file.h"

namespace message_log {

// When a writer stops waiting for another process: at a monotonic moment, or at once after a stop.
class WaitDeadline {
 public:
  explicit WaitDeadline(double seconds);
  bool Passed() const;
  // One step of waiting, never past the deadline.
  void Pause() const;

 private:
  int64_t atNanos_;
};

using platform::FileIdentity;

// The log file, open for appending, locked against other writers unless the deadline came first.
class LockedLogFile {
 public:
  LockedLogFile() = default;
  ~LockedLogFile();
  LockedLogFile(const LockedLogFile&) = delete;
  LockedLogFile& operator=(const LockedLogFile&) = delete;

  // Opens the file now named `path` (created with mode 0644 if missing, the directory never)
  // and locks it, waiting while another writer holds it until `deadline`; after that the file
  // stays open without the lock. A file renamed away while this one waited is given up for the
  // file that then carries the name. Returns 0 or an errno value.
  int Open(const std::string& path, const WaitDeadline& deadline);
  FileIdentity Identity() const { return identity_; }
  bool IsLocked() const { return locked_; }
  // Appends all of `bytes`, through to disk. Locked, a failure cuts the file back to its length
  // before, so that no partial entry stays behind. Unlocked, the bytes go in one write, which
  // no other writer's entry can split; a write cut short stays, since another writer may
  // already have appended behind it. Returns 0 or an errno value.
  int AppendWhole(const std::string& bytes);
  // Closes and unlocks. Returns 0 or an errno value.
  int Close();

 private:
  int OpenAndLock(const std::string& path, const WaitDeadline& deadline);
  // Whether `path` still leads to the open file (not when it leads nowhere). 0 or errno.
  int IsStillNamed(const std::string& path, bool& stillNamed) const;
  int AppendRest(const std::string& bytes, size_t written, uint64_t start);

  platform::AppendOnlyFile file_;
  bool locked_ = false;
  FileIdentity identity_;
};

// Holding the lock of the log `path`: deletes `companion` (a failure other than "in use" is no
// obstacle) and renames the log to it, waiting while in use until `deadline`. 0 or the rename's errno.
int RotateLogFile(const std::string& path, const std::string& companion, const WaitDeadline& deadline);

}  // namespace message_log

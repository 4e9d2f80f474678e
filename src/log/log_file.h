#pragma once
// The log file on disk. Writers in several processes take turns through an exclusive advisory
// lock on the file; a writer that finds it held waits in steps of 333 ms. Every write goes
// through to disk, and the file is never kept open between entries.
#include <string>
#include <sys/types.h>

namespace message_log {

// Which file a name led to; a rotation gives the name a new file.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The log file, opened for appending and locked against other writers; closing unlocks it.
class LockedLogFile {
 public:
  LockedLogFile() = default;
  ~LockedLogFile();
  LockedLogFile(const LockedLogFile&) = delete;
  LockedLogFile& operator=(const LockedLogFile&) = delete;

  // Opens the file now named `path` (created with mode 0644 if missing, the directory never)
  // and locks it, waiting while another writer holds it. A file renamed away while this one
  // waited is given up for the file that then carries the name. Returns 0 or an errno value.
  int Open(const std::string& path);
  FileIdentity Identity() const { return identity_; }
  // Appends all of `bytes`, through to disk. On failure the file is cut back to its length
  // before, so that no partial entry stays behind. Returns 0 or an errno value.
  int AppendWhole(const std::string& bytes);
  // Closes and unlocks. Returns 0 or an errno value.
  int Close();

 private:
  int OpenAndLock(const std::string& path);
  // Whether `path` still leads to the locked file (not when it leads nowhere). 0 or errno.
  int IsStillNamed(const std::string& path, bool& stillNamed) const;

  int fd_ = -1;
  FileIdentity identity_;
};

// To be called while holding the lock of the log file `path`: deletes `companion` (its absence
// or any failure other than "in use" is no obstacle) and renames the log file to it.
// Returns 0 or the errno value of the rename.
int RotateLogFile(const std::string& path, const std::string& companion);

}  // namespace message_log

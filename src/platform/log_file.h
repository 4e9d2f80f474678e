#pragma once
// The system's side of the shared log file: a file opened to append data only, each write
// through to disk, with an exclusive lock that writers in several processes take in turn, and
// the renaming and deleting that rotation needs while another process may hold the file open.
// Errors are errno values; a half for a system with other error codes maps them onto these.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Which file a name led to; a rotation gives the name a new file.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

// Whether `error` means "in use by another process", so that trying again after a pause may
// succeed. Errors that waiting never cures (no permission) are not among them.
bool IsHeldByAnother(int error);

// One open log file. Data goes only ever to the end of the file, whatever other writers
// appended in between, and is on disk when a write returns. Closing releases the lock.
class AppendOnlyFile {
 public:
  AppendOnlyFile() = default;
  ~AppendOnlyFile();
  AppendOnlyFile(const AppendOnlyFile&) = delete;
  AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

  // Opens `path`, creating it if missing (readable by all, writable by its owner), never its
  // directory. Others may still open, rename and delete it. Returns 0 or an errno value.
  int Open(const std::string& path);
  // Takes the exclusive lock on the file without waiting: 0, an error for which
  // IsHeldByAnother holds while another process has it, or another errno value.
  int TryLock();
  int Identity(FileIdentity& identity) const;
  // One write at the end of the file; `written` may come back short of `size`. Returns 0 or an
  // errno value.
  int Write(const char* data, size_t size, size_t& written);
  // The offset just past the bytes of the last Write, where later writers' data begins.
  int EndOfLastWrite(uint64_t& offset) const;
  // Cuts the file back to `length` and syncs it, as well as that goes: used on the way out of
  // a failed write.
  void CutBackTo(uint64_t length);
  // Closes and unlocks. Returns 0 or an errno value.
  int Close();

 private:
  // The system's own handle on the file (a POSIX descriptor; a Windows HANDLE fits as well),
  // -1 while closed.
  intptr_t native_ = -1;
};

// The identity of the file `path` now leads to: 0, ENOENT when it leads nowhere, or another
// errno value.
int IdentityOfName(const std::string& path, FileIdentity& identity);
// Deletes `path`, also while another process holds it open. Returns 0 or an errno value.
int DeleteFileNamed(const std::string& path);
// Gives the file `from` the name `to`, replacing a file of that name, also while another
// process holds it open. Returns 0 or an errno value.
int RenameFile(const std::string& from, const std::string& to);

}  // namespace platform

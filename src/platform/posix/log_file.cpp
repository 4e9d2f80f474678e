#include "platform/log_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

FileIdentity IdentityOf(const struct stat& status) {
  return FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

// Runs `call` (0 on success, -1 with errno) again when a signal interrupted it. Returns 0 or
// the errno value.
template <typename Call>
int UnlessInterrupted(Call call) {
  for (;;) {
    if (call() == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

int Fd(intptr_t native) { return static_cast<int>(native); }

}  // namespace

bool IsHeldByAnother(int error) { return error == EBUSY || error == ETXTBSY || error == EWOULDBLOCK; }

AppendOnlyFile::~AppendOnlyFile() { Close(); }

int AppendOnlyFile::Open(const std::string& path) {
  Close();
  // O_APPEND puts every write at the end, O_SYNC through to disk.
  return UnlessInterrupted([&] {
    native_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_SYNC | O_CLOEXEC | O_NOCTTY, 0644);
    return native_ < 0 ? -1 : 0;
  });
}

int AppendOnlyFile::TryLock() {
  return UnlessInterrupted([&] { return ::flock(Fd(native_), LOCK_EX | LOCK_NB); });
}

int AppendOnlyFile::Identity(FileIdentity& identity) const {
  struct stat opened {};
  if (::fstat(Fd(native_), &opened) != 0) return errno;
  identity = IdentityOf(opened);
  return 0;
}

int AppendOnlyFile::Write(const char* data, size_t size, size_t& written) {
  ssize_t count = 0;
  do {  // again only when a signal came before it wrote anything
    count = ::write(Fd(native_), data, size);
  } while (count < 0 && errno == EINTR);
  written = count > 0 ? static_cast<size_t>(count) : 0;
  return count < 0 ? errno : 0;
}

int AppendOnlyFile::EndOfLastWrite(uint64_t& offset) const {
  // With O_APPEND the position is just past this process's last write, not the file's end.
  const off_t end = ::lseek(Fd(native_), 0, SEEK_CUR);
  if (end < 0) return errno;
  offset = static_cast<uint64_t>(end);
  return 0;
}

void AppendOnlyFile::CutBackTo(uint64_t length) {
  if (::ftruncate(Fd(native_), static_cast<off_t>(length)) == 0) ::fsync(Fd(native_));
}

int AppendOnlyFile::Close() {
  if (native_ < 0) return 0;
  const int result = ::close(Fd(native_));
  native_ = -1;
  // After EINTR the descriptor is closed all the same, and the data is already on disk.
  return result == 0 || errno == EINTR ? 0 : errno;
}

int IdentityOfName(const std::string& path, FileIdentity& identity) {
  struct stat named {};
  if (::stat(path.c_str(), &named) != 0) return errno;
  identity = IdentityOf(named);
  return 0;
}

int DeleteFileNamed(const std::string& path) {
  return UnlessInterrupted([&] { return ::unlink(path.c_str()); });
}

int RenameFile(const std::string& from, const std::string& to) {
  return UnlessInterrupted([&] { return std::rename(from.c_str(), to.c_str()); });
}

}  // namespace platform

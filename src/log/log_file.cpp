#include "log/log_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace message_log {
namespace {

// The errors that mean "in use by another process": the operation is tried again after a
// pause, for as long as that lasts. Permission errors are not among them, since on this
// platform they never go away by waiting and would stall the run for good.
bool IsHeldByAnother(int error) { return error == EBUSY || error == ETXTBSY || error == EWOULDBLOCK; }

void WaitForOtherWriter() { std::this_thread::sleep_for(std::chrono::milliseconds(333)); }

// Runs `operation` (0 on success, -1 with errno on failure) until it succeeds or fails with an
// error other than "in use". Returns 0 or that errno value.
template <typename Operation>
int RetryWhileHeld(Operation operation) {
  for (;;) {
    if (operation() == 0) return 0;
    const int error = errno;
    if (error == EINTR) continue;
    if (!IsHeldByAnother(error)) return error;
    WaitForOtherWriter();
  }
}

FileIdentity IdentityOf(const struct stat& status) { return FileIdentity{status.st_dev, status.st_ino}; }

}  // namespace

LockedLogFile::~LockedLogFile() { Close(); }

int LockedLogFile::Open(const std::string& path) {
  Close();
  for (;;) {
    bool stillNamed = false;
    int error = OpenAndLock(path);
    if (error == 0) error = IsStillNamed(path, stillNamed);
    if (error != 0) {
      Close();
      return error;
    }
    if (stillNamed) return 0;
    Close();  // rotated away while we waited: take the file that now carries the name
  }
}

int LockedLogFile::OpenAndLock(const std::string& path) {
  int error = RetryWhileHeld([&] {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_SYNC | O_CLOEXEC | O_NOCTTY, 0644);
    return fd_ < 0 ? -1 : 0;
  });
  if (error == 0) error = RetryWhileHeld([&] { return ::flock(fd_, LOCK_EX | LOCK_NB); });
  struct stat locked {};
  if (error == 0 && ::fstat(fd_, &locked) != 0) error = errno;
  if (error == 0) identity_ = IdentityOf(locked);
  return error;
}

int LockedLogFile::IsStillNamed(const std::string& path, bool& stillNamed) const {
  struct stat named {};
  if (::stat(path.c_str(), &named) == 0) {
    stillNamed = IdentityOf(named) == identity_;
    return 0;
  }
  stillNamed = false;
  return errno == ENOENT ? 0 : errno;
}

int LockedLogFile::AppendWhole(const std::string& bytes) {
  const off_t start = ::lseek(fd_, 0, SEEK_END);
  if (start < 0) return errno;
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::write(fd_, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      const int error = count < 0 ? errno : EIO;
      if (::ftruncate(fd_, start) == 0) ::fsync(fd_);
      return error;
    }
    written += static_cast<size_t>(count);
  }
  return 0;
}

int LockedLogFile::Close() {
  if (fd_ < 0) return 0;
  const int result = ::close(fd_);
  fd_ = -1;
  // After EINTR the descriptor is closed all the same, and the data is already on disk.
  return result == 0 || errno == EINTR ? 0 : errno;
}

int RotateLogFile(const std::string& path, const std::string& companion) {
  // A companion name equal to the log name would make the deletion remove the log itself.
  if (companion != path) RetryWhileHeld([&] { return ::unlink(companion.c_str()); });
  return RetryWhileHeld([&] { return ::rename(path.c_str(), companion.c_str()); });
}

}  // namespace message_log

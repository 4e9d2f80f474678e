#include "log/log_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "common/stop_request.h"

namespace message_log {
namespace {

constexpr int64_t kWaitStepNanos = 333000000;

// The errors that mean "in use by another process": the operation is tried again after a
// pause, until the deadline. Permission errors are not among them, since on this platform they
// never go away by waiting.
bool IsHeldByAnother(int error) { return error == EBUSY || error == ETXTBSY || error == EWOULDBLOCK; }

// Runs `operation` (0 on success, -1 with errno on failure) until it succeeds, fails with an
// error other than "in use", or the deadline has passed. Returns 0 or the last errno value.
template <typename Operation>
int RetryWhileHeld(Operation operation, const WaitDeadline& deadline) {
  for (;;) {
    if (operation() == 0) return 0;
    const int error = errno;
    if (error == EINTR) continue;
    if (!IsHeldByAnother(error) || deadline.Passed()) return error;
    deadline.Pause();
  }
}

// One write() call, again only when a signal came before it wrote anything.
ssize_t WriteOnce(int fd, const char* data, size_t size) {
  ssize_t count = 0;
  do {
    count = ::write(fd, data, size);
  } while (count < 0 && errno == EINTR);
  return count;
}

FileIdentity IdentityOf(const struct stat& status) { return FileIdentity{status.st_dev, status.st_ino}; }

}  // namespace

WaitDeadline::WaitDeadline(double seconds)
    : atNanos_(stop_request::MonotonicNanos() + static_cast<int64_t>(seconds * 1e9)) {}

bool WaitDeadline::Passed() const {
  return stop_request::SecondsSince() >= 0.0 || stop_request::MonotonicNanos() >= atNanos_;
}

void WaitDeadline::Pause() const {
  const int64_t left = atNanos_ - stop_request::MonotonicNanos();
  std::this_thread::sleep_for(std::chrono::nanoseconds(std::clamp<int64_t>(left, 0, kWaitStepNanos)));
}

LockedLogFile::~LockedLogFile() { Close(); }

int LockedLogFile::Open(const std::string& path, const WaitDeadline& deadline) {
  Close();
  for (;;) {
    bool stillNamed = false;
    int error = OpenAndLock(path, deadline);
    if (error == 0) error = IsStillNamed(path, stillNamed);
    if (error != 0) {
      Close();
      return error;
    }
    if (stillNamed) return 0;
    Close();  // rotated away while we waited: take the file that now carries the name
  }
}

int LockedLogFile::OpenAndLock(const std::string& path, const WaitDeadline& deadline) {
  int error = RetryWhileHeld(
      [&] {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_SYNC | O_CLOEXEC | O_NOCTTY, 0644);
        return fd_ < 0 ? -1 : 0;
      },
      deadline);
  if (error == 0) {
    error = RetryWhileHeld([&] { return ::flock(fd_, LOCK_EX | LOCK_NB); }, deadline);
    locked_ = error == 0;
    if (error == EWOULDBLOCK) error = 0;  // still held at the deadline: append without the lock
  }
  struct stat opened {};
  if (error == 0 && ::fstat(fd_, &opened) != 0) error = errno;
  if (error == 0) identity_ = IdentityOf(opened);
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
  const ssize_t count = WriteOnce(fd_, bytes.data(), bytes.size());
  if (count < 0) return errno;
  const size_t written = static_cast<size_t>(count);
  if (written == bytes.size()) return 0;
  if (!locked_) return EIO;
  // O_APPEND put this part at the end, behind whatever an unlocked writer appended before it.
  const off_t end = ::lseek(fd_, 0, SEEK_CUR);
  if (end < 0) return errno;
  return AppendRest(bytes, written, end - count);
}

int LockedLogFile::AppendRest(const std::string& bytes, size_t written, off_t start) {
  while (written < bytes.size()) {
    const ssize_t count = WriteOnce(fd_, bytes.data() + written, bytes.size() - written);
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
  locked_ = false;
  // After EINTR the descriptor is closed all the same, and the data is already on disk.
  return result == 0 || errno == EINTR ? 0 : errno;
}

int RotateLogFile(const std::string& path, const std::string& companion, const WaitDeadline& deadline) {
  // A companion name equal to the log name would make the deletion remove the log itself.
  if (companion != path) RetryWhileHeld([&] { return ::unlink(companion.c_str()); }, deadline);
  return RetryWhileHeld([&] { return ::rename(path.c_str(), companion.c_str()); }, deadline);
}

}  // namespace message_log

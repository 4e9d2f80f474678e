#include "log/log_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "common/stop_request.h"

namespace message_log {
namespace {

constexpr int64_t kWaitStepNanos = 333000000;

// Runs `operation` until it gives 0, an errno other than "in use", or the deadline; its last result.
template <typename Operation>
int RetryWhileHeld(Operation operation, const WaitDeadline& deadline) {
  for (;;) {
    const int error = operation();
    if (error == 0) return 0;
    if (!platform::IsHeldByAnother(error) || deadline.Passed()) return error;
    deadline.Pause();
  }
}

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
  int error = RetryWhileHeld([&] { return file_.Open(path); }, deadline);
  if (error == 0) {
    error = RetryWhileHeld([&] { return file_.TryLock(); }, deadline);
    locked_ = error == 0;
    if (platform::IsHeldByAnother(error)) error = 0;  // still held at the deadline: append without the lock
  }
  if (error == 0) error = file_.Identity(identity_);
  return error;
}

int LockedLogFile::IsStillNamed(const std::string& path, bool& stillNamed) const {
  FileIdentity named;
  const int error = platform::IdentityOfName(path, named);
  stillNamed = error == 0 && named == identity_;
  return error == ENOENT ? 0 : error;
}

int LockedLogFile::AppendWhole(const std::string& bytes) {
  size_t written = 0;
  if (int error = file_.Write(bytes.data(), bytes.size(), written); error != 0) return error;
  if (written == bytes.size()) return 0;
  if (!locked_) return EIO;
  // The part went to the end, behind whatever an unlocked writer appended before it.
  uint64_t end = 0;
  if (int error = file_.EndOfLastWrite(end); error != 0) return error;
  return AppendRest(bytes, written, end - written);
}

int LockedLogFile::AppendRest(const std::string& bytes, size_t written, uint64_t start) {
  while (written < bytes.size()) {
    size_t count = 0;
    int error = file_.Write(bytes.data() + written, bytes.size() - written, count);
    if (error != 0 || count == 0) {
      file_.CutBackTo(start);
      return error != 0 ? error : EIO;
    }
    written += count;
  }
  return 0;
}

int LockedLogFile::Close() {
  locked_ = false;
  return file_.Close();
}

int RotateLogFile(const std::string& path, const std::string& companion, const WaitDeadline& deadline) {
  // A companion name equal to the log name would make the deletion remove the log itself.
  if (companion != path) RetryWhileHeld([&] { return platform::DeleteFileNamed(companion); }, deadline);
  return RetryWhileHeld([&] { return platform::RenameFile(path, companion); }, deadline);
}

}  // namespace message_log

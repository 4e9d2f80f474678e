#include "platform/owner_only_file.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

constexpr mode_t kOwnerOnly = 0600;

// Owns a descriptor until it is closed explicitly, where the close result matters.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int Close() {
    int result = close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::string& content) {
  size_t written = 0;
  while (written < content.size()) {
    ssize_t count = write(fd, content.data() + written, content.size() - written);
    if (count < 0 && errno != EINTR) {
      return false;
    }
    written += count > 0 ? static_cast<size_t>(count) : 0;
  }
  return true;
}

}  // namespace

int ReplaceWithOwnerOnlyFile(const std::string& path, const std::string& content) {
  std::string pattern = path + ".XXXXXX";
  std::vector<char> tempName(pattern.begin(), pattern.end());
  tempName.push_back('\0');
  Descriptor file(mkstemp(tempName.data()));
  if (file.Get() < 0) {
    return errno;
  }
  // Durable before it becomes visible under the real name.
  bool done = fchmod(file.Get(), kOwnerOnly) == 0 && WriteAll(file.Get(), content) &&
              fsync(file.Get()) == 0 && file.Close() == 0 && std::rename(tempName.data(), path.c_str()) == 0;
  if (!done) {
    int error = errno;
    unlink(tempName.data());
    return error;
  }
  return 0;
}

}  // namespace platform

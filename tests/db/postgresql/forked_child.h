#pragma once
// Forked children for the PostgreSQL tests that need a second process on the same server, with
// pipes between the two; the backend, and so these tests, exist on POSIX systems only. A child
// never returns into the test framework: it ends with _exit and the value of its body. Fork
// only while this process has no runtime connection: a handle must not cross a fork.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

class ChildProcess {
 public:
  template <class Body>
  explicit ChildProcess(Body body) {
    if (pipe(ready_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready_[0]);
      _exit(body(*this));
    }
    close(ready_[1]);
  }
  ~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      Wait();
    }
    close(ready_[0]);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  // In the child: tells the parent that it has reached its point.
  void SignalReady() const {
    char byte = 1;
    (void)!write(ready_[1], &byte, 1);
  }
  // In the parent: waits (at most `seconds`) for SignalReady.
  bool WaitReady(int seconds) const {
    pollfd fd{ready_[0], POLLIN, 0};
    char byte = 0;
    return poll(&fd, 1, seconds * 1000) == 1 && read(ready_[0], &byte, 1) == 1;
  }
  void Kill() const { kill(pid_, SIGKILL); }
  // The exit code, or 128 + the signal that ended the child.
  int Wait() {
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return -1;
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  int ready_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool reaped_ = false;
};

#include "run/stop_signal.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t caughtSignal = 0;

void NoteStopSignal(int signal) {
  if (caughtSignal == 0) caughtSignal = signal;
}

}  // namespace

void WatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

int StopSignal() { return caughtSignal; }

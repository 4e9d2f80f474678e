#include "run/stop_signal.h"

#include <csignal>

#include "common/stop_request.h"

namespace {

void NoteStopSignal(int signal) { stop_request::Note(signal); }

}  // namespace

void WatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

int StopSignal() { return stop_request::Signal(); }

#include "platform/stop_request_source.h"

#include <csignal>

#include "common/stop_request.h"

namespace platform {
namespace {

void NoteStopSignal(int signal) { stop_request::Note(signal); }

}  // namespace

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a write to the log or the database is not cut short
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace platform

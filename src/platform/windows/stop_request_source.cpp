#include "platform/stop_request_source.h"

#include <csignal>

#include "common/stop_request.h"
#include "platform/windows/win32.h"

namespace platform {
namespace {

// Windows ends the process as soon as the handler returns from a close, logoff or shutdown.
// Held back as long as the wind-down may take, the run's end comes from main, which ends the
// process and this wait with it; the system's own limit (some five seconds) may come sooner.
constexpr DWORD kWindDownMillis = static_cast<DWORD>(stop_request::kCloseAfterSeconds * 1000);

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI NoteStopEvent(DWORD event) {
  stop_request::Note(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(kWindDownMillis);
  return TRUE;
}

}  // namespace

void CatchStopRequests() { SetConsoleCtrlHandler(NoteStopEvent, TRUE); }

}  // namespace platform

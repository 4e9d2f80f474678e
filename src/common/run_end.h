#pragma once
// The end of a run that cannot wait for its own thread: a driver call that neither answers nor
// returns after a cancel holds that thread, so another thread (a watcher) says the run's last
// words (its entry and its report) and ends the process, leaving the server to roll back the
// request at hand, as it does for a killed run. The run sets the words; a watcher ends with
// them.
#include <atomic>
#include <cstdlib>

namespace run_end {

// Called with the status that ends the run (a signal number, or the status of a lost
// connection) and whether a stop ended it.
using LastWords = void (*)(int status, bool stopped);

inline std::atomic<LastWords> lastWords{nullptr};

[[noreturn]] inline void Now(int status, bool stopped) {
  if (LastWords words = lastWords.exchange(nullptr)) words(status, stopped);
  std::_Exit(0);
}

}  // namespace run_end

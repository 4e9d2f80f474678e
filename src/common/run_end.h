#pragma once
// The end of a run whose thread a driver call holds (neither answering nor returning after a
// cancel): a watcher thread says the run's last words (its entry and report) and ends the
// process, leaving the server to roll back the request at hand, as for a killed run.
#include <atomic>
#include <cstdlib>

namespace run_end {

// Called with the status that ends the run (a signal, a lost connection's) and whether a stop did.
using LastWords = void (*)(int status, bool stopped);

inline std::atomic<LastWords> lastWords{nullptr};

[[noreturn]] inline void Now(int status, bool stopped) {
  if (LastWords words = lastWords.exchange(nullptr)) words(status, stopped);
  std::_Exit(0);
}

}  // namespace run_end

#pragma once
// A stop asked for from outside (SIGTERM, SIGINT): the first signal and its moment on the
// monotonic clock, noted safely in a signal handler; every wait asks how long ago it was.
#include <atomic>
#include <chrono>
#include <cstdint>

namespace stop_request {

inline std::atomic<int> firstSignal{0};
inline std::atomic<int64_t> notedAtNanos{0};

// The steady clock is the monotonic one (CLOCK_MONOTONIC), which a signal handler may read.
inline int64_t MonotonicNanos() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

// Async-signal-safe: the first signal wins, later ones change nothing.
inline void Note(int signal) {
  int none = 0;
  if (firstSignal.load() != 0) return;
  notedAtNanos.store(MonotonicNanos());
  firstSignal.compare_exchange_strong(none, signal);
}

// The first stop signal, or 0.
inline int Signal() { return firstSignal.load(); }

// Seconds since the stop was asked for, or a negative value when it was not.
inline double SecondsSince() {
  if (firstSignal.load() == 0) return -1.0;
  return static_cast<double>(MonotonicNanos() - notedAtNanos.load()) / 1e9;
}

// A wait cut short by a stop: how long after the signal a running statement is cancelled, and
// how long after that a connection that takes no cancel is closed.
constexpr double kCancelAfterSeconds = 5.0;
constexpr double kCloseAfterSeconds = 10.0;

}  // namespace stop_request

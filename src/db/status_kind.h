#pragma once
// The two kinds of failure. A data error is the statement's own (its row, its values, a rule of
// the schema): the statement is undone alone and the work goes on. A fault is the database's or
// the machine's, or unclassified: no work that met one may become permanent.
#include <cstddef>

#include "db/status.h"

namespace db::status {

namespace detail {

// Every status a statement's own data can cause. Whatever is not listed is a fault, so that a
// failure nobody thought of can never let half a request become permanent.
inline constexpr int kDataErrors[] = {
    kNoData,
    kUniqueViolated,
    kNotNullViolated,
    kCheckViolated,
    kParentKeyNotFound,
    kChildRecordFound,
    kValueTooLarge,
    kValueLargerThanPrecision,
    kInvalidNumber,
    kIntegerOverflow,
    kInvalidCharacter,
    kDateFormatUnknown,
    kYearInvalid,
    kMonthInvalid,
    kDayOfMonthInvalid,
    kHourInvalid,
    kMinuteInvalid,
    kSecondInvalid,
    kDateFormatMismatch,
    kNullIntoNoIndicator,
    kTooManyRows,
    kInvalidCursor,  // a fetch after an open that failed on its own data
    kFetchOutOfSequence,
};

// The data errors of a value read from a row.
inline constexpr int kUnreadableValues[] = {
    kInvalidNumber,     kIntegerOverflow,  kInvalidCharacter,  kValueTooLarge,
    kDateFormatUnknown, kYearInvalid,      kMonthInvalid,      kDayOfMonthInvalid,
    kHourInvalid,       kMinuteInvalid,    kSecondInvalid,     kDateFormatMismatch,
    kNullIntoNoIndicator,
};

template <size_t N>
constexpr bool IsOneOf(int status, const int (&statuses)[N]) {
  for (int listed : statuses) {
    if (status == listed) return true;
  }
  return false;
}

}  // namespace detail

// Whether a fetch failed on a value of its row (not convertible, overflowing, too long, NULL
// without indicator): the row cannot be read, the rows after it can.
inline bool IsUnreadableValue(int status) { return detail::IsOneOf(status, detail::kUnreadableValues); }

// Whether `status` is a failure of the statement's own data, an error raised by the database's
// own rules (-20000 to -20999) included.
inline bool IsDataError(int status) {
  if (status <= kTriggerRaised && status >= kTriggerRaisedLast) return true;
  return detail::IsOneOf(status, detail::kDataErrors);
}

// Whether `status` is a fault: any failure that is not a data error.
inline bool IsFault(int status) { return status != kOk && !IsDataError(status); }

// Whether the fault means the connection is gone: nothing more can be sent on it.
inline bool IsConnectionLost(int status) {
  return status == kNotConnected || status == kEndOfFileOnChannel;
}

// Whether a connect that failed with `status` may succeed when tried again after a pause: no
// server at the address, a server starting, shutting down or not (yet) a primary, a connection
// cut on the way. A refused login or an unknown database or schema never mends itself.
inline bool IsWorthReconnecting(int status) {
  constexpr int kPassing[] = {kNotConnected,           kEndOfFileOnChannel,  kNoListener,
                              kConnectTimedOut,        kStartingOrShuttingDown, kDatabaseReadOnly,
                              kServiceNotKnownToListener, kConnectionClosed, kOracleNotAvailable};
  return detail::IsOneOf(status, kPassing);
}

// Whether a request that failed with this fault may succeed when tried again later in the same
// run: a lock not obtained, a deadlock, a serialization failure.
inline bool IsWorthRetrying(int status) {
  return status == kResourceBusy || status == kDeadlock || status == kSerializationFailure;
}

}  // namespace db::status

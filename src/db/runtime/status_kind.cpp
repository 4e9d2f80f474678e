#include "db/runtime/status_kind.h"

#include <cstddef>

#include "db/runtime/status.h"

namespace db::status {
namespace {

// Every status a statement's own data can cause. Whatever is not listed is a fault, so that a
// failure nobody thought of can never let half a request become permanent.
constexpr int kDataErrors[] = {
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
constexpr int kUnreadableValues[] = {
    kInvalidNumber,     kIntegerOverflow,  kInvalidCharacter,  kValueTooLarge,
    kDateFormatUnknown, kYearInvalid,      kMonthInvalid,      kDayOfMonthInvalid,
    kHourInvalid,       kMinuteInvalid,    kSecondInvalid,     kDateFormatMismatch,
    kNullIntoNoIndicator,
};

template <size_t N>
bool IsOneOf(int status, const int (&statuses)[N]) {
  for (int listed : statuses) {
    if (status == listed) return true;
  }
  return false;
}

}  // namespace

bool IsUnreadableValue(int status) { return IsOneOf(status, kUnreadableValues); }

bool IsDataError(int status) {
  if (status <= kTriggerRaised && status >= kTriggerRaisedLast) return true;
  return IsOneOf(status, kDataErrors);
}

bool IsFault(int status) { return status != kOk && !IsDataError(status); }

bool IsConnectionLost(int status) {
  return status == kNotConnected || status == kEndOfFileOnChannel;
}

bool IsWorthReconnecting(int status) {
  constexpr int kPassing[] = {kNotConnected,           kEndOfFileOnChannel,  kNoListener,
                              kConnectTimedOut,        kStartingOrShuttingDown, kDatabaseReadOnly,
                              kServiceNotKnownToListener, kConnectionClosed, kOracleNotAvailable};
  return IsOneOf(status, kPassing);
}

bool IsWorthRetrying(int status) {
  return status == kResourceBusy || status == kDeadlock || status == kSerializationFailure;
}

}  // namespace db::status

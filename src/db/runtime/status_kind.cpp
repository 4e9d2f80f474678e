#include "db/runtime/status_kind.h"

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

}  // namespace

bool IsDataError(int status) {
  if (status <= kTriggerRaised && status >= kTriggerRaisedLast) return true;
  for (int data : kDataErrors) {
    if (status == data) return true;
  }
  return false;
}

bool IsFault(int status) { return status != kOk && !IsDataError(status); }

bool IsConnectionLost(int status) {
  return status == kNotConnected || status == kEndOfFileOnChannel;
}

bool IsWorthRetrying(int status) {
  return status == kResourceBusy || status == kDeadlock || status == kSerializationFailure;
}

}  // namespace db::status

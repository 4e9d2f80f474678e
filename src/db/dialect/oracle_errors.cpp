#include "db/dialect/oracle_errors.h"

#include "db/status.h"

namespace db::dialect {
namespace {

constexpr int32_t kOraNoDataFound = 1403;

}  // namespace

int StatusFromOraNumber(int32_t oraNumber) {
  if (oraNumber == kOraNoDataFound) return status::kNoData;
  if (oraNumber > 0) return -oraNumber;
  return status::kOk;
}

}  // namespace db::dialect

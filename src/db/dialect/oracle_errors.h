#pragma once
// The statuses of status.h are Oracle's own error numbers, so a failure that Oracle reports
// by its ORA number needs no table: the number, negated, is the status.
#include <cstdint>

namespace db::dialect {

// `oraNumber` the ORA number of a failed statement (0 or less for none). Returns its status:
// 1403 ("no data found") as the non-error 1403, any other as its negative; 0 for none.
int StatusFromOraNumber(int32_t oraNumber);

}  // namespace db::dialect

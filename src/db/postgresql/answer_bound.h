#pragma once
// The answer bound's parameter of a PostgreSQL net service (a URI), taken out before libpq
// sees the text:
//   postgresql://h1,h2/plan?target_session_attrs=read-write&kestrumel_answer_timeout=300
#include <string>

#include "db/runtime/answer_bound.h"

namespace db::postgresql {

// Copies `netService` into `rest` without the parameter and sets `seconds` from it (the
// default when it is absent). False when its value is no whole number of seconds from 15 (a
// row lock is waited for 10 s without a word from the server) to 86400, or when it is given
// twice.
bool TakeAnswerBound(const std::string& netService, std::string& rest, int& seconds);

}  // namespace db::postgresql

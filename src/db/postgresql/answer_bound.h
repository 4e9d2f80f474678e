#pragma once
// How long the program waits for an answer from the server before it takes the connection for
// lost. A frozen server (a stopped process, a commit waiting for a standby that is gone) still
// has its TCP acknowledged by the kernel, so keepalives never fire; only the client's own
// bound ends that wait. The operator may change it with the net service's parameter
// kestrumel_answer_timeout (seconds), which the program takes out before libpq sees the text:
//   postgresql://h1,h2/plan?target_session_attrs=read-write&kestrumel_answer_timeout=300
//   host=h1 dbname=plan kestrumel_answer_timeout=300
#include <string>

namespace db::postgresql {

constexpr int kDefaultAnswerSeconds = 120;

// Copies `netService` into `rest` without the parameter and sets `seconds` from it (the
// default when it is absent). False when its value is no whole number of seconds from 15 (a
// row lock is waited for 10 s without a word from the server) to 86400, or when it is given
// twice.
bool TakeAnswerBound(const std::string& netService, std::string& rest, int& seconds);

}  // namespace db::postgresql

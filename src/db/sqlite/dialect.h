#pragma once
// Adapts a statement body in the Oracle dialect to SQLite. TO_DATE and TO_CHAR are SQL
// functions of the connection and pass unchanged; what SQLite would read differently is
// rewritten, outside quoted literals and identifiers:
//   sysdate                       -> the local time in the stored date form
//   <date> + <n> / <date> - <n>   -> DATE_PLUS_DAYS(<date>, <n>) / DATE_PLUS_DAYS(<date>, -(<n>))
// where <date> is a TO_DATE(...) call or sysdate and <n> a factor: a '?', a number, a
// (qualified) name or call, a parenthesised expression, optionally times or by further factors.
// Date arithmetic on a plain column is not recognised (its type is not known from the text).
#include <string>

namespace db::sqlite {

std::string AdaptDialect(const std::string& body);

}  // namespace db::sqlite

#pragma once
// Adapts a statement body in the Oracle dialect to SQLite. TO_DATE and TO_CHAR are SQL
// functions of the connection and pass unchanged; what SQLite would read differently is
// rewritten, outside quoted literals, quoted names and comments:
//   sysdate                       -> the local time in the stored date form
//   <date> + <n> / <date> - <n>   -> DATE_PLUS_DAYS(<date>, <n>) / DATE_PLUS_DAYS(<date>, -(<n>))
// where <date> is a TO_DATE(...) call or sysdate and <n> a factor: a '?', a number, a
// (qualified) name or call, a parenthesised expression, optionally times or by further factors.
// Date arithmetic on a plain column is not recognised (its type is not known from the text);
// the precompiler refuses it where a comparison with a date shows it.
// A select's closing FOR UPDATE goes: the write transaction already serialises the writers.
// A select-list item that is a whole TO_CHAR(<date>, '<model>') call becomes <date>: the row
// carries the stored date and the statement converts it as it reads the row, so a stored
// date that does not exist fails its own row, not the whole query.
#include <string>

#include "db/dialect/dialect.h"

namespace db::dialect {

DialectText AdaptToSqlite(const std::string& body);

}  // namespace db::dialect

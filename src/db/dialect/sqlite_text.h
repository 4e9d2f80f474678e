#pragma once
// Adapts a statement body in the Oracle dialect to SQLite, whose connection has TO_DATE and
// TO_CHAR as functions. Outside quoted literals, quoted names and comments:
//   sysdate                       -> the local time in the stored date form
//   <date> + <n> / <date> - <n>   -> DATE_PLUS_DAYS(<date>, <n>) / DATE_PLUS_DAYS(<date>, -(<n>))
// where <date> is a TO_DATE(...) call or sysdate and <n> a product of factors ('?', number,
// name, call, group). A plain column's type is not known from the text: the precompiler
// refuses its date arithmetic. A select's closing FOR UPDATE goes (the write transaction
// serialises the writers). A select-list TO_CHAR(<date>, '<model>') is converted as the row is
// read, so that a stored date that does not exist fails its own row, not the whole query.
#include <string>

#include "db/dialect/dialect.h"

namespace db::dialect {

DialectText AdaptToSqlite(const std::string& body);

}  // namespace db::dialect

#pragma once
// Adapts a statement body in the Oracle dialect (with '?' markers) to PostgreSQL. Outside
// quoted literals, quoted names and comments:
//   ?                                   -> $1, $2, ... in order (or stays '?', see Markers)
//   TO_DATE(?,'yyyymmdd')               -> $n::date       (the text checked and sent as ISO)
//   TO_DATE(?,'yyyymmddHH24MISS')       -> $n::timestamp  (likewise)
//   TO_DATE(x,'...HH24...')             -> to_timestamp(x,'...')::timestamp  (a format with an
//                                          hour, minute, second or meridian element)
//   sysdate                             -> the local time of this statement, to the second
//   select <aggregates only> ... order by ...  -> the ORDER BY clause dropped, what follows it
//                                          kept (PostgreSQL refuses to order one aggregate
//                                          row by ungrouped columns)
// The comparisons keep the column's own type on one side (timestamp, or date against
// timestamp through the cross-type operators), so the indexes serve them. TO_CHAR with
// 'yyyymmdd' or 'yyyymmddHH24MISS' and date + integer work as they stand.
#include <string>
#include <vector>

#include "db/dialect/dialect.h"

namespace db::dialect {

DialectText AdaptToPostgres(const std::string& body, Markers markers = Markers::Numbered);

}  // namespace db::dialect

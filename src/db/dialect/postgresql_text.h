#pragma once
// Adapts a statement body in the Oracle dialect (with '?' markers) to PostgreSQL, outside
// quoted literals, quoted names and comments:
//   ?                               -> $1, $2, ... in order (or stays '?', see Markers)
//   TO_DATE(?,'yyyymmdd')           -> $n::date; with 'yyyymmddHH24MISS' $n::timestamp (the
//                                      text checked and sent as ISO)
//   TO_DATE(x,'<model with a time>') -> to_timestamp(x,'...')::timestamp
//   sysdate                         -> the local time of this statement, to the second
//   select <aggregates only> ... order by ...  -> without the ORDER BY, which PostgreSQL refuses
// The column keeps its own type on its side of a comparison, so that its indexes serve it.
#include <string>
#include <vector>

#include "db/dialect/dialect.h"

namespace db::dialect {

DialectText AdaptToPostgres(const std::string& body, Markers markers = Markers::Numbered);

}  // namespace db::dialect

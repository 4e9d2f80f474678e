#pragma once
// PostgreSQL's side of the Oracle dialect, whichever driver reaches it (libpq, psqlODBC).
#include <string>
#include <string_view>

#include "db/dialect/dialect.h"

namespace db::dialect {

// Adapts a statement body in the Oracle dialect (with '?' markers) to PostgreSQL, outside
// quoted literals, quoted names and comments:
//   ?                               -> $1, $2, ... in order (or stays '?', see Markers)
//   TO_DATE(?,'yyyymmdd')           -> $n::date; with 'yyyymmddHH24MISS' $n::timestamp (the
//                                      text checked and sent as ISO)
//   TO_DATE(x,'<model with a time>') -> to_timestamp(x,'...')::timestamp
//   sysdate                         -> the local time of this statement, to the second
//   select <aggregates only> ... order by ...  -> without the ORDER BY, which PostgreSQL refuses
// The column keeps its own type on its side of a comparison, so that its indexes serve it.
DialectText AdaptToPostgres(const std::string& body, Markers markers = Markers::Numbered);

// The date models are checked by Oracle's rules before sending, since PostgreSQL's to_date
// lets invalid dates through; sent as ISO, free of DateStyle and time zone.
// Reads `text` by `model` as TO_DATE does. Returns 0 and sets `iso` ('YYYY-MM-DD', or with
// ' HH:MM:SS' for a stamp), or the Oracle status of the fault (see ParseOracleDate).
int DateTextToIso(std::string_view text, DateModel model, std::string& iso);

// The one translation from the server's SQLSTATEs and connection refusals to Oracle statuses.
// `sqlState` the five-character SQLSTATE of a failed statement.
int StatusFromPostgresSqlState(const char* sqlState);

// `message` the driver's report of a failed connection attempt, which carries the server's
// refusal; `passwordSent` whether the server asked for the password.
int StatusFromPostgresConnectFailure(const char* message, bool passwordSent);

}  // namespace db::dialect

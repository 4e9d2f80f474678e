#pragma once
// What is a database server's and not its driver's (its statements' dialect, its reports as
// Oracle statuses, catalog queries, session settings, transaction traits), so that its native
// backend and the ODBC backend reaching it share one object. Texts take '?' markers.
#include <cstdint>
#include <string>
#include <vector>

#include "db/runtime/backend.h"

namespace db::dialect {

// The program's two format models of a date input.
enum class DateModel {
  Day,    // 'yyyymmdd'
  Stamp,  // 'yyyymmddHH24MISS'
};

// A parameter that a TO_DATE converts: its text is checked and rewritten before sending.
struct DateInput {
  int position;  // 0-based parameter position
  DateModel model;
};

// A select-list item converted as the row is read (SQLite).
struct FetchConversion {
  int column;          // 0-based position in the select list
  std::string format;  // the format model, without its quotes
};

// A statement in the server's dialect: the inputs a TO_DATE reads are checked and sent in ISO
// form; the conversions are done as each row is read.
struct DialectText {
  std::string sql;
  int parameterCount = 0;
  std::vector<DateInput> dateInputs;
  std::vector<FetchConversion> conversions;
};

// How the adapted text marks its inputs: libpq numbers them, an ODBC driver takes '?'.
enum class Markers { Numbered, Question };

class Dialect {
 public:
  virtual ~Dialect() = default;
  // `body` in the Oracle dialect with `inputCount` '?' markers.
  virtual DialectText Adapt(const std::string& body, int inputCount, Markers markers) const = 0;
  // The text to prepare for inputs of which `integer` tells the integers.
  virtual std::string TypedText(const std::string& sql, const std::vector<bool>&) const { return sql; }
  // The status of a failure by the server's own error number, 0 when that says nothing.
  virtual int StatusFromNumber(int32_t) const { return 0; }
  // The status of a failure by its SQLSTATE, where the driver's own states end.
  virtual int StatusFromSqlState(const std::string& sqlState) const = 0;
  // Whether the last failure's state says the transaction refuses all until rolled back.
  virtual bool RefusesUntilRollback(const std::string&) const { return false; }
  // A name as the server keeps an unquoted one.
  virtual std::string Folded(const std::string& name) const = 0;
  virtual TransactionTraits Traits() const = 0;

  // The statement that makes `schema` current: a lookup answers with a row when the schema
  // exists (its input Folded(schema)); otherwise a command that names it.
  struct SchemaSwitch {
    std::string sql;
    bool lookup = false;
  };
  virtual SchemaSwitch SwitchSchema(const std::string& schema) const = 0;
  // Sent once after the connect; then, for a session that only looks, ReadOnlySetting.
  virtual std::vector<const char*> SessionSettings() const { return {}; }
  virtual const char* ReadOnlySetting() const { return nullptr; }
  // A query that takes a session lock by name without waiting, answering true when taken;
  // null when the server has none a site's user may take.
  virtual const char* TryLockNameQuery() const { return nullptr; }
};

// What a check asks a server's catalog: the current schema; and, by schema ("" the current)
// and table, a row each (none: no such table), "" where the driver's catalog calls answer.
// Apart from the dialects, so that the batch program, which reads no catalog, lacks them.
struct CatalogQueries {
  const char* currentSchema;
  std::string columns, indexes, privileges;
};
const CatalogQueries& CatalogQueriesOf(const Dialect& dialect);

const Dialect& Oracle();
const Dialect& Postgres();
const Dialect& Sqlite();

}  // namespace db::dialect

#pragma once
// What the test database fixture sends to a PostgreSQL server, whichever way it reaches it
// (libpq or ODBC): the texts that make, set up, rig and drop a test database. Neither
// connection library is needed here, so each half takes these without the other's.
#include <string>
#include <vector>

namespace testing_db::postgresql_sql {

// An environment variable's value, empty when it is not set.
std::string Env(const char* name);
std::string LowerCase(std::string text);

// A database name unique to this call: tests run in parallel on one server.
std::string NewDatabaseName();
std::string CreateDatabase(const std::string& database);
// FORCE ends the runtime's connection too, should the test have left it open.
std::string DropDatabase(const std::string& database);

// Run in order on a fresh database: schemas RVKSTAMM and `schema` with their tables from
// schema/postgresql, ending with the session set as SessionSettings(schema) leaves it.
std::vector<std::string> SchemaSetup(const std::string& schema);
// Dates as 'YYYY-MM-DD HH:MM:SS', unqualified names in the test schema.
std::string SessionSettings(const std::string& schema);

// A row trigger raising an error on every `operation` on `table`, as on SQLite: a
// statement that touches no row does not fail.
std::string FailOnTrigger(const std::string& table, const std::string& operation);

}  // namespace testing_db::postgresql_sql

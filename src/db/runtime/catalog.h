#pragma once
// What a check of the database reads of it, on a connection that cannot change anything.
// Each call returns 0 or the status of the failure; nothing here throws.
#include <cstdint>
#include <string>
#include <vector>

namespace db {

// How a connection may touch the database. A read-only one cannot change anything, also not
// by mistake: the server or the file system refuses it.
enum class Access : uint8_t { ReadWrite, ReadOnly };

// A column as the catalog describes it, in the terms the program reads it by.
struct CatalogColumn {
  enum class Kind : uint8_t { Text, Integer, Date, Other };
  std::string name;  // as the catalog spells it
  Kind kind = Kind::Other;
  std::string type;  // the catalog's own type name, for messages
};

// What the connected user may do with a table.
struct TablePrivileges {
  bool select = false;
  bool insert = false;
  bool update = false;
  bool remove = false;
};

// The last native error of the current session ("" when none), for tests and diagnostics.
std::string SqlLastNativeError();

// The name of the backend that serves `netService` ("sqlite", "postgresql", "odbc"), or null
// when none does.
const char* SqlBackendServing(const char* netService);

// Precompiles `text` as the runtime would run it and has the server compile it, without
// running it; the status tells why it would fail (a missing table or column, a type).
int SqlDescribe(const char* text);

// The catalog of the current connection. `schema` is "" for the session's schema, else named
// as the program's statements name it (RVKSTAMM); a table likewise. A table that does not
// exist gives kNoSuchTable.
int SqlColumns(const std::string& schema, const std::string& table,
               std::vector<CatalogColumn>& columns);
int SqlIndexes(const std::string& schema, const std::string& table,
               std::vector<std::vector<std::string>>& indexes);
int SqlPrivileges(const std::string& schema, const std::string& table, TablePrivileges& granted);

}  // namespace db

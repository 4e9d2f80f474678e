#pragma once
// What a check reads of the database, on a connection that cannot change anything: a library
// the check and the tests link, the batch program not. Each call returns 0 or the failure's status.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/runtime/backend.h"

namespace db {

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

// The catalog of a backend's session; it changes nothing. A schema ("" for the session's) and a
// table are named as the program's statements name them (RVKSTAMM) and matched as the server
// resolves such names; a table that does not exist gives kNoSuchTable.
class Catalog {
 public:
  virtual ~Catalog() = default;
  // Has the server compile a prepared statement, without running it. `integerInputs` tells,
  // by position, the inputs that stand where only a number fits; the others are texts.
  virtual int Describe(BackendStatement& statement, const std::vector<bool>& integerInputs) = 0;
  virtual int Columns(const std::string& schema, const std::string& table,
                      std::vector<CatalogColumn>& columns) = 0;
  // Every index of the table (the primary key and unique constraints included), each as its
  // column names in order; an index on an expression lists "" for it.
  virtual int Indexes(const std::string& schema, const std::string& table,
                      std::vector<std::vector<std::string>>& indexes) = 0;
  virtual int Privileges(const std::string& schema, const std::string& table,
                         TablePrivileges& granted) = 0;
};

// What a backend folder registers of its catalog (in its catalog.cpp), listed by the build in
// a generated source of this library: the backend's name and the catalog over its session.
struct CatalogEntry {
  const char* backend;
  std::unique_ptr<Catalog> (*open)(BackendSession& session);
};

// Precompiles `text` as the runtime would run it and has the server compile it, without
// running it; the status tells why it would fail (a missing table or column, a type).
int SqlDescribe(const char* text);

// The catalog of the current connection.
int SqlColumns(const std::string& schema, const std::string& table,
               std::vector<CatalogColumn>& columns);
int SqlIndexes(const std::string& schema, const std::string& table,
               std::vector<std::vector<std::string>>& indexes);
int SqlPrivileges(const std::string& schema, const std::string& table, TablePrivileges& granted);

}  // namespace db

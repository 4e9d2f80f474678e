#pragma once
// The statements by which the program reaches its tables, by their modules' names, and the
// tables with the columns they name: a check prepares every statement and finds every column.
#include <cstddef>
#include <vector>

namespace db {

struct NamedStatement {
  const char* name;
  const char* text;
};

enum class ColumnKind { Text, Integer, Date };

struct TableColumn {
  const char* name;
  ColumnKind kind;
  size_t recordBytes;  // the field's size in the program's record; 0 when no record holds it
};

struct ProgramTable {
  const char* schema;  // "" for the configured schema
  const char* name;
  std::vector<TableColumn> columns;  // in the order of the schema files
};

}  // namespace db

// Every module's statements, in the order of the modules.
std::vector<db::NamedStatement> ProgramStatements();

// Every table the statements reach, with the columns they name.
const std::vector<db::ProgramTable>& ProgramTables();

#pragma once
// The statements by which the program reaches its tables, each with the name its module
// gives it, for a check of the database that prepares every one.
#include <vector>

namespace db {

struct NamedStatement {
  const char* name;
  const char* text;
};

}  // namespace db

// Every module's statements, in the order of the modules.
std::vector<db::NamedStatement> ProgramStatements();

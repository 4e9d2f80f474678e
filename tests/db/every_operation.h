#pragma once
// Every statement by which the program reaches its tables, for the query-plan tests.
#include <cstddef>
#include <string>
#include <vector>

namespace table_test {

// The bodies, as a backend prepares them, of the program's statements (db/statement_list.h)
// that look rows up: every query, update and delete (no insert), each once.
std::vector<std::string> LookupsOfEveryOperation();

// How many distinct lookups that makes; fewer means a module's list left one out.
inline constexpr size_t kTableModuleLookups = 19;

}  // namespace table_test

#pragma once
// Every statement that the table modules really run, for the query-plan tests: taken from the
// runtime's statement cache after each operation has been called once.
#include <cstddef>
#include <string>
#include <vector>

namespace table_test {

// Calls every table-module operation once on the connected runtime and returns the bodies,
// as a backend prepares them, of the statements that look rows up: every query, update and
// delete (no transaction control, no insert).
std::vector<std::string> LookupsOfEveryOperation();

// How many distinct lookups that makes; fewer means an operation was left out above.
inline constexpr size_t kTableModuleLookups = 18;

}  // namespace table_test

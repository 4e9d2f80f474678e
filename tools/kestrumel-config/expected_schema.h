#pragma once
// What the program's statements need of the database: its tables with the columns they name,
// each with the kind of value the program reads, and the indexes that make them lookups.
#include <string>
#include <vector>

#include "db/catalog/catalog.h"

struct ExpectedColumn {
  const char* name;
  db::CatalogColumn::Kind kind;
};

struct ExpectedIndex {
  std::vector<std::string> columns;  // leading columns, in order; more after them may follow
  const char* costWithout;           // what a run pays without it
};

struct ExpectedTable {
  const char* schema;  // "" for the configured schema
  const char* name;
  std::vector<ExpectedColumn> columns;
  std::vector<ExpectedIndex> indexes;
  const char* privileges;  // what the program does with it: s select, i insert, u update, d delete
};

// The program's tables (db/statement_list.h), in its order.
const std::vector<ExpectedTable>& ExpectedTables();

// "RVKSTAMM.Rvk133Bak" or "Rvk740Pud".
std::string QualifiedName(const ExpectedTable& table);

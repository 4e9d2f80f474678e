#include "kestrumel-config/expected_schema.h"

#include <cstring>

#include "db/statement_list.h"

namespace {

// What the program's own table list does not say: the indexes of the schema files, each by the
// columns a statement looks up, and what the statements do with each table.
struct TableNeeds {
  const char* name;
  std::vector<ExpectedIndex> indexes;
  const char* privileges;
};

const std::vector<TableNeeds>& Needs() {
  static const std::vector<TableNeeds> needs = {
      {"Rvk740Pud",
       {{{"PudPlg", "PudKng", "PudDat"},
         "every read of the queue and every done mark scans the whole queue"}},
       "sud"},
      {"Rvk730Bdp",
       {{{"BdpPnr", "BdpBdt", "BdpEso", "BdpEsa", "BdpSzv", "BdpAkt", "BdpAsw"},
         "every row saved or deleted is a full scan of the duty plan"},
        {{"BdpPnr", "BdpBdt", "BdpSzv"},
         "every request reads its person's rows by a full scan of the duty plan"},
        {{"BdpBdt", "BdpEso", "BdpEsa", "BdpSzv", "BdpAsw", "BdpSzb"},
         "every tally is a full scan of the duty plan"}},
       "sud"},
      {"Rvk725Bsm",
       {{{"BsmBdt", "BsmEso", "BsmEsa", "BsmSzv", "BsmAsw"},
         "every staffing read and save is a full scan of the staffing rows"}},
       "su"},
      {"Rvk746Err",
       {{{"ErrPlg", "ErrKng", "ErrDat", "ErrLfn"}, "reading a group's deviations scans them all"}},
       "i"},
      {"rvk327tag",
       {{{"TagPnr", "TagTag"}, "every day-code read is a full scan of the day codes"}},
       "s"},
      {"Rvk133Bak",
       {{{"BakDtm"}, "every calendar read is a full scan of the calendar"}},
       "s"},
  };
  return needs;
}

db::CatalogColumn::Kind CatalogKind(db::ColumnKind kind) {
  switch (kind) {
    case db::ColumnKind::Text: return db::CatalogColumn::Kind::Text;
    case db::ColumnKind::Integer: return db::CatalogColumn::Kind::Integer;
    case db::ColumnKind::Date: return db::CatalogColumn::Kind::Date;
  }
  return db::CatalogColumn::Kind::Other;
}

ExpectedTable Expected(const db::ProgramTable& table) {
  ExpectedTable expected{table.schema, table.name, {}, {}, ""};
  for (const db::TableColumn& column : table.columns) {
    expected.columns.push_back({column.name, CatalogKind(column.kind)});
  }
  for (const TableNeeds& needs : Needs()) {
    if (std::strcmp(needs.name, table.name) == 0) {
      expected.indexes = needs.indexes;
      expected.privileges = needs.privileges;
    }
  }
  return expected;
}

}  // namespace

const std::vector<ExpectedTable>& ExpectedTables() {
  static const std::vector<ExpectedTable> tables = [] {
    std::vector<ExpectedTable> list;
    for (const db::ProgramTable& table : ProgramTables()) list.push_back(Expected(table));
    return list;
  }();
  return tables;
}

std::string QualifiedName(const ExpectedTable& table) {
  return *table.schema == '\0' ? table.name : std::string(table.schema) + "." + table.name;
}

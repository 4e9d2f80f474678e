#include "kestrumel-config/check_schema.h"

#include <string>
#include <vector>

#include "db/catalog/catalog.h"
#include "db/runtime/letter_case.h"
#include "db/runtime/runtime.h"
#include "db/status.h"
#include "db/statement_list.h"
#include "kestrumel-config/expected_schema.h"

namespace {

using Kind = db::CatalogColumn::Kind;

bool SameName(const std::string& a, const std::string& b) { return db::SameIgnoringCase(a, b); }

const char* KindText(Kind kind) {
  switch (kind) {
    case Kind::Text: return "a text";
    case Kind::Integer: return "an integer";
    case Kind::Date: return "a date";
    case Kind::Other: return "a value";
  }
  return "a value";
}

// A date may be stored as a text where the database has no date type: the statements'
// date conversions decide, and a statement that cannot convert fails to prepare.
bool Readable(Kind expected, Kind found) {
  return found == expected || (expected == Kind::Date && found == Kind::Text);
}

std::string Failure(int status) {
  std::string native = FirstLine(db::SqlLastNativeError());
  return "status " + std::to_string(status) + (native.empty() ? "" : ": " + native);
}

void CheckColumns(const ExpectedTable& table, std::vector<std::string>& problems) {
  std::vector<db::CatalogColumn> columns;
  int rc = db::SqlColumns(table.schema, table.name, columns);
  if (rc == db::status::kNoSuchTable) {
    problems.push_back(QualifiedName(table) + ": no such table");
    return;
  }
  if (rc != db::status::kOk) {
    problems.push_back(QualifiedName(table) + ": columns not readable, " + Failure(rc));
    return;
  }
  for (const ExpectedColumn& expected : table.columns) {
    const db::CatalogColumn* found = nullptr;
    for (const db::CatalogColumn& column : columns) {
      if (SameName(column.name, expected.name)) found = &column;
    }
    std::string name = QualifiedName(table) + "." + expected.name;
    if (found == nullptr) {
      problems.push_back(name + ": no such column");
    } else if (!Readable(expected.kind, found->kind)) {
      std::string type = found->type.empty() ? "untyped" : found->type;
      problems.push_back(name + " is " + type + ", the program reads " + KindText(expected.kind));
    }
  }
}

// Leading columns equal, in order: an index with more columns after them serves as well.
bool Serves(const std::vector<std::string>& index, const std::vector<std::string>& wanted) {
  if (index.size() < wanted.size()) return false;
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (!SameName(index[i], wanted[i])) return false;
  }
  return true;
}

std::string ColumnList(const std::vector<std::string>& columns) {
  std::string list;
  for (const std::string& column : columns) list += (list.empty() ? "" : ", ") + column;
  return "(" + list + ")";
}

// Whether the catalog of `table` was read (`rc` 0); a missing table is the tables check's to name.
bool CatalogRead(int rc, const ExpectedTable& table, const char* what,
                 std::vector<std::string>& problems) {
  if (rc == db::status::kOk) return true;
  if (rc != db::status::kNoSuchTable) {
    problems.push_back(QualifiedName(table) + ": " + what + " not readable, " + Failure(rc));
  }
  return false;
}

bool Needs(const ExpectedTable& table, char privilege) {
  return std::string(table.privileges).find(privilege) != std::string::npos;
}

}  // namespace

CheckResult CheckTables() {
  CheckResult result;
  result.name = "tables";
  size_t columnCount = 0;
  for (const ExpectedTable& table : ExpectedTables()) {
    CheckColumns(table, result.problems);
    columnCount += table.columns.size();
  }
  std::vector<db::NamedStatement> statements = ProgramStatements();
  for (const db::NamedStatement& statement : statements) {
    int rc = db::SqlDescribe(statement.text);
    if (rc != db::status::kOk) {
      result.problems.push_back(std::string("statement ") + statement.name +
                                " does not prepare, " + Failure(rc));
    }
  }
  if (result.problems.empty()) {
    result.summary = std::to_string(ExpectedTables().size()) + " tables, " +
                     std::to_string(columnCount) + " columns, " +
                     std::to_string(statements.size()) + " statements prepare";
    return result;
  }
  result.verdict = Verdict::kFail;
  result.summary = "tables or columns missing or of another type";
  result.advice = "create them as the schema files in share/kestrumel/schema do";
  return result;
}

CheckResult CheckIndexes() {
  CheckResult result;
  result.name = "indexes";
  size_t expectedCount = 0;
  for (const ExpectedTable& table : ExpectedTables()) {
    std::vector<std::vector<std::string>> indexes;
    int rc = db::SqlIndexes(table.schema, table.name, indexes);
    if (!CatalogRead(rc, table, "indexes", result.problems)) continue;
    for (const ExpectedIndex& expected : table.indexes) {
      ++expectedCount;
      bool found = false;
      for (const auto& index : indexes) found = found || Serves(index, expected.columns);
      if (!found) {
        result.problems.push_back(QualifiedName(table) + " " + ColumnList(expected.columns) +
                                  ": no index, " + expected.costWithout);
      }
    }
  }
  if (result.problems.empty()) {
    result.summary = std::to_string(expectedCount) + " indexes the statements look up by";
    return result;
  }
  result.verdict = Verdict::kWarn;
  result.summary = "indexes missing: runs are correct but slow";
  result.advice = "create the indexes of the schema files in share/kestrumel/schema";
  return result;
}

CheckResult CheckPrivileges() {
  CheckResult result;
  result.name = "privileges";
  static constexpr struct {
    char letter;
    const char* word;
  } kPrivileges[] = {{'s', "select"}, {'i', "insert"}, {'u', "update"}, {'d', "delete"}};
  for (const ExpectedTable& table : ExpectedTables()) {
    db::TablePrivileges granted;
    int rc = db::SqlPrivileges(table.schema, table.name, granted);
    if (!CatalogRead(rc, table, "privileges", result.problems)) continue;
    const bool has[] = {granted.select, granted.insert, granted.update, granted.remove};
    std::string missing;
    for (size_t i = 0; i < 4; ++i) {
      if (Needs(table, kPrivileges[i].letter) && !has[i]) {
        missing += (missing.empty() ? "" : ", ") + std::string(kPrivileges[i].word);
      }
    }
    if (!missing.empty()) result.problems.push_back(QualifiedName(table) + ": may not " + missing);
  }
  if (result.problems.empty()) {
    result.summary = "the user may read and change what the program does";
    return result;
  }
  result.verdict = Verdict::kFail;
  result.summary = "the user may not do what the program does";
  result.advice = "grant these to the user (SQLite: make the files and their directory writable)";
  return result;
}

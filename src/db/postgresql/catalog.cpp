#include <cstdlib>
#include <cstring>

#include "db/catalog/catalog.h"
#include "db/dialect/dialect.h"
#include "db/postgresql/session.h"
#include "db/runtime/letter_case.h"
#include "db/status.h"

namespace db::postgresql {
namespace {

constexpr Oid kTextType = 25;
constexpr Oid kCharType = 1042;  // bpchar
constexpr Oid kVarcharType = 1043;
constexpr Oid kNumericType = 1700;
constexpr Oid kDateType = 1082;
constexpr Oid kTimestampType = 1114;
constexpr Oid kTimestampZoneType = 1184;

// Guards a describe inside an open transaction, which a failed parse would otherwise abort.
constexpr const char* kDescribeSavepoint = "kestrumel_describe";

// Runs a read of `table`'s catalog; kNoSuchTable when it gives no row.
int ReadTable(Link& link, const std::string& read, const std::string& schema,
              const std::string& table, Result& rows) {
  std::string schemaName = LowerCase(schema);  // as the schema switch names it
  std::string tableName = LowerCase(table);
  Command command = TextCommand(OwnText(read));
  command.values = {schemaName.c_str(), tableName.c_str()};
  Outcome outcome;
  if (!link.channel.Run({command}, outcome)) return link.channel.Fail(outcome);
  rows = std::move(outcome.results[0]);
  if (PQntuples(rows.get()) == 0) {
    std::string where = schema.empty() ? std::string() : schemaName + ".";
    return link.channel.FailWith(status::kNoSuchTable, "no table " + where + tableName);
  }
  return status::kOk;
}

CatalogColumn::Kind KindOf(Oid type, int numericScale) {
  bool integer = IsIntegerType(type) || (type == kNumericType && numericScale == 0);
  if (integer) return CatalogColumn::Kind::Integer;
  switch (type) {
    case kTextType: case kCharType: case kVarcharType: return CatalogColumn::Kind::Text;
    case kDateType: case kTimestampType: case kTimestampZoneType: return CatalogColumn::Kind::Date;
    default: return CatalogColumn::Kind::Other;
  }
}

bool IsTrue(const PGresult* rows, int column) {
  return std::strcmp(PQgetvalue(rows, 0, column), "t") == 0;
}

const dialect::CatalogQueries& Queries() { return dialect::CatalogQueriesOf(dialect::Postgres()); }

struct PostgresCatalog final : Catalog {
  explicit PostgresCatalog(Link& session) : link(session) {}

  // Parsed under the unnamed statement, which the next parameterised command replaces: nothing
  // stays that a later run of the same text would find.
  int Describe(BackendStatement& statement, const std::vector<bool>& integerInputs) override {
    const dialect::DialectText& text = static_cast<const Statement&>(statement).Text();
    std::vector<Oid> types(static_cast<size_t>(text.parameterCount), 0);
    for (size_t i = 0; i < types.size() && i < integerInputs.size(); ++i) {
      if (integerInputs[i]) types[i] = kInt4Type;
    }
    bool guarded = link.channel.InTransactionBlock() && !link.channel.InFailedTransaction();
    std::string savepoint = kDescribeSavepoint;
    std::vector<Command> commands;
    if (guarded) commands.push_back(TextCommand("SAVEPOINT " + savepoint));
    commands.push_back({Command::Kind::Prepare, text.sql, std::string(), types, {}});
    if (guarded) commands.push_back(TextCommand("RELEASE SAVEPOINT " + savepoint));
    Outcome outcome;
    if (link.channel.Run(commands, outcome)) return status::kOk;
    int rc = link.channel.Fail(outcome);
    if (guarded && outcome.failed > 0 && !link.channel.Broken()) {
      Outcome ignored;  // back to where the transaction stood
      link.channel.Run({TextCommand("ROLLBACK TO SAVEPOINT " + savepoint),
                        TextCommand("RELEASE SAVEPOINT " + savepoint)}, ignored);
    }
    return rc;
  }

  int Columns(const std::string& schema, const std::string& table,
              std::vector<CatalogColumn>& columns) override {
    Result rows;
    int rc = ReadTable(link, Queries().columns, schema, table, rows);
    if (rc != status::kOk) return rc;
    const PGresult* result = rows.get();
    for (int r = 0; r < PQntuples(result); ++r) {
      if (PQgetisnull(result, r, 0)) continue;  // a table without columns
      CatalogColumn column;
      column.name = PQgetvalue(result, r, 0);
      column.type = PQgetvalue(result, r, 1);
      Oid type = static_cast<Oid>(std::strtoul(PQgetvalue(result, r, 2), nullptr, 10));
      column.kind = KindOf(type, std::atoi(PQgetvalue(result, r, 3)));
      columns.push_back(std::move(column));
    }
    return status::kOk;
  }

  int Indexes(const std::string& schema, const std::string& table,
              std::vector<std::vector<std::string>>& indexes) override {
    Result rows;
    int rc = ReadTable(link, Queries().indexes, schema, table, rows);
    if (rc != status::kOk) return rc;
    const PGresult* result = rows.get();
    std::string current;
    for (int r = 0; r < PQntuples(result); ++r) {
      if (PQgetisnull(result, r, 0)) continue;  // a table without indexes
      std::string index = PQgetvalue(result, r, 0);
      if (indexes.empty() || index != current) indexes.emplace_back();
      current = index;
      indexes.back().push_back(PQgetvalue(result, r, 1));  // "" for an expression
    }
    return status::kOk;
  }

  int Privileges(const std::string& schema, const std::string& table,
                 TablePrivileges& granted) override {
    Result rows;
    int rc = ReadTable(link, Queries().privileges, schema, table, rows);
    if (rc != status::kOk) return rc;
    const PGresult* result = rows.get();
    granted = {IsTrue(result, 0), IsTrue(result, 1), IsTrue(result, 2), IsTrue(result, 3)};
    return status::kOk;
  }
  Link& link;
};

}  // namespace
}  // namespace db::postgresql

namespace db::registered_catalog {
extern const CatalogEntry postgresql;
const CatalogEntry postgresql{"postgresql", [](BackendSession& session) -> std::unique_ptr<Catalog> {
  return std::make_unique<::db::postgresql::PostgresCatalog>(::db::postgresql::LinkOf(session));
}};
}  // namespace db::registered_catalog

#include "db/catalog/catalog.h"

#include <cstring>

#include "db/runtime/precompiler.h"
#include "db/runtime/runtime.h"
#include "db/runtime/sql_scanner.h"

namespace db {

const std::vector<const CatalogEntry*>& RegisteredCatalogs();  // generated

namespace {

// The inputs next to a + or -: a number there, as in "date + days", which a server that types
// inputs from their place cannot tell otherwise.
std::vector<bool> ArithmeticInputs(const std::string& body) {
  std::vector<SqlToken> tokens = TokenizeSql(body);
  std::vector<bool> arithmetic;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind != SqlTokenKind::Marker) continue;
    size_t before = i;
    while (before > 0 && tokens[before - 1].IsSpace()) --before;
    size_t after = SkipSpace(tokens, i + 1);
    auto isSign = [&](size_t at) {
      return at < tokens.size() && (tokens[at].Is("+") || tokens[at].Is("-"));
    };
    arithmetic.push_back((before > 0 && isSign(before - 1)) || isSign(after));
  }
  return arithmetic;
}

// The catalog over the current connection's session, null when there is none.
std::unique_ptr<Catalog> OpenCatalog(BackendSession*& session) {
  const char* backend = nullptr;
  session = ConnectedSession(backend);
  if (session == nullptr) return nullptr;
  for (const CatalogEntry* entry : RegisteredCatalogs()) {
    if (std::strcmp(entry->backend, backend) == 0) return entry->open(*session);
  }
  return nullptr;
}

// `read` of the current connection's catalog.
template <typename Read>
int ReadCatalog(Read read) {
  BackendSession* session = nullptr;
  std::unique_ptr<Catalog> catalog = OpenCatalog(session);
  return catalog ? read(*catalog) : status::kNotConnected;
}

}  // namespace

// Not cached: a statement checked is not thereby one the connection runs.
int SqlDescribe(const char* text) {
  BackendSession* session = nullptr;
  std::unique_ptr<Catalog> catalog = OpenCatalog(session);
  if (catalog == nullptr) return status::kNotConnected;
  ParsedStatement parsed;
  int rc = Precompile(text, parsed);
  if (rc != status::kOk) return rc;
  if (parsed.kind != ParsedStatement::Kind::Query && parsed.kind != ParsedStatement::Kind::Modify) return rc;
  if (SqlFault() != status::kOk) return SqlFault();  // nothing goes to the server
  std::unique_ptr<BackendStatement> statement;
  rc = session->Prepare(parsed, statement);
  return rc != status::kOk ? rc : catalog->Describe(*statement, ArithmeticInputs(parsed.body));
}

int SqlColumns(const std::string& schema, const std::string& table,
               std::vector<CatalogColumn>& columns) {
  columns.clear();
  return ReadCatalog([&](Catalog& catalog) { return catalog.Columns(schema, table, columns); });
}

int SqlIndexes(const std::string& schema, const std::string& table,
               std::vector<std::vector<std::string>>& indexes) {
  indexes.clear();
  return ReadCatalog([&](Catalog& catalog) { return catalog.Indexes(schema, table, indexes); });
}

int SqlPrivileges(const std::string& schema, const std::string& table, TablePrivileges& granted) {
  granted = {};
  return ReadCatalog([&](Catalog& catalog) { return catalog.Privileges(schema, table, granted); });
}

}  // namespace db

#include "every_operation.h"

#include <algorithm>

#include "db/runtime/precompiler.h"
#include "db/statement_list.h"

namespace table_test {

std::vector<std::string> LookupsOfEveryOperation() {
  std::vector<std::string> bodies;
  for (const db::NamedStatement& statement : ProgramStatements()) {
    db::ParsedStatement parsed;
    if (db::Precompile(statement.text, parsed) != 0) continue;
    bool query = parsed.kind == db::ParsedStatement::Kind::Query;
    bool modify = parsed.kind == db::ParsedStatement::Kind::Modify;
    if (query || (modify && parsed.body.rfind("insert", 0) != 0)) bodies.push_back(parsed.body);
  }
  std::sort(bodies.begin(), bodies.end());
  bodies.erase(std::unique(bodies.begin(), bodies.end()), bodies.end());
  return bodies;
}

}  // namespace table_test

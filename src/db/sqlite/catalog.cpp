#include "db/sqlite/catalog.h"

#include "db/runtime/status.h"

namespace db::sqlite {

int Describe(Link&, BackendStatement&, const std::vector<bool>&) { return status::kInternal; }

int Columns(Link&, const std::string&, const std::string&, std::vector<CatalogColumn>&) {
  return status::kInternal;
}

int Indexes(Link&, const std::string&, const std::string&, std::vector<std::vector<std::string>>&) {
  return status::kInternal;
}

int Privileges(Link&, const std::string&, const std::string&, TablePrivileges&) {
  return status::kInternal;
}

}  // namespace db::sqlite

#pragma once
// What a check of the database reads of the catalog, in this backend's terms (backend.h).
#include <string>
#include <vector>

#include "db/runtime/backend.h"
#include "db/postgresql/session.h"

namespace db::postgresql {

int Describe(Link& link, BackendStatement& statement, const std::vector<bool>& integerInputs);
int Columns(Link& link, const std::string& schema, const std::string& table,
            std::vector<CatalogColumn>& columns);
int Indexes(Link& link, const std::string& schema, const std::string& table,
            std::vector<std::vector<std::string>>& indexes);
int Privileges(Link& link, const std::string& schema, const std::string& table,
               TablePrivileges& granted);

}  // namespace db::postgresql

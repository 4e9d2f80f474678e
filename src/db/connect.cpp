#include "db/connect.h"

#include <string>

#include "db/runtime/precompiler.h"
#include "db/runtime/runtime.h"
#include "db/runtime/status.h"

// User, password and service go to the runtime apart, so no connect text is ever cut. A
// schema that is not a plain identifier is refused before any SQL is built from it.
int dbConnect(const char* user, const char* password, const char* netService, const char* schema,
              db::Access access) {
  int rc = db::SqlConnect(user, password, netService, access);
  if (rc != db::status::kOk) return rc;
  if (schema == nullptr || !db::IsPlainIdentifier(schema)) return db::status::kInvalidCharacter;
  std::string text = std::string("ALTER SESSION SET CURRENT_SCHEMA=") + schema;
  db::SqlStatement statement;
  db::SqlPrepare(statement, text.c_str());  // a failed prepare shows in the execute's status
  return db::SqlExecute(statement);
}

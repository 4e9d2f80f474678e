#include "db/connect.h"

#include <string>

#include "db/runtime/precompiler.h"
#include "db/runtime/runtime.h"
#include "db/status.h"
#include "platform/secure_zero.h"

namespace {

// What a reconnect needs, kept from the last connect that succeeded, for the whole run.
struct Credentials {
  std::string user, password, netService, schema;
  db::Access access = db::Access::ReadWrite;
  bool known = false;

  void Forget() {
    platform::SecureZero(password.data(), password.size());
    *this = Credentials{};
  }
};

Credentials& Kept() {
  static Credentials credentials;
  return credentials;
}

// User, password and service go to the runtime apart, so no connect text is ever cut. A
// schema that is not a plain identifier is refused before any SQL is built from it.
int Connect(const char* user, const char* password, const char* netService, const char* schema,
            db::Access access) {
  int rc = db::SqlConnect(user, password, netService, access);
  if (rc != db::status::kOk) return rc;
  if (schema == nullptr || !db::IsPlainIdentifier(schema)) return db::status::kInvalidCharacter;
  std::string text = std::string("ALTER SESSION SET CURRENT_SCHEMA=") + schema;
  return db::SqlExecute(text.c_str());
}

}  // namespace

int dbConnect(const char* user, const char* password, const char* netService, const char* schema,
              db::Access access) {
  Kept().Forget();
  int rc = Connect(user, password, netService, schema, access);
  if (rc == db::status::kOk) Kept() = {user, password, netService, schema, access, true};
  return rc;
}

int dbReconnect() {
  const Credentials& kept = Kept();
  if (!kept.known) return db::status::kNotConnected;
  return Connect(kept.user.c_str(), kept.password.c_str(), kept.netService.c_str(),
                 kept.schema.c_str(), kept.access);
}

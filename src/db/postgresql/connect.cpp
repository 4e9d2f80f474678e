#include "db/postgresql/connect.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/dialect/postgresql_errors.h"
#include "db/runtime/status.h"

namespace db::postgresql {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultTimeoutSeconds = 30;
// Never consulted while a password is given; a path that cannot exist keeps libpq silent
// even then (it warns on stderr about a password file that exists but is no plain file).
constexpr const char* kNoPasswordFile = "/dev/null/kestrumel-no-password-file";

// A row locked by another session is waited for as long as the SQLite backend waits for a
// locked file, then the statement fails with "resource busy" instead of hanging the run.
constexpr const char* kSessionOptions = "-c lock_timeout=10000";

bool IsEmpty(const char* text) { return text == nullptr || *text == '\0'; }

void IgnoreNotice(void*, const char*) {}

// A server that falls silent (host gone, network cut) becomes a lost connection within two
// minutes instead of a wait without end: an idle connection is probed after 30 s, every 10 s,
// given up after 3 unanswered probes; data unacknowledged for 60 s ends it as well.
constexpr const char* kKeepalivesIdleSeconds = "30";
constexpr const char* kKeepalivesIntervalSeconds = "10";
constexpr const char* kKeepalivesCount = "3";
constexpr const char* kTcpUserTimeoutMillis = "60000";

// Entries before the expanded dbname are defaults that the URI may override; user, password
// and password file come after it and win.
int StartConnect(const char* user, const char* password, const char* netService,
                 ConnectionHandle& connection) {
  const char* keywords[] = {"connect_timeout",  "options",          "fallback_application_name",
                            "keepalives",       "keepalives_idle",  "keepalives_interval",
                            "keepalives_count", "tcp_user_timeout", "dbname",
                            "user",             "password",         "passfile",
                            nullptr};
  std::string timeout = std::to_string(kDefaultTimeoutSeconds);
  const char* values[] = {timeout.c_str(),
                          kSessionOptions,
                          "kestrumel",
                          "1",
                          kKeepalivesIdleSeconds,
                          kKeepalivesIntervalSeconds,
                          kKeepalivesCount,
                          kTcpUserTimeoutMillis,
                          netService,
                          user,
                          password,
                          kNoPasswordFile,
                          nullptr};
  connection.reset(PQconnectStartParams(keywords, values, 1));
  if (!connection) return status::kServiceUnresolved;
  // Before the first message from the server: notices of the login are silenced too.
  PQsetNoticeProcessor(connection.get(), IgnoreNotice, nullptr);
  return status::kOk;
}

struct OptionsDeleter {
  void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};

int TimeoutSeconds(PGconn* connection) {
  std::unique_ptr<PQconninfoOption, OptionsDeleter> options(PQconninfo(connection));
  int seconds = kDefaultTimeoutSeconds;
  for (PQconninfoOption* option = options.get(); option != nullptr && option->keyword != nullptr;
       ++option) {
    if (std::strcmp(option->keyword, "connect_timeout") == 0 && !IsEmpty(option->val)) {
      int given = std::atoi(option->val);
      if (given > 0) seconds = given;
    }
  }
  return seconds;
}

// Drives the non-blocking connect to its end or to the deadline.
bool CompleteConnect(PGconn* connection) {
  auto deadline = Clock::now() + std::chrono::seconds(TimeoutSeconds(connection));
  PostgresPollingStatusType state = PGRES_POLLING_WRITING;
  while (state != PGRES_POLLING_OK) {
    if (state == PGRES_POLLING_FAILED) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd wait{PQsocket(connection),
                static_cast<short>(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
    if (wait.fd < 0) return false;
    int ready = poll(&wait, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) return false;
    if (ready == 0) continue;  // the deadline check above ends the wait
    state = PQconnectPoll(connection);
  }
  return PQstatus(connection) == CONNECTION_OK;
}

}  // namespace

int OpenConnection(const char* user, const char* password, const char* netService,
                   ConnectionHandle& connection, std::string& failure) {
  ConnectionHandle opening;
  int rc = StartConnect(user, password, netService, opening);
  if (rc != status::kOk) return rc;
  if (PQstatus(opening.get()) == CONNECTION_BAD || !CompleteConnect(opening.get())) {
    failure = PQerrorMessage(opening.get());
    return dialect::StatusFromPostgresConnectFailure(PQerrorMessage(opening.get()),
                                                     PQconnectionUsedPassword(opening.get()) == 1);
  }
  if (PQenterPipelineMode(opening.get()) != 1) return status::kInternal;
  connection = std::move(opening);
  return status::kOk;
}

}  // namespace db::postgresql

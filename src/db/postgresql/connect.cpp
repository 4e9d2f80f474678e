#include "db/postgresql/session.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/dialect/postgresql.h"
#include "db/runtime/answer_bound.h"
#include "db/status.h"

namespace db::postgresql {
namespace {

using Clock = std::chrono::steady_clock;

// Per host: a server that answers at all answers a connect within a second or two, and a
// reconnect tries for 60 s, which a host that does not answer must not use up alone.
constexpr int kDefaultTimeoutSeconds = 10;

void IgnoreNotice(void*, const char*) {}

// One host of the service, as the connect tries it.
struct Endpoint {
  std::string host, hostaddr, port;
};

// Entries before the expanded dbname are defaults that the URI may override; user, password
// and password file come after it and win, and so does the one host tried. An empty value is
// no value to libpq: what the service says stands.
int StartConnect(const char* user, const char* password, const char* netService,
                 const Endpoint& endpoint, ConnectionHandle& connection) {
  const std::string timeout = std::to_string(kDefaultTimeoutSeconds);
  const std::pair<const char*, const char*> settings[] = {
      {"connect_timeout", timeout.c_str()},
      // A row locked by another session is waited for as long as the SQLite backend waits for
      // a locked file, then the statement fails with "resource busy" instead of hanging the run.
      {"options", "-c lock_timeout=10000"},
      {"fallback_application_name", "kestrumel"},
      // A silent server (host gone, network cut) is lost within two minutes, not waited for
      // without end: probed when idle 30 s, every 10 s, given up after 3 unanswered probes;
      // data unacknowledged for 60 s ends it as well.
      {"keepalives", "1"},
      {"keepalives_idle", "30"},
      {"keepalives_interval", "10"},
      {"keepalives_count", "3"},
      {"tcp_user_timeout", "60000"},
      {"dbname", netService},
      {"user", user},
      {"password", password},
      // Never consulted while a password is given; a path that cannot exist keeps libpq silent
      // even then (it warns on stderr about a password file that exists but is no plain file).
      {"passfile", "/dev/null/kestrumel-no-password-file"},
      {"host", endpoint.host.c_str()},
      {"hostaddr", endpoint.hostaddr.c_str()},
      {"port", endpoint.port.c_str()},
  };
  std::vector<const char*> keywords, values;
  for (const auto& [keyword, value] : settings) {
    keywords.push_back(keyword);
    values.push_back(value);
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  connection.reset(PQconnectStartParams(keywords.data(), values.data(), 1));
  if (!connection) return status::kServiceUnresolved;
  // Before the first message from the server: notices of the login are silenced too.
  PQsetNoticeProcessor(connection.get(), IgnoreNotice, nullptr);
  return status::kOk;
}

using Options = std::unique_ptr<PQconninfoOption, Freed<PQconninfoOption, PQconninfoFree>>;

std::string OptionValue(const Options& options, const char* keyword) {
  for (PQconninfoOption* option = options.get(); option != nullptr && option->keyword != nullptr;
       ++option) {
    bool given = option->val != nullptr && *option->val != '\0';
    if (std::strcmp(option->keyword, keyword) == 0 && given) return option->val;
  }
  return "";
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    size_t comma = list.find(',', start);
    items.push_back(list.substr(start, comma - start));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

// The item of a host's place in a list; a list of one applies to every host.
std::string ItemFor(const std::vector<std::string>& items, size_t index) {
  if (items.size() == 1) return items[0];
  return index < items.size() ? items[index] : "";
}

// The hosts of a service that names several, each tried with a deadline of its own (libpq moves
// on after connect_timeout only in its blocking connect, which a stop cannot cut short). A
// service of one host or none, or one libpq cannot parse (for its message), goes as it stands.
std::vector<Endpoint> Endpoints(const char* netService) {
  char* error = nullptr;
  Options options(PQconninfoParse(netService, &error));
  PQfreemem(error);
  const std::vector<std::string> hosts = SplitList(OptionValue(options, "host"));
  const std::vector<std::string> addresses = SplitList(OptionValue(options, "hostaddr"));
  const std::vector<std::string> ports = SplitList(OptionValue(options, "port"));
  const size_t count = std::max({hosts.size(), addresses.size()});
  if (!options || count <= 1) return {Endpoint{}};
  std::vector<Endpoint> endpoints;
  for (size_t i = 0; i < count; ++i) {
    endpoints.push_back({ItemFor(hosts, i), ItemFor(addresses, i), ItemFor(ports, i)});
  }
  return endpoints;
}

int TimeoutSeconds(PGconn* connection) {
  Options options(PQconninfo(connection));
  int given = std::atoi(OptionValue(options, "connect_timeout").c_str());
  return given > 0 ? given : kDefaultTimeoutSeconds;
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

// libpq's word on a failed host, or ours on one that did not answer in time.
std::string FailureOf(PGconn* connection, bool failedInLibpq) {
  if (failedInLibpq) return PQerrorMessage(connection);
  return std::string(PQhost(connection) != nullptr ? PQhost(connection) : "") +
         ": timeout expired\n";
}

constexpr const char* kAnswerBoundKeyword = "kestrumel_answer_timeout";

}  // namespace

int OpenConnection(const char* user, const char* password, const char* netService,
                   ConnectionHandle& connection, std::string& failure) {
  std::string messages;
  bool passwordUsed = false;
  for (const Endpoint& endpoint : Endpoints(netService)) {
    ConnectionHandle opening;
    int rc = StartConnect(user, password, netService, endpoint, opening);
    if (rc != status::kOk) return rc;
    bool bad = PQstatus(opening.get()) == CONNECTION_BAD;
    if (!bad && CompleteConnect(opening.get())) {
      if (PQenterPipelineMode(opening.get()) != 1) return status::kInternal;
      connection = std::move(opening);
      return status::kOk;
    }
    messages += FailureOf(opening.get(), bad || PQstatus(opening.get()) == CONNECTION_BAD);
    passwordUsed = passwordUsed || PQconnectionUsedPassword(opening.get()) == 1;
  }
  failure = messages;
  return dialect::StatusFromPostgresConnectFailure(messages.c_str(), passwordUsed);
}

// The URI's query parameters are '&'-separated after its '?'.
bool TakeAnswerBound(const std::string& netService, std::string& rest, int& seconds) {
  seconds = kDefaultAnswerSeconds;
  const size_t query = netService.find('?');
  rest = netService.substr(0, query);
  if (query == std::string::npos) return true;
  const std::string prefix = std::string(kAnswerBoundKeyword) + "=";
  std::string kept, value;
  int found = 0;
  size_t start = query + 1;
  while (start <= netService.size()) {
    size_t end = netService.find('&', start);
    if (end == std::string::npos) end = netService.size();
    const std::string parameter = netService.substr(start, end - start);
    if (parameter.rfind(prefix, 0) == 0) {
      value = parameter.substr(prefix.size());
      ++found;
    } else if (!parameter.empty()) {
      kept += (kept.empty() ? "" : "&") + parameter;
    }
    start = end + 1;
  }
  if (!kept.empty()) rest += "?" + kept;
  return found == 0 || (found == 1 && ParseAnswerSeconds(value, seconds));
}

}  // namespace db::postgresql

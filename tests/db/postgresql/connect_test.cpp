// PostgreSQL sessions: the URI forms, refused logins and unreachable services, credentials
// taken as written, no influence of the environment, the schema switch, silent notices, and
// the server's faults, a stop and a stalled server.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "common/stop_request.h"
#include "forked_child.h"
#include "db/status.h"
#include "fixture.h"

namespace {

namespace status = db::status;
using db::SqlExecute;
using db::TextIn;

// A port on which nothing listens: bound once by the system's choice, then closed.
std::string FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return std::to_string(ntohs(address.sin_port));
}

// Runs `work` with stdout and stderr sent to a file; returns what arrived there.
template <class Work>
std::string CapturedConsole(Work work) {
  std::fflush(stdout);
  std::fflush(stderr);
  char path[] = "/tmp/kestrumel-console-XXXXXX";
  int file = mkstemp(path);
  int savedOut = dup(1);
  int savedErr = dup(2);
  dup2(file, 1);
  dup2(file, 2);
  work();
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(savedOut, 1);
  dup2(savedErr, 2);
  close(savedOut);
  close(savedErr);
  close(file);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  unlink(path);
  return text.str();
}

class PostgresConnectTest : public PostgresTest {
 protected:
  int Connect(const std::string& user, const std::string& password, const std::string& net) {
    return db::SqlConnect(user.c_str(), password.c_str(), net.c_str());
  }
  int ConnectTo(const std::string& net) { return Connect(db->User(), db->Password(), net); }
};

TEST_F(PostgresConnectTest, ConnectsThroughEveryUriForm) {
  std::string socketDir = TestEnv("KESTRUMEL_TEST_PG_DIR") + "/sock";
  std::string at = Host() + ":" + Port() + "/" + Database();
  std::vector<std::string> services = {
      "postgresql://" + at,
      "postgres://" + at,
      "postgresql://" + Host() + "/" + Database() + "?port=" + Port() + "&connect_timeout=5",
      "postgresql://localhost:" + Port() + "/" + Database(),
      // The user and password of the URI give way to those passed apart.
      "postgresql://nobody:wrong@" + at,
  };
  if (!TestEnv("KESTRUMEL_TEST_PG_DIR").empty()) {
    services.push_back("postgresql:///" + Database() + "?host=" + socketDir + "&port=" + Port());
  }
  int32_t count = -1;
  for (const std::string& net : services) {
    EXPECT_EQ(ConnectTo(net), 0) << net;
    EXPECT_EQ(
        SqlExecute("select count(*)  into :b0  from RVKSTAMM.Rvk133Bak", {}, {db::IntOut(count)}),
        0)
        << net << ": " << db::SqlLastNativeError();
  }
}

// A host that takes the TCP connection and then says nothing (a frozen or overloaded server):
// it gets its own connect timeout and the next host of the list its turn; the program's own
// answer bound is taken out of the service before libpq sees it.
TEST_F(PostgresConnectTest, SilentFirstHostGivesWayToTheNextAndOwnParametersAreTakenOut) {
  int silent = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(silent, 4), 0);
  getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string silentPort = std::to_string(ntohs(address.sin_port));

  const std::string hosts = "postgresql://127.0.0.1:" + silentPort + "," + Host() + ":" + Port() +
                            "/" + Database() + "?connect_timeout=2";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConnectTo(hosts), 0) << db::SqlLastNativeError();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 1.5);
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(ConnectTo("postgresql://127.0.0.1:" + silentPort + "/" + Database() +
                      "?connect_timeout=2"),
            status::kConnectTimedOut);
  close(silent);

  const std::string at = "postgresql://" + Host() + ":" + Port() + "/" + Database();
  EXPECT_EQ(ConnectTo(at + "?kestrumel_answer_timeout=300"), 0) << db::SqlLastNativeError();
  EXPECT_EQ(ConnectTo(at + "?connect_timeout=5&kestrumel_answer_timeout=15&sslmode=disable"), 0)
      << db::SqlLastNativeError();
  for (const char* bad : {"?kestrumel_answer_timeout=5", "?kestrumel_answer_timeout=x",
                          "?kestrumel_answer_timeout=60&kestrumel_answer_timeout=60"}) {
    EXPECT_EQ(ConnectTo(at + bad), status::kServiceUnresolved) << bad;
  }
}

TEST_F(PostgresConnectTest, RefusedLoginsAndUnreachableServicesHaveOracleStatuses) {
  std::string net = db->NetService();
  struct Case {
    std::string what, user, password, net;
    int expected;
  };
  const Case cases[] = {
      {"wrong password", db->User(), db->Password() + "x", net, status::kLogonDenied},
      {"unknown user", "kt_nobody", db->Password(), net, status::kLogonDenied},
      {"user in another case", "KT_TEST", db->Password(), net, status::kLogonDenied},
      {"empty user", "", db->Password(), net, status::kLogonDenied},
      {"empty password", db->User(), "", net, status::kPasswordMissing},
      {"unknown database", db->User(), db->Password(),
       "postgresql://" + Host() + ":" + Port() + "/kt_no_such_database",
       status::kServiceUnresolved},
      {"nothing listening", db->User(), db->Password(),
       "postgresql://127.0.0.1:" + FreePort() + "/" + Database(), status::kNoListener},
      {"unknown host", db->User(), db->Password(),
       "postgresql://kestrumel-no-such-host.invalid:" + Port() + "/" + Database(),
       status::kServiceUnresolved},
      {"malformed URI", db->User(), db->Password(), "postgresql://[::1/" + Database(),
       status::kServiceUnresolved},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Connect(c.user, c.password, c.net), c.expected) << c.what;
    EXPECT_EQ(SqlExecute("commit"), status::kNotConnected) << c.what;
  }
}

// Blanks, quotes and backslashes in the password and the case of the user name reach the
// server untouched.
TEST_F(PostgresConnectTest, CredentialsAreTakenAsWritten) {
  PgConnection native = Native();
  std::string role = "Kt Odd " + std::to_string(getpid());
  std::string password = "a b'c\\d\"e f";
  std::string quotedPassword = "a b''c\\d\"e f";
  NativeExec(native.get(), "CREATE ROLE \"" + role + "\" LOGIN PASSWORD '" + quotedPassword + "'");
  EXPECT_EQ(Connect(role, password, db->NetService()), 0);
  EXPECT_EQ(Connect(role, password + " ", db->NetService()), status::kLogonDenied);
  EXPECT_EQ(Connect("kt odd " + std::to_string(getpid()), password, db->NetService()),
            status::kLogonDenied);
  db::SqlDisconnect();
  NativeExec(native.get(), "DROP ROLE \"" + role + "\"");
}

TEST_F(PostgresConnectTest, SchemaSwitchNeedsAnExistingSchemaAndNoPendingWork) {
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=NOSUCH"), status::kSchemaUnknown);
  EXPECT_EQ(SqlExecute("rollback"), 0);
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=rvkstamm"), 0);
  int32_t count = -1;
  // The calendar is now unqualified, the planning tables are gone from view.
  EXPECT_EQ(SqlExecute("select count(*)  into :b0  from Rvk133Bak", {}, {db::IntOut(count)}), 0);
  EXPECT_EQ(SqlExecute("select count(*)  into :b0  from rvk327tag", {}, {db::IntOut(count)}),
            status::kNoSuchTable);
  EXPECT_EQ(SqlExecute("rollback"), 0);
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=KTest"), 0);
  EXPECT_EQ(SqlExecute("insert into rvk327tag (TagPnr,TagTag) values (:b0,TO_DATE(:b1,'yyyymmdd'))",
                       {TextIn("P1", 9), TextIn("20240105", 11)}),
            0);
  // Refused, the switch is a fault: the pending insert is held back, never committed, and
  // the rollback takes it; then the switch goes through.
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=rvkstamm"),
            status::kSessionChangeInTransaction);
  EXPECT_EQ(db::SqlFault(), status::kSessionChangeInTransaction);
  EXPECT_EQ(SqlExecute("commit"), status::kSessionChangeInTransaction);
  EXPECT_EQ(SqlExecute("rollback"), 0);
  EXPECT_EQ(db->Count("select count(*) from rvk327tag"), 0);
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=rvkstamm"), 0);
  EXPECT_EQ(SqlExecute("select count(*)  into :b0  from Rvk133Bak", {}, {db::IntOut(count)}), 0);
}

// A warning at login (an invalid setting of the database) and notices and warnings raised
// by statements stay off the console.
TEST_F(PostgresConnectTest, NoticesAndWarningsNeverReachTheConsole) {
  db->Exec("ALTER DATABASE " + Database() + " SET default_text_search_config = 'kt_missing'");
  db->Exec(
      "insert into rvk327tag (TagPnr, TagTag, TagTgb) values ('P1', '2024-01-05 00:00:00', 'a')");
  db->Exec(
      "CREATE FUNCTION kt_noisy() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
      "RAISE NOTICE 'kt notice'; RAISE WARNING 'kt warning'; RETURN NEW; END$$; "
      "CREATE TRIGGER kt_noisy BEFORE UPDATE ON rvk327tag FOR EACH ROW EXECUTE FUNCTION "
      "kt_noisy()");
  db::SqlDisconnect();
  std::vector<int> statuses;
  std::string console = CapturedConsole([&] {
    statuses.push_back(db->ConnectRuntime());
    statuses.push_back(SqlExecute("update rvk327tag  set TagTgb=:b0 where TagPnr=:b1",
                                  {TextIn("b", 4), TextIn("P1", 9)}));
    statuses.push_back(SqlExecute("commit"));
  });
  EXPECT_EQ(console, "");
  EXPECT_EQ(statuses, (std::vector<int>{0, 0, 0}));
}

// The program's own session, as the server lists it.
std::string ProgramBackends(const std::string& database) {
  return "from pg_stat_activity where datname = '" + database +
         "' and application_name = 'kestrumel'";
}

// Real faults of the server, each with its status, and whether the session can go on after
// it. A stop cancels a statement that is still running five seconds later; a server that takes
// no cancel (stopped here) loses its connection five seconds after that.
TEST_F(PostgresConnectTest, ServerFaultsHaveTheirStatuses) {
  db->Exec(
      "insert into rvk327tag (TagPnr, TagTag, TagTgb) values ('P1', '2024-01-05 00:00:00', 'a')");
  // The program waits 10 s for a lock; a trigger shortens that for this test's statements.
  db->Exec("CREATE FUNCTION kt_short_wait() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
           "PERFORM set_config('lock_timeout', '300', true); RETURN NULL; END$$; "
           "CREATE TRIGGER kt_short_wait BEFORE UPDATE ON rvk327tag FOR EACH STATEMENT "
           "EXECUTE FUNCTION kt_short_wait()");
  auto update = [] {
    return SqlExecute("update rvk327tag  set TagTgb=:b0 where TagPnr=:b1",
                      {TextIn("b", 4), TextIn("P1", 9)});
  };
  auto count = [] {
    int32_t rows = -1;
    return SqlExecute("select count(*)  into :b0  from rvk327tag", {}, {db::IntOut(rows)});
  };
  auto reconnectWith = [&](const std::string& setting) {
    db::SqlDisconnect();
    db->Exec("ALTER DATABASE " + Database() + " RESET ALL");
    if (!setting.empty()) db->Exec("ALTER DATABASE " + Database() + " SET " + setting);
    return db->ConnectRuntime();
  };
  std::unique_ptr<testing_db::TestDb::HeldTransaction> held;
  PgConnection native = Native();
  struct Case {
    const char* what;
    std::function<void()> arrange;
    int expected;
    int after;  // of the rollback after it, and of the next statement
  };
  const Case cases[] = {
      {"row locked by another session",
       [&] { held = db->Hold("select * from rvk327tag for update"); }, status::kResourceBusy, 0},
      {"statement timeout",
       [&] {
         held.reset();
         ASSERT_EQ(reconnectWith("statement_timeout = 200"), 0);
         db->Exec("CREATE FUNCTION kt_slow() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
                  "PERFORM pg_sleep(2); RETURN NULL; END$$; CREATE TRIGGER kt_slow BEFORE "
                  "UPDATE ON rvk327tag FOR EACH STATEMENT EXECUTE FUNCTION kt_slow()");
       },
       status::kCancelled, 0},
      {"read-only transaction",
       [&] {
         db->Exec("DROP TRIGGER kt_slow ON rvk327tag");
         ASSERT_EQ(reconnectWith("default_transaction_read_only = on"), 0);
       },
       status::kDatabaseReadOnly, 0},
      {"session terminated by the server",
       [&] {
         ASSERT_EQ(reconnectWith(""), 0);
         ASSERT_EQ(update(), 0);  // pending work, gone with the session
         NativeScalar(native.get(),
                      "select count(pg_terminate_backend(pid)) " + ProgramBackends(Database()));
       },
       status::kEndOfFileOnChannel, status::kNotConnected},
  };
  for (const Case& c : cases) {
    c.arrange();
    EXPECT_EQ(update(), c.expected) << c.what << ": " << db::SqlLastNativeError();
    EXPECT_EQ(SqlExecute("rollback"), c.after) << c.what << ": " << db::SqlLastNativeError();
    EXPECT_EQ(count(), c.after) << c.what << ": " << db::SqlLastNativeError();
  }
  EXPECT_EQ(db->Scalar("select TagTgb from rvk327tag"), "a");

  // The stop: in a child, whose stop clock is its own.
  db::SqlDisconnect();
  db->Exec("DROP TRIGGER kt_short_wait ON rvk327tag");
  held = db->Hold("select * from rvk327tag for update");
  int statuses[2];
  int go[2];
  ASSERT_EQ(pipe(statuses), 0);
  ASSERT_EQ(pipe(go), 0);
  ChildProcess child([&](const ChildProcess& self) {
    if (db->ConnectRuntime() != 0) return 1;
    stop_request::Note(SIGTERM);
    auto start = std::chrono::steady_clock::now();
    int results[4] = {update(), 0, 0, 0};
    results[3] = static_cast<int>(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (SqlExecute("rollback") != 0) return 4;
    self.SignalReady();  // the parent stops the server's process now
    char byte = 0;
    if (read(go[0], &byte, 1) != 1) return 2;
    results[1] = count();
    results[2] = count();
    return write(statuses[1], results, sizeof results) == sizeof results ? 0 : 3;
  });
  ASSERT_TRUE(child.WaitReady(30));
  int server = std::stoi(NativeScalar(native.get(), "select pid " + ProgramBackends(Database())));
  kill(server, SIGSTOP);
  ASSERT_EQ(write(go[1], "g", 1), 1);
  int results[4] = {};
  bool reported = read(statuses[0], results, sizeof results) == sizeof results;
  kill(server, SIGCONT);
  EXPECT_EQ(child.Wait(), 0);
  ASSERT_TRUE(reported);
  EXPECT_EQ(results[0], status::kCancelled) << "a statement still running after a stop";
  EXPECT_GE(results[3], 4);
  EXPECT_LE(results[3], 6);
  EXPECT_EQ(results[1], status::kNotConnected) << "a statement on a stalled server";
  EXPECT_EQ(results[2], status::kNotConnected);
  for (int fd : {statuses[0], statuses[1], go[0], go[1]}) close(fd);
}

}  // namespace

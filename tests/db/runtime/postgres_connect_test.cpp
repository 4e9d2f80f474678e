// PostgreSQL sessions: the URI forms, refused logins and unreachable services, credentials
// taken as written, no influence of the environment, the schema switch, silent notices and a
// connection that the server ends.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "db/runtime/status.h"
#include "postgres_fixture.h"

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
       "postgresql://127.0.0.1:" + FreePort() + "/" + Database(), status::kServiceUnresolved},
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
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=rvkstamm"), 0);
  int32_t count = -1;
  // The calendar is now unqualified, the planning tables are gone from view.
  EXPECT_EQ(SqlExecute("select count(*)  into :b0  from Rvk133Bak", {}, {db::IntOut(count)}), 0);
  EXPECT_EQ(SqlExecute("select count(*)  into :b0  from rvk327tag", {}, {db::IntOut(count)}),
            status::kNoSuchTable);
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=KTest"), 0);
  EXPECT_EQ(SqlExecute("insert into rvk327tag (TagPnr,TagTag) values (:b0,TO_DATE(:b1,'yyyymmdd'))",
                       {TextIn("P1", 9), TextIn("20240105", 11)}),
            0);
  EXPECT_EQ(SqlExecute("ALTER SESSION SET CURRENT_SCHEMA=rvkstamm"),
            status::kSessionChangeInTransaction);
  EXPECT_EQ(SqlExecute("commit"), 0);
  EXPECT_EQ(db->Count("select count(*) from rvk327tag"), 1);
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

// The server ends the session: pending work is gone and every later call says so.
TEST_F(PostgresConnectTest, SessionEndedByTheServerIsNotConnected) {
  db->Exec(
      "insert into rvk327tag (TagPnr, TagTag, TagTgb) values ('P1', '2024-01-05 00:00:00', 'a')");
  ASSERT_EQ(SqlExecute("update rvk327tag  set TagTgb=:b0 where TagPnr=:b1",
                       {TextIn("b", 4), TextIn("P1", 9)}),
            0);
  PgConnection native = Native();
  NativeScalar(native.get(),
               "select count(pg_terminate_backend(pid)) from pg_stat_activity where datname = '" +
                   Database() + "' and application_name = 'kestrumel'");
  EXPECT_EQ(SqlExecute("commit"), status::kNotConnected);
  EXPECT_EQ(SqlExecute("update rvk327tag  set TagTgb=:b0 where TagPnr=:b1",
                       {TextIn("c", 4), TextIn("P1", 9)}),
            status::kNotConnected);
  EXPECT_EQ(db->Scalar("select TagTgb from rvk327tag"), "a");
}

}  // namespace

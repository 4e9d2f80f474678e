/* The floor of a run: what the disk and the server cost at the least for one durable commit,
 * one synced log write and one statement, measured with small timed loops.
 *
 *   floor sqlite DIR      durable commit and bare prepared statement on a SQLite file in DIR
 *   floor log DIR         100-byte writes to a file opened with O_SYNC, as the message log is
 *   floor postgresql DIR  round trip and durable commit on the server the PG* variables name
 *
 * Prints "name seconds" lines. Each loop runs for about a second (at least a few dozen turns);
 * the cheapest of three rounds is taken, so that other work on the machine counts least. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static const double kRoundSeconds = 1.0;
static const long kMinimumTurns = 30;
static const int kRounds = 3;

static double Now(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static void Fail(const char* what, const char* detail) {
  fprintf(stderr, "floor: %s: %s\n", what, detail != NULL ? detail : "");
  exit(1);
}

typedef int (*Turn)(void* context);

/* Seconds per turn: the cheapest of a few rounds of about a second each. */
static double TimePerTurn(Turn turn, void* context) {
  double best = 0;
  for (int round = 0; round < kRounds; ++round) {
    long turns = 0;
    double start = Now(), elapsed = 0;
    while (turns < kMinimumTurns || elapsed < kRoundSeconds / kRounds) {
      if (turn(context) != 0) Fail("turn", "failed");
      ++turns;
      if (turns % 16 == 0 || turns < kMinimumTurns) elapsed = Now() - start;
    }
    elapsed = Now() - start;
    double each = elapsed / (double)turns;
    if (round == 0 || each < best) best = each;
  }
  return best;
}

/* ---- SQLite ---------------------------------------------------------------------------- */

typedef struct {
  sqlite3* db;
  sqlite3_stmt* begin;
  sqlite3_stmt* update;
  sqlite3_stmt* commit;
  sqlite3_stmt* bare;
} SqliteFloor;

static int Run(sqlite3_stmt* statement) {
  int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  return rc == SQLITE_DONE || rc == SQLITE_ROW ? 0 : 1;
}

static int SqliteCommit(void* context) {
  SqliteFloor* f = context;
  return Run(f->begin) || Run(f->update) || Run(f->commit);
}

static int SqliteBare(void* context) {
  SqliteFloor* f = context;
  sqlite3_bind_int(f->bare, 1, 7);
  return Run(f->bare);
}

static sqlite3_stmt* Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = NULL;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, NULL) != SQLITE_OK) {
    Fail(sql, sqlite3_errmsg(db));
  }
  return statement;
}

/* A commit that changes one row of a small table in write-ahead mode with full syncs, as the
 * program opens its files; the three statements of a turn are taken off again. */
static void SqliteFloors(const char* dir) {
  char path[4096];
  snprintf(path, sizeof path, "%s/floor.db", dir);
  SqliteFloor f;
  if (sqlite3_open(path, &f.db) != SQLITE_OK) Fail(path, sqlite3_errmsg(f.db));
  const char* setup =
      "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
      "CREATE TABLE IF NOT EXISTS floor (k INTEGER PRIMARY KEY, v INTEGER);"
      "INSERT OR REPLACE INTO floor VALUES (1, 0);";
  if (sqlite3_exec(f.db, setup, NULL, NULL, NULL) != SQLITE_OK) Fail(setup, sqlite3_errmsg(f.db));
  f.begin = Prepare(f.db, "BEGIN IMMEDIATE");
  f.update = Prepare(f.db, "UPDATE floor SET v = v + 1 WHERE k = 1");
  f.commit = Prepare(f.db, "COMMIT");
  f.bare = Prepare(f.db, "SELECT ?1");
  double bare = TimePerTurn(SqliteBare, &f);
  double commit = TimePerTurn(SqliteCommit, &f) - 3 * bare;
  printf("statement %.9f\ncommit %.9f\n", bare, commit);
  sqlite3_finalize(f.begin);
  sqlite3_finalize(f.update);
  sqlite3_finalize(f.commit);
  sqlite3_finalize(f.bare);
  sqlite3_close(f.db);
  unlink(path);
}

/* ---- synced log write ------------------------------------------------------------------ */

static int LogWrite(void* context) {
  static const char kLine[100] = "floor: one log entry of a hundred bytes\r\n";
  int fd = *(int*)context;
  return write(fd, kLine, sizeof kLine) == (ssize_t)sizeof kLine ? 0 : 1;
}

static void LogFloor(const char* dir) {
  char path[4096];
  snprintf(path, sizeof path, "%s/floor.log", dir);
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_SYNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail(path, "cannot open");
  printf("log_write %.9f\n", TimePerTurn(LogWrite, &fd));
  close(fd);
  unlink(path);
}

/* ---- PostgreSQL ------------------------------------------------------------------------ */

static int PgExec(PGconn* conn, const char* name) {
  PGresult* result = PQexecPrepared(conn, name, 0, NULL, NULL, NULL, 0);
  ExecStatusType state = PQresultStatus(result);
  PQclear(result);
  return state == PGRES_COMMAND_OK || state == PGRES_TUPLES_OK ? 0 : 1;
}

static int PgRoundTrip(void* context) { return PgExec(context, "floor_select"); }

static int PgCommit(void* context) { return PgExec(context, "floor_update"); }

static void PgCommand(PGconn* conn, const char* sql) {
  PGresult* result = PQexec(conn, sql);
  if (PQresultStatus(result) != PGRES_COMMAND_OK) Fail(sql, PQerrorMessage(conn));
  PQclear(result);
}

static void PgPrepare(PGconn* conn, const char* name, const char* sql) {
  PGresult* result = PQprepare(conn, name, sql, 0, NULL);
  if (PQresultStatus(result) != PGRES_COMMAND_OK) Fail(sql, PQerrorMessage(conn));
  PQclear(result);
}

/* One update in autocommit is a round trip and a durable commit; the round trip measured
 * alone is taken off. */
static void PgFloors(void) {
  PGconn* conn = PQconnectdb("");
  if (PQstatus(conn) != CONNECTION_OK) Fail("connect", PQerrorMessage(conn));
  PgCommand(conn, "CREATE TABLE IF NOT EXISTS floor (k integer PRIMARY KEY, v integer)");
  PgCommand(conn, "INSERT INTO floor VALUES (1, 0) ON CONFLICT (k) DO NOTHING");
  PgPrepare(conn, "floor_select", "select 1");
  PgPrepare(conn, "floor_update", "update floor set v = v + 1 where k = 1");
  double trip = TimePerTurn(PgRoundTrip, conn);
  double commit = TimePerTurn(PgCommit, conn) - trip;
  PgCommand(conn, "DROP TABLE floor");
  printf("round_trip %.9f\ncommit %.9f\n", trip, commit);
  PQfinish(conn);
}

int main(int argc, char** argv) {
  if (argc != 3) Fail("usage", "floor sqlite|log|postgresql DIR");
  if (strcmp(argv[1], "sqlite") == 0) {
    SqliteFloors(argv[2]);
  } else if (strcmp(argv[1], "log") == 0) {
    LogFloor(argv[2]);
  } else if (strcmp(argv[1], "postgresql") == 0) {
    PgFloors();
  } else {
    Fail("unknown floor", argv[1]);
  }
  return 0;
}

/* The run's own work at the least cost on PostgreSQL: replays a recording of record_shim.c.
 *
 *   replay_postgresql RECORDING LOGFILE DBNAME
 *
 * Connects as the PG* variables say, to DBNAME (a fresh copy of the run's database), with the
 * program's own connection options (its session settings among them), in pipeline mode, and
 * sends the same commands in the same pipelines: each sync is followed by reading every
 * answer up to it, so the round trips are the program's. The message log's entries become
 * synced writes of the same sizes. Prints "key value" lines (recording.h); mismatches is how
 * far the number of failed commands is from the recorded run's.
 *
 * With KESTRUMEL_BENCH_REPLAY_UNPIPELINED set, every statement is synced and answered before the
 * next goes out, as a driver without a pipeline sends them: the least a client on libpq spends
 * on the same statements one round trip each. */
#include <libpq-fe.h>

#include "recording.h"

typedef struct {
  char kind;           /* C Z P E T Y R X F W, as record_shim.c writes them */
  int conn;
  const char* name;    /* P, E: the prepared statement */
  const char* sql;     /* P, T, X */
  int count;           /* P: types, E and T: values, C: keyword pairs; W: bytes */
  size_t types;        /* P, T: the first of the oids */
  size_t texts;        /* E, T: the first value; C: the first keyword */
} Event;

typedef struct {
  Event* events;
  size_t event_count, event_capacity;
  const char** texts;  /* values (NULL for NULL) and connection keywords */
  size_t text_count, text_capacity;
  Oid* oids;
  size_t oid_count, oid_capacity;
  PGconn* conns[64];
  int log;
  long statements;
  long failures;
  long expected_failures;
  int unpipelined;  /* a sync after every statement */
  int unsynced;     /* statements sent since the last sync */
} Replay;

#define GROW(array, count, capacity)                                            \
  do {                                                                          \
    if ((count) == (capacity)) {                                                \
      (capacity) = (capacity) ? 2 * (capacity) : 1024;                          \
      (array) = realloc((array), (capacity) * sizeof *(array));                 \
      if ((array) == NULL) RecordingFail("out of memory", "");                  \
    }                                                                           \
  } while (0)

static void AddText(Replay* r, const char* text) {
  GROW(r->texts, r->text_count, r->text_capacity);
  r->texts[r->text_count++] = text;
}

static void AddOid(Replay* r, Oid oid) {
  GROW(r->oids, r->oid_count, r->oid_capacity);
  r->oids[r->oid_count++] = oid;
}

static int ConnNumber(const char* field) {
  int conn = atoi(field);
  if (conn < 0 || conn >= 64) RecordingFail("connection number out of range", field);
  return conn;
}

/* Oids of "N OID..." at fields[at]; the count. */
static int ParseOids(Replay* r, char** fields, int count, int at, Event* event) {
  if (at >= count) RecordingFail("incomplete line", fields[0]);
  int n = atoi(fields[at]);
  if (at + 1 + n > count) RecordingFail("incomplete line", fields[0]);
  event->types = r->oid_count;
  for (int i = 0; i < n; ++i) AddOid(r, (Oid)strtoul(fields[at + 1 + i], NULL, 10));
  return n;
}

/* Values "n" or "tTEXT" from fields[at] on; the texts pool holds them from *first. */
static void ParseValues(Replay* r, char** fields, int count, int at, int n, size_t* first) {
  if (at + n != count) RecordingFail("values do not match their count", fields[0]);
  *first = r->text_count;
  for (int i = 0; i < n; ++i) AddText(r, fields[at + i][0] == 'n' ? NULL : fields[at + i] + 1);
}

static void Load(Replay* r, char* data) {
  static char* fields[RECORDING_MAX_FIELDS];
  static int lengths[RECORDING_MAX_FIELDS];
  char* cursor = data;
  int count;
  while ((count = RecordingNextLine(&cursor, fields, lengths)) >= 0) {
    Event event = {fields[0][0], 0, NULL, NULL, 0, 0, 0};
    if (count < 2) RecordingFail("incomplete line", fields[0]);
    if (event.kind != 'W') event.conn = ConnNumber(fields[1]);
    switch (event.kind) {
      case 'C':
        event.texts = r->text_count;
        event.count = (count - 2) / 2;
        for (int i = 2; i < count; ++i) AddText(r, fields[i]);
        break;
      case 'P':
        if (count < 4) RecordingFail("incomplete line", fields[0]);
        event.name = fields[2];
        event.sql = fields[3];
        event.count = ParseOids(r, fields, count, 4, &event);
        break;
      case 'E':
        if (count < 4) RecordingFail("incomplete line", fields[0]);
        event.name = fields[2];
        event.count = atoi(fields[3]);
        ParseValues(r, fields, count, 4, event.count, &event.texts);
        break;
      case 'T':
        if (count < 4) RecordingFail("incomplete line", fields[0]);
        event.sql = fields[2];
        event.count = ParseOids(r, fields, count, 3, &event);
        ParseValues(r, fields, count, 4 + event.count, event.count, &event.texts);
        break;
      case 'X':
        if (count < 3) RecordingFail("incomplete line", fields[0]);
        event.sql = fields[2];
        break;
      case 'W': event.count = atoi(fields[1]); break;
      case 'Z':
      case 'Y':
      case 'R':
      case 'F': break;
      default: RecordingFail("not a line of a libpq recording", fields[0]);
    }
    GROW(r->events, r->event_count, r->event_capacity);
    r->events[r->event_count++] = event;
  }
}

static void IgnoreNotice(void* context, const char* message) {
  (void)context;
  (void)message;
}

/* The recorded options and DBNAME; host, port, user and password from the PG* variables. */
static PGconn* Connect(Replay* r, const Event* event, const char* database) {
  const char* keywords[64];
  const char* values[64];
  int n = 0;
  for (int i = 0; i < event->count && n < 62; ++i, ++n) {
    keywords[n] = r->texts[event->texts + 2 * (size_t)i];
    values[n] = r->texts[event->texts + 2 * (size_t)i + 1];
  }
  keywords[n] = "dbname";
  values[n++] = database;
  keywords[n] = NULL;
  values[n] = NULL;
  PGconn* conn = PQconnectdbParams(keywords, values, 0);
  if (PQstatus(conn) != CONNECTION_OK) RecordingFail("connect", PQerrorMessage(conn));
  PQsetNoticeProcessor(conn, IgnoreNotice, NULL);
  return conn;
}

static int Failed(ExecStatusType state) {
  return state == PGRES_FATAL_ERROR || state == PGRES_PIPELINE_ABORTED;
}

/* Every answer up to the sync's, as the program reads them. */
static void ReadPipeline(Replay* r, PGconn* conn) {
  for (;;) {
    PGresult* result = PQgetResult(conn);
    if (result == NULL) {
      if (PQstatus(conn) != CONNECTION_OK) RecordingFail("connection lost", PQerrorMessage(conn));
      continue;  /* the end of one command's answers */
    }
    ExecStatusType state = PQresultStatus(result);
    PQclear(result);
    if (state == PGRES_PIPELINE_SYNC) return;
    if (Failed(state)) ++r->failures;
  }
}

static void Send(int sent, PGconn* conn) {
  if (sent != 1) RecordingFail("send", PQerrorMessage(conn));
}

static void Sync(Replay* r, PGconn* conn) {
  Send(PQpipelineSync(conn), conn);
  ReadPipeline(r, conn);
  r->unsynced = 0;
}

static void Sent(Replay* r, PGconn* conn) {
  ++r->statements;
  ++r->unsynced;
  if (r->unpipelined) Sync(r, conn);
}

static void Run(Replay* r, const char* log_path, const char* database) {
  for (size_t k = 0; k < r->event_count; ++k) {
    const Event* event = &r->events[k];
    PGconn* conn = r->conns[event->conn];
    switch (event->kind) {
      case 'C': r->conns[event->conn] = Connect(r, event, database); break;
      case 'Z':
        if (PQenterPipelineMode(conn) != 1) RecordingFail("pipeline mode", PQerrorMessage(conn));
        break;
      case 'P':
        Send(PQsendPrepare(conn, event->name, event->sql, event->count, r->oids + event->types),
             conn);
        break;
      case 'E':
        Send(PQsendQueryPrepared(conn, event->name, event->count, r->texts + event->texts, NULL,
                                 NULL, 0),
             conn);
        Sent(r, conn);
        break;
      case 'T':
        Send(PQsendQueryParams(conn, event->sql, event->count, r->oids + event->types,
                               r->texts + event->texts, NULL, NULL, 0),
             conn);
        Sent(r, conn);
        break;
      case 'Y':
        if (!r->unpipelined || r->unsynced > 0) Sync(r, conn);
        break;
      case 'R': ++r->expected_failures; break;
      case 'X': {
        PGresult* result = PQexec(conn, event->sql);
        if (Failed(PQresultStatus(result))) ++r->failures;
        PQclear(result);
        ++r->statements;
        break;
      }
      case 'F':
        PQfinish(conn);
        r->conns[event->conn] = NULL;
        break;
      case 'W':
        if (r->log < 0) r->log = RecordingOpenLog(log_path);
        RecordingWriteLog(r->log, event->count);
        break;
    }
  }
}

int main(int argc, char** argv) {
  double start = RecordingNow();
  if (argc != 4) RecordingFail("usage", "replay_postgresql RECORDING LOGFILE DBNAME");
  static Replay replay;
  replay.log = -1;
  replay.unpipelined = getenv("KESTRUMEL_BENCH_REPLAY_UNPIPELINED") != NULL;
  Load(&replay, RecordingRead(argv[1]));
  double loaded = RecordingNow();
  double load_cpu = RecordingCpu();
  Run(&replay, argv[2], argv[3]);
  long mismatches = labs(replay.failures - replay.expected_failures);
  RecordingReport(loaded - start, load_cpu, replay.statements, mismatches);
  return 0;
}

/* Recording shim for the benchmark, loaded with LD_PRELOAD into one untimed run of kestrumel.
 *
 * It writes every statement the run sends to SQLite or libpq, in order, to the file named by
 * KESTRUMEL_BENCH_RECORD, so that the replay tools can do the same work without the program.
 * One event a line, fields separated by tabs; texts escaped as recording.h reads them.
 *
 *   SQLite                                       libpq
 *   o DB FLAGS FILE        sqlite3_open_v2       C CONN KEY VALUE ...   connect (no dbname,
 *   c DB                   sqlite3_close                                user, password, host)
 *   p STMT DB FLAGS SQL    prepare (v2: flags 0) Z CONN                 enter pipeline mode
 *   f STMT                 finalize              P CONN NAME SQL N OIDS...  PQsendPrepare
 *   e STMT STEPS RC VALUES one execution: its    E CONN NAME N VALUES...    PQsendQueryPrepared
 *                          bindings, the steps   T CONN SQL N OIDS... VALUES... PQsendQueryParams
 *                          it took, the last     Y CONN                 PQpipelineSync
 *                          step's result         R CONN STATUS          a failed command's result
 *   x DB SQL               sqlite3_exec          X CONN SQL             PQexec
 *                                                F CONN                 PQfinish
 *   W BYTES   a synced write (the message log)   ! WHAT                 a call the replay lacks
 *
 * A value is n (NULL), iINTEGER, fHEXFLOAT, tTEXT or bHEX. An execution is written when it
 * ends (its last step, a reset or a finalize): the program steps one statement at a time, so
 * that is also the order in which they ran. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

typedef struct sqlite3 sqlite3;
typedef struct sqlite3_stmt sqlite3_stmt;
typedef struct sqlite3_vfs sqlite3_vfs;
typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;
typedef unsigned int Oid;
typedef int64_t sqlite3_int64;

#define SQLITE_ROW 100
#define PGRES_FATAL_ERROR 7
#define PGRES_PIPELINE_ABORTED 11

#define NEXT(name) static __typeof__(name)* next_##name; \
  if (next_##name == NULL) next_##name = (__typeof__(name)*)dlsym(RTLD_NEXT, #name)

/* ---- the recording file ---------------------------------------------------------------- */

static FILE* out;
static int out_failed;

static FILE* Out(void) {
  if (out != NULL || out_failed) return out;
  const char* path = getenv("KESTRUMEL_BENCH_RECORD");
  if (path == NULL || *path == '\0' || (out = fopen(path, "w")) == NULL) {
    out_failed = 1;
    return NULL;
  }
  setvbuf(out, NULL, _IOFBF, 1 << 20);
  fputs("# kestrumel recording 1\n", out);
  return out;
}

static void PutText(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    switch (c) {
      case '\\': fputs("\\\\", out); break;
      case '\t': fputs("\\t", out); break;
      case '\n': fputs("\\n", out); break;
      case '\r': fputs("\\r", out); break;
      case '\0': fputs("\\0", out); break;
      default: fputc(c, out);
    }
  }
}

static void PutField(const char* text) {
  fputc('\t', out);
  if (text != NULL) PutText(text, strlen(text));
}

/* A synced write's size; its bytes are of no account to the cost. */
static void RecordSyncedWrite(size_t bytes) {
  if (Out() != NULL) fprintf(out, "W\t%zu\n", bytes);
}

__attribute__((destructor)) static void CloseRecording(void) {
  if (out != NULL) fclose(out);
  out = NULL;
}

/* ---- SQLite: connections and statements by number -------------------------------------- */

typedef struct {
  char type;  /* n, i, f, t, b */
  sqlite3_int64 integer;
  double real;
  char* bytes;
  size_t length;
  size_t capacity;
} Value;

/* A live statement: the program keeps a few dozen, so a short list searched from the newest. */
typedef struct {
  const sqlite3_stmt* handle;
  int id;
  int running;
  long steps;
  int values;
  Value* bound;
} Live;

#define MAX_LIVE 4096
static Live live[MAX_LIVE];
static int live_count;
static int next_statement_id;

#define MAX_DBS 256
static const sqlite3* dbs[MAX_DBS];
static int db_count;

static int DbId(const sqlite3* db) {
  for (int i = db_count - 1; i >= 0; --i) {
    if (dbs[i] == db) return i;
  }
  return -1;
}

static Live* Find(const sqlite3_stmt* handle) {
  for (int i = live_count - 1; i >= 0; --i) {
    if (live[i].handle == handle) return &live[i];
  }
  return NULL;
}

/* SQLite calls itself through its exported names (sqlite3_exec to read a schema, prepares
 * inside sqlite3_exec): only the program's own calls, at depth 0, are recorded. */
static int depth;

int sqlite3_bind_parameter_count(sqlite3_stmt* statement);

static void NoteStatement(sqlite3* db, const char* sql, const char* tail, unsigned flags,
                          sqlite3_stmt* statement) {
  if (statement == NULL || Out() == NULL) return;
  if (live_count == MAX_LIVE) {
    fputs("!\ttoo many statements\n", out);
    return;
  }
  NEXT(sqlite3_bind_parameter_count);
  Live* entry = &live[live_count++];
  memset(entry, 0, sizeof *entry);
  entry->handle = statement;
  entry->id = next_statement_id++;
  entry->values = next_sqlite3_bind_parameter_count(statement);
  entry->bound = calloc((size_t)entry->values + 1, sizeof(Value));
  for (int i = 0; i < entry->values; ++i) entry->bound[i].type = 'n';
  size_t length = tail != NULL && tail >= sql ? (size_t)(tail - sql) : strlen(sql);
  fprintf(out, "p\t%d\t%d\t%u\t", entry->id, DbId(db), flags);
  PutText(sql, length);
  fputc('\n', out);
}

static void PutValue(const Value* value) {
  fputc('\t', out);
  fputc(value->type, out);
  switch (value->type) {
    case 'i': fprintf(out, "%lld", (long long)value->integer); break;
    case 'f': fprintf(out, "%a", value->real); break;
    case 't': PutText(value->bytes, value->length); break;
    case 'b':
      for (size_t i = 0; i < value->length; ++i) fprintf(out, "%02x", (unsigned char)value->bytes[i]);
      break;
  }
}

static void WriteExecution(Live* entry, int rc) {
  entry->running = 0;
  if (Out() == NULL) return;
  fprintf(out, "e\t%d\t%ld\t%d", entry->id, entry->steps, rc);
  for (int i = 0; i < entry->values; ++i) PutValue(&entry->bound[i]);
  fputc('\n', out);
}

static Value* Slot(sqlite3_stmt* statement, int position) {
  if (depth > 0) return NULL;
  Live* entry = Find(statement);
  if (entry == NULL || position < 1 || position > entry->values) return NULL;
  return &entry->bound[position - 1];
}

static void KeepBytes(Value* value, char type, const void* bytes, size_t length) {
  if (length + 1 > value->capacity) {
    char* grown = realloc(value->bytes, length + 1);
    if (grown == NULL) return;
    value->bytes = grown;
    value->capacity = length + 1;
  }
  if (length > 0) memcpy(value->bytes, bytes, length);
  value->type = type;
  value->length = length;
}

int sqlite3_open_v2(const char* file, sqlite3** db, int flags, const char* vfs) {
  NEXT(sqlite3_open_v2);
  int outer = depth++ == 0;
  int rc = next_sqlite3_open_v2(file, db, flags, vfs);
  --depth;
  if (outer && *db != NULL && rc == 0 && Out() != NULL && db_count < MAX_DBS) {
    dbs[db_count] = *db;
    fprintf(out, "o\t%d\t%d\t", db_count++, flags);
    PutText(file, strlen(file));
    fputc('\n', out);
  }
  return rc;
}

static void NoteClose(sqlite3* db, int rc) {
  int id = DbId(db);
  if (depth > 0 || rc != 0 || id < 0 || Out() == NULL) return;
  fprintf(out, "c\t%d\n", id);
  dbs[id] = NULL;  /* the number is not handed out again */
}

int sqlite3_close(sqlite3* db) {
  NEXT(sqlite3_close);
  ++depth;
  int rc = next_sqlite3_close(db);
  --depth;
  NoteClose(db, rc);
  return rc;
}

int sqlite3_close_v2(sqlite3* db) {
  NEXT(sqlite3_close_v2);
  ++depth;
  int rc = next_sqlite3_close_v2(db);
  --depth;
  NoteClose(db, rc);
  return rc;
}

int sqlite3_prepare_v2(sqlite3* db, const char* sql, int bytes, sqlite3_stmt** statement,
                       const char** tail) {
  NEXT(sqlite3_prepare_v2);
  const char* end = NULL;
  int outer = depth++ == 0;
  int rc = next_sqlite3_prepare_v2(db, sql, bytes, statement, &end);
  --depth;
  if (tail != NULL) *tail = end;
  if (outer && statement != NULL) NoteStatement(db, sql, end, 0, *statement);
  return rc;
}

int sqlite3_prepare_v3(sqlite3* db, const char* sql, int bytes, unsigned int flags,
                       sqlite3_stmt** statement, const char** tail) {
  NEXT(sqlite3_prepare_v3);
  const char* end = NULL;
  int outer = depth++ == 0;
  int rc = next_sqlite3_prepare_v3(db, sql, bytes, flags, statement, &end);
  --depth;
  if (tail != NULL) *tail = end;
  if (outer && statement != NULL) NoteStatement(db, sql, end, flags, *statement);
  return rc;
}

int sqlite3_bind_null(sqlite3_stmt* statement, int position) {
  NEXT(sqlite3_bind_null);
  Value* value = Slot(statement, position);
  if (value != NULL) value->type = 'n';
  return next_sqlite3_bind_null(statement, position);
}

int sqlite3_bind_int(sqlite3_stmt* statement, int position, int number) {
  NEXT(sqlite3_bind_int);
  Value* value = Slot(statement, position);
  if (value != NULL) {
    value->type = 'i';
    value->integer = number;
  }
  return next_sqlite3_bind_int(statement, position, number);
}

int sqlite3_bind_int64(sqlite3_stmt* statement, int position, sqlite3_int64 number) {
  NEXT(sqlite3_bind_int64);
  Value* value = Slot(statement, position);
  if (value != NULL) {
    value->type = 'i';
    value->integer = number;
  }
  return next_sqlite3_bind_int64(statement, position, number);
}

int sqlite3_bind_double(sqlite3_stmt* statement, int position, double number) {
  NEXT(sqlite3_bind_double);
  Value* value = Slot(statement, position);
  if (value != NULL) {
    value->type = 'f';
    value->real = number;
  }
  return next_sqlite3_bind_double(statement, position, number);
}

int sqlite3_bind_text(sqlite3_stmt* statement, int position, const char* text, int bytes,
                      void (*destructor)(void*)) {
  NEXT(sqlite3_bind_text);
  Value* value = Slot(statement, position);
  if (value != NULL && text == NULL) value->type = 'n';
  if (value != NULL && text != NULL) {
    KeepBytes(value, 't', text, bytes < 0 ? strlen(text) : (size_t)bytes);
  }
  return next_sqlite3_bind_text(statement, position, text, bytes, destructor);
}

int sqlite3_bind_blob(sqlite3_stmt* statement, int position, const void* bytes, int length,
                      void (*destructor)(void*)) {
  NEXT(sqlite3_bind_blob);
  Value* value = Slot(statement, position);
  if (value != NULL && bytes == NULL) value->type = 'n';
  if (value != NULL && bytes != NULL) KeepBytes(value, 'b', bytes, (size_t)length);
  return next_sqlite3_bind_blob(statement, position, bytes, length, destructor);
}

int sqlite3_clear_bindings(sqlite3_stmt* statement) {
  NEXT(sqlite3_clear_bindings);
  Live* entry = depth > 0 ? NULL : Find(statement);
  for (int i = 0; entry != NULL && i < entry->values; ++i) entry->bound[i].type = 'n';
  return next_sqlite3_clear_bindings(statement);
}

int sqlite3_step(sqlite3_stmt* statement) {
  NEXT(sqlite3_step);
  Live* entry = depth > 0 ? NULL : Find(statement);
  if (entry != NULL && !entry->running) {
    entry->running = 1;
    entry->steps = 0;
  }
  ++depth;
  int rc = next_sqlite3_step(statement);
  --depth;
  if (entry != NULL) {
    ++entry->steps;
    if (rc != SQLITE_ROW) WriteExecution(entry, rc);
  }
  return rc;
}

/* A reset or finalize in the middle of the rows ends the execution there. */
int sqlite3_reset(sqlite3_stmt* statement) {
  NEXT(sqlite3_reset);
  Live* entry = depth > 0 ? NULL : Find(statement);
  if (entry != NULL && entry->running) WriteExecution(entry, SQLITE_ROW);
  ++depth;
  int rc = next_sqlite3_reset(statement);
  --depth;
  return rc;
}

int sqlite3_finalize(sqlite3_stmt* statement) {
  NEXT(sqlite3_finalize);
  Live* entry = depth > 0 ? NULL : Find(statement);
  if (entry != NULL) {
    if (entry->running) WriteExecution(entry, SQLITE_ROW);
    if (Out() != NULL) fprintf(out, "f\t%d\n", entry->id);
    for (int i = 0; i < entry->values; ++i) free(entry->bound[i].bytes);
    free(entry->bound);
    *entry = live[--live_count];
  }
  ++depth;
  int rc = next_sqlite3_finalize(statement);
  --depth;
  return rc;
}

int sqlite3_exec(sqlite3* db, const char* sql, int (*callback)(void*, int, char**, char**),
                 void* argument, char** error) {
  NEXT(sqlite3_exec);
  if (depth == 0 && sql != NULL && Out() != NULL) {
    fprintf(out, "x\t%d\t", DbId(db));
    PutText(sql, strlen(sql));
    fputc('\n', out);
    if (callback != NULL) fputs("!\tsqlite3_exec with a callback\n", out);
  }
  ++depth;
  int rc = next_sqlite3_exec(db, sql, callback, argument, error);
  --depth;
  return rc;
}

/* ---- libpq ----------------------------------------------------------------------------- */

#define MAX_CONNS 64
static const PGconn* conns[MAX_CONNS];
static int conn_count;

static int ConnId(const PGconn* conn) {
  for (int i = conn_count - 1; i >= 0; --i) {
    if (conns[i] == conn) return i;
  }
  return -1;
}

/* libpq's synchronous calls may run through its asynchronous ones: those then belong to the
 * synchronous call's line. */
static int in_sync_call;

/* The replay connects to its own database as its own user: what names them stays out. */
static int Personal(const char* keyword) {
  static const char* const kLeftOut[] = {"dbname", "user", "password", "passfile", "host",
                                         "hostaddr", "port", "service", NULL};
  for (int i = 0; kLeftOut[i] != NULL; ++i) {
    if (strcmp(keyword, kLeftOut[i]) == 0) return 1;
  }
  return 0;
}

PGconn* PQconnectStartParams(const char* const* keywords, const char* const* values,
                             int expand_dbname);
PGconn* PQconnectdbParams(const char* const* keywords, const char* const* values,
                          int expand_dbname);

static void NoteConnect(PGconn* conn, const char* const* keywords, const char* const* values) {
  if (conn == NULL || Out() == NULL || conn_count == MAX_CONNS) return;
  conns[conn_count] = conn;
  fprintf(out, "C\t%d", conn_count++);
  for (int i = 0; keywords[i] != NULL; ++i) {
    if (values[i] == NULL || Personal(keywords[i])) continue;
    PutField(keywords[i]);
    PutField(values[i]);
  }
  fputc('\n', out);
}

PGconn* PQconnectStartParams(const char* const* keywords, const char* const* values,
                             int expand_dbname) {
  NEXT(PQconnectStartParams);
  PGconn* conn = next_PQconnectStartParams(keywords, values, expand_dbname);
  NoteConnect(conn, keywords, values);
  return conn;
}

PGconn* PQconnectdbParams(const char* const* keywords, const char* const* values,
                          int expand_dbname) {
  NEXT(PQconnectdbParams);
  PGconn* conn = next_PQconnectdbParams(keywords, values, expand_dbname);
  NoteConnect(conn, keywords, values);
  return conn;
}

int PQenterPipelineMode(PGconn* conn);
int PQenterPipelineMode(PGconn* conn) {
  NEXT(PQenterPipelineMode);
  int rc = next_PQenterPipelineMode(conn);
  if (rc == 1 && Out() != NULL) fprintf(out, "Z\t%d\n", ConnId(conn));
  return rc;
}

static void PutOids(int count, const Oid* types) {
  fprintf(out, "\t%d", count);
  for (int i = 0; i < count; ++i) fprintf(out, "\t%u", types != NULL ? types[i] : 0u);
}

/* Text values only: the program sends every input as text. */
static void PutParameters(int count, const char* const* values, const int* formats) {
  for (int i = 0; i < count; ++i) {
    if (formats != NULL && formats[i] != 0) {
      fputs("\n!\tbinary parameter", out);
      return;
    }
    if (values == NULL || values[i] == NULL) {
      fputs("\tn", out);
    } else {
      fputs("\tt", out);
      PutText(values[i], strlen(values[i]));
    }
  }
}

int PQsendPrepare(PGconn* conn, const char* name, const char* query, int count, const Oid* types);
int PQsendPrepare(PGconn* conn, const char* name, const char* query, int count, const Oid* types) {
  NEXT(PQsendPrepare);
  if (!in_sync_call && Out() != NULL) {
    fprintf(out, "P\t%d", ConnId(conn));
    PutField(name);
    PutField(query);
    PutOids(count, types);
    fputc('\n', out);
  }
  return next_PQsendPrepare(conn, name, query, count, types);
}

int PQsendQueryPrepared(PGconn* conn, const char* name, int count, const char* const* values,
                        const int* lengths, const int* formats, int resultFormat);
int PQsendQueryPrepared(PGconn* conn, const char* name, int count, const char* const* values,
                        const int* lengths, const int* formats, int resultFormat) {
  NEXT(PQsendQueryPrepared);
  if (!in_sync_call && Out() != NULL) {
    fprintf(out, "E\t%d", ConnId(conn));
    PutField(name);
    fprintf(out, "\t%d", count);
    PutParameters(count, values, formats);
    if (resultFormat != 0) fputs("\n!\tbinary results", out);
    fputc('\n', out);
  }
  return next_PQsendQueryPrepared(conn, name, count, values, lengths, formats, resultFormat);
}

int PQsendQueryParams(PGconn* conn, const char* command, int count, const Oid* types,
                      const char* const* values, const int* lengths, const int* formats,
                      int resultFormat);
int PQsendQueryParams(PGconn* conn, const char* command, int count, const Oid* types,
                      const char* const* values, const int* lengths, const int* formats,
                      int resultFormat) {
  NEXT(PQsendQueryParams);
  if (!in_sync_call && Out() != NULL) {
    fprintf(out, "T\t%d", ConnId(conn));
    PutField(command);
    PutOids(count, types);
    PutParameters(count, values, formats);
    if (resultFormat != 0) fputs("\n!\tbinary results", out);
    fputc('\n', out);
  }
  return next_PQsendQueryParams(conn, command, count, types, values, lengths, formats,
                                resultFormat);
}

int PQsendQuery(PGconn* conn, const char* query);
int PQsendQuery(PGconn* conn, const char* query) {
  NEXT(PQsendQuery);
  if (!in_sync_call && Out() != NULL) fputs("!\tPQsendQuery\n", out);
  return next_PQsendQuery(conn, query);
}

int PQpipelineSync(PGconn* conn);
int PQpipelineSync(PGconn* conn) {
  NEXT(PQpipelineSync);
  if (Out() != NULL) fprintf(out, "Y\t%d\n", ConnId(conn));
  return next_PQpipelineSync(conn);
}

int PQresultStatus(const PGresult* result);

/* A failed or skipped command: the replay is to meet the same failures. */
static void NoteFailure(PGconn* conn, const PGresult* result) {
  NEXT(PQresultStatus);
  if (result == NULL || Out() == NULL) return;
  int state = next_PQresultStatus(result);
  if (state == PGRES_FATAL_ERROR || state == PGRES_PIPELINE_ABORTED) {
    fprintf(out, "R\t%d\t%d\n", ConnId(conn), state);
  }
}

PGresult* PQgetResult(PGconn* conn);
PGresult* PQgetResult(PGconn* conn) {
  NEXT(PQgetResult);
  PGresult* result = next_PQgetResult(conn);
  if (!in_sync_call) NoteFailure(conn, result);
  return result;
}

PGresult* PQexec(PGconn* conn, const char* query);
PGresult* PQexec(PGconn* conn, const char* query) {
  NEXT(PQexec);
  if (Out() != NULL) {
    fprintf(out, "X\t%d", ConnId(conn));
    PutField(query);
    fputc('\n', out);
  }
  ++in_sync_call;
  PGresult* result = next_PQexec(conn, query);
  --in_sync_call;
  NoteFailure(conn, result);
  return result;
}

/* The synchronous forms of a prepare and an execution: not used by the program. */
PGresult* PQprepare(PGconn* conn, const char* name, const char* query, int count,
                    const Oid* types);
PGresult* PQprepare(PGconn* conn, const char* name, const char* query, int count,
                    const Oid* types) {
  NEXT(PQprepare);
  if (Out() != NULL) fputs("!\tPQprepare\n", out);
  ++in_sync_call;
  PGresult* result = next_PQprepare(conn, name, query, count, types);
  --in_sync_call;
  return result;
}

PGresult* PQexecPrepared(PGconn* conn, const char* name, int count, const char* const* values,
                         const int* lengths, const int* formats, int resultFormat);
PGresult* PQexecPrepared(PGconn* conn, const char* name, int count, const char* const* values,
                         const int* lengths, const int* formats, int resultFormat) {
  NEXT(PQexecPrepared);
  if (Out() != NULL) fputs("!\tPQexecPrepared\n", out);
  ++in_sync_call;
  PGresult* result = next_PQexecPrepared(conn, name, count, values, lengths, formats, resultFormat);
  --in_sync_call;
  return result;
}

PGresult* PQexecParams(PGconn* conn, const char* command, int count, const Oid* types,
                       const char* const* values, const int* lengths, const int* formats,
                       int resultFormat);
PGresult* PQexecParams(PGconn* conn, const char* command, int count, const Oid* types,
                       const char* const* values, const int* lengths, const int* formats,
                       int resultFormat) {
  NEXT(PQexecParams);
  if (Out() != NULL) fputs("!\tPQexecParams\n", out);
  ++in_sync_call;
  PGresult* result =
      next_PQexecParams(conn, command, count, types, values, lengths, formats, resultFormat);
  --in_sync_call;
  return result;
}

void PQfinish(PGconn* conn);
void PQfinish(PGconn* conn) {
  NEXT(PQfinish);
  int id = ConnId(conn);
  if (id >= 0 && Out() != NULL) {
    fprintf(out, "F\t%d\n", id);
    conns[id] = NULL;
  }
  next_PQfinish(conn);
}

/* ---- the message log: descriptors opened with O_SYNC ---------------------------------- */

#define MAX_FDS 4096
static unsigned char synced[MAX_FDS];

static void NoteOpen(int fd, int flags) {
  if (fd >= 0 && fd < MAX_FDS) synced[fd] = (flags & O_SYNC) == O_SYNC;
}

static mode_t ModeOf(int flags, va_list arguments) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? (mode_t)va_arg(arguments, int) : 0;
}

int open(const char* path, int flags, ...) {
  NEXT(open);
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  int fd = next_open(path, flags, mode);
  NoteOpen(fd, flags);
  return fd;
}

int open64(const char* path, int flags, ...) {
  NEXT(open64);
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  int fd = next_open64(path, flags, mode);
  NoteOpen(fd, flags);
  return fd;
}

int openat(int directory, const char* path, int flags, ...) {
  NEXT(openat);
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  int fd = next_openat(directory, path, flags, mode);
  NoteOpen(fd, flags);
  return fd;
}

int close(int fd) {
  NEXT(close);
  if (fd >= 0 && fd < MAX_FDS) synced[fd] = 0;
  return next_close(fd);
}

ssize_t write(int fd, const void* buffer, size_t size) {
  NEXT(write);
  ssize_t written = next_write(fd, buffer, size);
  if (fd >= 0 && fd < MAX_FDS && synced[fd] && written > 0) RecordSyncedWrite((size_t)written);
  return written;
}

ssize_t writev(int fd, const struct iovec* vector, int count) {
  NEXT(writev);
  ssize_t written = next_writev(fd, vector, count);
  if (fd >= 0 && fd < MAX_FDS && synced[fd] && written > 0) RecordSyncedWrite((size_t)written);
  return written;
}

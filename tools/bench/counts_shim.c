/* Counting shim for the benchmark, loaded with LD_PRELOAD into one run of kestrumel.
 *
 * It counts what the run asks of SQLite, libpq and the kernel without touching the program:
 * statement prepares and executions per statement text, disk syncs, reads from the database
 * files, synced writes (the message log opens with O_SYNC), temporary files, and round trips
 * to the server (a read from a socket after something was sent to it). At exit the counts go
 * to the file named by KESTRUMEL_BENCH_COUNTS, with the peak resident size, as "key value"
 * lines and "text" lines
 * (text <TAB> prepares <TAB> executions <TAB> statement text).
 *
 * The program is single-threaded, so the counters need no locking. Every wrapper forwards to
 * the next definition of its symbol, so the shim changes nothing the program sees. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

typedef struct sqlite3 sqlite3;
typedef struct sqlite3_stmt sqlite3_stmt;
typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;
typedef unsigned int Oid;

#define SQLITE_ROW 100

/* ---- counters -------------------------------------------------------------------------- */

static struct {
  unsigned long prepares;     /* statement texts compiled (SQLite) or prepared on the server */
  unsigned long executions;   /* statements run: a cursor's rows belong to one execution */
  unsigned long fsyncs;
  unsigned long fdatasyncs;
  unsigned long db_reads;     /* read calls on the database files */
  unsigned long wal_reads;    /* read calls on the write-ahead logs */
  unsigned long read_bytes;   /* bytes of both */
  unsigned long synced_writes;
  unsigned long temp_files;
  unsigned long sends;        /* socket writes */
  unsigned long round_trips;  /* first socket read after a send */
  unsigned long pipeline_syncs;
} counts;

/* ---- statement texts ------------------------------------------------------------------- */

#define MAX_TEXTS 16384
#define TEXT_SLOTS 32768  /* a power of two, twice the texts: probes stay short */

typedef struct {
  char* text;
  size_t length;
  unsigned long prepares;
  unsigned long executions;
} TextEntry;

static TextEntry texts[MAX_TEXTS];
static int text_count;
static int text_slots[TEXT_SLOTS];  /* index + 1 into texts, 0 for a free slot */

static uint64_t HashBytes(const char* text, size_t length) {
  uint64_t hash = 1469598103934665603ULL;
  for (size_t i = 0; i < length; ++i) {
    hash ^= (unsigned char)text[i];
    hash *= 1099511628211ULL;
  }
  return hash;
}

/* The index of the text (stored on first sight), or -1 when the table is full. */
static int TextIndex(const char* text, size_t length) {
  size_t slot = (size_t)HashBytes(text, length) & (TEXT_SLOTS - 1);
  while (text_slots[slot] != 0) {
    TextEntry* entry = &texts[text_slots[slot] - 1];
    if (entry->length == length && memcmp(entry->text, text, length) == 0) {
      return text_slots[slot] - 1;
    }
    slot = (slot + 1) & (TEXT_SLOTS - 1);
  }
  if (text_count == MAX_TEXTS) return -1;
  char* copy = malloc(length + 1);
  if (copy == NULL) return -1;
  memcpy(copy, text, length);
  copy[length] = '\0';
  texts[text_count].text = copy;
  texts[text_count].length = length;
  text_slots[slot] = ++text_count;
  return text_count - 1;
}

static void NotePrepare(int index) {
  ++counts.prepares;
  if (index >= 0) ++texts[index].prepares;
}

static void NoteExecution(int index) {
  ++counts.executions;
  if (index >= 0) ++texts[index].executions;
}

/* ---- SQLite statement handles ---------------------------------------------------------- */

/* A handle's text and whether it is between its first step and its end. Handles are
 * keyed by address; a finalized handle's slot is taken over by the next at that address. */
#define HANDLE_SLOTS 65536

typedef struct {
  const void* handle;
  int text;
  int running;
} HandleEntry;

static HandleEntry handles[HANDLE_SLOTS];

static HandleEntry* HandleSlot(const void* handle) {
  size_t slot = ((uintptr_t)handle >> 4) % HANDLE_SLOTS;
  for (size_t probe = 0; probe < HANDLE_SLOTS; ++probe) {
    HandleEntry* entry = &handles[(slot + probe) % HANDLE_SLOTS];
    if (entry->handle == handle || entry->handle == NULL) return entry;
  }
  return NULL;
}

static void NoteHandle(sqlite3_stmt* statement, int text) {
  if (statement == NULL) return;
  HandleEntry* entry = HandleSlot(statement);
  if (entry == NULL) return;
  entry->handle = statement;
  entry->text = text;
  entry->running = 0;
}

#define NEXT(name) static __typeof__(name)* next_##name; \
  if (next_##name == NULL) next_##name = (__typeof__(name)*)dlsym(RTLD_NEXT, #name)

int sqlite3_prepare_v2(sqlite3* db, const char* sql, int bytes, sqlite3_stmt** statement,
                       const char** tail);
int sqlite3_prepare_v3(sqlite3* db, const char* sql, int bytes, unsigned int flags,
                       sqlite3_stmt** statement, const char** tail);
int sqlite3_step(sqlite3_stmt* statement);
int sqlite3_reset(sqlite3_stmt* statement);
int sqlite3_exec(sqlite3* db, const char* sql, int (*callback)(void*, int, char**, char**),
                 void* argument, char** error);

/* SQLite calls itself through its exported names: sqlite3_exec prepares and steps each of its
 * statements, and a prepare reads the schema with an sqlite3_exec of its own. What counts is
 * what the program asked for: its own calls (depth 0) and the statements of its sqlite3_exec
 * (depth 1 inside it), not the schema reads. */
static int depth;
static int in_program_exec;

static int Counted(void) { return depth == 0 || (depth == 1 && in_program_exec); }

/* The statement compiled is the text up to the tail SQLite hands back. */
static void NoteCompiled(const char* sql, const char* tail, sqlite3_stmt* statement) {
  if (statement == NULL || sql == NULL || !Counted()) return;
  size_t length = tail != NULL && tail >= sql ? (size_t)(tail - sql) : strlen(sql);
  while (length > 0 && (sql[length - 1] == ';' || sql[length - 1] == ' ')) --length;
  int index = TextIndex(sql, length);
  NotePrepare(index);
  NoteHandle(statement, index);
}

int sqlite3_prepare_v2(sqlite3* db, const char* sql, int bytes, sqlite3_stmt** statement,
                       const char** tail) {
  NEXT(sqlite3_prepare_v2);
  const char* end = NULL;
  ++depth;
  int rc = next_sqlite3_prepare_v2(db, sql, bytes, statement, &end);
  --depth;
  if (tail != NULL) *tail = end;
  if (statement != NULL) NoteCompiled(sql, end, *statement);
  return rc;
}

int sqlite3_prepare_v3(sqlite3* db, const char* sql, int bytes, unsigned int flags,
                       sqlite3_stmt** statement, const char** tail) {
  NEXT(sqlite3_prepare_v3);
  const char* end = NULL;
  ++depth;
  int rc = next_sqlite3_prepare_v3(db, sql, bytes, flags, statement, &end);
  --depth;
  if (tail != NULL) *tail = end;
  if (statement != NULL) NoteCompiled(sql, end, *statement);
  return rc;
}

/* An execution starts with the first step after preparing, a reset or the end of the last. */
int sqlite3_step(sqlite3_stmt* statement) {
  NEXT(sqlite3_step);
  HandleEntry* entry = Counted() ? HandleSlot(statement) : NULL;
  if (entry != NULL && entry->handle == statement && !entry->running) {
    NoteExecution(entry->text);
    entry->running = 1;
  }
  ++depth;
  int rc = next_sqlite3_step(statement);
  --depth;
  if (entry != NULL && entry->handle == statement && rc != SQLITE_ROW) entry->running = 0;
  return rc;
}

int sqlite3_reset(sqlite3_stmt* statement) {
  NEXT(sqlite3_reset);
  HandleEntry* entry = HandleSlot(statement);
  if (entry != NULL && entry->handle == statement) entry->running = 0;
  return next_sqlite3_reset(statement);
}

/* sqlite3_exec compiles and runs its text inside the library. Where those inner calls do not
 * pass through this shim, the call counts as one prepare and one execution of its text. */
int sqlite3_exec(sqlite3* db, const char* sql, int (*callback)(void*, int, char**, char**),
                 void* argument, char** error) {
  NEXT(sqlite3_exec);
  unsigned long before = counts.prepares;
  int program = depth == 0;
  in_program_exec |= program;
  ++depth;
  int rc = next_sqlite3_exec(db, sql, callback, argument, error);
  --depth;
  if (program) in_program_exec = 0;
  if (program && counts.prepares == before && sql != NULL) {
    int index = TextIndex(sql, strlen(sql));
    NotePrepare(index);
    NoteExecution(index);
  }
  return rc;
}

/* ---- libpq ----------------------------------------------------------------------------- */

/* Server-side statement names and the texts they were prepared with. */
#define MAX_NAMES 4096

static struct {
  char* name;
  int text;
} prepared_names[MAX_NAMES];
static int name_count;

static void RememberName(const char* name, int text) {
  const char* key = name != NULL ? name : "";
  for (int i = 0; i < name_count; ++i) {
    if (strcmp(prepared_names[i].name, key) == 0) {
      prepared_names[i].text = text;
      return;
    }
  }
  if (name_count == MAX_NAMES) return;
  prepared_names[name_count].name = strdup(key);
  if (prepared_names[name_count].name == NULL) return;
  prepared_names[name_count].text = text;
  ++name_count;
}

static int TextOfName(const char* name) {
  const char* key = name != NULL ? name : "";
  for (int i = 0; i < name_count; ++i) {
    if (strcmp(prepared_names[i].name, key) == 0) return prepared_names[i].text;
  }
  return -1;
}

static int TextOf(const char* sql) { return sql != NULL ? TextIndex(sql, strlen(sql)) : -1; }

/* libpq's synchronous calls (PQexec, PQprepare, ...) run through its asynchronous ones, and
 * those calls pass through this shim too: inside the former the latter count nothing. */
static int in_sync_call;

int PQsendQueryParams(PGconn* conn, const char* command, int count, const Oid* types,
                      const char* const* values, const int* lengths, const int* formats,
                      int resultFormat);
int PQsendPrepare(PGconn* conn, const char* name, const char* query, int count,
                  const Oid* types);
int PQsendQueryPrepared(PGconn* conn, const char* name, int count, const char* const* values,
                        const int* lengths, const int* formats, int resultFormat);
int PQsendQuery(PGconn* conn, const char* query);
int PQpipelineSync(PGconn* conn);
PGresult* PQexec(PGconn* conn, const char* query);
PGresult* PQexecParams(PGconn* conn, const char* command, int count, const Oid* types,
                       const char* const* values, const int* lengths, const int* formats,
                       int resultFormat);
PGresult* PQprepare(PGconn* conn, const char* name, const char* query, int count,
                    const Oid* types);
PGresult* PQexecPrepared(PGconn* conn, const char* name, int count, const char* const* values,
                         const int* lengths, const int* formats, int resultFormat);

int PQsendQueryParams(PGconn* conn, const char* command, int count, const Oid* types,
                      const char* const* values, const int* lengths, const int* formats,
                      int resultFormat) {
  NEXT(PQsendQueryParams);
  if (!in_sync_call) NoteExecution(TextOf(command));
  return next_PQsendQueryParams(conn, command, count, types, values, lengths, formats,
                                resultFormat);
}

int PQsendPrepare(PGconn* conn, const char* name, const char* query, int count,
                  const Oid* types) {
  NEXT(PQsendPrepare);
  if (!in_sync_call) {
    int text = TextOf(query);
    NotePrepare(text);
    RememberName(name, text);
  }
  return next_PQsendPrepare(conn, name, query, count, types);
}

int PQsendQueryPrepared(PGconn* conn, const char* name, int count, const char* const* values,
                        const int* lengths, const int* formats, int resultFormat) {
  NEXT(PQsendQueryPrepared);
  if (!in_sync_call) NoteExecution(TextOfName(name));
  return next_PQsendQueryPrepared(conn, name, count, values, lengths, formats, resultFormat);
}

int PQsendQuery(PGconn* conn, const char* query) {
  NEXT(PQsendQuery);
  if (!in_sync_call) NoteExecution(TextOf(query));
  return next_PQsendQuery(conn, query);
}

int PQpipelineSync(PGconn* conn) {
  NEXT(PQpipelineSync);
  ++counts.pipeline_syncs;
  return next_PQpipelineSync(conn);
}

PGresult* PQexec(PGconn* conn, const char* query) {
  NEXT(PQexec);
  NoteExecution(TextOf(query));
  ++in_sync_call;
  PGresult* result = next_PQexec(conn, query);
  --in_sync_call;
  return result;
}

PGresult* PQexecParams(PGconn* conn, const char* command, int count, const Oid* types,
                       const char* const* values, const int* lengths, const int* formats,
                       int resultFormat) {
  NEXT(PQexecParams);
  NoteExecution(TextOf(command));
  ++in_sync_call;
  PGresult* result =
      next_PQexecParams(conn, command, count, types, values, lengths, formats, resultFormat);
  --in_sync_call;
  return result;
}

PGresult* PQprepare(PGconn* conn, const char* name, const char* query, int count,
                    const Oid* types) {
  NEXT(PQprepare);
  int text = TextOf(query);
  NotePrepare(text);
  RememberName(name, text);
  ++in_sync_call;
  PGresult* result = next_PQprepare(conn, name, query, count, types);
  --in_sync_call;
  return result;
}

PGresult* PQexecPrepared(PGconn* conn, const char* name, int count, const char* const* values,
                         const int* lengths, const int* formats, int resultFormat) {
  NEXT(PQexecPrepared);
  NoteExecution(TextOfName(name));
  ++in_sync_call;
  PGresult* result = next_PQexecPrepared(conn, name, count, values, lengths, formats, resultFormat);
  --in_sync_call;
  return result;
}

/* ---- kernel ---------------------------------------------------------------------------- */

/* What each descriptor is, as far as the counts care. */
enum { FD_OTHER = 0, FD_DATABASE, FD_WAL, FD_SYNCED, FD_SOCKET_SENT };
#define MAX_FDS 4096
static unsigned char fd_kind[MAX_FDS];

static int EndsWith(const char* text, const char* suffix) {
  size_t n = strlen(text), m = strlen(suffix);
  return n >= m && strcmp(text + n - m, suffix) == 0;
}

static void NoteOpen(int fd, const char* path, int flags) {
  if (fd < 0 || fd >= MAX_FDS) return;
  fd_kind[fd] = FD_OTHER;
  if (path == NULL) return;
  if ((flags & O_SYNC) == O_SYNC) {
    fd_kind[fd] = FD_SYNCED;
  } else if (EndsWith(path, "-wal")) {
    fd_kind[fd] = FD_WAL;
  } else if (EndsWith(path, ".db")) {
    fd_kind[fd] = FD_DATABASE;
  }
  if (strstr(path, "etilqs_") != NULL) ++counts.temp_files;  /* SQLite's temporary files */
}

static void NoteRead(int fd, ssize_t bytes) {
  if (fd < 0 || fd >= MAX_FDS || bytes < 0) return;
  if (fd_kind[fd] == FD_DATABASE) {
    ++counts.db_reads;
  } else if (fd_kind[fd] == FD_WAL) {
    ++counts.wal_reads;
  } else {
    return;
  }
  counts.read_bytes += (unsigned long)bytes;
}

static void NoteWrite(int fd) {
  if (fd >= 0 && fd < MAX_FDS && fd_kind[fd] == FD_SYNCED) ++counts.synced_writes;
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
  NoteOpen(fd, path, flags);
  return fd;
}

int open64(const char* path, int flags, ...) {
  NEXT(open64);
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  int fd = next_open64(path, flags, mode);
  NoteOpen(fd, path, flags);
  return fd;
}

int openat(int directory, const char* path, int flags, ...) {
  NEXT(openat);
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  int fd = next_openat(directory, path, flags, mode);
  NoteOpen(fd, path, flags);
  return fd;
}

int close(int fd) {
  NEXT(close);
  if (fd >= 0 && fd < MAX_FDS) fd_kind[fd] = FD_OTHER;
  return next_close(fd);
}

int fsync(int fd) {
  NEXT(fsync);
  ++counts.fsyncs;
  return next_fsync(fd);
}

int fdatasync(int fd) {
  NEXT(fdatasync);
  ++counts.fdatasyncs;
  return next_fdatasync(fd);
}

ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
  NEXT(pread);
  ssize_t got = next_pread(fd, buffer, size, offset);
  NoteRead(fd, got);
  return got;
}

ssize_t pread64(int fd, void* buffer, size_t size, off64_t offset) {
  NEXT(pread64);
  ssize_t got = next_pread64(fd, buffer, size, offset);
  NoteRead(fd, got);
  return got;
}

ssize_t read(int fd, void* buffer, size_t size) {
  NEXT(read);
  ssize_t got = next_read(fd, buffer, size);
  NoteRead(fd, got);
  return got;
}

ssize_t write(int fd, const void* buffer, size_t size) {
  NEXT(write);
  NoteWrite(fd);
  return next_write(fd, buffer, size);
}

ssize_t writev(int fd, const struct iovec* vector, int count) {
  NEXT(writev);
  NoteWrite(fd);
  return next_writev(fd, vector, count);
}

/* A round trip: the first answer read from a socket after something was sent on it. */
static void NoteSend(int fd) {
  ++counts.sends;
  if (fd >= 0 && fd < MAX_FDS) fd_kind[fd] = FD_SOCKET_SENT;
}

static void NoteReceive(int fd, ssize_t got) {
  if (got <= 0 || fd < 0 || fd >= MAX_FDS || fd_kind[fd] != FD_SOCKET_SENT) return;
  ++counts.round_trips;
  fd_kind[fd] = FD_OTHER;
}

ssize_t send(int fd, const void* buffer, size_t size, int flags) {
  NEXT(send);
  NoteSend(fd);
  return next_send(fd, buffer, size, flags);
}

ssize_t sendmsg(int fd, const struct msghdr* message, int flags) {
  NEXT(sendmsg);
  NoteSend(fd);
  return next_sendmsg(fd, message, flags);
}

ssize_t recv(int fd, void* buffer, size_t size, int flags) {
  NEXT(recv);
  ssize_t got = next_recv(fd, buffer, size, flags);
  NoteReceive(fd, got);
  return got;
}

ssize_t recvmsg(int fd, struct msghdr* message, int flags) {
  NEXT(recvmsg);
  ssize_t got = next_recvmsg(fd, message, flags);
  NoteReceive(fd, got);
  return got;
}

/* ---- report ---------------------------------------------------------------------------- */

static void WriteText(FILE* out, const char* text) {
  for (const char* c = text; *c != '\0'; ++c) fputc(*c == '\n' || *c == '\t' ? ' ' : *c, out);
}

/* The process's peak resident size in kB. Taken here rather than from the parent's rusage,
 * which on Linux also holds what the parent had before it started the program. */
static unsigned long PeakResidentKb(void) {
  FILE* status = fopen("/proc/self/status", "r");
  if (status == NULL) return 0;
  char line[256];
  unsigned long peak = 0;
  while (fgets(line, sizeof line, status) != NULL) {
    if (sscanf(line, "VmHWM: %lu", &peak) == 1) break;
  }
  fclose(status);
  return peak;
}

__attribute__((destructor)) static void WriteCounts(void) {
  const char* path = getenv("KESTRUMEL_BENCH_COUNTS");
  if (path == NULL || *path == '\0') return;
  FILE* out = fopen(path, "w");
  if (out == NULL) return;
  fprintf(out, "prepares %lu\nexecutions %lu\nfsyncs %lu\nfdatasyncs %lu\n", counts.prepares,
          counts.executions, counts.fsyncs, counts.fdatasyncs);
  fprintf(out, "db_reads %lu\nwal_reads %lu\nread_bytes %lu\n", counts.db_reads, counts.wal_reads,
          counts.read_bytes);
  fprintf(out, "synced_writes %lu\ntemp_files %lu\n", counts.synced_writes, counts.temp_files);
  fprintf(out, "peak_rss_kb %lu\n", PeakResidentKb());
  fprintf(out, "sends %lu\nround_trips %lu\npipeline_syncs %lu\n", counts.sends,
          counts.round_trips, counts.pipeline_syncs);
  for (int i = 0; i < text_count; ++i) {
    fprintf(out, "text\t%lu\t%lu\t", texts[i].prepares, texts[i].executions);
    WriteText(out, texts[i].text);
    fputc('\n', out);
  }
  fclose(out);
}

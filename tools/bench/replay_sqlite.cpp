// The run's own work at the least cost on SQLite: replays a recording of record_shim.c.
//
//   replay_sqlite RECORDING LOGFILE
//
// The same connections to the same files (a fresh copy at the same path), the program's date
// functions, the same pragmas and ATTACH, each statement prepared once as the program
// prepared it, every execution bound and stepped as far as the program stepped it, reading
// each column of each row; the message log's entries as synced writes of the same sizes. No
// parsing of SQL, no host variables, no savepoint bookkeeping: that is the program's overhead.
// Prints "key value" lines (recording.h); mismatches are executions whose last step ended
// otherwise than in the recorded run.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "db/sqlite/functions.h"
#include "recording.h"

namespace {

struct Value {
  char type;  // n, i, f, t, b
  sqlite3_int64 integer;
  double real;
  const char* bytes;
  int length;
};

struct Event {
  char kind;          // o c p f e x W, as record_shim.c writes them
  int id;             // connection or statement
  int db;             // p: the statement's connection
  int flags;          // o: open flags, p: prepare flags
  long steps;         // e
  int rc;             // e: the recorded last step
  const char* text;   // o: file, p and x: SQL
  int length;
  size_t firstValue;  // e
  size_t values;
};

struct Replay {
  std::vector<Event> events;
  std::vector<Value> values;
  std::vector<char> blobs;  // b values, decoded
  std::vector<sqlite3*> dbs;
  std::vector<sqlite3_stmt*> statements;
  int log = -1;
  long statementsRun = 0;
  long mismatches = 0;
};

int Number(const char* field) { return std::atoi(field); }

template <typename T>
T& At(std::vector<T>& list, int id) {
  if (id < 0) RecordingFail("a negative number in the recording", "");
  if (static_cast<size_t>(id) >= list.size()) list.resize(static_cast<size_t>(id) + 1);
  return list[static_cast<size_t>(id)];
}

int HexDigit(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

Value ParseValue(Replay& replay, const char* field, int length) {
  Value value{field[0], 0, 0.0, nullptr, 0};
  switch (field[0]) {
    case 'n': break;
    case 'i': value.integer = std::strtoll(field + 1, nullptr, 10); break;
    case 'f': value.real = std::strtod(field + 1, nullptr); break;
    case 't':
      value.bytes = field + 1;
      value.length = length - 1;
      break;
    case 'b':
      // Offsets for now: the blob store may still grow and move.
      value.integer = static_cast<sqlite3_int64>(replay.blobs.size());
      value.length = (length - 1) / 2;
      for (int i = 0; i < value.length; ++i) {
        replay.blobs.push_back(static_cast<char>(HexDigit(field[1 + 2 * i]) * 16 +
                                                 HexDigit(field[2 + 2 * i])));
      }
      break;
    default: RecordingFail("unknown value", field);
  }
  return value;
}

void Load(Replay& replay, char* data) {
  static char* fields[RECORDING_MAX_FIELDS];
  static int lengths[RECORDING_MAX_FIELDS];
  char* cursor = data;
  int count;
  while ((count = RecordingNextLine(&cursor, fields, lengths)) >= 0) {
    Event event{fields[0][0], 0, 0, 0, 0, 0, nullptr, 0, 0, 0};
    bool complete = true;
    switch (event.kind) {
      case 'o':
        complete = count == 4;
        if (!complete) break;
        event.id = Number(fields[1]);
        event.flags = Number(fields[2]);
        event.text = fields[3];
        break;
      case 'c':
      case 'f': event.id = Number(fields[1]); break;
      case 'p':
        complete = count == 5;
        if (!complete) break;
        event.id = Number(fields[1]);
        event.db = Number(fields[2]);
        event.flags = Number(fields[3]);
        event.text = fields[4];
        event.length = lengths[4];
        break;
      case 'e':
        complete = count >= 4;
        if (!complete) break;
        event.id = Number(fields[1]);
        event.steps = std::atol(fields[2]);
        event.rc = Number(fields[3]);
        event.firstValue = replay.values.size();
        event.values = static_cast<size_t>(count - 4);
        for (int i = 4; i < count; ++i) replay.values.push_back(ParseValue(replay, fields[i], lengths[i]));
        break;
      case 'x':
        complete = count == 3;
        if (!complete) break;
        event.id = Number(fields[1]);
        event.text = fields[2];
        break;
      case 'W': event.steps = std::atol(fields[1]); break;
      default: RecordingFail("not a line of an SQLite recording", fields[0]);
    }
    if (!complete) RecordingFail("incomplete line", fields[0]);
    replay.events.push_back(event);
  }
  for (Value& value : replay.values) {
    if (value.type == 'b') value.bytes = replay.blobs.data() + value.integer;
  }
}

// As the program configures its handles, less what only serves it: its own busy handler (a
// plain timeout of the same length) and its stop checks.
void Open(Replay& replay, const Event& event) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(event.text, &db, event.flags, nullptr) != SQLITE_OK) {
    RecordingFail("cannot open", event.text);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, 10000);
  if (db::sqlite::RegisterDateFunctions(db) != SQLITE_OK) RecordingFail("date functions", event.text);
  At(replay.dbs, event.id) = db;
}

void Prepare(Replay& replay, const Event& event) {
  sqlite3* db = At(replay.dbs, event.db);
  sqlite3_stmt* statement = nullptr;
  int rc = sqlite3_prepare_v3(db, event.text, event.length, static_cast<unsigned>(event.flags),
                              &statement, nullptr);
  if (rc != SQLITE_OK) RecordingFail(sqlite3_errmsg(db), event.text);
  At(replay.statements, event.id) = statement;
}

void Bind(Replay& replay, sqlite3_stmt* statement, const Event& event) {
  for (size_t i = 0; i < event.values; ++i) {
    const Value& value = replay.values[event.firstValue + i];
    int position = static_cast<int>(i) + 1;
    switch (value.type) {
      case 'n': sqlite3_bind_null(statement, position); break;
      case 'i': sqlite3_bind_int64(statement, position, value.integer); break;
      case 'f': sqlite3_bind_double(statement, position, value.real); break;
      case 't': sqlite3_bind_text(statement, position, value.bytes, value.length, SQLITE_STATIC); break;
      case 'b': sqlite3_bind_blob(statement, position, value.bytes, value.length, SQLITE_STATIC); break;
    }
  }
}

// Every column of a row taken out in the type it is stored in, as a client must.
void ReadRow(sqlite3_stmt* statement) {
  int columns = sqlite3_column_count(statement);
  for (int column = 0; column < columns; ++column) {
    switch (sqlite3_column_type(statement, column)) {
      case SQLITE_INTEGER: sqlite3_column_int64(statement, column); break;
      case SQLITE_FLOAT: sqlite3_column_double(statement, column); break;
      case SQLITE_TEXT:
        sqlite3_column_text(statement, column);
        sqlite3_column_bytes(statement, column);
        break;
      case SQLITE_BLOB:
        sqlite3_column_blob(statement, column);
        sqlite3_column_bytes(statement, column);
        break;
    }
  }
}

void Execute(Replay& replay, const Event& event) {
  sqlite3_stmt* statement = At(replay.statements, event.id);
  if (statement == nullptr) RecordingFail("execution of an unprepared statement", "");
  Bind(replay, statement, event);
  int rc = SQLITE_ROW;
  for (long step = 0; step < event.steps && rc == SQLITE_ROW; ++step) {
    rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) ReadRow(statement);
  }
  if (rc != event.rc) ++replay.mismatches;
  sqlite3_reset(statement);
  ++replay.statementsRun;
}

// What sqlite3_exec does, one statement after the other, each counted as the program's.
void ExecAll(Replay& replay, sqlite3* db, const char* sql) {
  while (*sql != '\0') {
    sqlite3_stmt* statement = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, &tail) != SQLITE_OK) RecordingFail(sqlite3_errmsg(db), sql);
    if (statement == nullptr) break;  // blanks or a comment at the end
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) ReadRow(statement);
    if (rc != SQLITE_DONE) ++replay.mismatches;
    sqlite3_finalize(statement);
    ++replay.statementsRun;
    sql = tail;
  }
}

void Run(Replay& replay, const char* logPath) {
  for (const Event& event : replay.events) {
    switch (event.kind) {
      case 'o': Open(replay, event); break;
      case 'c':
        sqlite3_close(At(replay.dbs, event.id));
        At(replay.dbs, event.id) = nullptr;
        break;
      case 'p': Prepare(replay, event); break;
      case 'f':
        sqlite3_finalize(At(replay.statements, event.id));
        At(replay.statements, event.id) = nullptr;
        break;
      case 'e': Execute(replay, event); break;
      case 'x': ExecAll(replay, At(replay.dbs, event.id), event.text); break;
      case 'W':
        if (replay.log < 0) replay.log = RecordingOpenLog(logPath);
        RecordingWriteLog(replay.log, event.steps);
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  double start = RecordingNow();
  if (argc != 3) RecordingFail("usage", "replay_sqlite RECORDING LOGFILE");
  static Replay replay;
  Load(replay, RecordingRead(argv[1]));
  double loaded = RecordingNow();
  double loadCpu = RecordingCpu();
  Run(replay, argv[2]);
  RecordingReport(loaded - start, loadCpu, replay.statementsRun, replay.mismatches);
  return 0;
}

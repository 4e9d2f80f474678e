#pragma once
// The run report: what the last run of a schema and planning group did, for schedulers and
// monitoring, in a JSON file beside the log (RunReportFileName). Written when the run has the
// group (state "running") and at its end, also an early one (state "ended"), each time
// replaced whole so that a reader sees one or the other:
//   {"state": "running" | "ended", "pid": 1234, "host": "planhost", "version": "1.4.0",
//    "schema": "PLAN1", "group": "PLG01",
//    "started": "2026-12-09T15:20:00+01:00", "ended": null | "2026-12-09T15:20:07+01:00",
//    "ended_by": null | "queue done" | "connect failed" | "too few arguments" |
//                "connection lost" | "repeated faults" | "signal" | "group busy",
//    "status": 0,
//    "requests": {"done": 40, "rolled_back": 0, "skipped": 0, "pending": 0 | null},
//    "entries": 0, "entries_lost": 0, "reconnects": 0, "connect_tries": 1}
// `status` is the status that ended the run (a failed connect's own), 0 when none; `pending`
// is null when no connection was left to count them. No credential is ever written.
#include <ctime>
#include <string>

struct RunReport {
  bool ended = false;
  long pid = 0;
  std::string host, version, schema, group;
  std::time_t started = 0;
  std::time_t endedAt = 0;
  std::string endedBy;
  int status = 0;
  long done = 0;
  long rolledBack = 0;
  long skipped = 0;
  long pending = -1;  // -1: not counted
  long entries = 0;
  long entriesLost = 0;
  long reconnects = 0;
  long connectTries = 0;
};

// Replaces the file `path` with the report: written beside it under a name of this process,
// then renamed over it. Returns 0 or an errno value (the temporary file removed).
int WriteRunReport(const std::string& path, const RunReport& report);

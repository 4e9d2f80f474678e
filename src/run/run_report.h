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

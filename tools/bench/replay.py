"""The floor of a run's own work: its statements replayed without the program.

One untimed run of the program, on a fresh copy of its own, records every statement it sends
(record_shim.c). Before or after each timed run, a minimal program per backend (replay_sqlite,
replay_postgresql) replays the recording on another fresh copy, timed as the program is:
wall/replay is what the program adds to the statements it runs. Each replay is checked:
its statement count, every statement's outcome as recorded, and the end state of the tables
(the columns the clock sets left out) equal to the recorded run's.

With --groups the replays run at once, one per group, and interleave otherwise than the
recorded programs did: where two groups share a staffing slot the end state may differ.

SQLite: the recording and every replay use the same folder, so that the file names the
program opened and attached are the replay's too. ODBC: the recording goes through the
PostgreSQL backend (what the ODBC driver sends is its own, not libpq calls of the program);
that replay is the floor of both.
"""

import os
import shutil
import subprocess
import time

import report

REPLAY_TOOLS = {"sqlite": "replay_sqlite", "postgresql": "replay_postgresql",
                "odbc": "replay_postgresql"}


class Replay:
    def __init__(self, tools, config_tool, work, backend, groups):
        self.tools = tools
        self.config_tool = config_tool
        self.backend = backend
        self.groups = groups
        self.dir = os.path.join(work, "replay")
        self.recordings = {group: os.path.join(work, f"recording_{group}.txt") for group in groups}
        self.recorded_state = None

    def record(self, run_programs, program):
        """Runs `program` once under the recording shim; a note on what it recorded."""
        os.makedirs(self.dir)
        self.backend.prepare_run(self.dir, self.config_tool, through_libpq=True)

        def shim(group):
            return {"LD_PRELOAD": os.path.join(self.tools, "record_shim.so"),
                    "KESTRUMEL_BENCH_RECORD": self.recordings[group]}

        _, _, exits = run_programs(program, self.dir, shim=shim)
        self.backend.finish_run(self.dir)
        self.recorded_state = self.backend.end_state(self.dir)
        self.backend.cleanup_run(self.dir)
        shutil.rmtree(self.dir)
        size = sum(os.path.getsize(path) for path in self.recordings.values())
        through = ", through the PostgreSQL backend" if self.backend.name == "odbc" else ""
        return f"exit {','.join(exits)}, {size / 2**20:.1f} MB{through}"

    def run(self):
        """Replays the recording once on a fresh copy: its figures and a note."""
        os.makedirs(self.dir)
        self.backend.prepare_run(self.dir, self.config_tool)
        os.sync()  # as before a run of the program: the copy is not flushed on the clock
        start = time.monotonic()
        started = [self._start(group) for group in self.groups]
        outputs, cpu, exits = [], 0.0, []
        for child, _ in started:
            output = child.stdout.read()
            _, wait_status, usage = os.wait4(child.pid, 0)
            child.returncode = os.waitstatus_to_exitcode(wait_status)
            exits.append(child.returncode)
            outputs.append(dict((key, float(value)) for key, value in
                                (line.split() for line in output.splitlines())))
            cpu += usage.ru_utime + usage.ru_stime
        wall = time.monotonic() - start
        self.backend.finish_run(self.dir)
        state = self.backend.end_state(self.dir)
        failed = any(exits)
        if not failed:
            totals, _ = report.merge_counts([report.read_counts(f) for _, f in started])
        self.backend.cleanup_run(self.dir)
        shutil.rmtree(self.dir)
        if failed:
            return {}, f"replay failed, exit {','.join(map(str, exits))}"
        # Reading the recording stands for nothing the program does: off the clock.
        figures = {
            "replay": wall - max(o["load"] for o in outputs),
            "replay_cpu": cpu - sum(o["load_cpu"] for o in outputs),
            "replay_statements": sum(o["statements"] for o in outputs),
            "replay_mismatches": sum(o["mismatches"] for o in outputs),
        }
        if self.backend.name == "sqlite":
            figures["replay_syncs"] = totals["fsyncs"] + totals["fdatasyncs"]
        else:
            figures["replay_round_trips"] = totals["round_trips"]
        same = "as recorded" if state == self.recorded_state else "NOT as recorded"
        if state != self.recorded_state and len(self.groups) > 1:
            # Each replay writes the values its recorded run read; where groups share a slot,
            # the one that writes last decides, as it did not in the recorded run.
            same += " (groups replayed at once interleave otherwise than recorded)"
        note = (f"replay {figures['replay']:.2f} s: {figures['replay_statements']:.0f} statements, "
                f"{figures['replay_mismatches']:.0f} outcomes other than recorded, end state {same}")
        return figures, note

    # Under the counting shim, as the program runs: the same conditions, and counts to compare.
    def _start(self, group):
        tool = os.path.join(self.tools, REPLAY_TOOLS[self.backend.name])
        log = os.path.join(self.dir, f"replay_{group}.log")
        counts = os.path.join(self.dir, f"counts_{group}.txt")
        command = [tool, self.recordings[group], log, *self.backend.replay_arguments()]
        env = dict(self.backend.replay_env(), KESTRUMEL_BENCH_COUNTS=counts,
                   LD_PRELOAD=os.path.join(self.tools, "counts_shim.so"))
        child = subprocess.Popen(command, cwd=self.dir, env=env, stdout=subprocess.PIPE, text=True)
        return child, counts

    def same_state(self, run_dir):
        """Whether a program run left the tables as the recorded run did."""
        return self.backend.end_state(run_dir) == self.recorded_state

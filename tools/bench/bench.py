"""Benchmark runner: generates the suite, loads it, records one run's statements, then runs
kestrumel K times, each run with the floor measured before it and a replay of the recording
in the same round (replay.py).

With --groups N the queue is dealt out to N planning groups and each run starts one program
per group at once, on one database and one log: its wall time is until the last of them ended.

Called by scripts/bench.sh, which builds the program, the shims, the floor and replay tools
and, for PostgreSQL, starts the server. Everything it writes lives under --work.
"""

import argparse
import datetime
import functools
import os
import subprocess
import sys
import time

import backends
import replay
import report
import suite_data

RUN_ARGUMENTS = ["planer", "3", "4", "5", "20270104", "BENCHJOB"]  # then the planning group


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--backend", choices=["sqlite", "postgresql", "odbc"], default="sqlite")
    parser.add_argument("--persons", type=int, default=2000)
    parser.add_argument("--days", type=int, default=365)
    parser.add_argument("--requests", type=int, default=2000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--groups", type=int, default=1)
    parser.add_argument("--root", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--tools", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--against", help="another kestrumel binary, run after each run")
    parser.add_argument("--with-native", action="store_true",
                        help="odbc: after each run, the same program through the PostgreSQL backend")
    args = parser.parse_args()
    if args.with_native and args.backend != "odbc":
        parser.error("--with-native: only with --backend odbc")
    if not 1 <= args.groups <= 99:  # a planning group's name has five characters
        parser.error("--groups: 1 to 99")
    return args


def say(text):
    print(text, flush=True)


def measure_floor(tools, backend, work):
    """Costs of one durable commit, one synced log write, one statement or round trip."""
    costs = {}
    for arguments in (backend.floor_arguments(work), ["log", work]):
        out = subprocess.run([os.path.join(tools, "floor"), *arguments], check=True,
                             capture_output=True, text=True, env=backend.floor_env()).stdout
        for line in out.splitlines():
            key, value = line.split()
            costs[key] = float(value)
    return costs


def run_programs(program, run_dir, groups, shim):
    """One program per group at once in `run_dir`, with the shim `shim(group)` names in its
    environment: wall time, CPU time and exit codes."""
    os.makedirs(os.path.join(run_dir, "run"), exist_ok=True)
    os.makedirs(os.path.join(run_dir, "quelborne_php", "log"), exist_ok=True)
    # The fresh copy is written out before the clock starts: otherwise the run's own syncs
    # wait behind the flush of a copy as large as the database.
    os.sync()
    start = time.monotonic()
    started = [subprocess.Popen([program, "../kestrumel.cfg", *RUN_ARGUMENTS, group],
                                cwd=os.path.join(run_dir, "run"),
                                env=dict(os.environ, **shim(group)))
               for group in groups]
    exits, cpu = [], 0.0
    for child in started:
        _, wait_status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(wait_status)
        exits.append(str(child.returncode))
        # What of the wall time the programs themselves spent on a processor.
        cpu += usage.ru_utime + usage.ru_stime
    return time.monotonic() - start, cpu, exits


def run_once(args, program, backend, number, floor_costs, groups, replayed, through_libpq=False):
    run_dir = os.path.join(args.work, f"run{number}")
    os.makedirs(run_dir)
    backend.prepare_run(run_dir, os.path.join(args.build, "kestrumel-config"), through_libpq)
    counts_files = {group: os.path.join(run_dir, f"counts_{group}.txt") for group in groups}

    def shim(group):
        return {"LD_PRELOAD": os.path.join(args.tools, "counts_shim.so"),
                "KESTRUMEL_BENCH_COUNTS": counts_files[group]}

    wall, cpu, exits = run_programs(program, run_dir, groups, shim)
    server = backend.finish_run(run_dir)
    totals, texts = report.merge_counts([report.read_counts(f) for f in counts_files.values()])
    figures = report.run_figures(backend.name, wall, totals, texts, server, floor_costs)
    figures["program_cpu"] = cpu
    figures["requests_left"] = backend.requests_left(run_dir, groups)
    figures["slots_off"] = backend.slots_off(run_dir)
    same_state = replayed.same_state(run_dir)
    backend.cleanup_run(run_dir)
    log = os.path.join(run_dir, "quelborne_php", "log", f"kestrumel_{backends.SCHEMA}.log")
    statuses = report.log_statuses(log)
    figures["log_entries"] = sum(statuses.values())
    note = (f"exit {','.join(exits)}, {figures['requests_left']} requests left in the queue, "
            f"{figures['slots_off']} slots off their duty rows, end state "
            f"{'as' if same_state else 'NOT as'} recorded")
    if os.path.exists(log):
        note += f", log {os.path.getsize(log)} bytes"
        note += "".join(f", status {status}: {count}" for status, count in sorted(statuses.items()))
    return figures, texts, note


def main():
    args = parse_arguments()
    started = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    commit = subprocess.run(["git", "-C", args.root, "rev-parse", "--short", "HEAD"],
                            capture_output=True, text=True).stdout.strip()
    backend_class = {"sqlite": backends.SqliteBackend, "postgresql": backends.PostgresBackend,
                     "odbc": backends.OdbcBackend}[args.backend]
    backend = backend_class(args.root, args.work)

    t = time.monotonic()
    suite = suite_data.Suite(args.persons, args.days, args.requests, args.groups)
    ranges = sum(1 for r in suite.requests() if r[2] == 2)
    backend.load(suite)
    say(f"generated and loaded into {args.backend} in {time.monotonic() - t:.1f} s "
        f"({backend.size_bytes() / 2**20:.0f} MB): {suite.duty_row_count()} duty rows, "
        f"{suite.slot_count()} staffing slots, {args.requests} requests ({ranges} date-range)")

    programs = [("", os.path.join(args.build, "kestrumel"), False)]
    replayed = replay.Replay(args.tools, os.path.join(args.build, "kestrumel-config"), args.work,
                             backend, suite.plan_groups)
    t = time.monotonic()
    note = replayed.record(functools.partial(run_programs, groups=suite.plan_groups),
                           programs[0][1])
    say(f"recorded in {time.monotonic() - t:.1f} s ({note})")

    # With --against, each run of this tree's program is followed by one of the other, on the
    # same suite and server, and by the replay: the machine's drift then hits all alike, and
    # both builds are set against the same replay.
    if args.against:
        programs.append(("against ", os.path.abspath(args.against), False))
    # --with-native: ODBC and the native backend interleaved on one server, set against one floor.
    if args.with_native:
        programs.append(("native ", programs[0][1], True))
    runs = {label: [] for label, _, _ in programs}
    texts = {}
    number = 0
    for round_number in range(args.runs):
        round_figures = []
        # Every other round replays first, so that neither side always runs on the cache and
        # disk state the other left.
        if round_number % 2:
            replay_figures, note = replayed.run()
            say(f"  {note}")
        for label, program, through_libpq in programs:
            number += 1
            # Measured right before each run: the disk's speed drifts with what else the machine does.
            floor_costs = measure_floor(args.tools, backend, args.work)
            figures, texts[label], note = run_once(args, program, backend, number, floor_costs,
                                                   suite.plan_groups, replayed, through_libpq)
            runs[label].append(figures)
            round_figures.append(figures)
            say(f"{label}run {len(runs[label])}: {figures['wall']:.2f} s ({note})")
        if not round_number % 2:
            replay_figures, note = replayed.run()
            say(f"  {note}")
        for figures in round_figures:
            report.add_replay(figures, replay_figures)

    for label, program, through_libpq in programs:
        source = f"commit {commit}, {started}"
        if label == "against ":
            source = f"against {program}"
        elif through_libpq:
            source += ", through the PostgreSQL backend"
        say("")
        groups = f" in {args.groups} planning groups at once" if args.groups > 1 else ""
        name = "postgresql" if through_libpq else args.backend
        say(f"kestrumel benchmark, {name}, {args.persons} persons x {args.days} days, "
            f"{args.requests} requests{groups}; {source}")
        say(report.table(args.backend, runs[label]))
    for label, _, _ in programs:
        say("")
        say(f"statement texts run most often ({label}last run):")
        say(report.busiest_texts(texts[label]))
    return 0


if __name__ == "__main__":
    sys.exit(main())

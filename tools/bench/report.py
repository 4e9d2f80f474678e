"""What one run did, from the counting shim's file and the server, and the table of all runs."""

import collections
import os
import re
import statistics

COMMIT = re.compile(r"^\s*(commit|end)(\s+(work|transaction))?\s*;?\s*$", re.IGNORECASE)
REQUEST_DONE = re.compile(r"^\s*update\s+rvk740pud\b", re.IGNORECASE)
DUTY_ROW = re.compile(r"^\s*(update\s+rvk730bdp|delete\s+from\s+rvk730bdp)\b", re.IGNORECASE)
SLOT_RECOUNT = re.compile(r"^\s*update\s+rvk725bsm\b", re.IGNORECASE)


def read_counts(path):
    """The shim's totals and its per-text lines as (prepares, executions, text)."""
    totals, texts = {}, []
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("text\t"):
                _, prepares, executions, text = line.split("\t", 3)
                texts.append((int(prepares), int(executions), text))
            elif line:
                key, value = line.split(" ", 1)
                totals[key] = int(value)
    return totals, texts


def merge_counts(counts):
    """The (totals, texts) of several programs run at once as those of one; the peak RSS is the
    largest of them."""
    if len(counts) == 1:
        return counts[0]
    totals, executed = collections.Counter(), {}
    for one_totals, one_texts in counts:
        totals.update(one_totals)
        for prepares, executions, text in one_texts:
            before = executed.get(text, (0, 0))
            executed[text] = (before[0] + prepares, before[1] + executions)
    totals["peak_rss_kb"] = max(t["peak_rss_kb"] for t, _ in counts)
    return dict(totals), [(p, e, text) for text, (p, e) in executed.items()]


ERROR_CODE = re.compile(r"^ErrorCode__: (-?\d+)", re.MULTILINE)


def log_statuses(path):
    """How many log entries there are of each status."""
    if not os.path.exists(path):
        return collections.Counter()
    with open(path, errors="replace") as f:
        return collections.Counter(int(code) for code in ERROR_CODE.findall(f.read()))


def executions_of(texts, pattern):
    return sum(executions for _, executions, text in texts if pattern.search(text))


def run_figures(backend, wall, totals, texts, server, floor_costs):
    """The figures of one run, floor and wall/floor included."""
    figures = {
        "requests": executions_of(texts, REQUEST_DONE),
        "duty_rows": executions_of(texts, DUTY_ROW),
        "counted_rows": executions_of(texts, SLOT_RECOUNT),
        "wall": wall,
        "commits": executions_of(texts, COMMIT),
        "statements": totals["executions"],
        "prepares": totals["prepares"],
        "distinct_texts": sum(1 for p, e, _ in texts if p or e),
        "log_writes": totals["synced_writes"],
        "peak_rss_mb": totals["peak_rss_kb"] / 1024,
    }
    for key in ("requests", "duty_rows", "counted_rows"):
        if key in server:
            figures[key] = server[key]
    figures["requests_per_s"] = figures["requests"] / wall
    figures["counted_rows_per_s"] = figures["counted_rows"] / wall
    if backend == "sqlite":
        figures["syncs"] = totals["fsyncs"] + totals["fdatasyncs"]
        figures["os_reads"] = totals["db_reads"] + totals["wal_reads"]
        figures["os_reads_per_request"] = figures["os_reads"] / max(figures["requests"], 1)
        figures["temp_files"] = totals["temp_files"]
        statement_cost = floor_costs["statement"]
        figures["statement_us"] = statement_cost * 1e6
    else:
        figures["syncs"] = server["wal_syncs"]
        figures["round_trips"] = totals["round_trips"]
        figures["round_trips_per_counted_row"] = (
            figures["round_trips"] / max(figures["counted_rows"], 1))
        figures["server_commits"] = server["server_commits"]
        # Where the server's time goes as the plan grows: pages it had to fetch from the
        # operating system, and pages it logged whole as their first change since a checkpoint.
        counted = max(figures["counted_rows"], 1)
        figures["blocks_read_per_counted_row"] = server["blocks_read"] / counted
        figures["wal_full_pages_per_counted_row"] = server["wal_full_pages"] / counted
        figures["wal_kb_per_counted_row"] = server["wal_bytes"] / 1024 / counted
        statement_cost = floor_costs["round_trip"]
        figures["round_trip_us"] = statement_cost * 1e6
    figures["commit_us"] = floor_costs["commit"] * 1e6
    figures["log_write_us"] = floor_costs["log_write"] * 1e6
    figures["floor"] = (figures["commits"] * floor_costs["commit"]
                        + figures["log_writes"] * floor_costs["log_write"]
                        + figures["statements"] * statement_cost)
    figures["wall_per_floor"] = wall / figures["floor"] if figures["floor"] > 0 else float("nan")
    return figures


def add_replay(figures, replayed):
    """The replay of the same round next to a run's figures; nothing of a failed replay."""
    if not replayed:
        return
    figures.update(replayed)
    figures["wall_per_replay"] = figures["wall"] / replayed["replay"]
    # On a shared machine the CPU times compare more closely than the wall times.
    figures["cpu_per_replay_cpu"] = figures["program_cpu"] / replayed["replay_cpu"]


# (key, label, format) in the order printed; a key a backend lacks is left out.
ROWS = [
    ("requests", "requests", "{:.0f}"),
    ("duty_rows", "duty rows changed", "{:.0f}"),
    ("counted_rows", "counted rows (slot recounts)", "{:.0f}"),
    ("wall", "wall s", "{:.2f}"),
    ("program_cpu", "program CPU s (user + system)", "{:.2f}"),
    ("requests_per_s", "requests/s", "{:.0f}"),
    ("requests_left", "requests left pending", "{:.0f}"),
    ("slots_off", "staffing slots off their duty rows", "{:.0f}"),
    ("log_entries", "log entries in the log file", "{:.0f}"),
    ("counted_rows_per_s", "counted rows/s", "{:.0f}"),
    ("commits", "commits", "{:.0f}"),
    ("server_commits", "server transactions (xact_commit)", "{:.0f}"),
    ("blocks_read_per_counted_row", "server pages read from the OS per counted row", "{:.1f}"),
    ("wal_full_pages_per_counted_row", "WAL full-page images per counted row", "{:.1f}"),
    ("wal_kb_per_counted_row", "WAL KB per counted row", "{:.1f}"),
    ("syncs", None, "{:.0f}"),
    ("statements", "statements executed", "{:.0f}"),
    ("prepares", "prepares", "{:.0f}"),
    ("distinct_texts", "distinct statement texts", "{:.0f}"),
    ("os_reads", "page reads from the OS", "{:.0f}"),
    ("os_reads_per_request", "page reads per request", "{:.1f}"),
    ("temp_files", "temporary files", "{:.0f}"),
    ("round_trips", "round trips", "{:.0f}"),
    ("round_trips_per_counted_row", "round trips per counted row", "{:.1f}"),
    ("log_writes", "log entries (synced writes)", "{:.0f}"),
    ("peak_rss_mb", "peak RSS MB", "{:.1f}"),
    ("commit_us", "floor: one durable commit us", "{:.0f}"),
    ("log_write_us", "floor: one synced log write us", "{:.0f}"),
    ("statement_us", "floor: one bare prepared statement us", "{:.2f}"),
    ("round_trip_us", "floor: one round trip us", "{:.1f}"),
    ("floor", "floor s", "{:.2f}"),
    ("wall_per_floor", "wall/floor", "{:.2f}"),
    ("replay_statements", "replay: statements", "{:.0f}"),
    ("replay_syncs", "replay: disk syncs", "{:.0f}"),
    ("replay_round_trips", "replay: round trips", "{:.0f}"),
    ("replay_cpu", "replay: CPU s", "{:.2f}"),
    ("replay", "replay s (the run's statements alone)", "{:.2f}"),
    ("wall_per_replay", "wall/replay", "{:.2f}"),
    ("cpu_per_replay_cpu", "program CPU/replay CPU", "{:.2f}"),
]


def table(backend, runs):
    """Runs as columns, then their medians."""
    sync_label = ("disk syncs (fsync/fdatasync)" if backend == "sqlite"
                  else "WAL flushes (pg_stat_wal)")
    header = ["", *[f"run {i + 1}" for i in range(len(runs))], "median"]
    lines = [header]
    for key, label, fmt in ROWS:
        present = [run[key] for run in runs if key in run]
        if not present:
            continue
        # A replay that failed leaves its round's cell empty and out of the median.
        cells = [fmt.format(run[key]) if key in run else "-" for run in runs]
        cells.append(fmt.format(statistics.median(present)))
        lines.append([label or sync_label, *cells])
    width = max(len(line[0]) for line in lines)
    cell = max(len(c) for line in lines for c in line[1:])
    return "\n".join(line[0].ljust(width) + "".join(c.rjust(cell + 2) for c in line[1:])
                     for line in lines)


def busiest_texts(texts, count=8):
    """The statement texts run most often, shortened, for a look at where the time goes."""
    ranked = sorted(texts, key=lambda t: t[1], reverse=True)[:count]
    return "\n".join(f"{executions:8d} runs {prepares:7d} prepares  {text[:90]}"
                     for prepares, executions, text in ranked)

"""Loading the generated suite into a backend and handing each run a fresh copy of it.

SQLite: the template is a pair of files (schema KBENCH, calendar RVKSTAMM) written in one
transaction each; a run gets copies of both. PostgreSQL: the template is a database loaded with
COPY, vacuumed and analysed; a run gets a database created from it.
"""

import hashlib
import io
import os
import shutil
import sqlite3
import subprocess
import time

import suite_data

SCHEMA = "KBENCH"
TEMPLATE_DATABASE = "kbench_template"

SUITE_TABLES = (
    ("Rvk730Bdp", suite_data.BDP_COLUMNS, "duty"),
    ("Rvk725Bsm", suite_data.BSM_COLUMNS, "staffing"),
    ("rvk327tag", suite_data.TAG_COLUMNS, "tags"),
    ("Rvk740Pud", suite_data.PUD_COLUMNS, "requests"),
)


# Staffing slots whose head count is not what their duty rows give: a change of one run that
# another run's recount of the same slot missed.
SLOTS_OFF_SQL = """
SELECT count(*) FROM {prefix}Rvk725Bsm s LEFT JOIN (
    SELECT BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpSzb, BdpAsw, count(*) AS n FROM {prefix}Rvk730Bdp
    WHERE BdpSts NOT IN ('O', 'D') GROUP BY BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpSzb, BdpAsw) d
  ON d.BdpBdt = s.BsmBdt AND d.BdpEso = s.BsmEso AND d.BdpEsa = s.BsmEsa
    AND d.BdpSzv = s.BsmSzv AND d.BdpSzb = s.BsmSzb AND d.BdpAsw = s.BsmAsw
WHERE s.BsmIst <> coalesce(d.n, 0)"""


# Columns the program sets to the clock (sysdate): they differ between any two runs, and the
# comparison of end states leaves them out.
CLOCK_COLUMNS = ("bdpdat", "bsmdat", "errdat")


def write_config(tool, path, net, login, password):
    subprocess.run([tool, "write", path, "--net", net, "--schema", SCHEMA, "--login", login],
                   input=password + "\n", text=True, check=True, stdout=subprocess.DEVNULL)


class SqliteBackend:
    name = "sqlite"

    def __init__(self, root, work):
        self.root = root
        self.template = os.path.join(work, "template")

    def load(self, suite):
        os.makedirs(self.template)
        main = os.path.join(self.template, SCHEMA + ".db")
        calendar = os.path.join(self.template, "RVKSTAMM.db")
        self._load_file(main, "schema.sql",
                        [(t, c, getattr(suite, rows)()) for t, c, rows in SUITE_TABLES])
        self._load_file(calendar, "rvkstamm.sql",
                        [("Rvk133Bak", suite_data.BAK_COLUMNS, suite.calendar())])

    # The schema file sets write-ahead logging; the load itself goes without a journal and
    # leaves the file in that mode.
    def _load_file(self, path, schema_file, tables):
        with open(os.path.join(self.root, "schema", "sqlite", schema_file)) as f:
            schema = f.read()
        db = sqlite3.connect(path, isolation_level=None)
        db.executescript(schema)
        db.execute("PRAGMA journal_mode=OFF")
        db.execute("PRAGMA synchronous=OFF")
        db.execute("PRAGMA cache_size=-500000")
        db.execute("BEGIN")
        for table, columns, rows in tables:
            marks = ",".join("?" * len(columns))
            db.executemany(f"INSERT INTO {table} ({','.join(columns)}) VALUES ({marks})", rows)
        db.execute("COMMIT")
        db.execute("PRAGMA journal_mode=WAL")
        db.close()

    def prepare_run(self, run_dir, config_tool, through_libpq=False):
        db_dir = os.path.join(run_dir, "db")
        shutil.copytree(self.template, db_dir)
        write_config(config_tool, os.path.join(run_dir, "kestrumel.cfg"), "sqlite:../db",
                     "bench", "bench-password")

    def finish_run(self, run_dir):
        return {}

    def cleanup_run(self, run_dir):
        shutil.rmtree(os.path.join(run_dir, "db"))

    def size_bytes(self):
        return os.path.getsize(os.path.join(self.template, SCHEMA + ".db"))

    def requests_left(self, run_dir, groups):
        db = sqlite3.connect(os.path.join(run_dir, "db", SCHEMA + ".db"))
        marks = ",".join("?" * len(groups))
        (left,) = db.execute(f"SELECT count(*) FROM Rvk740Pud WHERE PudPlg IN ({marks})",
                             groups).fetchone()
        db.close()
        return left

    def slots_off(self, run_dir):
        db = sqlite3.connect(os.path.join(run_dir, "db", SCHEMA + ".db"))
        (off,) = db.execute(SLOTS_OFF_SQL.format(prefix="")).fetchone()
        db.close()
        return off

    def floor_arguments(self, work):
        return ["sqlite", work]

    def floor_env(self):
        return os.environ

    def replay_arguments(self):
        return []

    def replay_env(self):
        return os.environ

    def end_state(self, run_dir):
        """Per table its row count and the sum of its rows' hashes: equal for equal contents."""
        db = sqlite3.connect(os.path.join(run_dir, "db", SCHEMA + ".db"))
        state = []
        tables = db.execute("SELECT name FROM sqlite_master WHERE type = 'table' "
                            "AND name NOT LIKE 'sqlite%' ORDER BY name").fetchall()
        for (table,) in tables:
            columns = [row[1] for row in db.execute(f"PRAGMA table_info({table})")
                       if row[1].lower() not in CLOCK_COLUMNS]
            count = total = 0
            for row in db.execute(f"SELECT {','.join(columns)} FROM {table}"):
                digest = hashlib.blake2b(repr(row).encode(), digest_size=8).digest()
                total += int.from_bytes(digest, "little")
                count += 1
            state.append((table.lower(), count, total % 2**64))
        db.close()
        return state


class PostgresBackend:
    name = "postgresql"

    def __init__(self, root, work):
        import psycopg2  # only this backend needs it

        self.psycopg2 = psycopg2
        self.root = root
        self.host = os.environ["KESTRUMEL_BENCH_PG_HOST"]
        self.port = os.environ["KESTRUMEL_BENCH_PG_PORT"]
        self.user = os.environ["KESTRUMEL_BENCH_PG_USER"]
        self.password = os.environ["KESTRUMEL_BENCH_PG_PASSWORD"]
        self.run_number = 0
        self.database = None
        self.before = None

    def connect(self, database):
        db = self.psycopg2.connect(host=self.host, port=self.port, user=self.user,
                                   password=self.password, dbname=database)
        db.autocommit = True
        return db

    def load(self, suite):
        admin = self.connect("postgres")
        admin.cursor().execute(f"CREATE DATABASE {TEMPLATE_DATABASE}")
        admin.close()
        db = self.connect(TEMPLATE_DATABASE)
        cursor = db.cursor()
        self._create(cursor, "rvkstamm", "rvkstamm.sql")
        self._copy(cursor, "rvkstamm.Rvk133Bak", suite_data.BAK_COLUMNS, suite.calendar())
        self._create(cursor, SCHEMA.lower(), "schema.sql")
        for table, columns, rows in SUITE_TABLES:
            self._copy(cursor, f"{SCHEMA.lower()}.{table}", columns, getattr(suite, rows)())
        # As a database in service stands after autovacuum: hint bits set and pages marked
        # all-visible, so that a tally is counted from its index alone and no run pays for the
        # load's first reads.
        cursor.execute("VACUUM (FREEZE, ANALYZE)")
        db.close()

    def _create(self, cursor, schema, schema_file):
        with open(os.path.join(self.root, "schema", "postgresql", schema_file)) as f:
            text = f.read()
        cursor.execute(f"CREATE SCHEMA {schema}; SET search_path TO {schema}; {text}")

    def _copy(self, cursor, table, columns, rows):
        source = CopySource(rows)
        cursor.copy_expert(f"COPY {table} ({','.join(columns)}) FROM STDIN", source)

    def prepare_run(self, run_dir, config_tool, through_libpq=False):
        self.run_number += 1
        self.database = f"kbench_run{self.run_number}"
        admin = self.connect("postgres")
        cursor = admin.cursor()
        cursor.execute(f"DROP DATABASE IF EXISTS {self.database}")
        cursor.execute(f"CREATE DATABASE {self.database} TEMPLATE {TEMPLATE_DATABASE} "
                       "STRATEGY FILE_COPY")
        cursor.execute("CHECKPOINT")
        self.before = self._server_counts(cursor)
        admin.close()
        write_config(config_tool, os.path.join(run_dir, "kestrumel.cfg"),
                     self.net_service(through_libpq), self.user, self.password)

    def net_service(self, through_libpq=False):
        return f"postgresql://{self.host}:{self.port}/{self.database}"

    # The run's backend reports its statistics when it ends, shortly after the program.
    def finish_run(self, run_dir):
        admin = self.connect("postgres")
        cursor = admin.cursor()
        for _ in range(100):
            cursor.execute("SELECT numbackends FROM pg_stat_database WHERE datname = %s",
                           (self.database,))
            if cursor.fetchone()[0] == 0:
                break
            time.sleep(0.05)
            cursor.execute("SELECT pg_stat_clear_snapshot()")
        time.sleep(0.2)
        cursor.execute("SELECT pg_stat_clear_snapshot()")
        after = self._server_counts(cursor)
        admin.close()
        counts = {key: after[key] - self.before[key] for key in after}
        counts.update(self._rows_changed())
        return counts

    # What the run did to the plan, as the server counted it: the same for every client, also
    # for one (ODBC) whose statement texts carry their inputs and so cannot be told apart.
    def _rows_changed(self):
        db = self.connect(self.database)
        cursor = db.cursor()
        cursor.execute("SELECT lower(relname), n_tup_upd, n_tup_del FROM pg_stat_user_tables")
        tables = {name: (updated, deleted) for name, updated, deleted in cursor.fetchall()}
        db.close()
        none = (0, 0)
        return {"requests": tables.get("rvk740pud", none)[0],
                "duty_rows": sum(tables.get("rvk730bdp", none)),
                "counted_rows": tables.get("rvk725bsm", none)[0]}

    def _server_counts(self, cursor):
        cursor.execute("SELECT coalesce(sum(xact_commit), 0), coalesce(sum(blks_read), 0) "
                       "FROM pg_stat_database WHERE datname = %s", (self.database,))
        commits, blocks_read = cursor.fetchone()
        cursor.execute("SELECT wal_records, wal_fpi, wal_bytes, wal_write, wal_sync FROM pg_stat_wal")
        records, full_pages, wal_bytes, writes, syncs = cursor.fetchone()
        return {"server_commits": int(commits), "blocks_read": int(blocks_read),
                "wal_records": int(records), "wal_full_pages": int(full_pages),
                "wal_bytes": int(wal_bytes), "wal_writes": int(writes), "wal_syncs": int(syncs)}

    def size_bytes(self):
        db = self.connect("postgres")
        cursor = db.cursor()
        cursor.execute("SELECT pg_database_size(%s)", (TEMPLATE_DATABASE,))
        (size,) = cursor.fetchone()
        db.close()
        return size

    def requests_left(self, run_dir, groups):
        return self._count(f"SELECT count(*) FROM {SCHEMA.lower()}.Rvk740Pud "
                           "WHERE PudPlg = ANY(%s)", (list(groups),))

    def slots_off(self, run_dir):
        return self._count(SLOTS_OFF_SQL.format(prefix=SCHEMA.lower() + "."))

    def _count(self, query, parameters=()):
        db = self.connect(self.database)
        cursor = db.cursor()
        cursor.execute(query, parameters)
        (count,) = cursor.fetchone()
        db.close()
        return count

    def cleanup_run(self, run_dir):
        admin = self.connect("postgres")
        admin.cursor().execute(f"DROP DATABASE {self.database}")
        admin.close()

    def floor_arguments(self, work):
        return ["postgresql", work]

    # The floor tool reaches the server the way the program does: TCP, password.
    def floor_env(self):
        return dict(os.environ, PGHOST=self.host, PGPORT=self.port, PGUSER=self.user,
                    PGPASSWORD=self.password, PGDATABASE="postgres")

    def replay_arguments(self):
        return [self.database]

    def replay_env(self):
        return self.floor_env()

    def end_state(self, run_dir):
        """Per table its row count and the sum of its rows' hashes: equal for equal contents."""
        db = self.connect(self.database)
        cursor = db.cursor()
        cursor.execute("SELECT lower(table_name), string_agg(quote_ident(column_name), ',' "
                       "ORDER BY ordinal_position) FROM information_schema.columns "
                       "WHERE table_schema = %s AND lower(column_name) <> ALL(%s) "
                       "GROUP BY table_name ORDER BY 1", (SCHEMA.lower(), list(CLOCK_COLUMNS)))
        state = []
        for table, columns in cursor.fetchall():
            cursor.execute(f"SELECT count(*), coalesce(sum(('x' || substr(md5(ROW({columns})::text), "
                           f"1, 15))::bit(60)::bigint), 0) FROM {SCHEMA.lower()}.{table}")
            count, total = cursor.fetchone()
            state.append((table, int(count), int(total)))
        db.close()
        return state


class CopySource(io.RawIOBase):
    """Rows as COPY text, produced as the server asks for it."""

    def __init__(self, rows):
        self.rows = iter(rows)
        self.pending = b""

    def readable(self):
        return True

    def read(self, size=-1):
        while size < 0 or len(self.pending) < size:
            row = next(self.rows, None)
            if row is None:
                break
            self.pending += ("\t".join("\\N" if v is None else str(v) for v in row) + "\n").encode()
        if size < 0:
            size = len(self.pending)
        chunk, self.pending = self.pending[:size], self.pending[size:]
        return chunk


class OdbcBackend(PostgresBackend):
    """The same server and figures; the program reaches it through the ODBC DSN of bench.sh."""
    name = "odbc"

    # The recording run goes through the PostgreSQL backend: the same work as libpq calls, which
    # the replay can make again; what the ODBC driver sends is its own.
    def net_service(self, through_libpq=False):
        if through_libpq:
            return super().net_service()
        return f"odbc:DSN={os.environ['KESTRUMEL_BENCH_ODBC_DSN']};Database={self.database}"

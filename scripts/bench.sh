#!/usr/bin/env bash
# Measures kestrumel on a generated suite database and compares it with the floor of the disk
# or server it runs on.
#
#   scripts/bench.sh [--backend sqlite|postgresql|odbc] [--persons N] [--days D] [--requests R] [--runs K]
#                    [--groups N] [--against PROGRAM] [--dsn test|defaults] [--with-native]
#                    [--unpipelined-replay]
#
# Defaults: SQLite, 2000 persons x 365 days, 2000 requests, 3 runs. Builds kestrumel as the
# package ships it (Release, no tests, no fault seam), a counting and a recording shim
# (LD_PRELOAD), the floor tool and the replay tools into build-shipped/, generates
# the suite into a temporary folder (for PostgreSQL: into a throwaway server with durable
# settings), records the statements of one untimed run, then runs the program K times on fresh
# copies, each followed by a replay of the recording on a fresh copy, and prints every run's
# figures and their medians. Everything it starts or writes
# is gone when it ends. odbc: the PostgreSQL server, reached through PostgreSQL's ODBC driver
# with a DSN written into the temporary folder (ODBCSYSINI). --against: after each run, the
# same run with another kestrumel binary (an older build, say), its figures in a second table.
# --groups: the queue dealt out to N planning groups over the same persons and days, and each
# run N programs at once, one per group, on the one database; wall time until the last ended.
# odbc only: --dsn defaults writes the DSN as a site would (driver, server, port: the driver's
# settings at their defaults) instead of the test suite's (Protocol = 7.4-2); --with-native runs
# the same program through the PostgreSQL backend after each ODBC run, on the same server and
# suite, its figures in a second table. --unpipelined-replay (PostgreSQL and ODBC): the replay
# sends every statement in a round trip of its own, as a driver without a pipeline must: what a
# bare libpq client spends on the run's statements one by one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

usage() {
  echo "usage: $0 [--backend sqlite|postgresql|odbc] [--persons N] [--days D] [--requests R]" \
    "[--runs K] [--groups N] [--against PROGRAM] [--dsn test|defaults] [--with-native]" \
    "[--unpipelined-replay]" >&2
  exit 2
}

backend=sqlite
dsn=test
options=()
while (($#)); do
  case "$1" in
    --backend)
      [[ $# -ge 2 && ( "$2" == sqlite || "$2" == postgresql || "$2" == odbc ) ]] || usage
      backend=$2
      shift 2
      ;;
    --persons | --days | --requests | --runs | --groups)
      [[ $# -ge 2 && "$2" =~ ^[1-9][0-9]*$ ]] || usage
      options+=("$1" "$2")
      shift 2
      ;;
    --against)
      [[ $# -ge 2 && -x "$2" ]] || usage
      options+=("$1" "$(cd "$(dirname "$2")" && pwd)/$(basename "$2")")
      shift 2
      ;;
    --dsn)
      [[ $# -ge 2 && ( "$2" == test || "$2" == defaults ) ]] || usage
      dsn=$2
      shift 2
      ;;
    --with-native)
      options+=("$1")
      shift
      ;;
    --unpipelined-replay)
      export KESTRUMEL_BENCH_REPLAY_UNPIPELINED=1
      shift
      ;;
    *) usage ;;
  esac
done
[[ "$backend" == odbc || ( "$dsn" == test && ! " ${options[*]-} " =~ " --with-native " ) ]] || usage

readonly RUN_USER=kestrumel-pg
readonly BENCH_ROLE=kt_bench

# The generator and runner need Python with psycopg2 from Debian, the shims and tools gcc/g++.
install_missing() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  local sudo=""
  ((EUID == 0)) || sudo=sudo
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

build() {
  scripts/deps.sh
  install_missing python3 python3-psycopg2 gcc g++
  cmake -S . -B build-shipped -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DKESTRUMEL_FAULT_SEAM=OFF >/dev/null
  cmake --build build-shipped -j2 --target kestrumel kestrumel-config kestrumel_runtime \
    kestrumel_platform >/dev/null
  mkdir -p build-shipped/bench
  local shim
  for shim in counts_shim record_shim; do
    gcc -O2 -Wall -Wextra -Werror -fPIC -shared -o "build-shipped/bench/$shim.so" "tools/bench/$shim.c" -ldl
  done
  gcc -O2 -Wall -Wextra -Werror -I"$(pg_config --includedir)" -o build-shipped/bench/floor \
    tools/bench/floor.c -lsqlite3 -lpq
  gcc -O2 -Wall -Wextra -Werror -I"$(pg_config --includedir)" -o build-shipped/bench/replay_postgresql \
    tools/bench/replay_postgresql.c -lpq
  # The program's own date functions, from its runtime library, as the SQLite backend
  # registers them.
  g++ -std=c++20 -O2 -Wall -Wextra -Werror -Isrc -o build-shipped/bench/replay_sqlite \
    tools/bench/replay_sqlite.cpp build-shipped/libkestrumel_runtime.a \
    build-shipped/libkestrumel_platform.a -lsqlite3
}

# ---- a throwaway PostgreSQL server with durable settings ----------------------------------

pg_bindir() {
  local dir
  dir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  [[ -n "$dir" && -x "$dir/initdb" ]] || { echo "no PostgreSQL server installed" >&2; exit 1; }
  echo "$dir"
}

as_server_user() {
  if ((EUID == 0)); then runuser -u "$RUN_USER" -- "$@"; else "$@"; fi
}

free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 30000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

# Production settings where they matter for the figures: every commit reaches the disk.
pg_start() {
  local bindir=$1 dir=$2 password
  if ((EUID == 0)) && ! id -u "$RUN_USER" >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$RUN_USER"
  fi
  mkdir -p "$dir/pg"
  password=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
  (umask 077 && printf '%s\n' "$password" >"$dir/pg/pw")
  ((EUID != 0)) || chown -R "$RUN_USER" "$dir/pg"
  as_server_user "$bindir/initdb" -D "$dir/pg/data" -U "$BENCH_ROLE" --pwfile="$dir/pg/pw" \
    --auth=scram-sha-256 -E UTF8 --no-locale >"$dir/pg/initdb.log" 2>&1 \
    || { cat "$dir/pg/initdb.log" >&2; exit 1; }
  port=$(free_port)
  cat >>"$dir/pg/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir/pg'
fsync = on
synchronous_commit = on
full_page_writes = on
max_wal_size = 4GB
log_min_messages = warning
EOF
  pg_data=$dir/pg/data  # from here on the exit stops the server
  as_server_user "$bindir/pg_ctl" -D "$pg_data" -l "$dir/pg/server.log" -w -t 60 start \
    >/dev/null || { cat "$dir/pg/server.log" >&2; exit 1; }
  export KESTRUMEL_BENCH_PG_HOST=127.0.0.1 KESTRUMEL_BENCH_PG_PORT=$port
  export KESTRUMEL_BENCH_PG_USER=$BENCH_ROLE KESTRUMEL_BENCH_PG_PASSWORD=$password
}

# The DSN names the server; each run adds its database to the connection string.
odbc_config() {
  local dir=$1/odbc driver
  driver=$(ls /usr/lib/*/odbc/psqlodbcw.so 2>/dev/null | head -n1) || true
  [[ -n "$driver" ]] || { echo "no PostgreSQL ODBC driver (package odbc-postgresql)" >&2; exit 1; }
  mkdir -p "$dir"
  printf '[PostgreSQL Unicode]\nDriver = %s\n' "$driver" >"$dir/odbcinst.ini"
  printf '[kestrumel_bench]\nDriver = PostgreSQL Unicode\nServername = %s\nPort = %s\n' \
    "$KESTRUMEL_BENCH_PG_HOST" "$KESTRUMEL_BENCH_PG_PORT" >"$dir/odbc.ini"
  [[ "$dsn" == defaults ]] || printf 'Protocol = 7.4-2\n' >>"$dir/odbc.ini"
  export ODBCSYSINI=$dir ODBCINI=$dir/odbc.ini KESTRUMEL_BENCH_ODBC_DSN=kestrumel_bench
}

pg_data=""
work=""
cleanup() {
  if [[ -n "$pg_data" && -f "$pg_data/postmaster.pid" ]]; then
    as_server_user "$(pg_bindir)/pg_ctl" -D "$pg_data" -m immediate -w -t 60 stop >/dev/null 2>&1 || true
  fi
  [[ -z "$work" ]] || rm -rf -- "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

build
# As root the server's user must reach the folder: /tmp, whatever TMPDIR says.
parent=${TMPDIR:-/tmp}
((EUID != 0)) || parent=/tmp
work=$(mktemp -d "$parent/kestrumel-bench.XXXXXX")
chmod 0755 "$work"
if [[ "$backend" != sqlite ]]; then pg_start "$(pg_bindir)" "$work"; fi
if [[ "$backend" == odbc ]]; then odbc_config "$work"; fi

/usr/bin/python3 -B tools/bench/bench.py --backend "$backend" ${options[@]+"${options[@]}"} \
  --root "$root" --build "$root/build-shipped" --tools "$root/build-shipped/bench" --work "$work"

#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests.
#
#   eval "$(scripts/pg-test-server.sh start)"   # prints export lines for the test variables
#   scripts/pg-test-server.sh stop              # needs KESTRUMEL_TEST_PG_DIR; stops and removes
#
# The cluster lives in a fresh temporary directory and listens on 127.0.0.1 on a free port and
# on the socket directory $KESTRUMEL_TEST_PG_DIR/sock. Logins use scram passwords: the test role
# (LOGIN, CREATEDB, CREATEROLE) gets a random password. The settings favour speed over safety
# and keep the lock table small, so that a transaction that leaks locks fails in the tests.
# For the ODBC backend the start also writes $KESTRUMEL_TEST_PG_DIR/odbc, a driver manager
# configuration (ODBCSYSINI) with PostgreSQL's ODBC driver and a DSN for this server, when
# the driver is installed (package odbc-postgresql); nothing is written under /etc.
# PostgreSQL refuses to run as root; as root the server runs as the system user kestrumel-pg.
#
#   eval "$(scripts/pg-test-server.sh start-pair)"  # a primary and its synchronous standby
#   scripts/pg-test-server.sh stop-primary|kill-primary|promote-standby|start-primary
#
# For failover tests: a primary and a streaming standby made with pg_basebackup -R, host and
# port of the test variables naming both (primary first); stop removes the pair. The other
# commands act on the pair in KESTRUMEL_TEST_PG_DIR: stop the primary at once (-m immediate),
# SIGKILL its postmaster, promote the standby, start the primary again. start-pair exits with
# 77 where no PostgreSQL server is installed.
set -euo pipefail

readonly RUN_USER=kestrumel-pg
readonly TEST_ROLE=kt_test
readonly ADMIN_ROLE=kt_admin
readonly MARKER=.kestrumel-pg-test-server

die() {
  echo "pg-test-server: $*" >&2
  exit 1
}

find_bindir() {
  local dir version best="" best_version=0
  for dir in /usr/lib/postgresql/*/bin; do
    [[ -x "$dir/initdb" && -x "$dir/pg_ctl" ]] || continue
    version=${dir#/usr/lib/postgresql/}
    version=${version%%/*}
    [[ "$version" =~ ^[0-9]+$ ]] || continue
    if ((version > best_version)); then
      best="$dir"
      best_version=$version
    fi
  done
  [[ -n "$best" ]] || die "no PostgreSQL server under /usr/lib/postgresql (package postgresql)"
  echo "$best"
}

# Runs a command as the server's user (as root) or as ourselves.
as_server_user() {
  if ((EUID == 0)); then
    runuser -u "$RUN_USER" -- "$@"
  else
    "$@"
  fi
}

ensure_run_user() {
  ((EUID == 0)) || return 0
  id -u "$RUN_USER" >/dev/null 2>&1 && return 0
  useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
    "$RUN_USER" >&2 || id -u "$RUN_USER" >/dev/null 2>&1 || die "cannot create user $RUN_USER"
}

random_hex() {
  od -An -N"$1" -tx1 /dev/urandom | tr -d ' \n'
}

port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

pick_port() {
  local tries port
  for ((tries = 0; tries < 200; tries++)); do
    port=$((20000 + RANDOM % 30000))
    port_in_use "$port" || { echo "$port"; return 0; }
  done
  die "no free port found"
}

write_settings() {
  local data=$1 port=$2 sock=$3
  cat >>"$data/postgresql.conf" <<EOF

# kestrumel test server
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$sock'
unix_socket_permissions = 0777
max_connections = 100
max_locks_per_transaction = 10
shared_buffers = 32MB
fsync = off
synchronous_commit = off
full_page_writes = off
wal_level = minimal
max_wal_senders = 0
password_encryption = 'scram-sha-256'
log_min_messages = warning
log_connections = off
# An autovacuum worker in a test database would make its DROP DATABASE ... WITH (FORCE) fail:
# the test role may not end a process of the server's own.
autovacuum = off
EOF
  cat >"$data/pg_hba.conf" <<EOF
local all all scram-sha-256
host  all all 127.0.0.0/8 scram-sha-256
EOF
}

# Makes the fresh directory $dir for a server (or a pair) and sets the traps that take it
# along when a start fails or is interrupted half way.
make_server_dir() {
  ensure_run_user
  # As root the server's user must reach the directory: TMPDIR only where it can, else /tmp.
  local parent=${TMPDIR:-/tmp}
  if ((EUID == 0)) && ! runuser -u "$RUN_USER" -- test -x "$parent"; then parent=/tmp; fi
  dir=$(mktemp -d "$parent/kestrumel-pg.XXXXXX")
  chmod 0755 "$dir"
  touch "$dir/$MARKER"
  KESTRUMEL_TEST_PG_DIR=$dir
  trap stop_server EXIT
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
  mkdir "$dir/sock"
  admin_pw=$(random_hex 16)
  test_pw=$(random_hex 16)
  (umask 077 && printf '%s\n' "$admin_pw" >"$dir/admin.pw")
  if ((EUID == 0)); then chown "$RUN_USER" "$dir" "$dir/sock" "$dir/admin.pw"; fi
}

init_cluster() {
  local data=$1
  as_server_user "$bindir/initdb" -D "$data" -U "$ADMIN_ROLE" --pwfile="$dir/admin.pw" \
    --auth=scram-sha-256 -E UTF8 --no-locale --no-sync >"$dir/initdb.log" 2>&1 \
    || { cat "$dir/initdb.log" >&2; die "initdb failed"; }
}

# Starts the cluster in $1 on a free port, logging to $2: its postgresql.conf as it is now,
# then what the command $3 appends for the port ($3 DATA PORT). Sets $port.
start_on_free_port() {
  local data=$1 log=$2 configure=$3 attempt
  # A port found free may be taken before the server binds it: then another one.
  cp "$data/postgresql.conf" "$data.conf.orig"
  for attempt in 1 2 3 4 5; do
    port=$(pick_port)
    cp "$data.conf.orig" "$data/postgresql.conf"
    "$configure" "$data" "$port"
    if as_server_user "$bindir/pg_ctl" -D "$data" -l "$log" -w -t 60 start >/dev/null 2>&1; then
      return 0
    fi
  done
  cat "$log" >&2 || true
  die "server did not start"
}

configure_single() {
  write_settings "$1" "$2" "$dir/sock"
}

# SQL as the admin role on the server at $1; the password goes through the environment of
# psql only, never its command line.
admin_psql() {
  local at_port=$1
  shift
  PGPASSWORD="$admin_pw" "$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir/sock" -p "$at_port" \
    -U "$ADMIN_ROLE" -d postgres "$@"
}

create_test_role() {
  admin_psql "$1" -v pw="$test_pw" >/dev/null <<EOF || die "cannot create the test role"
CREATE ROLE $TEST_ROLE LOGIN CREATEDB CREATEROLE PASSWORD :'pw';
EOF
}

start_server() {
  local bindir dir data port admin_pw test_pw
  bindir=$(find_bindir)
  make_server_dir
  data="$dir/data"
  init_cluster "$data"
  start_on_free_port "$data" "$dir/server.log" configure_single
  create_test_role "$port"
  printf 'export KESTRUMEL_TEST_PG_HOST=127.0.0.1 KESTRUMEL_TEST_PG_PORT=%q' "$port"
  printf ' KESTRUMEL_TEST_PG_USER=%q KESTRUMEL_TEST_PG_PASSWORD=%q' "$TEST_ROLE" "$test_pw"
  printf ' KESTRUMEL_TEST_PG_DIR=%q' "$dir"
  write_odbc_config "$dir" "$port"
  printf '\n'
  trap - EXIT
}

# The primary streams to its standby and, once the standby is up, waits for it at each commit
# as a highly available pair does: a promoted standby has every commit a client was told of.
configure_primary() {
  local data=$1
  write_settings "$data" "$2" "$dir/sock"
  cat >>"$data/postgresql.conf" <<EOF
# the primary of a pair
wal_level = replica
max_wal_senders = 4
synchronous_commit = on
EOF
  cat >>"$data/pg_hba.conf" <<EOF
local replication $ADMIN_ROLE scram-sha-256
host  replication $ADMIN_ROLE 127.0.0.1/32 scram-sha-256
EOF
}

# The standby keeps the primary's settings, on the primary's port of a loopback address of its
# own: a driver whose port field holds one port (psqlODBC's) reaches both by their addresses.
configure_standby() {
  printf "\n# the standby of a pair\nlisten_addresses = '127.0.0.2'\nport = %s\n" "$2" \
    >>"$1/postgresql.conf"
  printf "unix_socket_directories = '%s'\n" "$dir/standby-sock" >>"$1/postgresql.conf"
}

# The admin password reaches pg_basebackup through its environment; -R keeps it in the
# standby's primary_conninfo, inside the data directory that only the server's user reads.
start_standby() {
  local primary_port=$1
  PGPASSWORD="$admin_pw" as_server_user "$bindir/pg_basebackup" -h "$dir/sock" \
    -p "$primary_port" -U "$ADMIN_ROLE" -D "$dir/standby" -R -X stream -c fast --no-sync \
    >"$dir/basebackup.log" 2>&1 || { cat "$dir/basebackup.log" >&2; die "pg_basebackup failed"; }
  mkdir -p "$dir/standby-sock"
  if ((EUID == 0)); then chown "$RUN_USER" "$dir/standby-sock"; fi
  configure_standby "$dir/standby" "$primary_port"
  as_server_user "$bindir/pg_ctl" -D "$dir/standby" -l "$dir/standby.log" -w -t 60 start \
    >/dev/null 2>&1 || { cat "$dir/standby.log" >&2; die "the standby did not start"; }
  port=$primary_port
}

# From now on each commit waits for the standby; it has replayed everything before.
wait_for_sync_standby() {
  local primary_port=$1 tries caught_up
  admin_psql "$primary_port" >/dev/null <<EOF || die "cannot make the standby synchronous"
ALTER SYSTEM SET synchronous_standby_names = '*';
SELECT pg_reload_conf();
EOF
  for ((tries = 0; tries < 600; tries++)); do
    caught_up=$(admin_psql "$primary_port" -At -c "SELECT count(*) FROM pg_stat_replication \
      WHERE sync_state = 'sync' AND replay_lsn >= pg_current_wal_lsn()") || caught_up=0
    [[ "$caught_up" == 1 ]] && return 0
    sleep 0.1
  done
  die "the standby did not catch up"
}

# Prints the test variables as start does, with both servers in host and port (the primary
# first), as the connection library takes a list of them. --no-standby starts the primary
# alone and names a free port where the standby would be.
start_pair() {
  local bindir dir port primary_port standby_port admin_pw test_pw with_standby=1
  case "${1:-}" in
    "") ;;
    --no-standby) with_standby=0 ;;
    *) die "usage: $0 start-pair [--no-standby]" ;;
  esac
  # Without server binaries a test of a pair is skipped: a status of its own.
  bindir=$(find_bindir) || exit 77
  make_server_dir
  init_cluster "$dir/data"
  start_on_free_port "$dir/data" "$dir/server.log" configure_primary
  primary_port=$port
  create_test_role "$primary_port"
  if ((with_standby)); then
    start_standby "$primary_port"
    standby_port=$port
    wait_for_sync_standby "$primary_port"
  else
    standby_port=$primary_port  # nothing listens on the standby's address
  fi
  printf 'export KESTRUMEL_TEST_PG_HOST=127.0.0.1,127.0.0.2 KESTRUMEL_TEST_PG_PORT=%s,%s' \
    "$primary_port" "$standby_port"
  printf ' KESTRUMEL_TEST_PG_USER=%q KESTRUMEL_TEST_PG_PASSWORD=%q' "$TEST_ROLE" "$test_pw"
  printf ' KESTRUMEL_TEST_PG_DIR=%q' "$dir"
  write_odbc_config "$dir" "$primary_port" 127.0.0.1,127.0.0.2
  printf '\n'
  trap - EXIT
}

# The directory of a running server or pair, named by KESTRUMEL_TEST_PG_DIR.
existing_dir() {
  local dir=${KESTRUMEL_TEST_PG_DIR:-}
  [[ -n "$dir" ]] || die "KESTRUMEL_TEST_PG_DIR is not set"
  [[ -f "$dir/$MARKER" ]] || die "$dir was not made by this script; not touching it"
  echo "$dir"
}

# What a failover test does to a pair: the primary stopped without a checkpoint or killed,
# the standby promoted, the primary started again.
pair_command() {
  local dir bindir pid
  dir=$(existing_dir)
  bindir=$(find_bindir)
  case "$1" in
    stop-primary)
      as_server_user "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 60 stop >/dev/null \
        || die "the primary did not stop"
      ;;
    kill-primary)
      pid=$(head -n1 "$dir/data/postmaster.pid" 2>/dev/null) || die "the primary is not running"
      [[ "$pid" =~ ^[0-9]+$ ]] || die "no postmaster pid in $dir/data/postmaster.pid"
      kill -KILL "$pid" || die "cannot kill the primary ($pid)"
      ;;
    promote-standby)
      as_server_user "$bindir/pg_ctl" -D "$dir/standby" -w -t 60 promote >/dev/null \
        || die "the standby was not promoted"
      ;;
    start-primary)
      as_server_user "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start \
        >/dev/null || die "the primary did not start"
      ;;
  esac
}

# The DSN names server and port; each test adds its database to the connection string. A
# pair's DSN names both servers and asks for the one that takes writes.
write_odbc_config() {
  local dir=$1 port=$2 servers=${3:-127.0.0.1} driver
  driver=$(ls /usr/lib/*/odbc/psqlodbcw.so 2>/dev/null | head -n1) || true
  [[ -n "$driver" ]] || return 0
  mkdir "$dir/odbc"
  cat >"$dir/odbc/odbcinst.ini" <<EOF
[ODBC]
Trace = No

[PostgreSQL Unicode]
Driver = $driver
EOF
  cat >"$dir/odbc/odbc.ini" <<EOF
[kestrumel_test]
Driver = PostgreSQL Unicode
Servername = $servers
Port = $port
Database = postgres
Protocol = 7.4-2
EOF
  [[ "$servers" != *,* ]] || printf 'Pqopt = target_session_attrs=read-write\n' >>"$dir/odbc/odbc.ini"
  printf ' ODBCSYSINI=%q ODBCINI=%q KESTRUMEL_TEST_ODBC_DSN=kestrumel_test' \
    "$dir/odbc" "$dir/odbc/odbc.ini"
}

stop_server() {
  local dir=${KESTRUMEL_TEST_PG_DIR:-}
  [[ -n "$dir" ]] || die "KESTRUMEL_TEST_PG_DIR is not set"
  [[ -d "$dir" ]] || return 0
  [[ -f "$dir/$MARKER" ]] || die "$dir was not made by this script; not touching it"
  local data bindir
  for data in "$dir/data" "$dir/standby"; do
    [[ -f "$data/postmaster.pid" ]] || continue
    bindir=$(find_bindir)
    as_server_user "$bindir/pg_ctl" -D "$data" -m immediate -w -t 60 stop >/dev/null 2>&1 \
      || true
  done
  rm -rf -- "$dir"
}

case "${1:-}" in
  start) start_server ;;
  start-pair) start_pair "${2:-}" ;;
  stop-primary | kill-primary | promote-standby | start-primary) pair_command "$1" ;;
  stop) stop_server ;;
  *) die "usage: $0 start|stop|start-pair [--no-standby]|stop-primary|kill-primary|promote-standby|start-primary" ;;
esac

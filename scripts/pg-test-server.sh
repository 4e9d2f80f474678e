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
host  all all 127.0.0.1/32 scram-sha-256
EOF
}

start_server() {
  local bindir dir data port admin_pw test_pw attempt
  bindir=$(find_bindir)
  ensure_run_user
  # As root the server's user must reach the directory: TMPDIR only where it can, else /tmp.
  local parent=${TMPDIR:-/tmp}
  if ((EUID == 0)) && ! runuser -u "$RUN_USER" -- test -x "$parent"; then parent=/tmp; fi
  dir=$(mktemp -d "$parent/kestrumel-pg.XXXXXX")
  chmod 0755 "$dir"
  touch "$dir/$MARKER"
  # A start that fails or is interrupted half way takes its server and directory along.
  KESTRUMEL_TEST_PG_DIR=$dir
  trap stop_server EXIT
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
  mkdir "$dir/sock"
  data="$dir/data"
  admin_pw=$(random_hex 16)
  test_pw=$(random_hex 16)
  (umask 077 && printf '%s\n' "$admin_pw" >"$dir/admin.pw")
  if ((EUID == 0)); then chown "$RUN_USER" "$dir" "$dir/sock" "$dir/admin.pw"; fi

  as_server_user "$bindir/initdb" -D "$data" -U "$ADMIN_ROLE" --pwfile="$dir/admin.pw" \
    --auth=scram-sha-256 -E UTF8 --no-locale --no-sync >"$dir/initdb.log" 2>&1 \
    || { cat "$dir/initdb.log" >&2; die "initdb failed"; }

  # A port found free may be taken before the server binds it: then another one.
  cp "$data/postgresql.conf" "$dir/postgresql.conf.orig"
  for attempt in 1 2 3 4 5; do
    port=$(pick_port)
    cp "$dir/postgresql.conf.orig" "$data/postgresql.conf"
    write_settings "$data" "$port" "$dir/sock"
    if as_server_user "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 start \
      >/dev/null 2>&1; then
      break
    fi
    port=""
  done
  [[ -n "$port" ]] || { cat "$dir/server.log" >&2 || true; die "server did not start"; }

  # The admin password goes through the environment of psql only, never its command line.
  PGPASSWORD="$admin_pw" "$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir/sock" -p "$port" \
    -U "$ADMIN_ROLE" -d postgres -v pw="$test_pw" >/dev/null <<EOF \
    || die "cannot create the test role"
CREATE ROLE $TEST_ROLE LOGIN CREATEDB CREATEROLE PASSWORD :'pw';
EOF
  printf 'export KESTRUMEL_TEST_PG_HOST=127.0.0.1 KESTRUMEL_TEST_PG_PORT=%q' "$port"
  printf ' KESTRUMEL_TEST_PG_USER=%q KESTRUMEL_TEST_PG_PASSWORD=%q' "$TEST_ROLE" "$test_pw"
  printf ' KESTRUMEL_TEST_PG_DIR=%q' "$dir"
  write_odbc_config "$dir" "$port"
  printf '\n'
  trap - EXIT
}

# The DSN names server and port; each test adds its database to the connection string.
write_odbc_config() {
  local dir=$1 port=$2 driver
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
Servername = 127.0.0.1
Port = $port
Database = postgres
Protocol = 7.4-2
EOF
  printf ' ODBCSYSINI=%q ODBCINI=%q KESTRUMEL_TEST_ODBC_DSN=kestrumel_test' \
    "$dir/odbc" "$dir/odbc/odbc.ini"
}

stop_server() {
  local dir=${KESTRUMEL_TEST_PG_DIR:-}
  [[ -n "$dir" ]] || die "KESTRUMEL_TEST_PG_DIR is not set"
  [[ -d "$dir" ]] || return 0
  [[ -f "$dir/$MARKER" ]] || die "$dir was not made by this script; not touching it"
  if [[ -f "$dir/data/postmaster.pid" ]]; then
    local bindir
    bindir=$(find_bindir)
    as_server_user "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 60 stop >/dev/null 2>&1 \
      || true
  fi
  rm -rf -- "$dir"
}

case "${1:-}" in
  start) start_server ;;
  stop) stop_server ;;
  *) die "usage: $0 start|stop" ;;
esac

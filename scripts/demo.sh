#!/usr/bin/env bash
# Sets up what is missing, builds, creates a small demo database, checks the setup, proves the
# program's handling on it (selftest), runs kestrumel for planning group PLG01 and shows what
# the run changed.
#   scripts/demo.sh                SQLite files in demo/db
#   scripts/demo.sh --postgresql   database kdemo on a throwaway PostgreSQL server
#   scripts/demo.sh --odbc         the same database, reached through psqlODBC
#   --installed PREFIX             the programs in PREFIX/bin and the schema files in
#                                  PREFIX/share/kestrumel/schema instead of a build in build-shipped/
#   --windows BUILD                the Windows programs of a cross-build in BUILD, under Wine
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

usage() {
  echo "usage: $0 [--postgresql|--odbc] [--installed PREFIX|--windows BUILD]" >&2
  exit 2
}
backend=sqlite
road=native
bin=$root/build-shipped
schema_dir=$root/schema
installed=no
exe=""
runner=()
while [ $# -gt 0 ]; do
  case "$1" in
    --postgresql) backend=postgresql ;;
    --odbc) backend=postgresql road=odbc ;;
    --installed)
      [ $# -ge 2 ] || usage
      prefix=$(cd "$2" && pwd)
      bin=$prefix/bin
      schema_dir=$prefix/share/kestrumel/schema
      installed=yes
      shift
      ;;
    --windows)
      [ $# -ge 2 ] || usage
      bin=$(cd "$2" && pwd)
      installed=yes
      exe=.exe
      export WINEPREFIX=$bin/wine WINEDEBUG=-all
      runner=(wine)
      shift
      ;;
    *) usage ;;
  esac
  shift
done

# The two programs, run directly or through Wine.
kestrumel_config() { ${runner[@]+"${runner[@]}"} "$bin/kestrumel-config$exe" "$@"; }
kestrumel() { ${runner[@]+"${runner[@]}"} "$bin/kestrumel$exe" "$@"; }

# SQLite: schema KDEMO is the file demo/db/KDEMO.db, the calendar demo/db/RVKSTAMM.db.
sqlite_setup() {
  mkdir -p demo/db
  sqlite3 demo/db/KDEMO.db < "$schema_dir/sqlite/schema.sql" >/dev/null
  sqlite3 demo/db/RVKSTAMM.db < "$schema_dir/sqlite/rvkstamm.sql" >/dev/null
  (cd demo/db && sqlite3 KDEMO.db < "$root/scripts/demo/seed.sql")
  echo "demo-password" |
    kestrumel_config write demo/kestrumel.cfg --net sqlite:../db --schema KDEMO --login demo
}
sqlite_query() { sqlite3 -header -column demo/db/KDEMO.db "$1"; }
sqlite_column() { echo "$1"; }
sqlite_day() { echo "substr($1,1,10) as $1"; }

# PostgreSQL: schemas kdemo and rvkstamm in database kdemo, on a server that lives as long as
# this script. The password reaches psql through its environment and kestrumel-config through
# standard input, never a command line.
psql_kdemo() {
  PGPASSWORD=$KESTRUMEL_TEST_PG_PASSWORD PGDATESTYLE=ISO psql -X -q -v ON_ERROR_STOP=1 \
    -h "$KESTRUMEL_TEST_PG_HOST" -p "$KESTRUMEL_TEST_PG_PORT" -U "$KESTRUMEL_TEST_PG_USER" "$@"
}
postgresql_setup() {
  local server
  server=$(scripts/pg-test-server.sh start)
  eval "$server"
  trap 'scripts/pg-test-server.sh stop >/dev/null 2>&1 || true' EXIT
  trap 'exit 130' INT  # Ctrl-C stops the server too
  trap 'exit 143' TERM
  psql_kdemo -d postgres -c "CREATE DATABASE kdemo"
  {
    echo "CREATE SCHEMA rvkstamm; SET search_path TO rvkstamm;"
    cat "$schema_dir/postgresql/rvkstamm.sql"
    echo "CREATE SCHEMA kdemo; SET search_path TO kdemo;"
    cat "$schema_dir/postgresql/schema.sql" scripts/demo/seed-postgresql.sql
  } | psql_kdemo -d kdemo >/dev/null
  local net="postgresql://$KESTRUMEL_TEST_PG_HOST:$KESTRUMEL_TEST_PG_PORT/kdemo"
  [ "$road" = native ] || net="odbc:DSN=$KESTRUMEL_TEST_ODBC_DSN;Database=kdemo"
  printf '%s\n' "$KESTRUMEL_TEST_PG_PASSWORD" |
    kestrumel_config write demo/kestrumel.cfg --schema KDEMO --net "$net" \
      --login "$KESTRUMEL_TEST_PG_USER"
}
# Every row of the planning tables as JSON, each table's rows by its name.
sqlite_rows() { local rows; rows=$(sqlite3 -json demo/db/KDEMO.db "select * from $1"); echo "${rows:-[]}"; }
postgresql_rows() {
  psql_kdemo -d kdemo -At -c "set search_path to kdemo; select coalesce(json_agg(t), '[]') from $1 t"
}
table_rows() {
  local table json="{}"
  for table in Rvk740Pud Rvk730Bdp Rvk725Bsm Rvk746Err; do
    json=$(jq -c --arg table "${table,,}" --argjson rows "$("${backend}_rows" "$table")" \
      '.[$table] = $rows' <<<"$json")
  done
  echo "$json"
}
postgresql_query() { psql_kdemo -d kdemo -P footer=off -c "set search_path to kdemo; $1"; }
# Unquoted names are folded to lower case: the quoted alias keeps the heading as written.
postgresql_column() { echo "$1 as \"$1\""; }
postgresql_day() { echo "to_char($1, 'YYYY-MM-DD') as \"$1\""; }

# The shown tables are the same for both backends; these pick the backend's way.
query() { "${backend}_query" "$1"; }
day() { "${backend}_day" "$1"; }
columns() {
  local name list=""
  for name in "$@"; do list+="${list:+, }$("${backend}_column" "$name")"; done
  echo "$list"
}

scripts/deps.sh
if [ "$installed" = no ]; then
  # The programs as the package ships them: no tests, no fault seam.
  cmake -S . -B build-shipped -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DKESTRUMEL_FAULT_SEAM=OFF >/dev/null
  cmake --build build-shipped -j"$(nproc)" --target kestrumel kestrumel-config >/dev/null
fi

rm -rf demo
mkdir -p demo/quelborne_php/log demo/run
"${backend}_setup"

show() {
  echo
  echo "== $1"
  query "$2"
}
show_state() {
  show "Requests (Rvk740Pud)" \
    "select $(columns PudPnr), $(day PudDtm), $(columns PudTyp PudKng PudPlg PudDat)
     from Rvk740Pud order by PudDat"
  show "Duty plan (Rvk730Bdp)" \
    "select $(columns BdpPnr), $(day BdpBdt), $(columns BdpEso BdpEsa BdpSzv BdpSts),
            '[' || BdpFc1 || '][' || BdpFc2 || '][' || BdpFc3 || ']' as codes,
            $(columns BdpTxt BdpDat)
     from Rvk730Bdp order by BdpBdt, BdpPnr"
  show "Staffing (Rvk725Bsm)" \
    "select $(day BsmBdt), $(columns BsmEso BsmEsa BsmSzv BsmSol BsmMin BsmMax BsmIst),
            $(columns BsmHtg BsmHtv BsmHtn BsmKor BsmFkt BsmDat)
     from Rvk725Bsm order by BsmBdt"
  show "Deviations (Rvk746Err)" \
    "select $(columns ErrPlg ErrKng ErrLfn ErrFnr), $(day ErrBdt),
            $(columns ErrEso ErrEsa ErrKnz ErrZtv ErrZtb ErrErf ErrJbd ErrJbk ErrDat)
     from Rvk746Err order by ErrLfn"
}

echo "######## Checking the setup first: kestrumel-config check ../kestrumel.cfg PLG01"
(cd demo/run && kestrumel_config check ../kestrumel.cfg PLG01) ||
  { echo "the check found a fault: no run" >&2; exit 1; }
echo
# The program's own handling on a scenario of its own, rolled back: the demo's rows and, on
# SQLite, its files stay as they were. Its report holds moments and waits, so it is shown only
# when a step fails.
echo "######## Then the program's handling on a scenario of its own: kestrumel-config selftest ../kestrumel.cfg"
# SQLite: the files byte for byte. PostgreSQL: the live rows its statistics count (its insert,
# update and delete counts grow with rolled-back work too).
db_sums() {
  if [ "$backend" = sqlite ]; then
    sha256sum demo/db/*.db
  else
    query "select relname, n_live_tup from pg_stat_user_tables where schemaname = 'kdemo' order by 1"
  fi
}
state_before=$(show_state)
sums_before=$(db_sums)
(cd demo/run && kestrumel_config selftest ../kestrumel.cfg) >demo/selftest.out ||
  { cat demo/selftest.out; echo "selftest found a fault: no run" >&2; exit 1; }
[ "$(show_state)" = "$state_before" ] && [ "$(db_sums)" = "$sums_before" ] ||
  { echo "selftest left the demo's database changed" >&2; exit 1; }
echo "every step ok; the demo's database is as it was"
echo
# What the run will change, worked off and rolled back: compared below with what it changed.
echo "######## What the run will do: kestrumel-config preview ../kestrumel.cfg PLG01"
(cd demo/run && kestrumel_config preview ../kestrumel.cfg PLG01 --format json) >demo/preview.json ||
  { cat demo/preview.json; echo "preview failed: no run" >&2; exit 1; }
[ "$(show_state)" = "$state_before" ] && [ "$(db_sums)" = "$sums_before" ] ||
  { echo "preview left the demo's database changed" >&2; exit 1; }
jq -r '"\(.done) requests done, \(.changes | length) rows to change; the database is as it was"' \
  demo/preview.json
rows_before=$(table_rows)
echo
echo "######## Before the run"
show_state
echo
# Runs the program from demo/run and shows its exit status. It is always 0: anything else means
# the program did not run at all (a missing library, a crash), and ends the demo.
run_kestrumel() {
  local status=0
  (cd demo/run && kestrumel ../kestrumel.cfg "$@") || status=$?
  echo "exit status $status"
  [ "$status" -eq 0 ]
}

echo "######## Running: kestrumel ../kestrumel.cfg planer 3 4 5 20261208 DEMOJOB PLG01"
run_kestrumel planer 3 4 5 20261208 DEMOJOB PLG01
echo
echo "######## After the run"
show_state
echo
changes() { jq -r --arg from "$1" -f "$root/scripts/demo/changes.jq"; }
diff <(changes preview <demo/preview.json) \
  <(jq -n --argjson before "$rows_before" --argjson after "$(table_rows)" \
     '{before: $before, after: $after}' | changes tables) ||
  { echo "the run changed other rows than the preview listed" >&2; exit 1; }
echo "the run changed exactly the rows the preview listed"
echo
echo "== Message log (demo/quelborne_php/log/kestrumel_KDEMO.log)"
if [ -f demo/quelborne_php/log/kestrumel_KDEMO.log ]; then
  tr -d '\r' < demo/quelborne_php/log/kestrumel_KDEMO.log
else
  echo "(no entries: nothing went wrong)"
fi
echo
echo "######## A run with too few arguments writes a log entry and still exits with 0"
run_kestrumel planer 3 4 5 20261208 DEMOJOB
tr -d '\r' < demo/quelborne_php/log/kestrumel_KDEMO.log | tail -n 7

#!/usr/bin/env bash
# The path of one single-day request on a warm connection, on SQLite: the source files it enters
# and the caller -> callee edges that cross a folder of src/. Two runs under callgrind, one with
# one request and one with two; what the second request adds is the warm path.
#   scripts/request-path.sh [BUILD]    BUILD: a Debug build without tests (default build-path/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-path}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF \
  -DKESTRUMEL_FAULT_SEAM=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kestrumel kestrumel-config >/dev/null

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT

# A demo database whose queue holds `count` single-day requests of one person.
setup() {
  local dir=$work/$1 count=$1
  mkdir -p "$dir/db" "$dir/quelborne_php/log" "$dir/run"
  sqlite3 "$dir/db/KDEMO.db" <schema/sqlite/schema.sql >/dev/null
  sqlite3 "$dir/db/RVKSTAMM.db" <schema/sqlite/rvkstamm.sql >/dev/null
  (cd "$dir/db" && sqlite3 KDEMO.db <"$root/scripts/demo/seed.sql")
  sqlite3 "$dir/db/KDEMO.db" "delete from Rvk740Pud;
    insert into Rvk740Pud values ('10000001', '2026-12-14 00:00:00', 1, 1, 0, 'PLG01', 'p',
                                  '2026-12-08 09:00:01');"
  # The second request is like the first: its day has codes, so it writes no entry.
  [ "$count" -lt 2 ] || sqlite3 "$dir/db/KDEMO.db" "
    insert into Rvk740Pud values ('10000001', '2026-12-15 00:00:00', 1, 1, 0, 'PLG01', 'p',
                                  '2026-12-08 09:00:02');
    insert into rvk327tag values ('10000001', '2026-12-15 00:00:00', 'URL', '   ', '   ');"
  echo "demo-password" | "$build/kestrumel-config" write "$dir/kestrumel.cfg" --net sqlite:../db \
    --schema KDEMO --login demo >/dev/null
  # The main thread only: the stop watcher's polls are no part of a request.
  (cd "$dir/run" && valgrind --tool=callgrind --compress-strings=no --compress-pos=no \
    --separate-threads=yes --callgrind-out-file="$work/calls.$count" \
    "$root/$build/kestrumel" ../kestrumel.cfg p 3 4 5 20261208 JOB PLG01 2>/dev/null)
}
setup 1
setup 2

# Per run, tab-separated: "F file" for every function of src/ that ran, "E caller-file caller
# callee-file callee count" for every call between two functions of src/.
edges() {
  awk -v src="$root/src/" 'BEGIN { OFS = "\t" }
    function strip(f) { return index(f, src) == 1 ? substr(f, length(src) + 1) : "" }
    /^fl=/ { file = strip(substr($0, 4)); cfile = file; next }
    /^(fi|fe)=/ { here = strip(substr($0, 4)); next }
    /^fn=/ { here = file; fn = substr($0, 4); next }
    /^cf[il]=/ { cfile = strip(substr($0, 5)); next }
    /^cfn=/ { callee = substr($0, 5); next }
    /^calls=/ {
      split(substr($0, 7), c, " ")
      if (here != "" && cfile != "") print "E", here, fn, cfile, callee, c[1]
      cfile = file; next
    }
    /^[0-9]/ { if (here != "") print "F", here }
  ' "$1" | awk -F'\t' 'BEGIN { OFS = "\t" } $1 == "F" { files[$2] = 1; next }
    { n[$2 OFS $3 OFS $4 OFS $5] += $6 }
    END { for (f in files) print "F", f; for (e in n) print "E", e, n[e] }' | sort
}
edges "$work/calls.1-01" >"$work/one"
edges "$work/calls.2-01" >"$work/two"

# What the second request ran: the calls whose count grew.
awk -F'\t' 'BEGIN { OFS = "\t" }
     NR == FNR { if ($1 == "E") before[$2 OFS $3 OFS $4 OFS $5] = $6; next }
     $1 == "E" && $6 > before[$2 OFS $3 OFS $4 OFS $5] + 0 { print $2, $3, $4, $5 }' \
  "$work/one" "$work/two" >"$work/warm"
echo "== files of one warm single-day request"
awk -F'\t' '{ print $1; print $3 }' "$work/warm" | sort -u | grep -E '\.cpp$' | tee "$work/files"
echo "   $(wc -l <"$work/files") .cpp files"
# Calls into inline functions of headers (a field copy, a value's constructor) are no rooms.
echo "== caller -> callee calls between .cpp files that cross a folder"
awk -F'\t' '$1 ~ /\.cpp$/ && $3 ~ /\.cpp$/ { a = $1; b = $3; sub(/\/[^\/]*$/, "", a); sub(/\/[^\/]*$/, "", b)
               if (a != b) print $1 " " $2 " -> " $3 " " $4 }' "$work/warm" | sort -u | tee "$work/crossing"
echo "   $(wc -l <"$work/crossing") folder-crossing calls"

#!/usr/bin/env bash
# Sets up what is missing, builds, creates a small demo database (SQLite files in demo/),
# runs kestrumel for planning group PLG01 and shows what the run changed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target kestrumel kestrumel-config >/dev/null

rm -rf demo
mkdir -p demo/db demo/quelborne_php/log demo/run
sqlite3 demo/db/KDEMO.db < schema/sqlite/schema.sql >/dev/null
sqlite3 demo/db/RVKSTAMM.db < schema/sqlite/rvkstamm.sql >/dev/null
(cd demo/db && sqlite3 KDEMO.db < "$root/scripts/demo/seed.sql")
echo "demo-password" |
  build/kestrumel-config write demo/kestrumel.cfg --net sqlite:../db --schema KDEMO --login demo

show() {
  echo
  echo "== $1"
  sqlite3 -header -column demo/db/KDEMO.db "$2"
}
show_state() {
  show "Requests (Rvk740Pud)" \
    "select PudPnr, substr(PudDtm,1,10) as PudDtm, PudTyp, PudKng, PudPlg, PudDat from Rvk740Pud order by PudDat"
  show "Duty plan (Rvk730Bdp)" \
    "select BdpPnr, substr(BdpBdt,1,10) as BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpSts,
            '[' || BdpFc1 || '][' || BdpFc2 || '][' || BdpFc3 || ']' as codes, BdpTxt, BdpDat
     from Rvk730Bdp order by BdpBdt, BdpPnr"
  show "Staffing (Rvk725Bsm)" \
    "select substr(BsmBdt,1,10) as BsmBdt, BsmEso, BsmEsa, BsmSzv, BsmSol, BsmMin, BsmMax, BsmIst,
            BsmHtg, BsmHtv, BsmHtn, BsmKor, BsmFkt, BsmDat from Rvk725Bsm order by BsmBdt"
  show "Deviations (Rvk746Err)" \
    "select ErrPlg, ErrKng, ErrLfn, ErrFnr, substr(ErrBdt,1,10) as ErrBdt, ErrEso, ErrEsa, ErrKnz,
            ErrZtv, ErrZtb, ErrErf, ErrJbd, ErrJbk, ErrDat from Rvk746Err order by ErrLfn"
}

echo "######## Before the run"
show_state
echo
echo "######## Running: kestrumel ../kestrumel.cfg planer 3 4 5 20261208 DEMOJOB PLG01"
(cd demo/run && "$root/build/kestrumel" ../kestrumel.cfg planer 3 4 5 20261208 DEMOJOB PLG01)
echo "exit status $?"
echo
echo "######## After the run"
show_state
echo
echo "== Message log (demo/quelborne_php/log/kestrumel_KDEMO.log)"
if [ -f demo/quelborne_php/log/kestrumel_KDEMO.log ]; then
  tr -d '\r' < demo/quelborne_php/log/kestrumel_KDEMO.log
else
  echo "(no entries: nothing went wrong)"
fi
echo
echo "######## A run with too few arguments writes a log entry and still exits with 0"
(cd demo/run && "$root/build/kestrumel" ../kestrumel.cfg planer 3 4 5 20261208 DEMOJOB)
echo "exit status $?"
tr -d '\r' < demo/quelborne_php/log/kestrumel_KDEMO.log | tail -n 7

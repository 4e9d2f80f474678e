#!/usr/bin/env bash
# Builds everything with warnings as errors and runs all tests, on SQLite and on a throwaway
# PostgreSQL server.
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --release   Release build (-O3) in build-release/, as packaged
#   scripts/test.sh --windows   Windows cross-build in build-windows/, its tests under Wine (the
#                               PostgreSQL server reached through Wine's ODBC), then its zip
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build=build
flags=(-DKESTRUMEL_WERROR=ON -DKESTRUMEL_FAULT_SEAM=ON)
deps=()
windows=""
case "${1:-}" in
  "") ;;
  --sanitize)
    build=build-asan
    flags+=(-DKESTRUMEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
    # What the ODBC driver loses on its own is not the program's to answer for.
    export LSAN_OPTIONS="suppressions=$root/tests/common/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
    ;;
  --release)
    build=build-release
    flags+=(-DCMAKE_BUILD_TYPE=Release)
    ;;
  --windows)
    build=build-windows
    windows=1
    deps=(--windows)
    flags+=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
      -DKESTRUMEL_WINDOWS_PREFIX="$root/build-windows-libraries")
    ;;
  *)
    echo "usage: $0 [--sanitize | --release | --windows]" >&2
    exit 2
    ;;
esac

scripts/deps.sh ${deps[@]+"${deps[@]}"}
[ -z "$windows" ] || scripts/windows-libraries.sh build-windows-libraries
cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

# The server goes on every way out: the end, a failure, Ctrl-C or a kill. A signal becomes an
# exit so that the EXIT trap runs; the stop is called by its full path, as ctest runs in $build.
# Only this run's server: a KESTRUMEL_TEST_PG_DIR from the caller's shell is none of its business.
server_dir=""
stop_server() {
  [ -n "$server_dir" ] || return 0
  KESTRUMEL_TEST_PG_DIR=$server_dir "$root/scripts/pg-test-server.sh" stop >/dev/null ||
    echo "$0: the test server in $server_dir could not be stopped" >&2
}
trap stop_server EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

pgenv=$(scripts/pg-test-server.sh start)  # apart from the eval, so a failed start stops here
eval "$pgenv"
server_dir=$KESTRUMEL_TEST_PG_DIR
export KESTRUMEL_REQUIRE_PG=1

if [ -n "$windows" ]; then
  # A Wine prefix of the build's own, made before the tests start in parallel.
  export WINEPREFIX=$root/$build/wine WINEDEBUG=-all
  wineboot --init >/dev/null 2>&1
fi

cd "$build"
ctest --output-on-failure -j"$(nproc)"
if [ -n "$windows" ]; then
  cpack -G ZIP >/dev/null
  echo "$0: $(ls "$root/$build"/kestrumel-*-win64.zip)"
fi

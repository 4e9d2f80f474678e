#!/usr/bin/env bash
# Builds everything with warnings as errors and runs all tests, on SQLite and on a throwaway PostgreSQL server.
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
flags=(-DKESTRUMEL_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags+=(-DKESTRUMEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

scripts/deps.sh
cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

pgenv=$(scripts/pg-test-server.sh start)  # apart from the eval, so a failed start stops here
eval "$pgenv"
trap 'scripts/pg-test-server.sh stop >/dev/null 2>&1 || true' EXIT
export KESTRUMEL_REQUIRE_PG=1

cd "$build"
ctest --output-on-failure -j"$(nproc)"

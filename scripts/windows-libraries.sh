#!/usr/bin/env bash
# Builds the libraries the Windows cross-build links that Debian has no MinGW package of, into
# PREFIX (default build-windows-libraries/): SQLite from Debian's source package, GoogleTest
# from the installed googletest sources. Does nothing for a library already there.
#   scripts/windows-libraries.sh [PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
prefix=$(realpath -m "${1:-build-windows-libraries}")
work=$prefix/work
mkdir -p "$prefix/include" "$prefix/lib" "$work"

# The options Debian builds its own SQLite with that the program relies on: column metadata
# for the schema check, and a library safe to use from several threads.
sqlite_flags=(-O2 -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_DEFAULT_FOREIGN_KEYS=0
  -DSQLITE_OMIT_LOAD_EXTENSION)

build_sqlite() {
  [ -f "$prefix/lib/libsqlite3.a" ] && return 0
  echo "windows-libraries: SQLite from Debian's source package" >&2
  rm -rf "$work/sqlite" && mkdir -p "$work/sqlite"
  (cd "$work/sqlite" && apt-get source -qq --download-only sqlite3 >/dev/null 2>&1 ||
     { echo "apt-get source sqlite3 failed: is there a deb-src entry? (scripts/deps.sh --windows)" >&2; exit 1; })
  (cd "$work/sqlite" && dpkg-source -q -x ./*.dsc source >/dev/null 2>&1)
  # The single-file library, made by the host's tools from the full source tree.
  mkdir -p "$work/sqlite/host"
  (cd "$work/sqlite/host" && ../source/configure >/dev/null && make -s sqlite3.c >/dev/null)
  x86_64-w64-mingw32-gcc-posix "${sqlite_flags[@]}" -c "$work/sqlite/host/sqlite3.c" \
    -o "$work/sqlite/sqlite3.o"
  x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" "$work/sqlite/sqlite3.o"
  cp "$work/sqlite/host/sqlite3.h" "$work/sqlite/host/sqlite3ext.h" "$prefix/include/"
}

build_googletest() {
  [ -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ] && return 0
  echo "windows-libraries: GoogleTest from /usr/src/googletest" >&2
  cmake -S /usr/src/googletest -B "$work/googletest" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DKESTRUMEL_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$work/googletest" -j"$(nproc)" >/dev/null
  cmake --install "$work/googletest" >/dev/null
}

build_sqlite
build_googletest
rm -rf "$work"

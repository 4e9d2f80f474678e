#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
#   scripts/deps.sh             those
#   scripts/deps.sh --package   and what building and checking the Debian package takes
set -euo pipefail

packages=(g++ cmake make libgtest-dev libsqlite3-dev sqlite3 libpq-dev postgresql libssl-dev
  unixodbc-dev odbc-postgresql)  # the last two: the ODBC backend and its tests
if [ "${1:-}" = "--package" ]; then
  # dpkg-shlibdeps and file compute the package's dependencies; groff checks the manual pages;
  # lintian the package itself.
  packages+=(dpkg-dev file groff-base man-db lintian)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null

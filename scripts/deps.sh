#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
#   scripts/deps.sh             those
#   scripts/deps.sh --package   and what building and checking the Debian package takes
#   scripts/deps.sh --windows   and what the Windows cross-build and its tests under Wine take,
#                               with Debian's source packages enabled for SQLite's sources
set -euo pipefail

packages=(g++ cmake make libgtest-dev libsqlite3-dev sqlite3 libpq-dev postgresql libssl-dev
  unixodbc-dev odbc-postgresql  # these two: the ODBC backend and its tests
  logrotate  # the log's rotation by the shipped configuration, among running writers
  jq)  # the demo's comparison of a preview with the run
if [ "${1:-}" = "--package" ]; then
  # dpkg-shlibdeps and file compute the package's dependencies; groff checks the manual pages;
  # lintian the package itself; systemd-analyze its service and timer.
  packages+=(dpkg-dev file groff-base man-db lintian systemd)
fi
if [ "${1:-}" = "--windows" ]; then
  # The posix flavour of MinGW has std::thread; googletest is its source; dpkg-dev and tcl
  # unpack and assemble SQLite's; unzip lists the Windows archive; groff renders the manual
  # pages as text for it.
  packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest dpkg-dev tcl unzip groff-base)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# apt-get source needs a deb-src entry, which a fresh Debian machine lacks.
deb_src=/etc/apt/sources.list.d/kestrumel-deb-src.sources
if [ "${1:-}" = "--windows" ] && ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$codename" | $sudo tee "$deb_src" >/dev/null
  $sudo apt-get update -qq
fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null

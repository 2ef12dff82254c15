#!/usr/bin/env bash
# install-deps.sh [package]: installs the Debian packages the server needs to
# build, run and test; with "package" also what builds and checks the Debian
# packages. Runs as root on a fresh Debian machine; quick when everything is
# there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libqt6svg6 fonts-dejavu-core
  libgtest-dev libgmock-dev
  sqlite3 libsqlite3-dev   # the engine's library: the tests' fault-injecting file-system layer
  dbus xdg-utils shared-mime-info desktop-file-utils
  pkgconf libsystemd-dev systemd   # readiness and watchdog notifications; the unit's folder
  libssl-dev                       # SHA-256 of the job files (import ledger)
  strace                           # tests that kill the server at a chosen system call
  libqt6sql6-psql                  # the toolkit's PostgreSQL driver: a plant-wide job database
  libpq-dev                        # libpq's COPY for the PostgreSQL benchmark (bench/pg_bench)
  postgresql                       # initdb and postgres for the tests' throw-away server (tests/support/PgCluster)
)
if [ "${1:-}" = package ]; then
  packages+=(dpkg-dev debhelper lintian)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${missing[@]}"
fi

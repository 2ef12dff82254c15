#!/usr/bin/env bash
# Installs the Debian packages the server needs to build, run and test.
# Runs as root on a fresh Debian machine; quick when everything is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libqt6svg6 fonts-dejavu-core
  libgtest-dev libgmock-dev
  sqlite3 libsqlite3-dev   # the engine's library: the tests' fault-injecting file-system layer
  dbus xdg-utils shared-mime-info desktop-file-utils
  pkg-config libsystemd-dev   # readiness and watchdog notifications
  libssl-dev                  # SHA-256 of the job files (import ledger)
  strace                      # tests that kill the server at a chosen system call
  dpkg-dev systemd            # the Debian package (dpkg-shlibdeps), systemd-analyze
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${missing[@]}"
fi

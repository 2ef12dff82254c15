#!/usr/bin/env bash
# Builds the Debian package of the server: build-release/serverquirnel_*.deb.
# Install it with: apt-get install ./build-release/serverquirnel_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" build-release Release -DCMAKE_INSTALL_PREFIX=/usr -DVOV_WERROR=ON
(cd "$root/build-release" && cpack -G DEB)
bash "$root/scripts/check-package.sh" "$root/build-release" /usr
ls "$root"/build-release/serverquirnel_*.deb

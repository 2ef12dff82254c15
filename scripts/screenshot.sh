#!/usr/bin/env bash
# Remakes the README's picture of the operator window (docs/window-options.png):
# builds the drawing program in the release tree (with test.sh's options, so
# neither rebuilds the other's work) and draws the window on the offscreen
# platform, so no display is needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" build-release Release -DVOV_WERROR=ON -DVOV_BENCH=ON -- window-shot
mkdir -p "$root/docs"
QT_QPA_PLATFORM=offscreen "$root/build-release/src/gui/window-shot" "$root/docs/window-options.png"
echo "written: docs/window-options.png"

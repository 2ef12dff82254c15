#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test twice: in the release
# build (warnings as errors) and in a debug build with AddressSanitizer and
# UndefinedBehaviorSanitizer. Each build keeps its folder (build-release,
# build-asan) and its options, so a second run compiles nothing that did not
# change.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== release build =="
bash "$root/scripts/build.sh" build-release Release -DVOV_WERROR=ON -DVOV_BENCH=ON
(cd "$root/build-release" && ctest --output-on-failure -j2 --timeout 300)

echo "== sanitizer build =="
bash "$root/scripts/build.sh" build-asan Debug -DVOV_SANITIZE=ON -DVOV_BENCH=OFF
(cd "$root/build-asan" && ctest --output-on-failure -j2 --timeout 600)

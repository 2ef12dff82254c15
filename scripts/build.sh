#!/usr/bin/env bash
# build.sh DIR TYPE [extra cmake args...]: configures and builds one tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; type=$2; shift 2
cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
ninja -C "$root/$dir" -j"$(nproc)"

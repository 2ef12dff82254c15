#!/usr/bin/env bash
# build.sh DIR TYPE [cmake args...] [-- targets...]: configures one tree and
# builds it, or only the targets named after "--". Each script keeps its own
# tree with its own options, so running it again rebuilds only what changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; type=$2; shift 2
args=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
[ $# -gt 0 ] && shift
cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${args[@]}" >/dev/null
ninja -C "$root/$dir" -j"$(nproc)" "$@"

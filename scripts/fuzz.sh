#!/usr/bin/env bash
# fuzz.sh [TARGET|all] [SECONDS]: builds the libFuzzer tree (build-fuzz, clang
# with ASan and UBSan) and runs one fuzz target, or every target one after the
# other, for SECONDS each (default 60). TARGET is production, label, config
# or argument1 (with or without the fuzz_ prefix).
#
# Each run starts from the committed corpus fuzz/corpus/TARGET, grows a working
# copy in build-fuzz/corpus/TARGET and writes crashes, leaks and hangs to
# build-fuzz/artifacts/TARGET/. Environment:
#   FUZZ_MERGE=1  afterwards merge new coverage back into fuzz/corpus/TARGET
#   FUZZ_ARGS     further libFuzzer options (e.g. "-jobs=2")
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-all}
seconds=${2:-60}
all=(production label config argument1)

# clang and the libFuzzer runtime are needed here only, not by the normal build.
have_libfuzzer() {
  command -v clang++ >/dev/null 2>&1 || return 1
  local probe
  probe=$(mktemp -d)
  echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' >"$probe/p.cpp"
  clang++ -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1
  local rc=$?
  rm -rf "$probe"
  return $rc
}
if ! have_libfuzzer; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y clang libclang-rt-14-dev
fi

case "$target" in
  all) targets=("${all[@]}") ;;
  *) targets=("${target#fuzz_}") ;;
esac
for t in "${targets[@]}"; do
  [ -d "$root/fuzz/corpus/$t" ] || { echo "unknown fuzz target: $t" >&2; exit 2; }
done

build="$root/build-fuzz"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVOV_FUZZ=ON -DVOV_BENCH=OFF >/dev/null
ninja -C "$build" "${targets[@]/#/fuzz_}"

# The plant of a target (job database, error logs) lives in a temporary
# directory; in memory, the database's syncs cost nothing.
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  mkdir -p "$work" "$artifacts"
  echo "== fuzz_$t for ${seconds}s"
  # shellcheck disable=SC2086
  "$build/fuzz/fuzz_$t" "$work" "$root/fuzz/corpus/$t" -dict="$root/fuzz/records.dict" \
    -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" ${FUZZ_ARGS:-} || status=1
  if [ "${FUZZ_MERGE:-0}" = 1 ]; then
    "$build/fuzz/fuzz_$t" -merge=1 "$root/fuzz/corpus/$t" "$work" >/dev/null 2>&1 || status=1
  fi
done
exit $status

#!/usr/bin/env bash
# Installs what is missing, builds (warnings are errors) and runs every test;
# then runs the whole suite once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, and each fuzz target for a bounded time.
# Each step says how long it took.
#   Q7_FUZZ_SECONDS   seconds per fuzz target (default 30; 0 skips fuzzing)
#   Q7_SKIP_SANITIZE  set to 1 to skip the sanitizer build
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/packages.sh"
# The file round-trip tests run under a comma locale; make it when missing.
if ! locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; then
  if [ "$(id -u)" -eq 0 ]; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
  else
    echo "No de_DE.UTF-8 locale, so the comma-locale tests are skipped. As root:" >&2
    echo "  localedef -i de_DE -f UTF-8 de_DE.UTF-8" >&2
  fi
fi
jobs="$(nproc)"
started=$SECONDS

stage() { echo "== $* ($((SECONDS - started)) s)"; }
# Runs a step and tells its time, so a slow step shows in the log.
timed() {
  local name=$1 from=$SECONDS
  shift
  "$@"
  echo "-- $name took $((SECONDS - from)) s"
}
# Most tests wait on a line, a broker or a process far longer than they
# compute, so CTest runs twice as many folders as there are cores.
tests_in() {
  (cd "$1" && shift && QT_QPA_PLATFORM=offscreen "$@" ctest --output-on-failure -j"$((jobs * 2))")
}
# As scripts/build.sh does, each library and each test folder is compiled as one file.
unity=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0)

stage "build and test"
timed build "$root/scripts/build.sh" -DQ7_WERROR=ON
build="${Q7_BUILD_DIR:-$root/build}"
timed tests tests_in "$build"

if [ "${Q7_SKIP_SANITIZE:-0}" != 1 ]; then
  stage "build and test under ASan and UBSan"
  asan="${Q7_ASAN_BUILD_DIR:-$root/build-asan}"
  # Warnings are judged by the build above; with the sanitizers GCC warns
  # falsely about its own headers (maybe-uninitialized in <regex>). -O1 and
  # line tables are what a sanitizer report needs, and compile in far less time.
  cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ7_WERROR=OFF \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DQ7_SANITIZE=ON "${unity[@]}" >/dev/null
  timed "sanitizer build" ninja -C "$asan" -j"$jobs"
  # Qt keeps some allocations until the process ends by design; those are
  # named in the suppressions file, anything else is a leak of ours.
  timed "sanitizer tests" tests_in "$asan" env \
    ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0" \
    LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
fi

seconds="${Q7_FUZZ_SECONDS:-30}"
if [ "$seconds" != 0 ]; then
  stage "fuzz targets, $seconds s each, $jobs at a time"
  fuzz="${Q7_FUZZ_BUILD_DIR:-$root/build-fuzz}"
  cmake -S "$root/fuzz" -B "$fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  timed "fuzz build" ninja -C "$fuzz" -j"$jobs"
  mkdir -p "$fuzz/findings"
  # A finding stops the target; its input lands in findings/ to be kept
  # under fuzz/regressions/$name once fixed.
  fuzz_one() {
    local target=$1 name
    name="$(basename "$target")"
    local corpus="$fuzz/corpus/$name" log="$fuzz/findings/$name.log" rc=0
    mkdir -p "$corpus"
    local inputs=("$corpus")
    for dir in "$root/fuzz/seeds/$name" "$root/fuzz/regressions/$name"; do
      [ -d "$dir" ] && inputs+=("$dir")
    done
    (cd "$fuzz/findings" && "$target" -max_total_time="$seconds" -print_final_stats=0 \
      -timeout=10 -rss_limit_mb=2048 "${inputs[@]}") >"$log" 2>&1 || rc=$?
    echo $rc >"$log.status"
  }
  targets=()
  for target in "$fuzz"/fuzz_*; do
    [ -x "$target" ] && targets+=("$target")
  done
  from=$SECONDS
  for target in "${targets[@]}"; do
    # Each target is one process on one core: as many run at once as there are.
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    fuzz_one "$target" &
  done
  wait
  echo "-- fuzzing took $((SECONDS - from)) s"
  for target in "${targets[@]}"; do
    name="$(basename "$target")"
    log="$fuzz/findings/$name.log"
    echo "-- $name"
    grep -E "^(Done|SUMMARY)" "$log" || true
    rc="$(cat "$log.status")"
    if [ "$rc" -ne 0 ]; then
      cat "$log" >&2
      exit "$rc"
    fi
  done
fi
stage "all passed"

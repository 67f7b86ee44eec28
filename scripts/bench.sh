#!/usr/bin/env bash
# Builds and runs every benchmark and prints one table of measured / floor
# ratios (a floor for the link timings, a budget for the others; ratio <= 1
# is within it; a difference of CPU times within the noise may come out
# below 0), then the soak's counts.
#   Q7_CPU_SECONDS how long the CPU benchmark plots (default 20)
#   Q7_SERVE_SECONDS how long the bridge's CPU is measured (default 30)
#   Q7_MODBUS_SECONDS how long the Modbus TCP clients read (default 20)
#   Q7_SOAK_READS  reads in the soak (default 100000, about two hours;
#                  e.g. 3000 for a quick look)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${Q7_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" -DQ7_BENCHMARKS=ON >/dev/null
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

out="$(mktemp)"
trap 'rm -f "$out"' EXIT
"$build/bench/bench_link" >>"$out"
"$build/bench/bench_silence" >>"$out"
"$build/bench/bench_drain" >>"$out"
"$build/bench/bench_line_cycle" >>"$out"
"$build/bench/bench_scan" >>"$out"
"$build/bench/bench_sim" >>"$out"
"$build/bench/bench_chart" >>"$out"
"$build/bench/bench_bulk_read" >>"$out"
"$build/bench/bench_step_write" >>"$out"
"$build/bench/bench_gui_stall" >>"$out"
"$build/bench/bench_cpu" >>"$out"
"$build/bench/bench_traffic" >>"$out"
"$build/bench/bench_startup" >>"$out"
"$build/bench/bench_cli" >>"$out"
"$build/bench/bench_serve" >>"$out"
"$build/bench/bench_plant" >>"$out"
"$build/bench/bench_modbus_server" >>"$out"
"$build/bench/bench_influx" >>"$out"

printf '%-30s %12s %12s %8s\n' benchmark measured floor/budget ratio
grep ' ratio ' "$out" | sed -E 's/^(.*[^ ]) +measured +(-?[0-9.]+ ms) +floor +([0-9.]+ ms) +ratio +(-?[0-9.]+).*/\1|\2|\3|\4/' |
  while IFS='|' read -r name measured floor ratio; do
    printf '%-30s %12s %12s %8s\n' "$name" "$measured" "$floor" "$ratio"
  done
echo
"$build/bench/bench_soak" "${Q7_SOAK_READS:-100000}"

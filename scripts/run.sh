#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program against the
# built-in simulated controller. By default it saves pictures of the panels
# after connecting into screenshots/, prints their paths and ends; with
# --stay it keeps running for you to use. Other arguments go to q7.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/packages.sh"
"$root/scripts/build.sh"
build="${Q7_BUILD_DIR:-$root/build}"

args=(--simulate)
stay=0
for a in "$@"; do
  if [ "$a" = "--stay" ]; then stay=1; else args+=("$a"); fi
done
if [ $stay -eq 0 ]; then
  args+=("--screenshots=$root/screenshots")
fi

cd "$root"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/q7" "${args[@]}"
else
  echo "No display: running under Xvfb." >&2
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$build/q7" "${args[@]}"
fi

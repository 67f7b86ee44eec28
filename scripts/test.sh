#!/usr/bin/env bash
# Installs what is missing, builds (warnings are errors) and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/packages.sh"
"$root/scripts/build.sh" -DQ7_WERROR=ON
build="${Q7_BUILD_DIR:-$root/build}"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

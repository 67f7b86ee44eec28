#!/usr/bin/env bash
# Configures and builds into build/ (or $Q7_BUILD_DIR). Extra arguments go to cmake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${Q7_BUILD_DIR:-$root/build}"
# Each library and each test folder is compiled as one file
# (CMAKE_UNITY_BUILD): the standard and Qt headers its sources share are read
# once instead of once per source, which is most of a build's time.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0 "$@" >/dev/null
ninja -C "$build" -j"$(nproc)"

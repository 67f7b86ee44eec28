#!/usr/bin/env bash
# Builds the Debian package q7_<version>_<arch>.deb into the project folder:
# installs what is missing, makes a release build in build-package/ (or
# $Q7_PACKAGE_BUILD_DIR) and has CPack pack it. Install it with
#   sudo apt install ./q7_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/packages.sh"
build="${Q7_PACKAGE_BUILD_DIR:-$root/build-package}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DQ7_BENCHMARKS=OFF "$@" >/dev/null
ninja -C "$build" -j"$(nproc)"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB -B "$build/packages" >/dev/null)
shopt -s nullglob
debs=("$build"/packages/q7_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "package.sh: CPack made no package (see $build/packages)" >&2
  exit 1
fi
cp "${debs[0]}" "$root/"
echo "$root/$(basename "${debs[0]}")"

#!/usr/bin/env bash
# Makes the Debian package from a clean build: scripts/package.sh [OUTPUT_DIR]
# The package installs to /usr; its dependencies are computed from the binaries.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/dist}"
bash "$root/scripts/install-deps.sh"
build="$(mktemp -d "${TMPDIR:-/tmp}/pulsmir-package.XXXXXX")"
trap 'rm -rf "$build"' EXIT
bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPULSMIR_BUILD_TESTS=OFF -DPULSMIR_BUILD_BENCH=OFF
mkdir -p "$out"
(cd "$build" && cpack -B "$out")
ls -1 "$out"/*.deb

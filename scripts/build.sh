#!/usr/bin/env bash
# Configures and builds into a build folder: scripts/build.sh [BUILD_DIR] [extra cmake options...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
shift || true
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
# ccache keeps rebuilds of other build folders and clones cheap; paths below the checkout's
# parent are hashed relative, so worktrees and fresh clones share one cache.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$root")}" CCACHE_NOHASHDIR=1
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "${generator[@]}" "${launcher[@]}" "$@"
else
  cmake -S "$root" -B "$build" "$@" >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)"

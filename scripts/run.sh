#!/usr/bin/env bash
# Installs what is needed, builds, and starts the monitor from build/bin with its bundled skins.
# Arguments are passed to pulsmir. Without a display it says so and writes a snapshot instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  snapshot="$root/pulsmir-snapshot.png"
  echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset), so the monitor cannot open its window."
  echo "run.sh: writing what it would show to $snapshot instead."
  "$root/build/bin/pulsmir" --snapshot "$snapshot" --ticks 25 --mode full
  exec "$root/build/bin/pulsmir" --status --count 1
fi
exec "$root/build/bin/pulsmir" "$@"

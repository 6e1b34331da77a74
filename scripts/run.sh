#!/usr/bin/env bash
# Installs what is needed, builds, and starts the monitor from build/bin with its bundled skins.
# Arguments are passed to pulsmir.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build"
exec "$root/build/bin/pulsmir" "$@"

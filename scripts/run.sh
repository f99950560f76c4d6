#!/usr/bin/env bash
# Installs what is missing, builds Quorvel and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh core window

cmake --preset default
cmake --build --preset default --parallel "$(nproc 2>/dev/null || echo 2)" --target quorvel

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
  echo "On a machine without a desktop: xvfb-run -a build/default/app/quorvel" >&2
  exit 1
fi
exec build/default/app/quorvel

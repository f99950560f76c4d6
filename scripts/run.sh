#!/usr/bin/env bash
# Installs what is missing, builds Quorvel and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset default
cmake --build --preset default --parallel "$(nproc 2>/dev/null || echo 2)"

app=build/default/app/quorvel
if [ ! -x "${app}" ]; then
  echo "Quorvel's desktop window is not built yet: the core libraries and their tests are." >&2
  echo "Run scripts/test.sh to exercise them." >&2
  exit 1
fi
exec "${app}"

#!/usr/bin/env bash
# Installs what is missing, builds Kelvane and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found. To run Kelvane without one, start it under a virtual X server:"
  echo "  xvfb-run -a build/bin/kelvane"
  exit 1
fi
exec build/bin/kelvane "$@"

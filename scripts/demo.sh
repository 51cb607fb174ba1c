#!/usr/bin/env bash
# The launcher's main job, shown end to end: builds the Windows program and the operator's
# update-site tool, publishes version 2 of a sample game, and lets a version 1 launcher update
# the game and itself under Wine (on a virtual display when there is none), then start the game.
# Screenshots and a short account of what happened go to build/demo/.
# It runs the 32-bit Launcher.exe, or the 64-bit build where this machine cannot run 32-bit
# programs; LAUNCHER_E2E_BITS=32 or 64 forces either.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
mapfile -t mode < <(python3 tests/e2e/wine_mode.py)
echo "${mode[1]}"
if [ "${mode[0]}" = 64 ]; then
  preset=windows64 arch=win64
else
  preset=windows arch=win32
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
cmake --preset native >/dev/null
cmake --build --preset native --target update-site
LAUNCHER_BUILD_DIR="$PWD/build/$preset" LAUNCHER_WINE_ARCH="$arch" python3 tests/e2e/demo.py

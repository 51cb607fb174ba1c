#!/usr/bin/env bash
# The launcher's main job, shown end to end: builds the Windows program and the operator's
# update-site tool, publishes version 2 of a sample game, and lets a version 1 launcher update
# the game and itself under Wine (on a virtual display when there is none), then start the game.
# Screenshots and a short account of what happened go to build/demo/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset native >/dev/null
cmake --build --preset native --target update-site
python3 tests/e2e/demo.py

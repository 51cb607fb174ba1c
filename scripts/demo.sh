#!/usr/bin/env bash
# The launcher's main job, shown: builds the Windows program, runs it under Wine from a game
# folder (on a virtual display when there is none) and saves screenshots in build/demo/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
python3 tests/e2e/demo.py

#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests (with sanitizers) and the
# end-to-end tests of the Windows program under Wine. Sets the machine up first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset windows >/dev/null
cmake --build --preset windows

status=0
ctest --preset native -j2 || status=1
ctest --preset windows || status=1
exit $status

#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests (with sanitizers) and the
# end-to-end tests of the Windows program under Wine. Sets the machine up first.
#
# Both Windows builds are made and checked on every machine. The end-to-end tests run the
# 32-bit Launcher.exe where this machine runs 32-bit programs, else the 64-bit build under
# 64-bit Wine; LAUNCHER_E2E_BITS=32 or 64 forces either.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset windows64 >/dev/null
cmake --build --preset windows64

mapfile -t mode < <(python3 tests/e2e/wine_mode.py)
if [ "${mode[0]}" = 64 ]; then
  under_wine=windows64 file_only=windows
else
  under_wine=windows file_only=windows64
fi

status=0
ctest --preset native -j2 || status=1
# The other build's own checks (its program file) need no Wine.
ctest --preset "$file_only" -LE wine || status=1
echo "${mode[1]}"
ctest --preset "$under_wine" || status=1
echo "${mode[1]}"
exit $status

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) and
# runs each for SECONDS (default 60) on its seed corpus in fuzz/<area>/corpus/<target>/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds="${1:-60}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for fuzzer in build/fuzz/fuzzers/*; do
  name=$(basename "$fuzzer")
  seeds=$(ls -d fuzz/*/corpus/"$name" 2>/dev/null | head -n 1)
  work="build/fuzz/corpus/$name"
  mkdir -p "$work"
  echo "== $name for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 "$work" ${seeds:+"$seeds"} 2>&1 | tail -n 12
done

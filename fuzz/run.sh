#!/bin/bash
# Builds the fuzz preset and runs every fuzz target for SECONDS (default 60):
# first over the kept regression inputs (fuzz/regressions/<target>/), then
# fuzzing from the seed corpus (fuzz/corpus/<target>/).
# Usage: fuzz/run.sh [SECONDS]   (FUZZ_BUILD_DIR overrides build/fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build/fuzz}

cmake --preset fuzz -B "$build" >/dev/null
targets=(extract options_block command_line bitmap)
cmake --build "$build" --target "${targets[@]/#/fuzz_}" -j"$(nproc)"

for target in "${targets[@]}"; do
  binary="$build/bin/fuzz_$target"
  regressions=(fuzz/regressions/$target/*)
  if [ -e "${regressions[0]}" ]; then
    echo "=== fuzz_$target: ${#regressions[@]} regression inputs ==="
    "$binary" "${regressions[@]}"
  fi
  work="$build/fuzz-work/$target"
  mkdir -p "$work/corpus" "$work/artifacts"
  echo "=== fuzz_$target: ${seconds}s ==="
  "$binary" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "fuzz/corpus/$target"
done

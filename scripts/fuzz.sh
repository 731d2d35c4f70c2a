#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time on its seed corpus.
#   scripts/fuzz.sh [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

bash scripts/build.sh fuzz
shopt -s nullglob
for src in fuzz/*.cpp; do
  name=$(basename "$src" .cpp)
  corpus="build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  if [ -d "fuzz/seeds/$name" ]; then cp -n fuzz/seeds/"$name"/* "$corpus"/ 2>/dev/null || true; fi
  echo "-- $name for ${seconds}s"
  "build/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 | tail -n 15
done

#!/usr/bin/env bash
# Builds and runs every test: the normal build, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, then each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh

echo "== release build"
bash scripts/build.sh release
# Passing tests are not listed one by one; failures print their output.
quiet_ctest() { grep -v -E '^ *([0-9]+\/[0-9]+ Test +#[0-9]+: .* +Passed +[0-9.]+ sec|Start +[0-9]+: .*)$'; }
(cd build/release && ctest --output-on-failure -j "$(nproc)" | quiet_ctest)

echo "== sanitizer build"
bash scripts/build.sh sanitize
(cd build/sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j "$(nproc)" | quiet_ctest)

echo "== fuzz targets"
bash scripts/fuzz.sh "${TF_FUZZ_SECONDS:-20}"

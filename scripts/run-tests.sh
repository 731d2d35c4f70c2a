#!/usr/bin/env bash
# Builds and runs every test: the normal build, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, the ThreadSanitizer build (the tests that
# run threads), then each fuzz target for a bounded time.
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

echo "== thread sanitizer build"
bash scripts/build.sh tsan
# Tests whose full name holds "Threads" run threads against each other; the
# others listed here start threads too under names of their own.
tsan_filter='*Threads*'
tsan_filter+=':EvaluatorVariables.ConcurrentCurvesMatchSequentialOnes'
tsan_filter+=':MessageBox.CaptureIsPerThreadAndNests'
tsan_filter+=':PluginProcess.SuspendWaitsForAProcessCallInFlight'
tsan_filter+=':PluginProcess.RequestStopEndsAnEngineThatTheAudioThreadIsRunning'
tsan_filter+=':SystemCommand.*'
tsan_log=build/tsan/threads-test.log
# A race fails the run (exit code 66) even when every assertion held.
if TSAN_OPTIONS="halt_on_error=0 exitcode=66 second_deadlock_stack=1" \
    build/tsan/tessaform_tests --gtest_filter="$tsan_filter" >"$tsan_log" 2>&1; then
  grep -E '^\[  PASSED  \]|^\[  SKIPPED \]' "$tsan_log" || true
else
  cat "$tsan_log"
  echo "thread sanitizer stage failed" >&2
  exit 1
fi

echo "== fuzz targets"
bash scripts/fuzz.sh "${TF_FUZZ_SECONDS:-20}"

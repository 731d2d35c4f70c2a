#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh [release|sanitize|tsan|fuzz]
# Build trees go to build/<flavour>.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
jobs=$(nproc)
case "$flavour" in
  release)
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    ;;
  sanitize)
    cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTF_SANITIZE=ON -DTF_BENCH=OFF >/dev/null
    ;;
  tsan)
    # ThreadSanitizer: only the test binary, for the tests that run threads.
    cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTF_BENCH=OFF \
      -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" \
      -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
    ;;
  fuzz)
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTF_FUZZ=ON -DTF_BENCH=OFF \
      -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
    ;;
  *)
    echo "unknown flavour: $flavour" >&2; exit 2;;
esac
if [ "$flavour" = fuzz ]; then
  # Only the fuzz targets: the tests and tools are built by the other flavours.
  targets=()
  for src in fuzz/*.cpp; do targets+=(--target "$(basename "$src" .cpp)"); done
  cmake --build build/fuzz -j "$jobs" "${targets[@]}"
elif [ "$flavour" = tsan ]; then
  cmake --build build/tsan -j "$jobs" --target tessaform_tests
else
  cmake --build "build/$flavour" -j "$jobs"
fi

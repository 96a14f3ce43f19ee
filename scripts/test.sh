#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a debug build, then under ASan+UBSan; then the
# engine, integration and window tests under ThreadSanitizer (the engine's worker thread).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
for preset in default asan; do
  echo "=== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset tests"
  ctest --preset "$preset" -j "$jobs"
done
echo "=== tsan build"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
echo "=== tsan tests (engine, integration, window)"
ctest --preset tsan -j "$jobs"

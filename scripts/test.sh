#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a debug build, then under ASan+UBSan; then the
# engine, integration and window tests under ThreadSanitizer (the engine's worker thread); then,
# as root, builds the Debian package and installs, runs and removes it (scripts/package-check.sh).
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
echo "=== package (build, lintian, install, run, remove)"
if [[ "$(id -u)" -eq 0 ]]; then
  bash scripts/package-check.sh
else
  echo "package check skipped: it installs the package, which needs root"
fi

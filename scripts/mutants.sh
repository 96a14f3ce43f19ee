#!/usr/bin/env bash
# Applies each deliberate fault of scripts/mutants/ to a copy of the tree, one at a time, and
# tells which ones the test suite catches. A developer tool, not part of CI.
#
#   bash scripts/mutants.sh            every fault
#   bash scripts/mutants.sh 03 trash   only 03-*.patch and those whose name holds "trash"
#
# MUTANTS_DIR (default /tmp/tolvan-mutants) holds the copy and its build between runs.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
scratch=${MUTANTS_DIR:-/tmp/tolvan-mutants}
tree=$scratch/src-tree
logs=$scratch/logs
suites=()

if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$tree
fi

# The patches chosen by the arguments: a number selects NN-*, anything else a part of the name.
select_patches() {
  local patch name pick
  for patch in "$repo"/scripts/mutants/*.patch; do
    name=$(basename "$patch" .patch)
    [[ $# -eq 0 ]] && { echo "$patch"; continue; }
    for pick in "$@"; do
      if [[ $pick =~ ^[0-9]+$ && ${name%%-*} == $(printf '%02d' "$((10#$pick))") ]] ||
        [[ ! $pick =~ ^[0-9]+$ && $name == *"$pick"* ]]; then
        echo "$patch"
        break
      fi
    done
  done
}

# Every suite's label, the quick ones first: a caught fault is usually caught in seconds.
suites_quick_first() {
  local quick="engine_tests conditions_tests scheduler_tests platform_tests ui_tests"
  local all suite
  all=$(ctest --preset default --print-labels | sed -n 's/^  *//p')
  for suite in $quick; do
    if grep -qx "$suite" <<<"$all"; then echo "$suite"; fi
  done
  grep -vxF -f <(tr ' ' '\n' <<<"$quick") <<<"$all" || true
}

# Runs the suites in turn up to the first failing test; false when one fails.
suites_pass() {
  local suite
  for suite in "${suites[@]}"; do
    ctest --preset default -j2 --stop-on-failure -L "^$suite\$" || return 1
  done
}

# The first test named in ctest's list of failures.
first_failure() {
  sed -n '/The following tests FAILED/{n;p;q}' "$1" | sed -E 's/^[[:space:]]*[0-9]+ - //; s/ \(Failed\)$//'
}

mapfile -t patches < <(select_patches "$@")
[[ ${#patches[@]} -gt 0 ]] || { echo "no patch matches: $*" >&2; exit 2; }

# Without -t a file's time in the copy only moves forward: every changed file is rebuilt.
mkdir -p "$tree" "$logs"
rsync -rlp --checksum --delete --exclude /build/ --exclude /.git "$repo/" "$tree/"
cd "$tree"
[[ -f build/default/CMakeCache.txt ]] || cmake --preset default >"$logs/configure.log"
if ! cmake --build --preset default -j2 >"$logs/build.log" 2>&1 ||
  ! ctest --preset default -j2 >"$logs/baseline.log" 2>&1; then
  echo "the unchanged tree does not build or pass its tests: see $logs" >&2
  exit 1
fi
mapfile -t suites < <(suites_quick_first)

applied=""
# An interrupted run leaves the copy as it found it.
trap 'if [[ -n $applied ]]; then patch -R -p1 -s <"$applied"; fi' EXIT
started=$SECONDS
printf '%-4s %-30s %-12s %s\n' id area result "first failing test"
for patch in "${patches[@]}"; do
  name=$(basename "$patch" .patch)
  area=$(sed -n '1s/^# \([^:]*\):.*/\1/p' "$patch")
  log=$logs/$name.log
  test=""
  if ! patch -p1 -s <"$patch" >"$log" 2>&1; then
    result="patch-failed"
  else
    applied=$patch
    if ! cmake --build --preset default -j2 >>"$log" 2>&1; then
      result="build-failed"
    elif suites_pass >>"$log" 2>&1; then
      result=missed
    else
      result=caught
      test=$(first_failure "$log")
    fi
    patch -R -p1 -s <"$patch"
    applied=""
  fi
  printf '%-4s %-30s %-12s %s\n' "${name%%-*}" "$area" "$result" "$test"
done
echo "total: $((SECONDS - started)) s for ${#patches[@]} faults (logs in $logs)"

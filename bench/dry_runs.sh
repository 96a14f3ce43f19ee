#!/usr/bin/env bash
# Times the two dry runs against the real no-change run they predict, on the same generated
# tree, side by side in one run: a simulation must not be slower than the run it predicts.
# "simulate" lists every kind (a line for every unchanged file too), "differences" every kind
# but 5 (same date and size), "batch" makes the batch file.
#
#   bench/dry_runs.sh [--files N] [--rounds R] [TOLVAN32]
#
# Builds nothing: TOLVAN32 defaults to build/release/src/tolvan32. Works in a temporary folder
# below $TMPDIR (default /tmp), removed afterwards.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
files=100000
rounds=3
# shellcheck source=bench/tree_bench.sh
source "$repo/bench/tree_bench.sh" "$@"
printf '%s\r\n' "NomalMode=yes" "Report=yes" "DriveA=$work/master" "DriveB=$work/backup" \
  > "$work/home/job.tvf"
millis() { local start; start=$(date +%s%N); "$@"; echo $((($(date +%s%N) - start) / 1000000)); }
run /X job.tvf  # the initial copy: every later run finds nothing to do
declare -A times
for ((round = 1; round <= rounds; round++)); do
  times[real]+="$(millis run /X job.tvf) "
  times[simulate]+="$(millis run --simulate job.tvf) "
  times[differences]+="$(millis run --simulate=1,2,3,4,6 job.tvf) "
  times[batch]+="$(millis run --make-bat job.tvf) "
done
real=$(median "${times[real]}")
echo "tree: $files files; $rounds rounds; medians in milliseconds"
for kind in real simulate differences batch; do
  value=$(median "${times[$kind]}")
  python3 -c "import sys; k, v, r, a = sys.argv[1:]; print(f'{k:<9} {int(v):7d} ms   ratio to the real no-change run {int(v) / int(r):.2f}   (all: {a.strip()})')" \
    "$kind" "$value" "$real" "${times[$kind]}"
done

#!/usr/bin/env bash
# Times a no-change Mirroring re-run of the generated tree three ways, side by side in one
# run: without exclusion patterns, with 20 typical patterns of which none matches (what
# matching costs), and with one pattern that excludes the largest top-level folder (what a
# folder left out saves; its share of the tree's entries is printed beside it).
#
#   bench/exclusions.sh [--files N] [--rounds R] [TOLVAN32]
#
# Builds nothing: TOLVAN32 defaults to build/release/src/tolvan32. Works in a temporary folder
# below $TMPDIR (default /tmp), removed afterwards. The rounds alternate the three jobs, so a
# machine whose speed drifts drifts for all three alike; medians of wall time and of CPU time
# (user + system, from /usr/bin/time: less swayed by other load on the machine) are shown.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
files=100000
rounds=5
# shellcheck source=bench/tree_bench.sh
source "$repo/bench/tree_bench.sh" "$@"

# The largest top-level folder by entries below it, and its share of all entries.
read -r largest share < <(python3 - "$work/master" <<'PY'
import os, sys
root = sys.argv[1]
def entries(path):
    return sum(len(d) + len(f) for _, d, f in os.walk(path))
total = entries(root)
tops = [n for n in os.listdir(root) if os.path.isdir(os.path.join(root, n)) and "," not in n]
best = max(tops, key=lambda n: entries(os.path.join(root, n)))
print(best.replace(" ", "\\ "), f"{(entries(os.path.join(root, best)) + 1) / total:.3f}")
PY
)
largest=${largest//\\ / }
typical=('*.tmp' '*.swp' '*~' '.DS_Store' 'Thumbs.db' 'desktop.ini' 'node_modules/'
  '__pycache__/' '.cache/' 'build/' 'target/' 'dist/' '*.o' '*.pyc' '*.iso' '.git/'
  '/photos/raw' 'docs/**/draft*' '*.[Bb][Aa][Kk]' '.#*')
job() {  # job NAME PATTERN...: a Mirroring job with the report on and the patterns given
  local name=$1
  shift
  {
    printf '%s\r\n' "NomalMode=yes" "Report=yes" "DriveA=$work/master" "DriveB=$work/backup"
    local pattern
    for pattern in "$@"; do printf 'Exclude=%s\r\n' "$pattern"; done
  } >"$work/home/$name.tvf"
}
job none
job typical "${typical[@]}"
job folder "/$largest/"
# "WALL_MS CPU_MS" of one run.
timed() {
  local start cpu
  start=$(date +%s%N)
  cpu=$(/usr/bin/time -f '%U %S' "$@" 2>&1 >/dev/null | tail -1)
  echo "$((($(date +%s%N) - start) / 1000000)) $(awk '{ printf "%d", ($1 + $2) * 1000 }' <<<"$cpu")"
}
run /X none.tvf  # the initial copy: every later run finds nothing to do
run /X none.tvf  # and one untimed warm-up
declare -A walls cpus
for ((round = 1; round <= rounds; round++)); do
  for kind in none typical folder; do
    read -r wall cpu < <(timed env TOLVAN32_HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
      "$exe" --no-gui /X "$kind.tvf")
    walls[$kind]+="$wall "
    cpus[$kind]+="$cpu "
  done
done
echo "tree: $files files; $rounds rounds; medians in milliseconds"
echo "folder excluded: /$largest/, $share of the tree's entries"
for kind in none typical folder; do
  python3 -c "
import sys
k, w, c, w0, c0 = sys.argv[1:6]
print(f'{k:<8} wall {int(w):6d} ms ({int(w) / int(w0):.3f})   CPU {int(c):6d} ms ({int(c) / int(c0):.3f})')" \
    "$kind" "$(median "${walls[$kind]}")" "$(median "${cpus[$kind]}")" \
    "$(median "${walls[none]}")" "$(median "${cpus[none]}")"
  echo "         all walls: ${walls[$kind]}  all CPU: ${cpus[$kind]}"
done

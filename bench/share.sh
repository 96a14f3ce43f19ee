#!/usr/bin/env bash
# Times a Mirroring run of tolvan32 against rsync -a --delete (and cp -a for the first copy)
# onto a network share: the master tree is local, the backups are on a loopback sshfs mount
# (scripts/loopback-share.sh) whose every chunk is delayed in each direction, so that each
# lstat, open, rename or utimensat costs a round trip as on a NAS.
#   (a) the initial copy into an empty backup: tolvan32, rsync, cp -a
#   (b) a re-run with nothing changed: tolvan32, rsync
#   (d) the no-change re-run again, each timed run after a pause that lets sshfs's caches
#       expire: what a job run once a day meets
#   (c) a re-run after changing, deleting and adding 1% of the files each: tolvan32, rsync
# Each tool has its own backup folder on the share, so every tool sees the same work. sshfs
# runs with its default options, caches included, because that is what users get: it keeps
# attributes and folder listings for 20 s, so the (b) runs, each soon after another, are
# answered mostly from those caches, and (d) shows the same run without them. The share
# stays mounted throughout. The master tree and the exported folder are on the disk that
# holds bench/work.
#
# Usage: bash bench/share.sh [--files N] [--delay-ms D] [--seed S] [--repeat R] [--no-build]
#                            [--exe PATH]
#   --files N     files in the tree (default 5000)
#   --delay-ms D  delay of the share in milliseconds each way (default 1; 0 for none)
#   --seed S      seed of the generated tree (default 1)
#   --repeat R    timed no-change runs per tool, the median is shown (default 3)
#   --no-build    do not configure and build the release preset first
#   --exe PATH    the tolvan32 to time (default build/release/src/tolvan32)
# Run as root (sshd logs in as root for the share). Results are printed and kept in
# bench/work/results-share-<date>.txt.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WORK=$REPO/bench/work
FILES=5000
DELAY_MS=1
SEED=1
REPEAT=3
BUILD=1
TOLVAN32=$REPO/build/release/src/tolvan32
SHARE=$REPO/scripts/loopback-share.sh
# Longer than sshfs's default cache timeout of 20 s.
CACHE_EXPIRY=21

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }

while (($#)); do
  case $1 in
    --files) FILES=$2; shift 2 ;;
    --delay-ms) DELAY_MS=$2; shift 2 ;;
    --seed) SEED=$2; shift 2 ;;
    --repeat) REPEAT=$2; shift 2 ;;
    --no-build) BUILD=0; shift ;;
    --exe) TOLVAN32=$(realpath "$2"); shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) echo "share.sh: unknown argument $1" >&2; usage >&2; exit 2 ;;
  esac
done

LOG=$WORK/share.log
# shellcheck source=bench/common.sh
source "$REPO/bench/common.sh"

D=$WORK/share
MOUNT=$D/mnt
MOUNTED=0

cleanup() {
  local status=$?
  cd /
  ((MOUNTED)) && bash "$SHARE" stop "$MOUNT"
  rm -rf "$D"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

install_missing_tools() {
  local missing=()
  command -v rsync >/dev/null || missing+=(rsync)
  [ -x /usr/bin/time ] || missing+=(time)
  command -v python3 >/dev/null || missing+=(python3)
  install_packages share.sh "${missing[@]}"
}

build_release() {
  bash "$REPO/scripts/setup.sh"
  cd "$REPO"
  cmake --preset release >/dev/null
  cmake --build --preset release -j 2 --target tolvan32 || warn "the release build failed (see above)"
  cd - >/dev/null
}

# time_tolvan KEY HOME BACKUP [VERIFY]: runs tolvan32 on the job in HOME under KEY (the median
# of --repeat runs for a no-change case) and checks its report; with a VERIFY name it also
# counts the differences between master and backup afterwards, read on the exported side,
# which is faster than through the share and shows what really landed there.
time_tolvan() {
  local key=$1 home=$2 backup=$3 verify=${4:-}
  tolvan_args "$home"
  if [[ $key == b.* ]]; then
    measure_median "$key" "$REPEAT" "${TOLVAN_ARGS[@]}"
  elif [[ $key == d.* ]]; then
    measure_expired "$key" "$REPEAT" "${TOLVAN_ARGS[@]}"
  else
    measure "$key" "${TOLVAN_ARGS[@]}"
  fi
  check_report "$key" "$home" "$D/master" "$backup"
  if [ -n "$verify" ]; then
    VERIFY[$verify]=$(differences "$D/master" "$D/export/${backup##*/}")
    echo "  tolvan32's backup differs from the master in ${VERIFY[$verify]} entries"
  fi
}

# measure_expired KEY R COMMAND...: R timed runs, each after a pause (outside the timing) that
# lets sshfs's caches expire; keeps the run with the median wall time.
measure_expired() {
  local key=$1 runs=$2 i
  shift 2
  for ((i = 1; i <= runs; i++)); do
    sleep "$CACHE_EXPIRY"
    measure "$key#$i" "$@"
  done
  keep_median "$key" "$runs"
  NOTE[$key]="caches expired, median of $runs ${NOTE[$key]}"
}

main() {
  mkdir -p "$WORK"
  : >"$LOG"
  local started=$EPOCHREALTIME
  install_missing_tools
  if ((BUILD)); then
    say "building the release preset"
    build_release
  fi
  local have_tolvan=0
  if [ -x "$TOLVAN32" ]; then
    have_tolvan=1
  else
    warn "$TOLVAN32 does not exist: the tolvan32 rows will read 'not measured'"
  fi

  say "loopback share, $DELAY_MS ms each way"
  # A share left mounted by an interrupted run goes first, so rm never walks through it.
  bash "$SHARE" stop "$MOUNT"
  rm -rf "$D"
  mkdir -p "$D/export" "$MOUNT"
  local status=0
  bash "$SHARE" start "$D/export" "$MOUNT" --delay-ms "$DELAY_MS" || status=$?
  if ((status != 0)); then
    echo "share.sh: the share could not be mounted (exit $status)" >&2
    exit "$status"
  fi
  MOUNTED=1
  mkdir "$MOUNT/backup_tv" "$MOUNT/backup_rsync"
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)

  say "generating the tree (seed $SEED)"
  TREE_TEXT=$(python3 "$REPO/bench/gen_tree.py" make "$D/master" --files "$FILES" --seed "$SEED")
  echo "$TREE_TEXT"
  write_job "$D/home_tv" "$D/master" "$MOUNT/backup_tv"
  sync
  find "$D/master" -type f -print0 | xargs -0 cat >/dev/null

  say "(a) initial copy into an empty backup on the share"
  measure "a.cp" cp -a "$D/master" "$MOUNT/backup_cp"
  measure "a.rsync" rsync -a --delete "$D/master/" "$MOUNT/backup_rsync/"
  ((have_tolvan)) && time_tolvan a.tolvan32 "$D/home_tv" "$MOUNT/backup_tv" a
  # Removed on the exported side: through the share it would take minutes.
  rm -rf "$D/export/backup_cp"

  say "(b) re-run with nothing changed (one untimed run first, then the median of $REPEAT)"
  measure_median "b.rsync" "$REPEAT" rsync -a --delete "$D/master/" "$MOUNT/backup_rsync/"
  ((have_tolvan)) && time_tolvan b.tolvan32 "$D/home_tv" "$MOUNT/backup_tv"

  say "(d) re-run with nothing changed, sshfs's caches expired ($CACHE_EXPIRY s pause before each run)"
  measure_expired "d.rsync" "$REPEAT" rsync -a --delete "$D/master/" "$MOUNT/backup_rsync/"
  ((have_tolvan)) && time_tolvan d.tolvan32 "$D/home_tv" "$MOUNT/backup_tv"

  say "(c) re-run after changing, deleting and adding 1% of the files"
  python3 "$REPO/bench/gen_tree.py" churn "$D/master" --seed $((SEED + 1))
  sync
  measure "c.rsync" rsync -a --delete "$D/master/" "$MOUNT/backup_rsync/"
  ((have_tolvan)) && time_tolvan c.tolvan32 "$D/home_tv" "$MOUNT/backup_tv" c
  VERIFY[c_rsync]=$(differences "$D/master" "$D/export/backup_rsync")

  LOAD_TEXT="load average before $load_before, after $(cut -d' ' -f1-3 /proc/loadavg)"
  ELAPSED=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", b - a }')
  RESULTS=$WORK/results-share-$(date -u +%Y%m%dT%H%M%SZ).txt
  print_results "$have_tolvan" | tee "$RESULTS"
  echo "kept in $RESULTS; log of every command in $LOG"
}

# row LABEL TOOL KEY RSYNC-KEY [CP-KEY]
row() {
  local label=$1 tool=$2 key=$3 rsync_key=$4 cp_key=${5:-}
  if [ -z "${WALL[$key]:-}" ]; then
    printf '%-17s %-9s %9s %7s %6s %6s  %s\n' "$label" "$tool" "-" "-" "-" "-" "not measured"
    return
  fi
  local vs_cp=""
  [ -n "$cp_key" ] && vs_cp=$(ratio "$key" "$cp_key")
  printf '%-17s %-9s %9.3f %7.2f %6s %6s  %s\n' "$label" "$tool" "${WALL[$key]}" \
    "${CPU[$key]}" "$(ratio "$key" "$rsync_key")" "$vs_cp" "${NOTE[$key]}"
}

print_results() {
  local have_tolvan=$1
  echo
  echo "Tolvane network-share benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$REPO" rev-parse --short HEAD)"
  echo "machine: $(nproc) cores, $(uname -sr); $LOAD_TEXT"
  if awk -v l="${load_before%% *}" -v n="$(nproc)" 'BEGIN { exit !(l > n / 2) }'; then
    echo "NOTE: other work was running (load average above half the cores): the figures are noisy"
  fi
  ((have_tolvan)) && echo "tolvan32: $TOLVAN32, built $(date -u -r "$TOLVAN32" '+%Y-%m-%d %H:%M:%S UTC')"
  echo "share: sshfs (default options) over a loopback proxy delaying $DELAY_MS ms each way"
  echo "$TREE_TEXT"
  echo "whole benchmark: ${ELAPSED} s"
  echo
  printf '%-17s %-9s %9s %7s %6s %6s  %s\n' "case" "tool" "wall s" "CPU s" "wall/" "wall/" "note"
  printf '%-17s %-9s %9s %7s %6s %6s\n' "" "" "" "" "rsync" "cp -a"
  row "(a) initial copy" "tolvan32" a.tolvan32 a.rsync a.cp
  row "" "rsync" a.rsync a.rsync a.cp
  row "" "cp -a" a.cp a.rsync a.cp
  row "(b) no change" "tolvan32" b.tolvan32 b.rsync
  row "" "rsync" b.rsync b.rsync
  row "(d) no change," "tolvan32" d.tolvan32 d.rsync
  row "caches expired" "rsync" d.rsync d.rsync
  row "(c) 1% churn" "tolvan32" c.tolvan32 c.rsync
  row "" "rsync" c.rsync c.rsync
  echo
  echo "backups against the master (names, types, sizes, times, permissions; folder times left"
  echo "out): tolvan32 ${VERIFY[a]:-not checked} differences after (a), ${VERIFY[c]:-not checked}" \
    "after (c); rsync ${VERIFY[c_rsync]} after (c)"
  echo
  echo "wall: elapsed time; CPU: user + system of the process and its children on this machine"
  echo "(sshfs and sshd not included); wall/: ratio to rsync or cp -a in the same case."
}

main

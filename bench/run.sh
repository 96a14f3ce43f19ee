#!/usr/bin/env bash
# Times a Mirroring run of tolvan32 against rsync -a --delete (and cp -a for the first copy) on a
# generated tree of 100,000 files, on a scratch journaled ext4 in a loop image:
#   (a) the initial copy into an empty backup: tolvan32, rsync, cp -a
#   (b) a re-run with nothing changed: tolvan32, rsync, and walk_floor (a bare lstat walk of both
#       trees, the floor for a run with nothing to do)
#   (c) a re-run after changing, deleting and adding 1% of the files each: tolvan32, rsync
#   and a memory check: the no-change run at a tenth of the files, to show whether peak memory
#   grows with the number of files.
# Each tool has its own backup tree, so every tool sees the same work. Caches are warm (nothing
# is dropped): the master tree is read once before (a), each no-change command runs once
# untimed before its timed runs, and the (c) changes were just written. `sync` runs between
# timed commands, outside the timing, so one tool's write-back does not land on the next.
#
# Usage: bash bench/run.sh [--files N] [--seed S] [--repeat R] [--no-build] [--exe PATH]
#   --files N   files in the large tree (default 100000); the small tree has N/10
#   --seed S    seed of the generated tree (default 1)
#   --repeat R  timed no-change runs per tool, the median is shown (default 3)
#   --no-build  do not configure and build the release preset first
#   --exe PATH  the tolvan32 to time (default build/release/src/tolvan32)
#   --no-loop   measure in bench/work/trees instead of a loop-mounted scratch ext4
# Run as root: it installs missing packages and mounts the loop image. Results are printed and
# kept in bench/work/results-<date>.txt.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WORK=$REPO/bench/work
FILES=100000
SEED=1
REPEAT=3
BUILD=1
TOLVAN32=$REPO/build/release/src/tolvan32
WALK_FLOOR=$REPO/build/release/bench/walk_floor
LOOP=1

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }

while (($#)); do
  case $1 in
    --files) FILES=$2; shift 2 ;;
    --seed) SEED=$2; shift 2 ;;
    --repeat) REPEAT=$2; shift 2 ;;
    --no-build) BUILD=0; shift ;;
    --exe) TOLVAN32=$(realpath "$2"); shift 2 ;;
    --no-loop) LOOP=0; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "run.sh: unknown argument $1" >&2; usage >&2; exit 2 ;;
  esac
done
SMALL_FILES=$((FILES / 10 > 100 ? FILES / 10 : 100))
# Room for four copies of the large tree and the small ones (a file of this mix takes about
# 4.5 KiB on ext4 with its block), at least 6 GiB; above 200,000 files an inode for every entry
# of those trees rather than one per 8 KiB.
IMAGE_SIZE=$((FILES * 6 * 4500 / 1073741824 > 6 ? FILES * 6 * 4500 / 1073741824 : 6))G
INODE_OPTION=(-i 8192)
((FILES <= 200000)) || INODE_OPTION=(-N $((FILES * 5 + 100000)))

# shellcheck source=bench/common.sh
source "$REPO/bench/common.sh"

# --- Tools ---------------------------------------------------------------------------------

install_missing_tools() {
  local missing=()
  command -v rsync >/dev/null || missing+=(rsync)
  [ -x /usr/bin/time ] || missing+=(time)
  command -v mkfs.ext4 >/dev/null && command -v tune2fs >/dev/null || missing+=(e2fsprogs)
  command -v python3 >/dev/null || missing+=(python3)
  command -v findmnt >/dev/null || missing+=(util-linux)
  install_packages run.sh "${missing[@]}"
}

# walk_floor must build; tolvan32 may be missing or broken, and then its rows are not measured.
build_release() {
  bash "$REPO/scripts/setup.sh"
  cd "$REPO"
  cmake --preset release >/dev/null
  cmake --build --preset release -j 2 --target walk_floor
  if ! cmake --build --preset release -j 2; then
    BUILD_FAILED=1
    warn "the release build failed (see above)"
  fi
  cd - >/dev/null
}
BUILD_FAILED=0

# --- Scratch file system -------------------------------------------------------------------

MOUNTED=0
TREES=""

cleanup() {
  local status=$?
  cd /
  if ((MOUNTED)); then
    umount "$WORK/mnt" 2>/dev/null || { sleep 1; umount "$WORK/mnt" 2>/dev/null; } ||
      umount -l "$WORK/mnt" || true
  fi
  [ -n "$TREES" ] && [ "$TREES" != "$WORK/mnt" ] && rm -rf "$TREES"
  rm -f "$WORK/ext4.img"
  rmdir "$WORK/mnt" 2>/dev/null || true
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Prints "ext4 with journal", "ext4 WITHOUT journal" or the file system type of a folder.
journal_state() {
  local dir=$1 fstype source
  fstype=$(findmnt -n -o FSTYPE --target "$dir" | head -1)
  source=$(findmnt -n -o SOURCE --target "$dir" | head -1)
  if [ "$fstype" != ext4 ]; then
    echo "$fstype"
    return
  fi
  if features=$(tune2fs -l "$source" 2>/dev/null | grep -i '^Filesystem features'); then
    [[ $features == *has_journal* ]] && echo "ext4 with journal" || echo "ext4 WITHOUT journal"
    return
  fi
  # The device cannot be read (as in some containers): the kernel lists every mounted journal.
  if compgen -G "/proc/fs/jbd2/$(basename "$source")-*" >/dev/null; then
    echo "ext4 with journal"
  else
    echo "ext4 WITHOUT journal"
  fi
}

mount_scratch() {
  mkdir -p "$WORK/mnt"
  if [ "$(id -u)" -eq 0 ] && mountpoint -q "$WORK/mnt"; then
    umount "$WORK/mnt" || true
  fi
  if ((LOOP)) && [ "$(id -u)" -eq 0 ] &&
    rm -f "$WORK/ext4.img" && truncate -s "$IMAGE_SIZE" "$WORK/ext4.img" &&
    mkfs.ext4 -q -F "${INODE_OPTION[@]}" -E lazy_itable_init=0,lazy_journal_init=0 "$WORK/ext4.img" &&
    mount -o loop "$WORK/ext4.img" "$WORK/mnt"; then
    MOUNTED=1
    TREES=$WORK/mnt
    local features
    features=$(tune2fs -l "$WORK/ext4.img" | grep -i '^Filesystem features')
    [[ $features == *has_journal* ]] || warn "the loop image has no journal"
    FS_TEXT="scratch ext4 with journal, $IMAGE_SIZE loop image ($(findmnt -n -o SOURCE --target "$TREES"))"
  else
    rm -f "$WORK/ext4.img"
    TREES=$WORK/trees
    rm -rf "$TREES"
    mkdir -p "$TREES"
    FS_TEXT="$(journal_state "$TREES") (work folder; no loop mount)"
    ((LOOP == 0)) || warn "could not mount a loop image (not root, or no loop devices)"
    echo "measuring in $TREES on: $FS_TEXT"
    if [[ $FS_TEXT == *WITHOUT* ]]; then
      warn "the work folder is on ext4 WITHOUT a journal: creating many files soon after" \
        "deleting many gets slower run after run there; these figures are NOT comparable."
    fi
  fi
}

# --- Measuring -----------------------------------------------------------------------------

# measure_cold KEY R COMMAND...: R timed runs, each after writing back and dropping every
# cache (root only, outside the timing); keeps the run with the median wall time.
measure_cold() {
  local key=$1 runs=$2 i
  shift 2
  for ((i = 1; i <= runs; i++)); do
    sync
    echo 3 >/proc/sys/vm/drop_caches
    measure "$key#$i" "$@"
  done
  keep_median "$key" "$runs"
  NOTE[$key]="cold, median of $runs ${NOTE[$key]}"
}

HAVE_TOLVAN=0

# --- The run -------------------------------------------------------------------------------

main() {
  mkdir -p "$WORK"
  : >"$LOG"
  local started=$EPOCHREALTIME
  install_missing_tools
  if ((BUILD)); then
    say "building the release preset"
    build_release
  fi
  [ -x "$WALK_FLOOR" ] || { echo "run.sh: $WALK_FLOOR missing (build the release preset)" >&2; exit 2; }
  if [ -x "$TOLVAN32" ]; then
    HAVE_TOLVAN=1
    ((BUILD_FAILED == 0)) || warn "timing $TOLVAN32 from an EARLIER build"
  else
    warn "$TOLVAN32 does not exist: the tolvan32 rows will read 'not measured'"
  fi

  say "scratch file system"
  mount_scratch
  echo "trees in $TREES: $FS_TEXT"
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)

  say "generating the trees (seed $SEED)"
  local D=$TREES
  TREE_TEXT=$(python3 "$REPO/bench/gen_tree.py" make "$D/master" --files "$FILES" --seed "$SEED")
  echo "$TREE_TEXT"
  SMALL_TEXT=$(python3 "$REPO/bench/gen_tree.py" make "$D/small" --files "$SMALL_FILES" --seed "$SEED")
  echo "$SMALL_TEXT"
  mkdir -p "$D/backup_tv" "$D/backup_rsync" "$D/small_tv" "$D/small_rsync"
  write_job "$D/home_tv" "$D/master" "$D/backup_tv"
  write_job "$D/home_small" "$D/small" "$D/small_tv"
  sync
  # Warm the master side: every entry and every byte read once.
  "$WALK_FLOOR" "$D/master" "$D/small" >/dev/null
  find "$D/master" "$D/small" -type f -print0 | xargs -0 cat >/dev/null

  say "(a) initial copy into an empty backup"
  measure "a.cp" cp -a "$D/master" "$D/backup_cp"
  measure "a.rsync" rsync -a --delete "$D/master/" "$D/backup_rsync/"
  if ((HAVE_TOLVAN)); then
    tolvan_args "$D/home_tv"
    measure "a.tolvan32" "${TOLVAN_ARGS[@]}"
    check_report a.tolvan32 "$D/home_tv" "$D/master" "$D/backup_tv"
    VERIFY[a]=$(differences "$D/master" "$D/backup_tv")
    echo "  tolvan32's backup differs from the master in ${VERIFY[a]} entries"
  fi
  rm -rf "$D/backup_cp"
  sync

  say "(b) re-run with nothing changed (one untimed run first, then the median of $REPEAT)"
  measure_median "b.floor" "$REPEAT" "$WALK_FLOOR" "$D/master" "$D/backup_rsync"
  measure_median "b.rsync" "$REPEAT" rsync -a --delete "$D/master/" "$D/backup_rsync/"
  if ((HAVE_TOLVAN)); then
    tolvan_args "$D/home_tv"
    measure_median "b.tolvan32" "$REPEAT" "${TOLVAN_ARGS[@]}"
    check_report b.tolvan32 "$D/home_tv" "$D/master" "$D/backup_tv"
  fi

  if [ "$(id -u)" -eq 0 ] && [ -w /proc/sys/vm/drop_caches ]; then
    say "(d) re-run with nothing changed, every cache dropped before each run"
    measure_cold "d.rsync" "$REPEAT" rsync -a --delete "$D/master/" "$D/backup_rsync/"
    if ((HAVE_TOLVAN)); then
      tolvan_args "$D/home_tv"
      measure_cold "d.tolvan32" "$REPEAT" "${TOLVAN_ARGS[@]}"
      check_report d.tolvan32 "$D/home_tv" "$D/master" "$D/backup_tv"
    fi
  else
    warn "the cold-cache case needs root and a writable /proc/sys/vm/drop_caches: not measured"
  fi

  say "(c) re-run after changing, deleting and adding 1% of the files"
  python3 "$REPO/bench/gen_tree.py" churn "$D/master" --seed $((SEED + 1))
  sync
  measure "c.rsync" rsync -a --delete "$D/master/" "$D/backup_rsync/"
  if ((HAVE_TOLVAN)); then
    tolvan_args "$D/home_tv"
    measure "c.tolvan32" "${TOLVAN_ARGS[@]}"
    check_report c.tolvan32 "$D/home_tv" "$D/master" "$D/backup_tv"
    VERIFY[c]=$(differences "$D/master" "$D/backup_tv")
    echo "  tolvan32's backup differs from the master in ${VERIFY[c]} entries"
  fi

  say "memory check: the no-change run at $SMALL_FILES files"
  rsync -a --delete "$D/small/" "$D/small_rsync/"
  if ((HAVE_TOLVAN)); then
    tolvan_args "$D/home_small"
    "${TOLVAN_ARGS[@]}" >>"$LOG" 2>&1 || true
  fi
  sync
  measure_median "m.rsync" 1 rsync -a --delete "$D/small/" "$D/small_rsync/"
  if ((HAVE_TOLVAN)); then
    measure_median "m.tolvan32" 1 "${TOLVAN_ARGS[@]}"
    check_report m.tolvan32 "$D/home_small" "$D/small" "$D/small_tv"
  fi

  LOAD_TEXT="load average before $load_before, after $(cut -d' ' -f1-3 /proc/loadavg)"
  ELAPSED=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", b - a }')
  RESULTS=$WORK/results-$(date -u +%Y%m%dT%H%M%SZ).txt
  print_results | tee "$RESULTS"
  echo "kept in $RESULTS; log of every command in $LOG"
}

# --- Results -------------------------------------------------------------------------------

# growth SMALL-KEY LARGE-KEY: how much more peak memory the larger tree took.
growth() {
  [ -n "${RSS[$1]:-}" ] && [ -n "${RSS[$2]:-}" ] || return 0
  awk -v a="${RSS[$1]}" -v b="${RSS[$2]}" \
    'BEGIN { printf "%+.1f MiB (%+.0f%%) for ten times the files", b - a, (b - a) * 100 / a }'
}

# row LABEL TOOL KEY RSYNC-KEY [CP-KEY]
row() {
  local label=$1 tool=$2 key=$3 rsync_key=$4 cp_key=${5:-}
  if [ -z "${WALL[$key]:-}" ]; then
    printf '%-17s %-10s %8s %7s %8s %6s %6s %6s  %s\n' "$label" "$tool" "-" "-" "-" "-" "-" "-" \
      "not measured"
    return
  fi
  local vs_cp=""
  [ -n "$cp_key" ] && vs_cp=$(ratio "$key" "$cp_key")
  printf '%-17s %-10s %8.3f %7.2f %8.1f %6s %6s %6s  %s\n' "$label" "$tool" "${WALL[$key]}" \
    "${CPU[$key]}" "${RSS[$key]}" "$(ratio "$key" "$rsync_key")" \
    "$(ratio "$key" "$rsync_key" CPU)" "$vs_cp" "${NOTE[$key]}"
}

print_results() {
  echo
  echo "Tolvane benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$REPO" rev-parse --short HEAD)"
  echo "machine: $(nproc) cores, $(free -h | awk '/^Mem:/ { print $2 }') memory, $(uname -sr); $LOAD_TEXT"
  if awk -v l="${load_before%% *}" -v n="$(nproc)" 'BEGIN { exit !(l > n / 2) }'; then
    echo "NOTE: other work was running (load average above half the cores): the figures are noisy"
  fi
  ((HAVE_TOLVAN)) && echo "tolvan32: $TOLVAN32, built $(date -u -r "$TOLVAN32" '+%Y-%m-%d %H:%M:%S UTC')"
  echo "trees: $FS_TEXT"
  echo "$TREE_TEXT"
  echo "whole benchmark: ${ELAPSED} s"
  echo
  printf '%-17s %-10s %8s %7s %8s %6s %6s %6s  %s\n' "case" "tool" "wall s" "CPU s" \
    "peak MiB" "wall/" "CPU/" "wall/" "note"
  printf '%-17s %-10s %8s %7s %8s %6s %6s %6s\n' "" "" "" "" "" "rsync" "rsync" "cp -a"
  row "(a) initial copy" "tolvan32" a.tolvan32 a.rsync a.cp
  row "" "rsync" a.rsync a.rsync a.cp
  row "" "cp -a" a.cp a.rsync a.cp
  row "(b) no change" "tolvan32" b.tolvan32 b.rsync
  row "" "rsync" b.rsync b.rsync
  row "" "walk_floor" b.floor b.rsync
  row "(c) 1% churn" "tolvan32" c.tolvan32 c.rsync
  row "" "rsync" c.rsync c.rsync
  row "(d) cold cache" "tolvan32" d.tolvan32 d.rsync
  row "" "rsync" d.rsync d.rsync
  echo
  echo "tolvan32's backup against the master (names, types, sizes, times, permissions; folder"
  echo "times left out): ${VERIFY[a]:-not checked} differences after (a), ${VERIFY[c]:-not checked} after (c)"
  echo
  echo "memory check, no-change run (peak RSS in MiB):"
  printf '  %-10s %12s %12s\n' "tool" "$SMALL_FILES files" "$FILES files"
  local tool
  for tool in tolvan32 rsync; do
    printf '  %-10s %12s %12s  %s\n' "$tool" "${RSS[m.$tool]:-not measured}" \
      "${RSS[b.$tool]:-not measured}" "$(growth "m.$tool" "b.$tool")"
  done
  echo
  echo "wall: elapsed time; CPU: user + system of the process and its children; peak: the"
  echo "largest resident set of one process (rsync runs as several); wall/ and CPU/: ratios to"
  echo "rsync or cp -a in the same case. Targets: tolvan32 wall/rsync (b) <= 0.50, (c) <= 0.60,"
  echo "(d) <= 0.80; (a) tolvan32 wall/cp -a <= 0.90; peak memory bounded whatever the tree."
}

main

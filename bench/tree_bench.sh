#!/usr/bin/env bash
# Shared by the benchmarks that time one program on one generated tree (sourced, not run,
# with the script's arguments): reads --files N and --rounds R (defaults: $files and $rounds
# as the sourcing script set them) and the program's path (default build/release/src/tolvan32),
# makes the temporary folder $work (removed on exit) with home/, backup/, config/ and the
# master tree, and gives run (the program without a window, its output dropped) and median.
while [[ $# -gt 0 ]]; do
  case "$1" in
    --files) files="$2"; shift 2 ;;
    --rounds) rounds="$2"; shift 2 ;;
    *) break ;;
  esac
done
exe="${1:-$repo/build/release/src/tolvan32}"
work="$(mktemp -d "${TMPDIR:-/tmp}/tolvan32-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/backup" "$work/config"
python3 "$repo/bench/gen_tree.py" make "$work/master" --files "$files" >/dev/null

run() { TOLVAN32_HOME="$work/home" XDG_CONFIG_HOME="$work/config" "$exe" --no-gui "$@" \
  >/dev/null 2>&1 || true; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

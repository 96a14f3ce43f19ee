#!/usr/bin/env bash
# Runs the demo job unattended and prints the report it wrote.
#
# Installs what the build needs (scripts/setup.sh) and builds the release preset first.
# The first invocation copies examples/demo-master to build/demo/master, writes the job
# (examples/demo.tvf with DriveA/DriveB pointing there) into the program folder
# build/demo/home, and mirrors the master into build/demo/backup. Later invocations re-use
# the same folders, so they show a run with nothing to copy. `--fresh` starts over.
# TOLVAN32=/path/to/tolvan32 uses that program instead of the release build.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="$root/build/demo"
exe="${TOLVAN32:-$root/build/release/src/tolvan32}"

if [[ "${1:-}" == "--fresh" ]]; then
  rm -rf "$work"
fi

if [[ -z "${TOLVAN32:-}" ]]; then
  bash "$root/scripts/setup.sh"  # installs missing build packages; quick when none are
  # Configured once; the build itself is incremental, so a changed source is never missed.
  if [[ ! -f "$root/build/release/build.ninja" ]]; then
    echo "Configuring the release preset..." >&2
    (cd "$root" && cmake --preset release >/dev/null)
  fi
  (cd "$root" && cmake --build --preset release --target tolvan32 >/dev/null)
fi

home="$work/home"
master="$work/master"
backup="$work/backup"
mkdir -p "$home" "$work/config" "$backup"
if [[ ! -d "$master" ]]; then
  cp -R "$root/examples/demo-master" "$master"
fi
sed -e "s|^DriveA=[^\r]*|DriveA=$master|" -e "s|^DriveB=[^\r]*|DriveB=$backup|" \
  "$root/examples/demo.tvf" > "$home/demo.tvf"

status=0
TOLVAN32_HOME="$home" XDG_CONFIG_HOME="$work/config" "$exe" /X demo.tvf || status=$?

echo "== $home/Recent.tvr (exit status $status) =="
tr -d '\r' < "$home/Recent.tvr"
exit "$status"

#!/usr/bin/env bash
# Checks scripts/loopback-share.sh: its exit codes on bad usage, and that a share it starts
# carries writes through to the exported folder and that stop leaves nothing behind (no mount,
# no sshd, no proxy, no state folder), also when called twice. Exits 0 when every case passes,
# 77 when the share cannot be mounted here (no FUSE, sshd or sshfs).
set -uo pipefail

SHARE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/loopback-share.sh
WORK=$(mktemp -d "${TMPDIR:-/tmp}/loopback-share-check-XXXXXX")
FAILURES=0

cleanup() {
  bash "$SHARE" stop "$WORK/mnt" >/dev/null 2>&1
  bash "$SHARE" stop "$WORK/mnt" --state "$WORK/state" >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT

expect() {
  local what=$1 wanted=$2 got=$3
  if [ "$wanted" = "$got" ]; then
    echo "ok   $what"
  else
    echo "FAIL $what: wanted $wanted, got $got"
    FAILURES=$((FAILURES + 1))
  fi
}

# Runs the harness with ARGS, expecting exit status RC.
exit_case() {
  local rc=$1 status=0
  shift
  bash "$SHARE" "$@" >/dev/null 2>&1 || status=$?
  expect "loopback-share.sh $* exits $rc" "$rc" "$status"
}

mkdir -p "$WORK/export" "$WORK/mnt"
exit_case 2
exit_case 2 start
exit_case 2 start "$WORK/export"
exit_case 2 start "$WORK/export" "$WORK/mnt" --delay-ms fast
exit_case 2 start "$WORK/export" "$WORK/mnt" --colour blue
exit_case 2 mount "$WORK/export" "$WORK/mnt"
exit_case 2 start "$WORK/absent" "$WORK/mnt"
exit_case 0 stop "$WORK/mnt"

# live_case STATE-OPTION...: a share started with the given state option (none: the default
# folder) must carry a write through, refuse a second start on the same mount point, and be
# gone after stop, twice.
live_case() {
  local state=${1:-$WORK/mnt.share-state} status=0 pids
  bash "$SHARE" start "$WORK/export" "$WORK/mnt" --delay-ms 0 "${@:2}" || status=$?
  if ((status == 77)); then
    echo "skipped: the share cannot be mounted here"
    exit 77
  fi
  expect "start with state $state exits 0" 0 "$status"
  echo "through the share" >"$WORK/mnt/written"
  expect "a write through the share lands in the exported folder" "through the share" \
    "$(cat "$WORK/export/written" 2>/dev/null)"
  rm -f "$WORK/export/written"
  exit_case 2 start "$WORK/export" "$WORK/mnt" "${@:2}"
  pids=$(cat "$state/sshd.pid" "$state/proxy.pid" 2>/dev/null | tr '\n' ' ')
  expect "sshd and the proxy are recorded" 2 "$(wc -w <<<"$pids" | tr -d ' ')"
  exit_case 0 stop "$WORK/mnt" "${@:2}"
  mountpoint -q "$WORK/mnt" && status=mounted || status=unmounted
  expect "stop unmounts" unmounted "$status"
  local left=0 pid
  for pid in $pids; do
    [ -d "/proc/$pid" ] && left=$((left + 1))
  done
  expect "stop ends sshd and the proxy" 0 "$left"
  [ -e "$state" ] && status=left || status=removed
  expect "stop removes the state folder" removed "$status"
  exit_case 0 stop "$WORK/mnt" "${@:2}"
}

live_case ""
live_case "$WORK/state" --state "$WORK/state"

((FAILURES == 0)) || { echo "$FAILURES failed"; exit 1; }
echo "all passed"

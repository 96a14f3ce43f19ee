#!/usr/bin/env bash
# Shell functions shared by the benchmarks (sourced, not run): messages, timing a command,
# medians, and running tolvan32 unattended on a Mirroring job and checking its report.
# The sourcing script sets WORK (where /usr/bin/time's output and, unless LOG names another
# file, the log of every command go) and TOLVAN32 (the program to time) first.

declare -A WALL CPU RSS NOTE VERIFY
LOG=${LOG:-$WORK/run.log}

say() { printf '\n== %s\n' "$*"; }
warn() {
  printf '\n!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n' >&2
  printf '!!! WARNING: %s\n' "$@" >&2
  printf '!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n\n' >&2
}

# measure KEY COMMAND...: runs the command under /usr/bin/time -v, keeps wall time (from the
# shell's clock, finer than time's), user+system CPU time and peak RSS under KEY.
measure() {
  local key=$1 stats=$WORK/time.out status=0 t0 t1
  shift
  echo "--- $key: $*" >>"$LOG"
  t0=$EPOCHREALTIME
  /usr/bin/time -v -o "$stats" "$@" >>"$LOG" 2>&1 || status=$?
  t1=$EPOCHREALTIME
  WALL[$key]=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
  CPU[$key]=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$stats")
  RSS[$key]=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$stats")
  NOTE[$key]=""
  ((status == 0)) || NOTE[$key]="exit $status"
  printf '  %-22s wall %7.3f s  cpu %6.2f s  peak RSS %7.1f MiB %s\n' \
    "$key" "${WALL[$key]}" "${CPU[$key]}" "${RSS[$key]}" "${NOTE[$key]}"
  sync
}

# measure_median KEY R COMMAND...: one untimed warm-up run, then R timed runs; keeps the run
# with the median wall time.
measure_median() {
  local key=$1 runs=$2 i
  shift 2
  "$@" >>"$LOG" 2>&1 || true
  sync
  for ((i = 1; i <= runs; i++)); do
    measure "$key#$i" "$@"
  done
  keep_median "$key" "$runs"
  [ "$runs" -gt 1 ] && NOTE[$key]="median of $runs ${NOTE[$key]}"
  return 0
}

# keep_median KEY R: the run KEY#1 .. KEY#R with the median wall time becomes KEY.
keep_median() {
  local key=$1 runs=$2 i walls=() best
  for ((i = 1; i <= runs; i++)); do
    walls+=("${WALL[$key#$i]} $i")
  done
  best=$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p" | cut -d' ' -f2)
  WALL[$key]=${WALL[$key#$best]}
  CPU[$key]=${CPU[$key#$best]}
  RSS[$key]=${RSS[$key#$best]}
  NOTE[$key]=${NOTE[$key#$best]}
}

# install_packages SCRIPT PACKAGE...: installs the missing packages named (none: nothing), as
# root only.
install_packages() {
  local script=$1
  shift
  (($#)) || return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "$script: missing $*; run as root to install them" >&2
    exit 2
  fi
  echo "installing $*"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

# write_job HOME MASTER BACKUP: the Mirroring job bench.tvf (report on) in HOME, CR+LF lines.
write_job() {
  local home=$1 master=$2 backup=$3
  mkdir -p "$home"
  printf '%s\r\n' \
    "** File Mirroring Conditions **" "NomalMode=yes" "UpDate= 0 " "TrashBox=no" "Size=no" \
    "MatchCase=no" "Report=yes" "ChildDir=yes" "DriveA=$master" "DriveB=$backup" \
    "** Timer ** (example)" \
    "*  毎日の場合は、指定時間に実行する場合は、DateMode=0 とする" \
    "*    exp. 毎日14:20に実行する場合  DateMode=0  Time=14:20" \
    "*  指定時間毎に実行する場合は、DateMode=1 とする" \
    "*    exp. 3時間15分毎に実行する場合  DateMode=1  Time=03:15" \
    "Timer=no" "DateMode=0" "Once=no" "Time=00:00" >"$home/bench.tvf"
  mkdir -p "$home/tmp"
}

# The unattended command line, headless (no display) and with its settings store kept apart
# from the user's, as an argument list that /usr/bin/time can run: tolvan_args HOME fills
# TOLVAN_ARGS.
# TMPDIR is a private empty folder too: a path the job cannot select is replaced by the
# temporary-files folder, and a benchmark must never mirror into the real /tmp.
tolvan_args() {
  TOLVAN_ARGS=(env -u DISPLAY -u WAYLAND_DISPLAY TOLVAN32_HOME="$1" XDG_CONFIG_HOME="$1/config"
    TMPDIR="$1/tmp" "$TOLVAN32" /X bench.tvf)
}

# check_report KEY HOME MASTER BACKUP: the latest report must name both sides as given and
# must have finished; otherwise the figures of KEY do not time the job and say so.
check_report() {
  local key=$1 recent=$2/Recent.tvr
  if [ ! -f "$recent" ]; then
    NOTE[$key]+=" NO REPORT"
    return
  fi
  local sides
  sides=$(grep -a -m1 '^Mirroring from' "$recent" | tr -d '\r')
  # Each path may follow a [volume label].
  if [[ $sides != "Mirroring from "*"$3 to "*"$4 on "* ]]; then
    NOTE[$key]+=" WRONG SIDES: $sides"
  elif ! grep -q '^Finished Time : ' "$recent"; then
    NOTE[$key]+=" NOT FINISHED"
  else
    local errors
    errors=$(grep -c '^Error : \|^Scan Error : \|^Disk Full : ' "$recent" || true)
    ((errors == 0)) || NOTE[$key]+=" $errors error lines"
  fi
}

# Differences between master and backup in names, types, sizes, modification times and
# permissions, ignoring folder times; prints their count.
differences() {
  rsync -a -n -i --delete "$1/" "$2/" | grep -cv '^\.d\.\.t\.\.\.\.\.\.' || true
}

# ratio KEY1 KEY2 [CPU]: wall time (or CPU time) of KEY1 over that of KEY2.
ratio() {
  local -n of=${3:-WALL}
  if [ -z "${of[$1]:-}" ] || [ -z "${of[$2]:-}" ]; then
    echo "-"
    return
  fi
  awk -v a="${of[$1]}" -v b="${of[$2]}" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'
}

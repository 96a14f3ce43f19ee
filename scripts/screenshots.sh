#!/usr/bin/env bash
# Makes the screenshots in docs/screenshots/ from the real program on a private X server:
#   main-window.png        the main window with the demo job loaded
#   simulation-dialog.png  the dialog of the "Simulation" button
#   editor-settings.png    File > Editor Settings
#   progress-window.png    the progress window during a run of a generated large tree
#   main-window-2x.png     the main window again at twice the scale (QT_SCALE_FACTOR=2)
#   main-window-en.png, simulation-dialog-en.png  the same where the desktop speaks English
#
# Builds the default preset first when needed (TOLVAN32=/path/to/tolvan32 uses that program).
# Needs Xvfb, xdotool and ImageMagick's import (scripts/setup.sh installs them). There is no
# window manager: windows are found by their titles and given the keyboard focus directly.
# The demo job mirrors a copy of examples/demo-master. As root, its folders live on a small
# tmpfs mounted at /mnt/tolvan32-demo for the script's duration, so the folder lists show the
# demo alone; otherwise they are in /tmp/tolvan32-demo. The program folder and the settings
# are in /tmp/tolvan32-screenshots. All of it is made afresh and removed at the end. A window
# that does not appear is reported and its picture left as it was; the exit status is then 1.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/docs/screenshots"
state=/tmp/tolvan32-screenshots
exe="${TOLVAN32:-$root/build/default/src/tolvan32}"

if [[ -z "${TOLVAN32:-}" ]]; then
  [[ -f "$root/build/default/build.ninja" ]] || (cd "$root" && cmake --preset default >/dev/null)
  (cd "$root" && cmake --build --preset default --target tolvan32 >/dev/null)
fi
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done

pids=()
demo=""
mounted=no
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [[ "$mounted" == yes ]]; then
    { umount "$demo" || umount -l "$demo"; } && rmdir "$demo"
  elif [[ -n "$demo" ]]; then
    rm -rf "$demo"
  fi
  rm -rf "$state"
}
trap cleanup EXIT

rm -rf "$state"
mkdir -p "$state/home" "$state/config" "$state/user" "$out"
demo=/mnt/tolvan32-demo
if [[ "$(id -u)" -eq 0 ]] && ! mountpoint -q "$demo" && mkdir -p "$demo" &&
  mount -t tmpfs -o size=512m,mode=0755 tolvan32-demo "$demo" 2>/dev/null; then
  mounted=yes
else
  rmdir "$demo" 2>/dev/null || true
  demo=/tmp/tolvan32-demo
  rm -rf "$demo"
  mkdir -p "$demo"
fi
cp -R "$root/examples/demo-master" "$demo/master"
mkdir "$demo/backup"

job() {  # job NAME FROM TO: examples/demo.tvf with the two paths replaced
  sed -e "s|^DriveA=[^\r]*|DriveA=$2|" -e "s|^DriveB=[^\r]*|DriveB=$3|" \
    "$root/examples/demo.tvf" >"$state/home/$1.tvf"
}
job demo "$demo/master" "$demo/backup"
job large "$demo/large-master" "$demo/large-backup"
# The demo job heads the list, so a start without a name loads it.
printf 'demo.tvf\r\nlarge.tvf\r\n\r\n' >"$state/home/TvfSet.txt"

Xvfb -displayfd 3 -screen 0 1920x1080x24 -dpi 96 -nolisten tcp -noreset \
  3>"$state/display" >"$state/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s "$state/display" ]] && break; sleep 0.1; done
[[ -s "$state/display" ]] || { echo "screenshots: Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; exit 2; }
DISPLAY=":$(head -n 1 "$state/display")"
export DISPLAY

scale=1
language=(LC_ALL=C.UTF-8)
start_program() {  # start_program ARGS...: the program on the display at $scale; pid in $program
  env -i DISPLAY="$DISPLAY" QT_SCALE_FACTOR="$scale" "${language[@]}" TZ=UTC PATH=/usr/bin:/bin HOME="$state/user" \
    TOLVAN32_HOME="$state/home" XDG_CONFIG_HOME="$state/config" XDG_DATA_HOME="$state/user" \
    "$exe" "$@" >>"$state/program.log" 2>&1 &
  program=$!
  pids+=("$program")
}
find_window() {  # find_window TITLE [SECONDS]: the shown window titled exactly so, or nothing
  local id
  for _ in $(seq $((${2:-20} * 10))); do
    # The search ignores letter case; the name check does not.
    for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true); do
      if [[ "$(xdotool getwindowname "$id")" == "$1" ]]; then echo "$id"; return 0; fi
    done
    kill -0 "$program" 2>/dev/null || return 1  # the program has ended
    sleep 0.1
  done
  return 1
}
press() {  # press WINDOW KEYS...: focus the window (no window manager does it) and type
  local window=$1
  shift
  xdotool windowfocus --sync "$window" key --clearmodifiers "$@"
}
missing=()
shoot() {  # shoot WINDOW NAME: the window alone, once it has painted
  sleep 0.7
  # import waits without end for a window that closes under it.
  if timeout 20 import -window "$1" -strip "png:$out/$2.png.new" &&
    mv "$out/$2.png.new" "$out/$2.png"; then
    echo "screenshots: $out/$2.png"
  else
    missing+=("$2")
  fi
}
menu_item() {  # menu_item WINDOW DOWNS: File menu, DOWNS items below its first one, chosen
  press "$1" alt+f
  sleep 0.5
  for _ in $(seq "$2"); do xdotool key Down; done
  xdotool key Return
}
click_button() {  # click_button WINDOW X Y: a click at X,Y of the window's client area
  # The client area is 448 x 399 at 96 dpi, below the menu bar: the bar's height is what the
  # window has more.
  local height
  height=$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^HEIGHT=//p')
  xdotool mousemove --window "$1" "$2" $(($3 + height - 399)) click 1
}
dialog_shot() {  # dialog_shot TITLE NAME COMMAND...: open a dialog by COMMAND, shoot, close
  local title=$1 name=$2 dialog
  shift 2
  "$@"
  if dialog=$(find_window "$title" 10); then
    shoot "$dialog" "$name"
    press "$dialog" Escape
    sleep 0.5
  else
    echo "screenshots: no window \"$title\" after $*" >&2
    missing+=("$name")
  fi
}

start_program
if main=$(find_window Tolvane 30); then
  shoot "$main" main-window
  # "Simulation" has no accelerator: clicked in the middle of the button (at 228,372 in the
  # window's layout, 72 x 24).
  dialog_shot Simulation simulation-dialog click_button "$main" 264 384
  dialog_shot 'Editor Settings' editor-settings menu_item "$main" 3
else
  echo "screenshots: the main window \"Tolvane\" never appeared" >&2
  missing+=(main-window simulation-dialog editor-settings)
fi
kill "$program" 2>/dev/null || true

scale=2
start_program
if main=$(find_window Tolvane 30); then
  shoot "$main" main-window-2x
else
  echo "screenshots: the main window \"Tolvane\" never appeared at scale 2" >&2
  missing+=(main-window-2x)
fi
kill "$program" 2>/dev/null || true
scale=1

# English where the desktop speaks it; the character set stays UTF-8 without an en_US locale.
language=(LANG=en_US.UTF-8 LC_CTYPE=C.UTF-8)
start_program
if main=$(find_window Tolvane 30); then
  shoot "$main" main-window-en
  dialog_shot Simulation simulation-dialog-en click_button "$main" 264 384
else
  echo "screenshots: the main window \"Tolvane\" never appeared in English" >&2
  missing+=(main-window-en simulation-dialog-en)
fi
kill "$program" 2>/dev/null || true
language=(LC_ALL=C.UTF-8)

# Long enough a run to catch its progress window: some 40,000 files of 1 KiB in 40 folders.
for n in $(seq -w 1 40); do
  mkdir -p "$demo/large-master/folder$n"
  head -c 1M /dev/zero | split -b 1k -a 4 - "$demo/large-master/folder$n/file"
done
mkdir "$demo/large-backup"
# A name on the command line runs that job at once, after its question, before the main
# window is shown: the progress window then stands alone.
start_program large.tvf
if question=$(find_window Tolvan32 30); then
  press "$question" Return
  if process=$(find_window 'Tolvane Process' 30); then
    # Shot once files are being copied: the bar and the estimate are shown by then.
    for _ in $(seq 300); do
      [[ -n "$(find "$demo/large-backup" -type f -print -quit)" ]] && break
      sleep 0.1
    done
    shoot "$process" progress-window
  else
    echo "screenshots: the progress window \"Tolvane Process\" never appeared" >&2
    missing+=(progress-window)
  fi
else
  echo "screenshots: the run's question never appeared" >&2
  missing+=(progress-window)
fi
kill "$program" 2>/dev/null || true

if ((${#missing[@]})); then
  echo "screenshots: not made: ${missing[*]}" >&2
  exit 1
fi

#!/usr/bin/env bash
# Builds the Debian package from the release preset and tries it as a user would, as root on
# this machine: lintian, apt-get install of the .deb (which pulls its dependencies), the
# installed program's --version and one real mirroring run of the demo tree, the manual page,
# the menu entry and the systemd units as installed, then purge and a check that none of the
# package's files is left. The package is never left installed, whatever happens; a copy
# installed before the check is purged first, so the check can run any number of times.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
[[ "$(id -u)" -eq 0 ]] || { echo "package-check: needs root (apt-get install)" >&2; exit 2; }

work=$(mktemp -d /tmp/tolvan32-package.XXXXXX)
purge() {
  if dpkg-query -W -f='${Status}' tolvan32 2>/dev/null | grep -q 'ok installed\|config-files'; then
    DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq tolvan32 >/dev/null
  fi
}
cleanup() {
  purge || true
  rm -rf "$work"
}
trap cleanup EXIT
purge

echo "=== package: build"
cmake --preset release >/dev/null
cmake --build --preset release --target package
deb=$(ls build/release/tolvan32_*_amd64.deb)
# apt's download user (_apt) must be able to read the file.
cp "$deb" "$work/"
deb="$work/$(basename "$deb")"
chmod 755 "$work"
chmod 644 "$deb"

echo "=== package: lintian $(basename "$deb")"
# Errors fail the check; warnings are shown.
lint=0
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 || lint=$?
grep -v 'running with root privileges' "$work/lintian" || true
((lint == 0)) || { echo "package-check: lintian reports errors" >&2; exit 1; }

echo "=== package: install"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
dpkg-query -L tolvan32 >"$work/files"
/usr/bin/tolvan32 --version

echo "=== package: a mirroring run of the demo tree with /usr/bin/tolvan32"
mkdir -p "$work/home" "$work/config" "$work/backup"
cp -R examples/demo-master "$work/master"
# A file the master does not have: Mirroring removes it.
echo obsolete >"$work/backup/obsolete.txt"
sed -e "s|^DriveA=[^\r]*|DriveA=$work/master|" -e "s|^DriveB=[^\r]*|DriveB=$work/backup|" \
  examples/demo.tvf >"$work/home/demo.tvf"
grep -q '^NomalMode=yes' "$work/home/demo.tvf"
env -u DISPLAY -u WAYLAND_DISPLAY TOLVAN32_HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
  /usr/bin/tolvan32 --no-gui /X demo.tvf
diff -r "$work/master" "$work/backup"
grep -q '^New File : ' "$work/home/Recent.tvr"
echo "backup equals master; report $(grep -c ' : ' "$work/home/Recent.tvr") lines"

echo "=== package: installed files"
man -w tolvan32
desktop-file-validate /usr/share/applications/tolvan32.desktop
# The user manager's verify needs a runtime folder; as root in CI there is no user session.
mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify \
  /usr/lib/systemd/user/tolvan32@photos.service /usr/lib/systemd/user/tolvan32@photos.timer
echo "units verified"

echo "=== package: remove"
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq tolvan32 >/dev/null
if dpkg-query -W -f='${Status}' tolvan32 2>/dev/null | grep -q 'installed\|config-files'; then
  echo "package-check: tolvan32 is still known to dpkg after purge" >&2
  exit 1
fi
left=()
while read -r path; do
  # Folders shared with other packages (/usr/share/icons/...) stay; the package's own files
  # and its own folders must go.
  [[ -d "$path" && ! "$path" =~ tolvan32 ]] && continue
  [[ -e "$path" || -L "$path" ]] && left+=("$path")
done <"$work/files"
if ((${#left[@]})); then
  echo "package-check: left after purge: ${left[*]}" >&2
  exit 1
fi
echo "package-check: installed, ran and removed cleanly"

#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, the demo and the benchmarks need (sshfs,
# openssh-server and python3 for the network-share tests). Idempotent:
# does nothing when every package is already there.
set -euo pipefail
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev locales qt6-base-dev xvfb xauth
          imagemagick fonts-ipafont-gothic rsync xdotool x11-utils xdg-utils libx11-dev
          dosfstools exfat-fuse exfatprogs e2fsprogs qt6-tools-dev qt6-l10n-tools
          qt6-translations-l10n
          dpkg-dev lintian desktop-file-utils man-db systemd sshfs openssh-server python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

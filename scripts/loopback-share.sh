#!/usr/bin/env bash
# Mounts a local folder as a network share over loopback: sshd with a fresh key pair, a proxy
# that delays every chunk in each direction, and sshfs on top, so that every lstat, open,
# rename or utimensat on the mount point costs a round trip as on a NAS.
#
#   loopback-share.sh start <exported-folder> <mount-point> [--delay-ms D] [--state DIR]
#                           [-o SSHFS-OPTIONS]
#   loopback-share.sh stop <mount-point> [--state DIR]
#
# --delay-ms D  delay in milliseconds each way (default 1; 0 forwards at once)
# --state DIR   keys, configuration, pid files and logs (default <mount-point>.share-state);
#               removed by stop
# -o OPTIONS    more mount options for sshfs (e.g. allow_other, for runs as another user)
#
# start prints nothing and exits 0 once the share is mounted; it exits 77 with one line on
# stderr when FUSE, sshd or sshfs is missing or the mount fails (callers skip then), 2 on bad
# usage. stop unmounts, ends the proxy and sshd of that state folder and removes the folder;
# it does nothing when there is nothing to stop. Run as root: sshd must log in as root.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

usage() {
  sed -n '6,8p' "$0" | sed 's/^# \{0,3\}//' >&2
  exit 2
}
unavailable() {
  echo "loopback-share: $*" >&2
  exit 77
}

# A free TCP port on 127.0.0.1 (free when asked; sshd start is retried if it is taken since).
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# kill_recorded PIDFILE: ends the process named there if it still belongs to this state
# folder (a recycled pid must not be killed), and waits up to 2 s for it to go.
kill_recorded() {
  local pid_file=$1 pid i
  [ -f "$pid_file" ] || return 0
  pid=$(tr -dc '0-9' <"$pid_file")
  [ -n "$pid" ] || return 0
  if { tr '\0' ' ' <"/proc/$pid/cmdline"; } 2>/dev/null | grep -qF -- "$STATE"; then
    kill "$pid" 2>/dev/null || true
    for ((i = 0; i < 20; i++)); do
      [ -d "/proc/$pid" ] || return 0
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
}

check_tools() {
  [ -c /dev/fuse ] || unavailable "no /dev/fuse: FUSE is not available"
  command -v fusermount3 >/dev/null || command -v fusermount >/dev/null ||
    unavailable "no fusermount: install fuse3"
  command -v sshfs >/dev/null || unavailable "no sshfs: install sshfs"
  [ -x /usr/sbin/sshd ] || unavailable "no /usr/sbin/sshd: install openssh-server"
  command -v ssh-keygen >/dev/null || unavailable "no ssh-keygen: install openssh-client"
  command -v python3 >/dev/null || unavailable "no python3"
  [ "$(id -u)" -eq 0 ] || unavailable "must run as root (sshd logs in as root)"
}

write_sshd_config() {
  local port=$1
  cat >"$STATE/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $STATE/host_key
PidFile $STATE/sshd.pid
AuthorizedKeysFile $STATE/authorized_keys
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin yes
StrictModes no
UsePAM no
UseDNS no
Subsystem sftp internal-sftp
LogLevel ERROR
EOF
}

# Starts sshd on a free port; sets SSHD_PORT. Retries when another process took the port.
start_sshd() {
  local attempt
  mkdir -p /run/sshd
  for ((attempt = 0; attempt < 5; attempt++)); do
    SSHD_PORT=$(free_port)
    write_sshd_config "$SSHD_PORT"
    # Without -D sshd forks once it listens, so the port is open when this returns.
    /usr/sbin/sshd -f "$STATE/sshd_config" -E "$STATE/sshd.log" && return 0
  done
  return 1
}

# Starts the proxy in front of sshd; sets PROXY_PORT once it listens.
start_proxy() {
  local i
  setsid python3 "$HERE/delay-proxy.py" --target-port "$SSHD_PORT" --delay-ms "$DELAY_MS" \
    --port-file "$STATE/proxy.port" --pid-file "$STATE/proxy.pid" \
    </dev/null >>"$STATE/proxy.log" 2>&1 &
  for ((i = 0; i < 100; i++)); do
    if [ -s "$STATE/proxy.port" ]; then
      PROXY_PORT=$(tr -dc '0-9' <"$STATE/proxy.port")
      return 0
    fi
    sleep 0.05
  done
  return 1
}

start() {
  check_tools
  [ -d "$EXPORT" ] || { echo "loopback-share: $EXPORT is not a folder" >&2; exit 2; }
  [ -d "$MOUNT" ] || { echo "loopback-share: $MOUNT is not a folder" >&2; exit 2; }
  if mountpoint -q "$MOUNT"; then
    echo "loopback-share: $MOUNT is already a mount point" >&2
    exit 2
  fi
  # A state folder left by an earlier start that was never stopped goes first.
  [ -d "$STATE" ] && stop
  mkdir -p "$STATE"
  chmod 700 "$STATE"
  ssh-keygen -q -t ed25519 -N '' -C loopback-share-host -f "$STATE/host_key"
  ssh-keygen -q -t ed25519 -N '' -C loopback-share-client -f "$STATE/client_key"
  cp "$STATE/client_key.pub" "$STATE/authorized_keys"
  start_sshd || { stop; unavailable "sshd did not start (see $STATE/sshd.log)"; }
  start_proxy || { stop; unavailable "the delay proxy did not start"; }
  # -F /dev/null: the caller's ssh configuration must not change what is measured. Caching
  # options stay at sshfs's defaults, which are what users get.
  # Bounded: a connection that neither comes nor fails must not hold up a test run.
  if ! timeout 60 sshfs "root@127.0.0.1:$EXPORT" "$MOUNT" -p "$PROXY_PORT" -F /dev/null \
    -o "IdentityFile=$STATE/client_key,IdentitiesOnly=yes,BatchMode=yes" \
    -o StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,LogLevel=ERROR,ConnectTimeout=20 \
    ${EXTRA_OPTIONS:+-o "$EXTRA_OPTIONS"} </dev/null >>"$STATE/sshfs.log" 2>&1 || ! mountpoint -q "$MOUNT"; then
    local why
    why=$(tail -1 "$STATE/sshfs.log" 2>/dev/null || true)
    stop
    unavailable "sshfs could not mount $EXPORT on $MOUNT${why:+: $why}"
  fi
}

stop() {
  if mountpoint -q "$MOUNT" 2>/dev/null; then
    fusermount3 -u "$MOUNT" 2>/dev/null || fusermount -u "$MOUNT" 2>/dev/null ||
      umount -l "$MOUNT" 2>/dev/null || true
  fi
  if [ -d "$STATE" ]; then
    kill_recorded "$STATE/proxy.pid"
    kill_recorded "$STATE/sshd.pid"
    rm -rf "$STATE"
  fi
}

(($# >= 1)) || usage
COMMAND=$1
shift
case $COMMAND in
  start) (($# >= 2)) || usage; EXPORT=$(realpath -m "$1"); MOUNT=$(realpath -m "$2"); shift 2 ;;
  stop) (($# >= 1)) || usage; MOUNT=$(realpath -m "$1"); shift ;;
  *) usage ;;
esac
DELAY_MS=1
STATE=""
EXTRA_OPTIONS=""
while (($#)); do
  case $1 in
    --delay-ms) (($# >= 2)) || usage; DELAY_MS=$2; shift 2 ;;
    --state) (($# >= 2)) || usage; STATE=$(realpath -m "$2"); shift 2 ;;
    -o) (($# >= 2)) || usage; EXTRA_OPTIONS=$2; shift 2 ;;
    *) usage ;;
  esac
done
[[ $DELAY_MS =~ ^[0-9]+(\.[0-9]+)?$ ]] || usage
STATE=${STATE:-$MOUNT.share-state}

"$COMMAND"

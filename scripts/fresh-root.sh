#!/usr/bin/env bash
# Runs a command in a clone of this checkout inside a freshly made, minimal
# Debian 12 root, as a new user's machine would be: nothing installed but the
# base system, so every package the command needs must come from our own
# set-up. The root is made with debootstrap (variant minbase), /proc, /sys and
# /dev are mounted into it, the command runs there as root from the clone's
# top folder, and its output and exit status are passed through. The root is
# always unmounted and removed afterwards, also when the command fails or is
# interrupted.
#
# Usage: scripts/fresh-root.sh COMMAND [ARG...]
#   scripts/fresh-root.sh scripts/demo.sh
#   scripts/fresh-root.sh scripts/test.sh
#
# The clone is of the checkout's HEAD: uncommitted changes are not in it.
# Settings (environment):
#   FRESH_ROOT_MIRROR  Debian mirror (default http://deb.debian.org/debian)
#   FRESH_ROOT_SECURITY  its security updates (default http://deb.debian.org/debian-security)
#   FRESH_ROOT_PARENT  folder that holds the root while it exists (default /var/tmp)
#   FRESH_ROOT_KEEP=1  leave the root in place (unmounted) for a look afterwards
set -uo pipefail

me=fresh-root.sh
suite=bookworm
mirror=${FRESH_ROOT_MIRROR:-http://deb.debian.org/debian}
security=${FRESH_ROOT_SECURITY:-http://deb.debian.org/debian-security}
parent=${FRESH_ROOT_PARENT:-/var/tmp}

die() {
  echo "$me: $*" >&2
  exit 2
}

[ $# -gt 0 ] || die "usage: $me COMMAND [ARG...]   (runs COMMAND in a fresh Debian 12 root)"
[ "$(id -u)" -eq 0 ] || die "must run as root: it makes a Debian root with debootstrap and mounts /proc, /sys and /dev into it"
command -v git >/dev/null || die "git is needed to clone this checkout into the root"
top=$(git -C "$(dirname "$0")" rev-parse --show-toplevel 2>/dev/null) || die "not inside a git checkout"

if ! command -v debootstrap >/dev/null; then
  echo "== $me: installing debootstrap"
  if ! { apt-get -o DPkg::Lock::Timeout=600 update -q >/dev/null &&
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q \
      --no-install-recommends debootstrap >/dev/null; }; then
    die "debootstrap is not installed and could not be installed (apt-get install debootstrap)"
  fi
fi

mkdir -p "$parent" || die "cannot make $parent"
root=$(mktemp -d -p "$parent" quillset-root.XXXXXX) || die "cannot make a folder in $parent"
# A root folder as / is: readable by everyone (apt fetches as the _apt user).
chmod 755 "$root"

# Everything mounted under the root, deepest first.
mounts_under_root() {
  awk -v r="$root" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/self/mounts | sort -r
}

cleaned=0
cleanup() {
  [ "$cleaned" -eq 1 ] && return
  cleaned=1
  # Programs the command left running in the root (a wineserver, a virtual
  # display) would keep its mounts busy.
  local pid
  disown -a 2>/dev/null
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -KILL "$pid" 2>/dev/null
  done
  sleep 0.2
  local m
  for m in $(mounts_under_root); do
    umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null
  done
  if [ -n "$(mounts_under_root)" ]; then
    # Never remove a tree that still reaches into the machine's own /dev or /sys.
    echo "$me: could not unmount everything under $root; left it in place:" >&2
    mounts_under_root >&2
    return
  fi
  if [ "${FRESH_ROOT_KEEP:-0}" = 1 ]; then
    echo "== $me: root kept at $root" >&2
  else
    rm -rf --one-file-system "$root"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

started=$(date +%s)
echo "== $me: making a minimal Debian 12 ($suite) root in $root"
if ! debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$root.debootstrap.log" 2>&1; then
  tail -n 20 "$root.debootstrap.log" >&2
  rm -f "$root.debootstrap.log"
  die "debootstrap failed"
fi
rm -f "$root.debootstrap.log"

# The package sources of an installed Debian 12: the release, its updates and
# security updates.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security $suite-security main
EOF
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

mount -t proc proc "$root/proc" || die "cannot mount /proc in the root"
mount -t sysfs sysfs "$root/sys" || die "cannot mount /sys in the root"
mount --rbind /dev "$root/dev" || die "cannot mount /dev in the root"
# Unmounting the root's /dev must never reach the machine's own.
mount --make-rslave "$root/dev"
# A private /dev/shm and /tmp, as a fresh machine has.
if [ -d "$root/dev/shm" ]; then
  mount -t tmpfs -o mode=1777 shm "$root/dev/shm" || die "cannot mount /dev/shm in the root"
fi

clone=/root/quillset
echo "== $me: cloning $top (HEAD $(git -C "$top" rev-parse --short HEAD)) into $clone"
if [ -n "$(git -C "$top" status --porcelain --untracked-files=no)" ]; then
  echo "== $me: note: uncommitted changes in $top are not in the clone" >&2
fi
git clone -q --no-hardlinks "$top" "$root$clone" || die "cannot clone $top"
echo "== $me: root ready after $(($(date +%s) - started)) s; running: $*"

# A clean environment, as a login shell on the new machine would have.
chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
  TERM="${TERM:-dumb}" /bin/bash -c 'cd "$0" && exec "$@"' "$clone" "$@" &
# Waiting on a background job lets an interrupt end the wait at once; the
# clean-up then stops whatever still runs in the root.
wait $!
status=$?
echo "== $me: command exited with status $status after $(($(date +%s) - started)) s in all"
exit "$status"

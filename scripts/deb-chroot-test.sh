#!/usr/bin/env bash
# Installs the .deb into a fresh Debian 12 root (debootstrap, minbase, from
# this machine's Debian mirror) and there builds examples/host against the
# installed package alone and runs it. Run as root.
# Usage: scripts/deb-chroot-test.sh [PACKAGE.deb]   (default: scripts/package-deb.sh)
#
# The root with the build tools is cached as a tarball in $MEDLEY_ROOT_CACHE
# (default /var/cache/medley), keyed by the suite, mirror and package list;
# delete it (or set MEDLEY_FRESH_ROOT=1) to build it anew. Each run unpacks
# a copy, so the package always meets a root it has never seen. Every step
# is bounded by `timeout`.
set -euo pipefail
cd "$(dirname "$0")/.."

suite=bookworm
tools=(cmake g++ ninja-build pkg-config)
cache=${MEDLEY_ROOT_CACHE:-/var/cache/medley}

deb=${1:-}
if [ -z "$deb" ]; then deb=$(timeout 3600 scripts/package-deb.sh | tail -n1); fi
deb=$(realpath "$deb")

# The first Debian mirror apt is configured with, else deb.debian.org.
mirror=$(grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}' |
         grep -v security | head -n1 || true)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

key=$(printf '%s %s %s' "$suite" "$mirror" "${tools[*]}" | sha256sum | cut -c1-16)
tarball=$cache/debian12-minbase-$key.tar.gz

work=$(mktemp -d "${TMPDIR:-/tmp}/medley-chroot-XXXXXX")
root=$work/root
cleanup() {
  for m in proc dev/pts dev; do mountpoint -q "$root/$m" 2>/dev/null && umount -l "$root/$m"; done
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

mount_root() {
  mount -t proc proc "$root/proc"
  mount --bind /dev "$root/dev"
}
umount_root() {
  umount -l "$root/dev" "$root/proc"
}

if [ ! -s "$tarball" ] || [ -n "${MEDLEY_FRESH_ROOT:-}" ]; then
  echo "== debootstrap $suite (minbase) from $mirror"
  mkdir -p "$root" "$cache"
  timeout 1800 debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$work/debootstrap.log" ||
    { tail -n 20 "$work/debootstrap.log"; exit 1; }
  mount_root
  timeout 1800 chroot "$root" sh -c "apt-get update -q && DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends ${tools[*]}" >"$work/tools.log" 2>&1 ||
    { tail -n 20 "$work/tools.log"; exit 1; }
  chroot "$root" apt-get clean
  umount_root
  tar -C "$root" -czf "$tarball.part" . && mv "$tarball.part" "$tarball"
else
  echo "== fresh root from $tarball"
  mkdir -p "$root"
  tar -C "$root" -xzf "$tarball"
fi

echo "== installing $(basename "$deb") (its dependencies from $mirror)"
mount_root
cp "$deb" "$root/tmp/"
mkdir -p "$root/tmp/medley"
cp -r examples scripts "$root/tmp/medley/"
timeout 1800 chroot "$root" sh -c "apt-get update -q && DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -q --no-install-recommends /tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
  { tail -n 20 "$work/install.log"; exit 1; }

# Installing registers nothing.
if chroot "$root" sh -c 'test -e /root/.config/medley/registry'; then
  echo "deb-chroot-test: installing the package wrote a registry file" >&2
  exit 1
fi

echo "== building and running examples/host in the root"
timeout 900 chroot "$root" env HOME=/root MEDLEY_PREFIX=/usr /tmp/medley/scripts/example-host.sh

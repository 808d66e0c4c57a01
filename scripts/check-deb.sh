#!/usr/bin/env bash
# Builds the Debian package and installs it with apt into a fresh Debian 12 root, then runs the
# installed velmora-cli against the virtual gateway. Needs root and debootstrap (not part of
# setup-deps.sh: this is a release check, not a test the suite runs).
#   scripts/check-deb.sh [BUILD_DIR] [ROOT_DIR]
# BUILD_DIR defaults to build-deb (configured Release without tests); an existing build folder
# may be given instead. ROOT_DIR (default /tmp/velmora-bookworm) is made once and reused.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-deb}"
chroot_dir="${2:-/tmp/velmora-bookworm}"
mirror="${DEBIAN_MIRROR:-http://deb.debian.org/debian}"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
fi
cmake --build "$build" --target velmora velmora-cli velmora-sim
rm -f "$build"/velmora_*.deb
(cd "$build" && cpack -G DEB)
deb="$(ls "$build"/velmora_*.deb)"
echo "== $deb"
dpkg-deb --field "$deb" Package Version Depends

if [ ! -x "$chroot_dir/usr/bin/apt-get" ]; then
  command -v debootstrap >/dev/null || { echo "debootstrap is missing: apt-get install debootstrap" >&2; exit 2; }
  debootstrap --variant=minbase bookworm "$chroot_dir" "$mirror"
fi
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
cp "$deb" "$chroot_dir/tmp/"
name="$(basename "$deb")"
mount -t proc proc "$chroot_dir/proc"
trap 'umount "$chroot_dir/proc"' EXIT
chroot "$chroot_dir" /bin/sh -ec "
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/$name >/dev/null
  test -f /usr/share/applications/velmora.desktop
  test -f /usr/share/icons/hicolor/scalable/apps/velmora.svg
  test -f /usr/share/doc/velmora/README.md
  command -v velmora velmora-sim >/dev/null
  /usr/bin/velmora-cli --virtual ATmega8 signature
"
echo "== installed and ran in $chroot_dir"

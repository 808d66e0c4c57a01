#!/usr/bin/env bash
# Installs everything the build, the program and the tests need, from Debian's packages.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

packages=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev qt6-qpa-plugins
  libjpeg62-turbo-dev
  # ELF files from avr-gcc are read through elfutils' libelf
  libelf-dev
  # the connection pictures are drawn at build time with this font
  fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  unrtf xvfb xauth
  # the AVR toolchain and srecord make and check real image files in the tests
  gcc-avr binutils-avr avr-libc srecord
  # libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi

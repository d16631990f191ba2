#!/usr/bin/env bash
# Makes a fresh Debian 12 machine ready to build, run and test Velmora.
# Idempotent and quiet when everything is already there. Needs root.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest
  g++-mingw-w64-i686-posix
  wine wine32:i386
  xvfb xauth fonts-wqy-microhei imagemagick xdotool
  python3 file binutils-mingw-w64-i686
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

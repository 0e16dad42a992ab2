#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages; does
# nothing when everything is there already. The product's e2e runs the
# 32-bit program under 32-bit Wine, which needs Debian's i386 architecture.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xdotool x11-utils x11-xserver-utils xauth x11-xkb-utils imagemagick file python3 zip unzip
)

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
updated=
apt_install() {
  [[ -n $updated ]] || { "${sudo[@]}" apt-get update -qq; updated=1; }
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

# 32-bit Wine, when this kernel runs 32-bit programs at all (x86_64 kernels
# built with IA-32 emulation do). A machine without it falls back to the
# x86_64 build under wine64, and says so (scripts/wine_arch.sh).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
  updated=
fi
if grep -qs ia32_emulation=0 /proc/cmdline; then
  echo "setup: this kernel runs no 32-bit programs (ia32_emulation=0): no 32-bit Wine" >&2
elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  packages+=(wine32:i386)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  apt_install "${missing[@]}"
fi

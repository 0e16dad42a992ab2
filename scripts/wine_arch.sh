#!/usr/bin/env bash
# Prints which Windows build the Wine runs of this machine use: "win32" (the
# product, i686, under 32-bit Wine) when 32-bit Wine is installed and this
# kernel runs it, otherwise "win64" (the x86_64 build under wine64), saying
# why on standard error. With CALMIRANDE_REQUIRE_WIN32=1 the fallback is an
# error instead.
set -euo pipefail
if [[ ! -x /usr/lib/wine/wine ]]; then
  why="32-bit Wine (wine32:i386) is not installed (scripts/setup.sh installs it)"
elif error=$(/usr/lib/wine/wine --version 2>&1 >/dev/null); then
  echo win32
  exit 0
elif [[ $error == *"Exec format error"* ]]; then
  why="this kernel runs no 32-bit programs (Exec format error: it was booted with its IA-32 emulation off)"
else
  why="32-bit Wine does not start: $error"
fi
echo "wine_arch: $why; the e2e falls back to the x86_64 build under wine64" >&2
if [[ ${CALMIRANDE_REQUIRE_WIN32:-} == 1 ]]; then
  echo "wine_arch: CALMIRANDE_REQUIRE_WIN32=1: no fallback" >&2
  exit 1
fi
echo win64

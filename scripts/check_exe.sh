#!/usr/bin/env bash
# Checks the product: a 32-bit GUI executable that imports only system DLLs
# and carries exactly one manifest.
set -euo pipefail
exe=$1
description=$(file -b "$exe")
echo "$exe: $description"
[[ $description == "PE32 executable (GUI) Intel 80386"* ]] || { echo "not a 32-bit GUI executable" >&2; exit 1; }

system='^(kernel32|user32|gdi32|shell32|comctl32|comdlg32|ole32|oleaut32|advapi32|winmm|msvcrt|riched20|uxtheme|shlwapi|version)\.dll$'
status=0
while read -r dll; do
  if [[ ${dll,,} =~ $system ]]; then echo "  imports $dll"; else echo "  imports $dll: not a system DLL" >&2; status=1; fi
done < <(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}')

resources=$(python3 "$(dirname "$0")/pe_resources.py" "$exe")
echo "$resources" | sed 's/^/  resource /'
manifests=$(grep -c '^type 24 ' <<<"$resources" || true)
[[ $manifests -eq 1 ]] || { echo "expected one manifest, found $manifests" >&2; status=1; }
grep -q '^type 24 .*common-controls-6 True asInvoker True' <<<"$resources" || { echo "the manifest lacks Common Controls 6 or asInvoker" >&2; status=1; }
grep -q '^type 14 ' <<<"$resources" || { echo "no icon" >&2; status=1; }
grep -q '^type 16 ' <<<"$resources" || { echo "no version resource" >&2; status=1; }
exit $status

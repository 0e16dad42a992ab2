#!/usr/bin/env bash
# Checks the product: a 32-bit GUI executable that starts on Windows 2000.
# Every imported function must be in scripts/windows2000_imports.txt (each
# listed there with the oldest Windows its documentation names); the PE
# header may ask for no Windows newer than 5.0, and the exe needs no DLL
# beyond the system's. It also carries exactly one manifest, an icon and a
# version resource.
#   scripts/check_exe.sh EXE [--any-arch]   (--any-arch: the x86_64 build,
#                                            checked for its DLLs only, and
#                                            its header against 5.2, the
#                                            first x64 Windows, XP x64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1
any_arch=${2:-}
description=$(file -b "$exe")
echo "$exe: $description"
status=0
problem() { echo "  $*" >&2; status=1; }

if [[ $any_arch == --any-arch ]]; then
  [[ $description == "PE32+ executable (GUI) x86-64"* ]] || problem "not a 64-bit GUI executable"
else
  [[ $description == "PE32 executable (GUI) Intel 80386"* ]] || problem "not a 32-bit GUI executable"
fi

imports=$(python3 "$here/pe_imports.py" "$exe")
read -r _ _ os_version _ subsystem_version _ subsystem < <(grep '^header ' <<<"$imports")
echo "  header: OS version $os_version, subsystem version $subsystem_version, subsystem $subsystem"
ceiling=5.0 oldest="Windows 2000"
[[ $any_arch == --any-arch ]] && ceiling=5.2 oldest="Windows XP x64"
version_above() { awk -v v="$1" -v c="$ceiling" 'BEGIN { split(v, p, "."); split(c, q, "."); exit !(p[1] > q[1] || (p[1] == q[1] && p[2] > q[2])) }'; }
version_above "$os_version" && problem "the header asks for Windows $os_version (at most $ceiling: $oldest)"
version_above "$subsystem_version" && problem "the header's subsystem version is $subsystem_version (at most $ceiling: $oldest)"
[[ $subsystem == 2 ]] || problem "subsystem $subsystem, not the Windows GUI (2)"
grep -q '^delay-import ' <<<"$imports" && problem "delay-loaded imports: $(grep '^delay-import ' <<<"$imports" | head -3 | tr '\n' ' ')"

# DLLs of every Windows from 2000 on, and the functions allowed of them.
system='^(kernel32|user32|gdi32|shell32|comctl32|comdlg32|ole32|oleaut32|advapi32|msvcrt|riched20|shlwapi|version|psapi|winmm)\.dll$'
allowed=$(grep -v '^#' "$here/windows2000_imports.txt" | awk -F'\t' 'NF == 4 && $4 == "yes" { print tolower($1) " " $2 }')
dlls=$(awk '$1 == "import" { print tolower($2) }' <<<"$imports" | sort -u)
for dll in $dlls; do
  if [[ $dll =~ $system ]]; then echo "  imports $dll"; else problem "imports $dll: not a DLL of Windows 2000"; fi
done
if [[ $any_arch != --any-arch ]]; then
  count=0 unlisted=0
  while read -r _ dll function; do
    count=$((count + 1))
    grep -qxF "${dll,,} $function" <<<"$allowed" && continue
    unlisted=$((unlisted + 1))
    problem "imports $dll $function: not in scripts/windows2000_imports.txt (a function Windows 2000 may lack: reach it through GetProcAddress)"
  done < <(grep '^import ' <<<"$imports")
  echo "  $count imported functions, $unlisted of them not in scripts/windows2000_imports.txt"
fi

resources=$(python3 "$here/pe_resources.py" "$exe")
echo "$resources" | sed 's/^/  resource /'
manifests=$(grep -c '^type 24 ' <<<"$resources" || true)
[[ $manifests -eq 1 ]] || problem "expected one manifest, found $manifests"
grep -q '^type 24 .*common-controls-6 True asInvoker True' <<<"$resources" || problem "the manifest lacks Common Controls 6 or asInvoker"
grep -q '^type 14 ' <<<"$resources" || problem "no icon"
grep -q '^type 16 ' <<<"$resources" || problem "no version resource"
((status == 0)) && echo "  the exe is fit for $oldest and later"
exit $status

#!/usr/bin/env bash
# Builds the archive a user downloads: calmirande-<version>.zip with the
# i686 program, a sample list (Listes\Exemple.dat) and LISEZMOI.txt, the
# two texts in the program's own file form (UTF-8 with byte-order mark, CR LF).
# The version is the project's (CMakeLists.txt); the program is build/win32's,
# brought up to date first. The archive is reproducible: its entries carry the date
# of the last commit. Usage: scripts/release.sh [OUT_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out_dir=$(realpath -m "${1:-$root/build}")

version=$(sed -nE 's/^project\(calmirande VERSION ([0-9][0-9.]*)[ )].*/\1/p' "$root/CMakeLists.txt")
[[ -n $version ]] || { echo "release: no project VERSION in CMakeLists.txt" >&2; exit 1; }

exe=$root/build/win32/calmirande.exe
# An up-to-date tree builds nothing; a stale exe would ship old code.
"$root/scripts/build.sh" win32 >&2
# A test build records timings into its working directory: never ship one.
if grep -qs '^CALMIRANDE_INSTRUMENT:BOOL=ON' "$root/build/win32/CMakeCache.txt"; then
  echo "release: build/win32 is an instrumented test build" >&2; exit 1
fi
"$root/scripts/check_exe.sh" "$exe" >/dev/null

stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
zip=$out_dir/calmirande-$version.zip
mkdir -p "$out_dir"
python3 - "$zip" "$exe" "$root/resources/release" "$version" "$stamp" <<'EOF'
import sys, time, zipfile

zip_path, exe, sources, version, stamp = sys.argv[1:]

def windows_text(text):
    """UTF-8 with a byte-order mark, every line ended by CR LF."""
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return b"\xef\xbb\xbf" + "".join(line + "\r\n" for line in lines).encode("utf-8")

with open(f"{sources}/Exemple.tsv", encoding="utf-8") as f:
    sample = windows_text(f.read())
with open(f"{sources}/LISEZMOI.txt", encoding="utf-8") as f:
    readme = windows_text(f.read().replace("@VERSION@", version))
with open(exe, "rb") as f:
    program = f.read()

date = time.gmtime(max(int(stamp), 315532800))[:6]  # zip dates start in 1980
with zipfile.ZipFile(zip_path, "w") as archive:
    for name, data in (("calmirande.exe", program),
                       ("Listes/Exemple.dat", sample),
                       ("LISEZMOI.txt", readme)):
        entry = zipfile.ZipInfo(name, date_time=date)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 0  # made on Windows: no Unix modes to honour
        archive.writestr(entry, data)
EOF
echo "$zip"

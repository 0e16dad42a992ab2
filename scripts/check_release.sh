#!/usr/bin/env bash
# Checks a release archive made by scripts/release.sh: its name carries the
# project's version; it holds exactly calmirande.exe, Listes\Exemple.dat and
# LISEZMOI.txt; the program is a 32-bit GUI executable whose version resource
# is that version; the two texts are UTF-8 with a byte-order mark and CR LF
# line ends; the sample list is one that the editor would have written (a
# lower-case key, a tab and a non-empty text on every line, no key twice).
# Usage: scripts/check_release.sh ZIP
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zip=${1:?usage: check_release.sh ZIP}
version=$(sed -nE 's/^project\(calmirande VERSION ([0-9][0-9.]*)[ )].*/\1/p' "$root/CMakeLists.txt")

python3 - "$zip" "$version" <<'EOF'
import os, re, struct, sys, zipfile

zip_path, version = sys.argv[1:]
faults = []
def fault(text):
    faults.append(text)

if os.path.basename(zip_path) != f"calmirande-{version}.zip":
    fault(f"the archive is named {os.path.basename(zip_path)}, not calmirande-{version}.zip")

archive = zipfile.ZipFile(zip_path)
if archive.testzip() is not None:
    fault(f"damaged entry {archive.testzip()}")
names = sorted(archive.namelist())
expected = sorted(["calmirande.exe", "Listes/Exemple.dat", "LISEZMOI.txt"])
if names != expected:
    fault(f"entries {names}, expected {expected}")

def member(name):
    try:
        return archive.read(name)
    except KeyError:
        return None

def check_pe(data):
    if data[:2] != b"MZ":
        return "no MZ header"
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return "no PE signature"
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    optional = pe + 24
    magic, = struct.unpack_from("<H", data, optional)
    subsystem, = struct.unpack_from("<H", data, optional + 68)
    if machine != 0x14C or magic != 0x10B:
        return f"not PE32 for i386 (machine {machine:#x}, magic {magic:#x})"
    if subsystem != 2:
        return f"subsystem {subsystem}, not the Windows GUI (2)"
    # VS_FIXEDFILEINFO follows the key "VS_VERSION_INFO" at the next 32-bit
    # boundary; its signature alone also turns up by chance in machine code.
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    at = data.find(key)
    if at < 0:
        return "no version resource"
    at = (at + len(key) + 3) & ~3
    if struct.unpack_from("<II", data, at) != (0xFEEF04BD, 0x00010000):
        return "the version resource has no VS_FIXEDFILEINFO"
    high, low = struct.unpack_from("<II", data, at + 8)
    shown = [high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF]
    wanted = [int(part) for part in version.split(".")]
    wanted += [0] * (4 - len(wanted))
    if shown != wanted:
        return f"file version {'.'.join(map(str, shown))}, project version {version}"
    return None

def check_windows_text(name, data):
    """Returns the text's lines, after reporting what is not UTF-8 + BOM + CR LF."""
    if not data.startswith(b"\xef\xbb\xbf"):
        fault(f"{name}: no UTF-8 byte-order mark")
    try:
        text = data.removeprefix(b"\xef\xbb\xbf").decode("utf-8")
    except UnicodeDecodeError as error:
        fault(f"{name}: not UTF-8 ({error})")
        return []
    if not text.endswith("\r\n"):
        fault(f"{name}: the last line has no CR LF")
    lines = text.split("\r\n")[:-1] if text.endswith("\r\n") else text.split("\r\n")
    for number, line in enumerate(lines, 1):
        if "\r" in line or "\n" in line:
            fault(f"{name}: line {number} has a lone CR or LF")
    return lines

exe = member("calmirande.exe")
if exe is not None:
    problem = check_pe(exe)
    if problem:
        fault(f"calmirande.exe: {problem}")

sample = member("Listes/Exemple.dat")
if sample is not None:
    keys = set()
    lines = check_windows_text("Listes/Exemple.dat", sample)
    if not lines:
        fault("Listes/Exemple.dat: no abbreviation")
    for number, line in enumerate(lines, 1):
        key, tab, text = line.partition("\t")
        if not tab or "\t" in text or not key or not text:
            fault(f"Listes/Exemple.dat: line {number} is not a key, one tab and a text")
        elif key != key.lower() or re.search(r"[\s*]", key):
            fault(f"Listes/Exemple.dat: the key {key!r} cannot be typed as an abbreviation")
        elif key in keys:
            fault(f"Listes/Exemple.dat: the key {key!r} comes twice")
        keys.add(key)

readme = member("LISEZMOI.txt")
if readme is not None:
    lines = check_windows_text("LISEZMOI.txt", readme)
    text = "\n".join(lines)
    for needed in (f"Calmirande {version}", "Listes", "Démarrage", "Quitter"):
        if needed not in text:
            fault(f"LISEZMOI.txt: says nothing of {needed!r}")

for text in faults:
    print(f"check_release: {text}", file=sys.stderr)
if faults:
    sys.exit(1)
print(f"{zip_path}: {', '.join(names)}: fine")
EOF

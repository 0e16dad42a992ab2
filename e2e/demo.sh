#!/usr/bin/env bash
# The newcomer's demo: the program itself (calmirande.exe) runs under Wine
# with a sample list, Wine's notepad has the focus, and
# xdotool types "bjr" and a Space as a user would. The program's keyboard
# hook captures the word, its writing-aid strip shows the abbreviation, and
# its worker replaces the word by the text of the list.
#
#   e2e/demo.sh BUILD_DIR [EXE]   (BUILD_DIR: a cross build tree with the
#                                  probe; EXE: the program, BUILD_DIR's own
#                                  by default. An i686 tree runs under
#                                  32-bit Wine, an x86_64 one under wine64.)
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 ]]; then
    echo "usage: $0 BUILD_DIR [EXE]" >&2
    exit 64
fi
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD_DIR=$(realpath "$1")
PROGRAM_EXE=$(realpath "${2:-$BUILD_DIR/calmirande.exe}")
ARTIFACTS="$BUILD_DIR/e2e-artifacts"
mkdir -p "$ARTIFACTS"
case $(file -b "$PROGRAM_EXE") in
    "PE32 executable"*) export E2E_WINE_ARCH=win32 ;;
    *) export E2E_WINE_ARCH=win64 ;;
esac
echo "The program: $PROGRAM_EXE ($(file -b "$PROGRAM_EXE" | cut -d, -f1)), under $E2E_WINE_ARCH Wine"

source "$HERE/wine_env.sh"
source "$HERE/helpers.sh"
PROBE=$(e2e_find_probe "$BUILD_DIR")

# The program's working directory: its lists folder and its preferences
# (line 1 the active list, line 2 the writing aid on).
WORKDIR="$E2E_TMP/demo"
e2e_write_list "$WORKDIR" exemple.dat \
    $'bjr\tBonjour<R>Paul' \
    $'bjx\tBonjour Xavier' \
    $'cdt\tCordialement,<R>' \
    $'fpol\tJe vous prie d\'agréer, (*1), mes sentiments distingués'
printf '\xEF\xBB\xBFexemple.dat\r\n1' >"$WORKDIR/Preferences.txt"
echo "Sample list (Listes/exemple.dat, key TAB text, <R> = line break):"
sed '1s/^\xEF\xBB\xBF//; s/\r$//; s/\t/  ->  /; s/^/    /' "$WORKDIR/Listes/exemple.dat"

show_notepad() {
    local label=$1
    e2e_read_notepad "$E2E_TMP/shown.txt" >/dev/null
    echo "$label:"
    sed 's/^/    | /' "$E2E_TMP/shown.txt"
    echo
    # The same bytes, with CR, LF and spaces visible.
    od -An -c "$E2E_TMP/shown.txt" | sed 's/^/    /'
}

echo "Starting Wine's notepad..."
e2e_start_notepad
e2e_clear_notepad

echo "Starting calmirande.exe in $WORKDIR..."
cp "$PROGRAM_EXE" "$WORKDIR/calmirande.exe"
(cd "$WORKDIR" && exec "$WINE" calmirande.exe) >"$E2E_TMP/program.log" 2>&1 &
PROGRAM_PID=$!
e2e_wait_for 30 "the program's window" e2e_window_exists CalmirandeAbout
e2e_probe wait-idle --class CalmirandeAbout --timeout-ms 10000 >/dev/null
e2e_focus_notepad

printf 'bjr' >"$E2E_TMP/typed.txt"
echo 'Typing "bjr" with xdotool...'
xdotool type --delay 15 bjr
e2e_wait_for 10 "the typed keys in notepad" e2e_notepad_holds "$E2E_TMP/typed.txt"
e2e_wait_for 10 "the writing-aid strip" e2e_window_shown CalmirandeWritingAid
show_notepad "Notepad before the Space"
import -window root "$ARTIFACTS/demo-writing-aid.png"

echo 'Pressing Space: the program replaces the word...'
xdotool key space
printf 'Bonjour\r\nPaul ' >"$E2E_TMP/expected.txt"
if ! e2e_wait_for 10 "the expansion in notepad" e2e_notepad_holds "$E2E_TMP/expected.txt"; then
    show_notepad "Notepad after the Space (NOT the expected text)"
    exit 1
fi
show_notepad "Notepad after the Space"
import -window root "$ARTIFACTS/demo.png"

# "Quitter" from the tray menu: command 7 at the About window.
e2e_probe command --class CalmirandeAbout --id 7 >/dev/null 2>&1 || true
wait "$PROGRAM_PID" 2>/dev/null || true
echo "Screenshots: $ARTIFACTS/demo-writing-aid.png (the strip, \"bjr\" in red), $ARTIFACTS/demo.png (after)"

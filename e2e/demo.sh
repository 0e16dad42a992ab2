#!/usr/bin/env bash
# The newcomer's demo: Wine's notepad, the abbreviation "bjr" typed with the
# keyboard (xdotool), then the program's own list loading, planning and
# delivery (through the test probe) replace it by its text from a sample list.
#
#   e2e/demo.sh BUILD_DIR     (BUILD_DIR: the x86_64 cross build tree)
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 64
fi
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD_DIR=$(realpath "$1")
ARTIFACTS="$BUILD_DIR/e2e-artifacts"
mkdir -p "$ARTIFACTS"

source "$HERE/wine_env.sh"
source "$HERE/helpers.sh"
PROBE=$(e2e_find_probe "$BUILD_DIR")

WORKDIR="$E2E_TMP/demo"
e2e_write_list "$WORKDIR" exemple.dat \
    $'bjr\tBonjour<R>Paul' \
    $'cdt\tCordialement,<R>' \
    $'fpol\tJe vous prie d\'agréer, (*1), mes sentiments distingués'
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

printf 'bjr ' >"$E2E_TMP/typed.txt"
echo 'Typing "bjr" then Space with xdotool...'
xdotool type --delay 15 bjr
xdotool key space
e2e_wait_for 10 "the typed keys in notepad" e2e_notepad_holds "$E2E_TMP/typed.txt"
show_notepad "Notepad before the expansion"

echo 'Delivering the expansion of "bjr" (trigger: Space) to the foreground window...'
e2e_probe deliver --workdir "$(e2e_winpath "$WORKDIR")" --list exemple.dat --word bjr --trigger space \
    --plan-out "$(e2e_winpath "$ARTIFACTS/demo.plan")"
printf 'Bonjour\r\nPaul ' >"$E2E_TMP/expected.txt"
if ! e2e_wait_for 10 "the expansion in notepad" e2e_notepad_holds "$E2E_TMP/expected.txt"; then
    show_notepad "Notepad after the expansion (NOT the expected text)"
    exit 1
fi
show_notepad "Notepad after the expansion"

import -window root "$ARTIFACTS/demo.png"
echo "Posted messages: $ARTIFACTS/demo.plan"
echo "Screenshot:      $ARTIFACTS/demo.png"

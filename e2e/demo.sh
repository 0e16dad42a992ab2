#!/usr/bin/env bash
# The newcomer's demo: the program itself (calmirande.exe) runs under Wine
# with a sample list, Wine's notepad has the focus, and
# xdotool types "bjr" and a Space as a user would. The program's keyboard
# hook captures the word, its writing-aid strip shows the abbreviation, and
# its worker replaces the word by the text of the list.
#
#
# It then shows the program's windows one by one and saves the README's
# screenshots in BUILD_DIR/e2e-artifacts/screenshots/ (and, with
# DEMO_IMAGES_OUT=DIR, copies them there: docs/images for the README). They
# are taken as a Windows user sees the windows: Wine draws the frames itself
# (its X11 driver's "Managed" off), Wine's Tahoma and Marlett are in the
# prefix's Fonts folder, and Arial, Times New Roman and Courier New are the
# Liberation fonts of the same metrics (docs/wine.md says why).
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
SHOTS="$ARTIFACTS/screenshots"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

# The look of a Windows desktop, set before any window is made: frames drawn
# by Wine as Windows draws them, the desktop's classic blue, and fonts of
# Windows' metrics. Debian's Wine does not load the TrueType fonts of its
# fonts-wine package from /usr/share/wine/fonts (the caption buttons then
# show "0 1 r" instead of Marlett's glyphs): they go into the prefix's Fonts
# folder, where Wine finds them. Without the packages the demo still runs,
# with Wine's fallback fonts.
demo_windows_look() {
    local font missing=()
    for font in /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma.ttf \
        /usr/share/wine/fonts/tahomabd.ttf; do
        if [[ -f $font ]]; then cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"; else missing+=(fonts-wine); fi
    done
    [[ -f /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf ]] || missing+=(fonts-liberation)
    if ((${#missing[@]})); then
        echo "Screenshots without the fonts of Windows' metrics (missing: $(printf '%s\n' "${missing[@]}" | sort -u | tr '\n' ' '))"
    fi
    cat >"$E2E_TMP/look.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"
REG
    "$WINE" regedit /S "$(e2e_winpath "$E2E_TMP/look.reg")"
    xsetroot -solid '#3A6EA5' 2>/dev/null || true
}
demo_windows_look

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
# The strip at the top of the screen over notepad, and the tray icon in
# Wine's tray window.
import -window root -crop 1040x260+0+0 +repage "$SHOTS/writing-aid.png"

echo 'Pressing Space: the program replaces the word...'
xdotool key space
printf 'Bonjour\r\nPaul ' >"$E2E_TMP/expected.txt"
if ! e2e_wait_for 10 "the expansion in notepad" e2e_notepad_holds "$E2E_TMP/expected.txt"; then
    show_notepad "Notepad after the Space (NOT the expected text)"
    exit 1
fi
show_notepad "Notepad after the Space"
import -window root "$ARTIFACTS/demo.png"

# The README's screenshots: each window whole, frame included, as the
# screen shows it.
demo_shot() {
    local left top right bottom
    sleep 0.7
    read -r _ left top right bottom < <(e2e_probe window --class "$1" 2>/dev/null | tr -d '\r' | grep '^rect ') ||
        { echo "No $1 window for $2" >&2; return 1; }
    import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$SHOTS/$2"
}
demo_gone() { ! e2e_window_shown "$1"; }
demo_click_at() {
    local x y
    read -r x y < <(e2e_probe point --class "$1" --id "$2" ${3:+--row "$3"} | tr -d '\r') || return 1
    xdotool mousemove "$x" "$y" click 1
}
# The tray icon's callback (WM_APP + 2) with a right press, and Escape.
demo_tray_menu() {
    xdotool mousemove 880 330
    e2e_probe post --class CalmirandeAbout --message 32770 --lparam 516 >/dev/null
    e2e_wait_for 10 "the tray menu" e2e_window_shown '#32768' && demo_shot '#32768' tray-menu.png
    e2e_probe post --class CalmirandeAbout --message 256 --wparam 27 >/dev/null
    e2e_wait_for 10 "the tray menu closed" demo_gone '#32768'
}
demo_windows() {
    echo "Screenshots of the program's windows..."
    demo_tray_menu || return 1
    # "Editer les Abréviations", the row bjr picked.
    e2e_probe command --class CalmirandeAbout --id 4 >/dev/null
    e2e_wait_for 10 "the editor" e2e_window_shown CalmirandeEditor || return 1
    e2e_probe activate --class CalmirandeEditor >/dev/null 2>&1 || true
    sleep 0.5
    demo_click_at CalmirandeEditor 109 0 || return 1
    demo_shot CalmirandeEditor editor.png
    # The magnifier opens "Editeur" with the replacement text.
    demo_click_at CalmirandeEditor 113
    e2e_wait_for 10 "Editeur" e2e_window_shown CalmirandeTextEditor && demo_shot CalmirandeTextEditor text-editor.png
    e2e_probe close-window --class CalmirandeTextEditor >/dev/null 2>&1 || true
    e2e_wait_for 10 "Editeur closed" demo_gone 'CalmirandeTextEditor'
    # "Créer une Liste", a name typed, then "Annuler".
    e2e_probe click --class CalmirandeEditor --id 107 >/dev/null
    if e2e_wait_for 10 "Nouvelle Liste" e2e_window_shown CalmirandeNewList; then
        demo_click_at CalmirandeNewList 100 && xdotool type --delay 40 Travail
        demo_shot CalmirandeNewList new-list.png
        e2e_probe click --class CalmirandeNewList --id 2 >/dev/null
        e2e_wait_for 10 "Nouvelle Liste closed" demo_gone 'CalmirandeNewList'
    fi
    e2e_probe click --class CalmirandeEditor --id 117 >/dev/null
    e2e_wait_for 10 "the editor hidden" demo_gone 'CalmirandeEditor'
    # "A propos de ...", both tabs.
    e2e_probe command --class CalmirandeAbout --id 2 >/dev/null
    e2e_wait_for 10 "the About window" e2e_window_shown CalmirandeAbout || return 1
    xdotool mousemove 1270 790  # the links blue, not red under the pointer
    e2e_probe tab-focus --class CalmirandeAbout --index 0 >/dev/null
    demo_shot CalmirandeAbout about-informations.png
    e2e_probe tab-focus --class CalmirandeAbout --index 1 >/dev/null
    demo_shot CalmirandeAbout about-licence.png
    e2e_probe tab-focus --class CalmirandeAbout --index 0 >/dev/null
    e2e_probe click --class CalmirandeAbout --id 300 >/dev/null
    # "Aide".
    e2e_probe command --class CalmirandeAbout --id 3 >/dev/null
    e2e_wait_for 10 "the Help window" e2e_window_shown CalmirandeHelp && demo_shot CalmirandeHelp help.png
    e2e_probe close-window --class CalmirandeHelp >/dev/null 2>&1 || true
}
demo_windows || echo "Some screenshots could not be taken" >&2

# "Quitter" from the tray menu: command 7 at the About window.
e2e_probe command --class CalmirandeAbout --id 7 >/dev/null 2>&1 || true
wait "$PROGRAM_PID" 2>/dev/null || true
echo "Screenshots: $ARTIFACTS/demo-writing-aid.png (the strip, \"bjr\" in red), $ARTIFACTS/demo.png (after)"
echo "The README's screenshots: $SHOTS/"
ls "$SHOTS" | sed 's/^/    /'
if [[ -n ${DEMO_IMAGES_OUT:-} ]]; then
    mkdir -p "$DEMO_IMAGES_OUT"
    cp "$SHOTS"/*.png "$DEMO_IMAGES_OUT/"
    echo "Copied to $DEMO_IMAGES_OUT/"
fi

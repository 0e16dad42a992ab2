#!/usr/bin/env bash
# End-to-end tests under Wine: the real program, and the real list loading,
# planning and delivery code (through calmirande_e2e_probe.exe), against
# Wine's notepad, a key pad and a recording window.
#
#   e2e/run.sh BUILD_DIR      (BUILD_DIR: a cross build tree, i686 or x86_64)
#
# An i686 tree (the product's architecture) runs under 32-bit Wine in a
# 32-bit prefix, an x86_64 tree under wine64. E2E_PRODUCT_EXE names the
# program that the shell and editor cases start (default: BUILD_DIR's own),
# so that they can run the shipped exe while the program cases, which read
# the timings of an instrumented build, run BUILD_DIR's.
#
# Prints PASS/FAIL per case and a closing "N passed, N failed" line; exits
# non-zero on any failure. Artefacts (plans, recorded sequences, notepad
# contents, screenshots) go to BUILD_DIR/e2e-artifacts/.
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 64
fi
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD_DIR=$(realpath "$1")
ARTIFACTS="$BUILD_DIR/e2e-artifacts"
RUN_START=$EPOCHREALTIME

# Nothing to do when everything is there; on a fresh machine this brings
# Wine, Xvfb, xdotool and the rest.
"$HERE/../scripts/setup.sh"
case $(file -b "$BUILD_DIR/calmirande.exe" 2>/dev/null) in
    "PE32 executable"*) E2E_WINE_ARCH=win32 ;;
    "PE32+ executable"*) E2E_WINE_ARCH=win64 ;;
    *) echo "e2e: $BUILD_DIR/calmirande.exe is missing or no Windows program (build it first: scripts/build.sh win32 win32-test, or win64)" >&2; exit 2 ;;
esac
if [[ $E2E_WINE_ARCH == win32 && $("$HERE/../scripts/wine_arch.sh" 2>/dev/null) != win32 ]]; then
    echo "e2e: $BUILD_DIR holds the i686 build, and this machine cannot run 32-bit Wine; run the x86_64 build instead" >&2
    exit 2
fi
export E2E_WINE_ARCH
PRODUCT_EXE=$(realpath "${E2E_PRODUCT_EXE:-$BUILD_DIR/calmirande.exe}")
echo "e2e: $(file -b "$BUILD_DIR/calmirande.exe" | cut -d, -f1) under $E2E_WINE_ARCH Wine; shell and editor cases run $PRODUCT_EXE ($(file -b "$PRODUCT_EXE" | cut -d, -f1))"
source "$HERE/wine_env.sh"
source "$HERE/helpers.sh"
PROBE=$(e2e_find_probe "$BUILD_DIR")

rm -rf "$ARTIFACTS"
mkdir -p "$ARTIFACTS"

PASSED=0
FAILED=0
FAILED_NAMES=()

pass() {
    PASSED=$((PASSED + 1))
    printf 'PASS %s\n' "$1"
}

fail() {
    FAILED=$((FAILED + 1))
    FAILED_NAMES+=("$1")
    printf 'FAIL %s: %s\n' "$1" "$2"
    import -window root "$ARTIFACTS/$1.failure.png" 2>/dev/null || true
}

# Shows both sides of a byte comparison in the log.
show_bytes() {
    local label=$1 file=$2
    printf '  %s:\n' "$label"
    od -An -c "$file" | sed 's/^/    /'
}

WORKDIR="$E2E_TMP/work"
LIST=e2e.dat
# Stored texts use the list file notation: <R> is a line break.
e2e_write_list "$WORKDIR" "$LIST" \
    $'bjr\tBonjour<R>Paul' \
    $'fpol\tJe vous prie d\'agréer, (*1), mes sentiments distingués' \
    $'cher\tCher (*1), à bientôt' \
    $'amt\tAmicalement-'
cp "$WORKDIR/Listes/$LIST" "$ARTIFACTS/$LIST"

# deliver NAME WORD TRIGGER [extra deliver options...]
deliver() {
    local name=$1 word=$2 trigger=$3
    shift 3
    e2e_probe deliver --workdir "$(e2e_winpath "$WORKDIR")" --list "$LIST" --word "$word" \
        --trigger "$trigger" --plan-out "$(e2e_winpath "$ARTIFACTS/$name.plan")" "$@"
}

xdotool_key_of() {
    case $1 in
        space) echo space ;;
        tab) echo Tab ;;
        enter) echo Return ;;
    esac
}

# notepad_case NAME BEFORE WORD TRIGGER EXPECTED [THEN_TYPE EXPECTED_THEN]
# Types BEFORE, WORD and the trigger key into notepad with xdotool (what the
# keyboard hook sees go by), delivers the expansion of WORD, and compares
# notepad's text byte for byte with EXPECTED. With THEN_TYPE, types it after
# the expansion and compares again (caret placement).
notepad_case() {
    local name=$1 before=$2 word=$3 trigger=$4 expected=$5
    local then_type=${6:-} expected_then=${7:-}
    local typed_file="$E2E_TMP/$name.typed" expected_file="$E2E_TMP/$name.expected"
    local trigger_char
    case $trigger in space) trigger_char=' ' ;; tab) trigger_char=$'\t' ;; enter) trigger_char=$'\r\n' ;; esac
    printf '%s' "$before$word$trigger_char" >"$typed_file"
    printf '%s' "$expected" >"$expected_file"

    e2e_clear_notepad || { fail "$name" "could not empty notepad"; return; }
    xdotool type --delay 15 -- "$before$word"
    xdotool key "$(xdotool_key_of "$trigger")"
    # Posted messages go before pending keyboard input: deliver only once
    # notepad has taken every typed key, as the hook would see them.
    if ! e2e_wait_for 10 "typed text in notepad" e2e_notepad_holds "$typed_file"; then
        show_bytes "notepad" "$E2E_TMP/notepad.txt"
        fail "$name" "notepad did not get the typed keys"
        return
    fi
    local rc=0
    deliver "$name" "$word" "$trigger" >"$ARTIFACTS/$name.deliver.log" 2>&1 || rc=$?
    if [[ $rc -ne 0 ]]; then
        fail "$name" "deliver exited $rc ($(cat "$ARTIFACTS/$name.deliver.log"))"
        return
    fi
    if ! e2e_wait_for 10 "expansion in notepad" e2e_notepad_holds "$expected_file"; then
        cp "$E2E_TMP/notepad.txt" "$ARTIFACTS/$name.notepad.txt"
        show_bytes "expected" "$expected_file"
        show_bytes "notepad" "$E2E_TMP/notepad.txt"
        fail "$name" "notepad's text differs from the expected expansion"
        return
    fi
    if [[ -n "$then_type" ]]; then
        printf '%s' "$expected_then" >"$expected_file"
        xdotool type --delay 15 -- "$then_type"
        if ! e2e_wait_for 10 "text typed at the caret" e2e_notepad_holds "$expected_file"; then
            cp "$E2E_TMP/notepad.txt" "$ARTIFACTS/$name.notepad.txt"
            show_bytes "expected" "$expected_file"
            show_bytes "notepad" "$E2E_TMP/notepad.txt"
            fail "$name" "text typed after the expansion is not at the caret"
            return
        fi
    fi
    cp "$E2E_TMP/notepad.txt" "$ARTIFACTS/$name.notepad.txt"
    pass "$name"
}

# An unknown word: exit 3, nothing posted, notepad keeps what was typed.
notepad_unknown_case() {
    local name=$1 word=$2
    local typed_file="$E2E_TMP/$name.typed"
    printf '%s ' "$word" >"$typed_file"
    e2e_clear_notepad || { fail "$name" "could not empty notepad"; return; }
    xdotool type --delay 15 -- "$word "
    e2e_wait_for 10 "typed text in notepad" e2e_notepad_holds "$typed_file" ||
        { fail "$name" "notepad did not get the typed keys"; return; }
    local rc=0
    deliver "$name" "$word" space >"$ARTIFACTS/$name.deliver.log" 2>&1 || rc=$?
    if [[ $rc -ne 3 ]]; then
        fail "$name" "deliver exited $rc, expected 3 (unknown word)"
        return
    fi
    # Nothing was posted, so there is no later state to wait for: the
    # probe has exited, a second read after a round trip through notepad's
    # queue (WM_GETTEXT is sent) sees anything it would have posted.
    if ! e2e_notepad_holds "$typed_file" || ! e2e_notepad_holds "$typed_file"; then
        fail "$name" "notepad changed although the word is unknown"
        return
    fi
    pass "$name"
}

# A list that cannot be read: exit 2 and the program's own message, accents
# intact, naming the file.
missing_list_case() {
    local name=list-missing rc=0
    e2e_probe deliver --workdir "$(e2e_winpath "$WORKDIR")" --list absent.dat --word bjr --trigger space \
        >"$ARTIFACTS/$name.deliver.log" 2>&1 || rc=$?
    if [[ $rc -ne 2 ]]; then
        fail "$name" "deliver exited $rc, expected 2 (load failure)"
        return
    fi
    if ! grep -qF "Impossible de charger les abréviations du fichier: absent.dat" "$ARTIFACTS/$name.deliver.log"; then
        sed 's/^/    /' "$ARTIFACTS/$name.deliver.log"
        fail "$name" "the load failure message is missing or garbled"
        return
    fi
    pass "$name"
}

# What a target with a standard message loop is dispatched for a plan: each
# key-down of Backspace, Tab, Enter or Space is followed by the character its
# TranslateMessage makes of it (Left makes none). Only when that character
# comes right behind its key-down, before the next posted message, is the
# order what the plan meant.
translated_plan() {
    awk '{ print } $1 == "KEYDOWN" && ($2 == "8" || $2 == "9" || $2 == "D" || $2 == "20") { print "CHAR " $2 }' "$1"
}

# recorder_case NAME WORD TRIGGER [record options...]
# Delivers into the recording window and compares the recorded WM_KEYDOWN /
# WM_CHAR sequence line for line with the planned one, translated.
recorder_case() {
    local name=$1 word=$2 trigger=$3
    shift 3
    local recorded="$ARTIFACTS/$name.recorded"
    if ! e2e_start_recorder "$recorded" --idle-ms 500 "$@"; then
        fail "$name" "the recorder did not become the foreground window"
        return
    fi
    local rc=0
    deliver "$name" "$word" "$trigger" >"$ARTIFACTS/$name.deliver.log" 2>&1 || rc=$?
    if [[ $rc -ne 0 ]]; then
        fail "$name" "deliver exited $rc"
        e2e_probe foreground >&2 || true
        return
    fi
    if ! e2e_wait_recorder "$recorded"; then
        fail "$name" "no recorded sequence"
        return
    fi
    translated_plan "$ARTIFACTS/$name.plan" >"$ARTIFACTS/$name.expected"
    if ! diff -u "$ARTIFACTS/$name.expected" "$recorded" >"$ARTIFACTS/$name.diff"; then
        sed 's/^/    /' "$ARTIFACTS/$name.diff"
        fail "$name" "recorded sequence differs from the translated plan"
        return
    fi
    pass "$name"
}

# Control for the lagging-target cases: the same plan posted at the plain
# pace, without waiting for the target after each message. A key-down
# becomes its character only when the target translates it, and
# TranslateMessage queues that character behind the characters already
# posted. With the first message stalled, the recorder must see a Backspace's
# character after the first character of the text; if it did not, the stall
# cases would prove nothing about ordering.
recorder_reorder_control() {
    local name=recorder-stall-no-barrier-control
    local recorded="$ARTIFACTS/$name.recorded"
    if ! e2e_start_recorder "$recorded" --idle-ms 500 --stall-first-ms 40; then
        fail "$name" "the recorder did not become the foreground window"
        return
    fi
    local rc=0
    deliver "$name" bjr space --barrier off >"$ARTIFACTS/$name.deliver.log" 2>&1 || rc=$?
    if [[ $rc -ne 0 ]]; then
        fail "$name" "deliver exited $rc"
        return
    fi
    e2e_wait_recorder "$recorded" || { fail "$name" "no recorded sequence"; return; }
    # 42 is the 'B' of "Bonjour".
    if ! awk '/^CHAR 42$/ { seen = 1 } seen && /^CHAR 8$/ { late = 1 } END { exit !late }' "$recorded"; then
        fail "$name" "without the barrier the Backspaces were not overtaken: the stall does not exercise ordering"
        return
    fi
    pass "$name"
}

e2e_log "probe: $PROBE"
missing_list_case
e2e_log "starting notepad"
NOTEPAD_T0=$EPOCHREALTIME
e2e_start_notepad
e2e_log "notepad ready in $(awk -v a="$NOTEPAD_T0" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.1f", b-a}')s"

# E2E_ONLY="probe program shell smoke editor" (any of them) runs only those groups
# of cases (and what they need); unset, all of them.
selected() { [[ -z ${E2E_ONLY:-} || " $E2E_ONLY " == *" $1 "* ]]; }
if selected probe; then
#            name                 before    word              trigger  expected
notepad_case notepad-line-break   ''        bjr               space    $'Bonjour\r\nPaul '
notepad_case notepad-capitals     ''        BJR               space    $'Bonjour\r\nPaul '
notepad_case notepad-after-text   'Salut '  bjr               space    $'Salut Bonjour\r\nPaul '
notepad_case notepad-tab          ''        bjr               tab      $'Bonjour\r\nPaul\t'
notepad_case notepad-enter        ''        bjr               enter    $'Bonjour\r\nPaul\r\n'
notepad_case notepad-parameter    ''        'fpol*Monsieur*'  space    "Je vous prie d'agréer, Monsieur, mes sentiments distingués "
notepad_case notepad-no-trailer   ''        amt               space    'Amicalement'
notepad_case notepad-caret        ''        cher              space    'Cher , à bientôt' \
                                  Paul      'Cher Paul, à bientôt'
notepad_unknown_case notepad-unknown-word xyz
import -window root "$ARTIFACTS/notepad.png"

# The recorder takes the foreground from notepad, which stays open behind.
recorder_case recorder-line-break       bjr              space
recorder_case recorder-stall            bjr              space  --stall-first-ms 40
recorder_case recorder-stall-caret      cher             space  --stall-first-ms 40
recorder_case recorder-stall-parameter  'fpol*Monsieur*' enter  --stall-first-ms 40
recorder_case recorder-stall-tab        BJR              tab    --stall-first-ms 40
recorder_case recorder-lag-6ms          bjr              enter  --stall-first-ms 40 --lag-ms 6
recorder_case recorder-lag-12ms-caret   cher             space  --stall-first-ms 40 --lag-ms 12
recorder_reorder_control
fi

# The program itself, with its own hooks, in front of the same notepad.
source "$HERE/program.sh"
selected program && program_cases

# The program from its tray: first start, second instance, About, Help, menu.
source "$HERE/shell.sh"
# From here on, the program as shipped (E2E_PRODUCT_EXE).
INSTRUMENTED_EXE=$PROGRAM_EXE
PROGRAM_EXE=$PRODUCT_EXE
selected shell && shell_cases
# A short run of the program: it starts with a list, expands in notepad and
# quits (the second build's smoke run).
if selected smoke; then
    PROGRAM_TARGET=notepad
    e2e_focus_notepad || true
    shell_old_windows_case smoke ''
fi

# The abbreviation editor, as a user drives it.
source "$HERE/editor.sh"
selected editor && editor_cases

# The user's lists kept: other tools' encodings, backups, no trap, session end.
source "$HERE/lists.sh"
selected lists && lists_cases

# The keyboard in About, Help and Editeur.
source "$HERE/windows.sh"
selected windows && windows_cases

RUN_SECONDS=$(awk -v a="$RUN_START" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.1f", b-a}')
echo "e2e: wineboot ${E2E_WINEBOOT_SECONDS}s, whole run ${RUN_SECONDS}s; artefacts in $ARTIFACTS"
if ((FAILED)); then
    echo "e2e: failed: ${FAILED_NAMES[*]}"
fi
if ((${#XFAILED_NAMES[@]})); then
    echo "e2e: failing because of Wine, not counted: ${XFAILED_NAMES[*]}"
fi
echo "$PASSED passed, $FAILED failed"
((FAILED == 0))

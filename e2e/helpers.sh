# Sourced after wine_env.sh: the probe, notepad and the recorder as shell
# functions shared by run.sh and demo.sh. Every wait polls a condition.
#
# Needs: PROBE (path of calmirande_e2e_probe.exe), E2E_TMP.

# Windows path of a Unix path (Wine maps Z: to /). Avoids a winepath process.
e2e_winpath() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}

e2e_probe() {
    "$WINE" "$PROBE" "$@"
}

# Finds the exe in a build tree (Ninja / Makefiles put it under e2e/).
e2e_find_probe() {
    local build_dir=$1 candidate
    for candidate in "$build_dir/e2e/calmirande_e2e_probe.exe" "$build_dir/calmirande_e2e_probe.exe"; do
        if [[ -f "$candidate" ]]; then
            realpath "$candidate"
            return 0
        fi
    done
    e2e_log "calmirande_e2e_probe.exe not found under $build_dir (build the x86_64 tree first)"
    return 1
}

# Writes a list file the way the program saves one: UTF-8 with a byte-order
# mark, key TAB stored text, CR LF. Rows come as "key<TAB>stored" arguments.
e2e_write_list() {
    local workdir=$1 name=$2 row
    shift 2
    mkdir -p "$workdir/Listes"
    {
        printf '\xEF\xBB\xBF'
        for row in "$@"; do printf '%s\r\n' "$row"; done
    } >"$workdir/Listes/$name"
}

# ---------------------------------------------------------------- notepad

E2E_NOTEPAD_XID=

e2e_notepad_xid() {
    xdotool search --onlyvisible --name 'Notepad$' 2>/dev/null | head -n 1
}

# e2e_has_focus CLASS FOCUS_PATTERN: the foreground window is of CLASS and
# its focused control's class matches FOCUS_PATTERN (an extended regex).
e2e_has_focus() {
    local state
    state=$(e2e_probe foreground) || return 1
    grep -q "^foreground: $1 " <<<"$state" && grep -Eq "^focus: $2" <<<"$state"
}

# e2e_focus_target XID CLASS FOCUS_PATTERN WHAT: the X focus on the window,
# and the target in the foreground with its control focused. After the
# window that had the foreground was killed, the X focus alone does not
# activate a window under Wine; SetForegroundWindow does.
e2e_focus_target() {
    xdotool windowfocus --sync "$1" >/dev/null 2>&1 || true
    e2e_has_focus "$2" "$3" || e2e_probe activate --class "$2" >/dev/null 2>&1 || true
    e2e_wait_for 10 "$4 in the foreground with its control focused" e2e_has_focus "$2" "$3"
}

e2e_notepad_has_focus() { e2e_has_focus Notepad 'Edit '; }

e2e_start_notepad() {
    "$WINE" notepad >"$E2E_TMP/notepad.log" 2>&1 &
    e2e_wait_for 60 "notepad's window" e2e__store_notepad_xid || return 1
    e2e_focus_notepad
}

e2e__store_notepad_xid() {
    E2E_NOTEPAD_XID=$(e2e_notepad_xid)
    [[ -n "$E2E_NOTEPAD_XID" ]]
}

# X keyboard focus on notepad (there is no window manager: Wine activates the
# window that receives the X focus) and Wine's focus on its Edit control.
e2e_focus_notepad() { e2e_focus_target "$E2E_NOTEPAD_XID" Notepad 'Edit ' notepad; }

# e2e_notepad_holds FILE: notepad's text is byte for byte FILE's content.
# The text read last is left in $E2E_TMP/notepad.txt.
e2e_notepad_holds() {
    e2e__read_retried read-notepad --out "$(e2e_winpath "$E2E_TMP/notepad.txt")" &&
        cmp -s "$E2E_TMP/notepad.txt" "$1"
}

# e2e__read_retried PROBE-ARGS...: a probe read, tried again twice when the
# probe itself fails (a target busy past its message timeout), so that a
# failed read is not taken for a text that differs.
e2e__read_retried() {
    local try
    for try in 1 2 3; do
        e2e_probe "$@" >/dev/null && return 0
        sleep 0.2
    done
    return 1
}

e2e_read_notepad() {
    e2e_probe read-notepad --out "$(e2e_winpath "$1")"
}

# Empties notepad with the keyboard, as a user would.
e2e_clear_notepad() {
    : >"$E2E_TMP/empty.txt"
    e2e_focus_notepad
    xdotool key --clearmodifiers ctrl+a Delete
    e2e_wait_for 10 "notepad emptied" e2e_notepad_holds "$E2E_TMP/empty.txt"
}

# ---------------------------------------------------------------- recorder

E2E_RECORDER_PID=

# e2e_start_recorder OUT_FILE [extra record options...]
# Returns once the recorder is the foreground window with its input focused.
e2e_start_recorder() {
    local out=$1
    shift
    local ready="$E2E_TMP/recorder.ready"
    rm -f "$out" "$ready"
    e2e_probe record --out "$(e2e_winpath "$out")" --ready "$(e2e_winpath "$ready")" "$@" \
        >"$E2E_TMP/recorder.log" 2>&1 &
    E2E_RECORDER_PID=$!
    e2e_wait_for 30 "recorder window in the foreground" test -e "$ready"
}

# Waits for the recorder to write its sequence and exit.
e2e_wait_recorder() {
    local out=$1
    e2e_wait_for 30 "recorded sequence in $out" test -e "$out" || return 1
    wait "$E2E_RECORDER_PID" 2>/dev/null || true
    E2E_RECORDER_PID=
}

# e2e_window_exists CLASS: a top-level window of that class exists, shown or
# hidden (the probe answers 0 for shown, 6 for hidden).
e2e_window_exists() {
    local rc=0
    e2e_probe window --class "$1" >/dev/null 2>&1 || rc=$?
    [[ $rc -eq 0 || $rc -eq 6 ]]
}

# e2e_window_shown CLASS: such a window exists and is visible.
e2e_window_shown() { e2e_probe window --class "$1" >/dev/null 2>&1; }

# ---------------------------------------------------------------- key pad

# A target of the other kind: acts on key presses as browsers do (the
# probe's keypad). Its title is how xdotool finds its X window.
KEYPAD_CLASS=CalmirandeE2eKeyPad
E2E_KEYPAD_PID=
E2E_KEYPAD_XID=

e2e_keypad_has_focus() { e2e_has_focus "$KEYPAD_CLASS" "${KEYPAD_CLASS}Input "; }

e2e__store_keypad_xid() {
    E2E_KEYPAD_XID=$(xdotool search --onlyvisible --name 'Calmirande e2e key pad' 2>/dev/null | head -n 1)
    [[ -n "$E2E_KEYPAD_XID" ]]
}

# e2e_start_keypad [--stall-first-ms N] [--lag-ms L]: returns once it is the
# foreground window with its field focused.
e2e_start_keypad() {
    local ready="$E2E_TMP/keypad.ready"
    rm -f "$ready"
    e2e_probe keypad --ready "$(e2e_winpath "$ready")" "$@" >"$E2E_TMP/keypad.log" 2>&1 &
    E2E_KEYPAD_PID=$!
    e2e_wait_for 30 "the key pad in the foreground" test -e "$ready" || return 1
    e2e_wait_for 10 "the key pad's X window" e2e__store_keypad_xid
}

e2e_focus_keypad() { e2e_focus_target "$E2E_KEYPAD_XID" "$KEYPAD_CLASS" "${KEYPAD_CLASS}Input " "the key pad"; }

e2e_stop_keypad() {
    [[ -n "$E2E_KEYPAD_PID" ]] || return 0
    e2e_probe close-window --class "$KEYPAD_CLASS" >/dev/null 2>&1 || true
    e2e_wait_for 10 "the key pad to end" bash -c "! kill -0 $E2E_KEYPAD_PID 2>/dev/null" || kill "$E2E_KEYPAD_PID" 2>/dev/null
    wait "$E2E_KEYPAD_PID" 2>/dev/null || true
    E2E_KEYPAD_PID=
    E2E_KEYPAD_XID=
}

# e2e_keypad_holds FILE: the key pad's text is byte for byte FILE's content.
# The text read last is left in $E2E_TMP/keypad.txt.
e2e_keypad_holds() {
    e2e__read_retried read-text --class "$KEYPAD_CLASS" --out "$(e2e_winpath "$E2E_TMP/keypad.txt")" &&
        cmp -s "$E2E_TMP/keypad.txt" "$1"
}

# Delete empties the key pad (and makes it stall again on its next key).
e2e_clear_keypad() {
    : >"$E2E_TMP/empty.txt"
    e2e_focus_keypad || return 1
    xdotool key Delete
    e2e_wait_for 10 "the key pad emptied" e2e_keypad_holds "$E2E_TMP/empty.txt"
}

# ---------------------------------------------------------------- WordPad

# Wine's WordPad: a rich-edit target, as office suites' simpler cousins.
WORDPAD_CLASS=WORDPADTOP
E2E_WORDPAD_PID=
E2E_WORDPAD_XID=

e2e_wordpad_has_focus() { e2e_has_focus "$WORDPAD_CLASS" RichEdit; }

e2e__store_wordpad_xid() {
    E2E_WORDPAD_XID=$(xdotool search --onlyvisible --name 'Wine Wordpad$' 2>/dev/null | head -n 1)
    [[ -n "$E2E_WORDPAD_XID" ]]
}

e2e_focus_wordpad() { e2e_focus_target "$E2E_WORDPAD_XID" "$WORDPAD_CLASS" RichEdit WordPad; }

e2e_start_wordpad() {
    "$WINE" 'C:\Program Files\Windows NT\Accessories\wordpad.exe' >"$E2E_TMP/wordpad.log" 2>&1 &
    E2E_WORDPAD_PID=$!
    e2e_wait_for 60 "WordPad's window" e2e__store_wordpad_xid || return 1
    e2e_focus_wordpad
}

e2e_stop_wordpad() {
    [[ -n "$E2E_WORDPAD_PID" ]] || return 0
    kill "$E2E_WORDPAD_PID" 2>/dev/null || true
    wait "$E2E_WORDPAD_PID" 2>/dev/null || true
    E2E_WORDPAD_PID=
    E2E_WORDPAD_XID=
}

# e2e_wordpad_holds FILE: WordPad's text (WM_GETTEXT: CR LF line ends) is
# byte for byte FILE's content; the text read last is left in
# $E2E_TMP/wordpad.txt.
e2e_wordpad_holds() {
    e2e__read_retried read-rich --class "$WORDPAD_CLASS" --out "$(e2e_winpath "$E2E_TMP/wordpad.txt")" &&
        cmp -s "$E2E_TMP/wordpad.txt" "$1"
}

e2e_clear_wordpad() {
    : >"$E2E_TMP/empty.txt"
    e2e_focus_wordpad || return 1
    xdotool key --clearmodifiers ctrl+a Delete
    e2e_wait_for 10 "WordPad emptied" e2e_wordpad_holds "$E2E_TMP/empty.txt"
}

# The program itself under Wine: calmirande.exe (x86_64 test build) runs in a
# working directory of our own with a hand-written list and preferences, and
# xdotool types into Wine's notepad as a user would. The program's keyboard
# hook sees the keys, its worker erases the word and types the text, and the
# cases compare notepad's text byte for byte.
#
# Sourced by run.sh after its own cases (same Xvfb, Wine prefix, notepad,
# pass/fail counters and artefacts folder). Needs: BUILD_DIR, ARTIFACTS,
# PROBE, E2E_TMP, E2E_NOTEPAD_XID, and run.sh's pass/fail/show_bytes.
#
# Every wait polls a condition. A case that expects nothing to happen types
# a known abbreviation after it: the hook handles keys in order, so once that
# one has expanded, anything the first part would have caused is in notepad.

PROGRAM_EXE="$BUILD_DIR/calmirande.exe"
PROGRAM_DIR="$E2E_TMP/program"
PROGRAM_LIST=Test.dat
PROGRAM_PID=
# The window classes of the program's hidden owner window and of the
# writing-aid strip (engine/writing_aid_win32.cpp).
PROGRAM_CLASS=Calmirande
AID_CLASS=${E2E_AID_CLASS:-CalmirandeWritingAid}

# Expected texts, as notepad's Edit returns them (a line break is CR LF).
BJR_TEXT=$'Bonjour\r\nPaul'
SLT_TEXT='Salut'
ACC_TEXT='Très élégant : déjà reçu, où ça coûte 5 € à Noël ?'
ADR_TEXT=$'12 rue des Lilas\r\n75001 Paris\tFrance\r\n'

program_write_files() {
    local dir=$1 aid=$2
    rm -rf "$dir"
    # Stored texts in the list file notation: <R> a line break, <T> a tab.
    e2e_write_list "$dir" "$PROGRAM_LIST" \
        $'bjr\tBonjour<R>Paul' \
        $'slt\tSalut' \
        $'fpol\tJe vous prie d\'agréer, (*1), mes sentiments distingués' \
        $'cher\tCher (*1), à bientôt' \
        $'amt\tAmicalement-' \
        $'acc\tTrès élégant : déjà reçu, où ça coûte 5 € à Noël ?' \
        $'adr\t12 rue des Lilas<R>75001 Paris<T>France<R>' \
        $'prê\tPrêt à partir' \
        $'réf\tRéférence' \
        $'bjx\tBonjour Xavier'
    printf '\xEF\xBB\xBF%s\r\n%s' "$PROGRAM_LIST" "$aid" >"$dir/Preferences.txt"
}

program_window_exists() { e2e_window_exists "$PROGRAM_CLASS"; }

program_running() { [[ -n "$PROGRAM_PID" ]] && kill -0 "$PROGRAM_PID" 2>/dev/null; }

# program_start DIR: starts the program with DIR as its current directory and
# returns once it waits for input with its hooks installed and list loaded.
program_start() {
    local dir=$1
    (cd "$dir" && exec "$WINE" "$PROGRAM_EXE") >"$E2E_TMP/program.log" 2>&1 &
    PROGRAM_PID=$!
    e2e_wait_for 30 "the program's window" program_window_exists || return 1
    e2e_probe wait-idle --class "$PROGRAM_CLASS" --timeout-ms 10000 >/dev/null
}

program_exited() { ! kill -0 "$PROGRAM_PID" 2>/dev/null; }

# program_stop: WM_CLOSE to the hidden window, then wait for the process and
# its timings file.
program_stop() {
    [[ -n "$PROGRAM_PID" ]] || return 0
    e2e_probe close-window --class "$PROGRAM_CLASS" >/dev/null 2>&1 || true
    if ! e2e_wait_for 15 "the program to end after WM_CLOSE" program_exited; then
        kill "$PROGRAM_PID" 2>/dev/null || true
        wait "$PROGRAM_PID" 2>/dev/null || true
        PROGRAM_PID=
        return 1
    fi
    wait "$PROGRAM_PID" 2>/dev/null || true
    PROGRAM_PID=
}

# notepad_settles FILE: notepad holds FILE now and still does after three
# more round trips through its queue (a late character shows up there).
notepad_settles() {
    local round
    for round in 1 2 3; do
        e2e_notepad_holds "$1" || return 1
    done
}

# program_input ACTION...: what the user does, in order, through xdotool:
#   TEXT          types TEXT (ASCII) with the default-ish 15 ms delay
#   +KEY...       presses and releases each key (xdotool key names)
#   v:KEY / ^:KEY holds KEY down / releases it (Shift over a word)
#   @click        clicks notepad's client area below its first line
program_input() {
    local action
    for action in "$@"; do
        case $action in
            +*) read -r -a keys <<<"${action#+}"; xdotool key "${keys[@]}" ;;
            v:*) xdotool keydown "${action#v:}" ;;
            ^:*) xdotool keyup "${action#^:}" ;;
            @click) xdotool mousemove --sync $(notepad_click_point) click 1 ;;
            *) xdotool type --delay 15 -- "$action" ;;
        esac
    done
}

# program_step NAME EXPECTED ACTION...: does the actions and waits for
# notepad to hold EXPECTED exactly and keep it. Fails the case (and returns
# 1) otherwise.
program_step() {
    local name=$1 expected=$2
    shift 2
    local expected_file="$E2E_TMP/$name.expected"
    printf '%s' "$expected" >"$expected_file"
    program_input "$@"
    if ! e2e_wait_for 10 "notepad to hold the expected text" e2e_notepad_holds "$expected_file" ||
        ! notepad_settles "$expected_file"; then
        cp "$E2E_TMP/notepad.txt" "$ARTIFACTS/$name.notepad.txt"
        show_bytes "expected" "$expected_file"
        show_bytes "notepad" "$E2E_TMP/notepad.txt"
        fail "$name" "notepad's text differs from the expected one"
        return 1
    fi
    cp "$E2E_TMP/notepad.txt" "$ARTIFACTS/$name.notepad.txt"
}

# program_case NAME EXPECTED ACTION... [-- EXPECTED_THEN ACTION...]
# On an empty notepad: the actions, then notepad must hold EXPECTED. After
# "--", more actions once that is so (typing at the caret the expansion
# left), and notepad must hold EXPECTED_THEN.
program_case() {
    local name=$1 expected=$2
    shift 2
    local first=()
    while (($#)) && [[ $1 != -- ]]; do first+=("$1"); shift; done
    if ! program_running; then
        fail "$name" "the program is not running"
        return 0
    fi
    if ! e2e_clear_notepad; then
        fail "$name" "could not empty notepad"
        return 0
    fi
    program_step "$name" "$expected" "${first[@]}" || return 0
    if (($#)); then
        shift
        program_step "$name" "$@" || return 0
    fi
    pass "$name"
}

# A point of notepad's client area well below the first line: clicking there
# leaves the caret at the end of a one-line text.
notepad_click_point() {
    local x y w h
    eval "$(xdotool getwindowgeometry --shell "$E2E_NOTEPAD_XID" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    x=$X y=$Y w=$WIDTH h=$HEIGHT
    echo "$((x + w / 2)) $((y + h / 2))"
}

aid_shown() {
    local rc=0
    e2e_probe window --class "$AID_CLASS" >"$E2E_TMP/aid.raw" 2>&1 || rc=$?
    # The probe's stdout is in text mode: CR LF line ends.
    tr -d '\r' <"$E2E_TMP/aid.raw" >"$E2E_TMP/aid.state"
    return $rc
}

# Typing an existing key shows the strip with that row red: the strip is
# visible, topmost, layered with alpha 200, and its region of a screenshot
# holds red pixels. The screenshot stays as an artefact.
program_aid_case() {
    local name=program-writing-aid-exact shot="$ARTIFACTS/writing-aid-exact.png"
    e2e_clear_notepad || { fail "$name" "could not empty notepad"; return; }
    xdotool type --delay 15 slt
    printf 'slt' >"$E2E_TMP/$name.typed"
    if ! e2e_wait_for 10 "typed text in notepad" e2e_notepad_holds "$E2E_TMP/$name.typed" ||
        ! e2e_wait_for 10 "the writing-aid strip shown" aid_shown; then
        sed 's/^/    /' "$E2E_TMP/aid.state"
        fail "$name" "the writing-aid strip is not shown after typing an existing key"
        return
    fi
    import -window root "$shot"
    cp "$E2E_TMP/aid.state" "$ARTIFACTS/writing-aid-exact.state"
    local left top right bottom
    read -r _ left top right bottom < <(grep '^rect ' "$E2E_TMP/aid.state")
    if ! grep -qx 'topmost 1' "$E2E_TMP/aid.state" || ! grep -qx 'alpha 200' "$E2E_TMP/aid.state"; then
        sed 's/^/    /' "$E2E_TMP/aid.state"
        fail "$name" "the strip is not a topmost layered window of alpha 200"
        return
    fi
    # Strongly red pixels (text anti-aliased, the strip blended over the
    # desktop) inside the strip's rectangle.
    local reds
    reds=$(convert "$shot" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
        -fx '(r > 0.6 && g < 0.35 && b < 0.35) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0)
    if ((reds < 10)); then
        fail "$name" "no red row in the strip's region of $shot ($reds red pixels)"
        return
    fi
    echo "  writing aid: $(tr '\n' ' ' <"$E2E_TMP/aid.state"); $reds red pixels"
    pass "$name"
}

# program_timings FILE: prints the hook's and the deliveries' figures.
program_timings() {
    local file=$1
    awk '
        $1 == "hook_samples" { samples = $2 }
        $1 == "hook_p50_us" { p50 = $2 }
        $1 == "hook_p99_us" { p99 = $2 }
        $1 == "hook_max_us" { max = $2 }
        $1 == "delivery_ms" && $4 > 0 { ratio[n++] = $2 / $4; settle += $6 }
        END {
            printf "  hook: %d keys, p50 %.1f us, p99 %.1f us, max %.1f us\n", samples, p50, p99, max
            if (n == 0) { print "  delivery: none recorded"; exit }
            for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (ratio[j] < ratio[i]) { t = ratio[i]; ratio[i] = ratio[j]; ratio[j] = t }
            median = (n % 2) ? ratio[int(n / 2)] : (ratio[n / 2 - 1] + ratio[n / 2]) / 2
            printf "  delivery/floor: %d expansions, median %.3f, max %.3f; wait for pending input before it: mean %.1f ms\n", n, median, ratio[n - 1], settle / n
        }' "$file"
}

program_end_case() {
    local name=$1 timings_copy=$2
    local timings="$PROGRAM_DIR/calmirande-timings.txt"
    if ! program_stop; then
        fail "$name" "the program did not end on WM_CLOSE to its window"
        return
    fi
    if ! e2e_wait_for 5 "calmirande-timings.txt" test -s "$timings"; then
        fail "$name" "the program ended without writing calmirande-timings.txt"
        return
    fi
    cp "$timings" "$ARTIFACTS/$timings_copy"
    program_timings "$timings"
    pass "$name"
}

# notepad_restart: a new notepad process, e.g. after a keyboard layout change
# (a Wine process builds its key code to virtual key table when it starts).
notepad_restart() {
    local pid
    pid=$(xdotool getwindowpid "$E2E_NOTEPAD_XID" 2>/dev/null) || pid=
    if [[ -n "$pid" ]]; then
        kill "$pid" 2>/dev/null || true
        e2e_wait_for 10 "notepad gone" bash -c "! kill -0 $pid 2>/dev/null" || return 1
    fi
    e2e_start_notepad
}

# keylog_sees_dead_key: whether the program's kind of hook sees the key down
# of dead_circumflex (vk DD on the fr layout) at all.
keylog_sees_dead_key() {
    local log="$ARTIFACTS/keylog-fr-dead-key.txt" ready="$E2E_TMP/keylog.ready" pid
    rm -f "$ready" "$log"
    e2e_probe keylog --out "$(e2e_winpath "$log")" --ready "$(e2e_winpath "$ready")" --timeout-ms 1500 &
    pid=$!
    e2e_wait_for 10 "the key logger" test -e "$ready" || return 1
    xdotool key dead_circumflex e
    wait "$pid" || true
    e2e_clear_notepad >/dev/null 2>&1 || true
    grep -q '^DOWN DD ' "$log"
}

XFAILED_NAMES=()

# The French layout, set before notepad and the program start: a key that
# makes an accented letter by itself, "*" without Shift, and a dead key.
program_fr_cases() {
    setxkbmap fr
    if ! notepad_restart || ! program_start "$PROGRAM_DIR"; then
        setxkbmap us
        fail program-fr-start "notepad or the program did not come up under the fr layout"
        return
    fi
    program_case program-fr-accent-key      'Référence '               '+r eacute f space'
    program_case program-fr-parameter       "Je vous prie d'agréer, madame, mes sentiments distingués " \
                                            '+f p o l asterisk' madame '+asterisk space'
    # Under Wine 8 with its X input method (the default), the dead key is
    # swallowed by the input method and the composed letter reaches the hook
    # as vk FC without a character: the hook cannot capture "prê" there (see
    # docs/wine.md). When the key logger confirms that, the failure is
    # Wine's and is reported apart; if Wine ever passes the dead key on,
    # the case counts as an ordinary one.
    local before_fail=$FAILED
    program_case program-fr-dead-key        'Prêt à partir '           '+p r dead_circumflex e space'
    if ((FAILED > before_fail)) && [[ ${FAILED_NAMES[-1]} == program-fr-dead-key ]] && ! keylog_sees_dead_key; then
        FAILED=$before_fail
        unset 'FAILED_NAMES[-1]'
        XFAILED_NAMES+=(program-fr-dead-key)
        echo "XFAIL program-fr-dead-key: the FAIL above is Wine's, not counted: its input method keeps the dead key from the low-level hook (keylog-fr-dead-key.txt)"
    fi
    program_end_case program-fr-timings calmirande-timings-fr.txt
    setxkbmap us
}

program_cases() {
    if [[ ! -f "$PROGRAM_EXE" ]]; then
        fail program-start "$PROGRAM_EXE is missing (scripts/build.sh win64)"
        return
    fi
    program_write_files "$PROGRAM_DIR" 1
    cp "$PROGRAM_DIR/Listes/$PROGRAM_LIST" "$ARTIFACTS/program-$PROGRAM_LIST"
    e2e_focus_notepad
    if ! program_start "$PROGRAM_DIR"; then
        fail program-start "the program did not come up (log: $(head -c 400 "$E2E_TMP/program.log"))"
        return
    fi
    pass program-start

    #            name                       expected                    actions
    program_case program-space              "$SLT_TEXT "                'slt '
    program_case program-tab                "$SLT_TEXT"$'\t'            slt +Tab
    program_case program-enter              "$SLT_TEXT"$'\r\n'          slt +Return
    program_case program-after-text         "Oui $SLT_TEXT "            'Oui slt '
    # Shift held over the whole word, as one types capitals (each Shift
    # press starts the word afresh).
    program_case program-capitals           "$SLT_TEXT "                v:shift '+s l t' ^:shift +space
    program_case program-multi-line         "$BJR_TEXT "                'bjr '
    program_case program-multi-line-tab     "$ADR_TEXT"$'\r\n'          adr +Return
    program_case program-accents            "$ACC_TEXT "                'acc '
    # "*" from the keypad: Shift (needed for "*" on the us layout) would
    # start the word afresh. Spaces inside the parameter do not end the word.
    program_case program-parameter          "Je vous prie d'agréer, monsieur le directeur, mes sentiments distingués " \
                                            fpol +KP_Multiply 'monsieur le directeur' '+KP_Multiply space'
    program_case program-parameter-tab      "Je vous prie d'agréer, madame, mes sentiments distingués"$'\t' \
                                            fpol +KP_Multiply madame '+KP_Multiply Tab'
    # An empty marker: no ending key, the caret where the marker was.
    program_case program-caret              'Cher , à bientôt'          'cher ' -- 'Cher Paul, à bientôt' Paul
    program_case program-trailing-dash      'Amicalement'               'amt ' -- 'Amicalement Bob' ' Bob'
    program_case program-unknown-word       "xyz $SLT_TEXT "            'xyz slt '
    program_case program-backspace          "$BJR_TEXT "                bjq +BackSpace 'r '
    program_case program-backspace-twice    'Bonjour Xavier '           bjrr '+BackSpace BackSpace' 'x '
    # "b", a click in notepad (the caret stays at the end), "jr", Space: the
    # click broke the word, so "jr" alone is not expanded.
    program_case program-click-cancels      "bjr $SLT_TEXT "            b @click 'jr slt '
    program_case program-arrow-cancels      "bjr $SLT_TEXT "            b '+Left Right' 'jr slt '
    program_aid_case
    program_end_case program-timings calmirande-timings.txt
    program_fr_cases
}

# The program itself under Wine: calmirande.exe (x86_64 test build) runs in a
# working directory of our own with a hand-written list and preferences, and
# xdotool types as a user would (a Shift press per capital and for "*") into
# one of two kinds of target: Wine's notepad, whose Edit control acts on
# characters, and the probe's key pad, which acts on key presses as browsers
# do, idle or slow. The program's keyboard hook sees the keys, its worker
# erases the word and types the text, and the cases compare the target's text
# byte for byte.
#
# Sourced by run.sh after its own cases (same Xvfb, Wine prefix, notepad,
# pass/fail counters and artefacts folder). Needs: BUILD_DIR, ARTIFACTS,
# PROBE, E2E_TMP, E2E_NOTEPAD_XID, and run.sh's pass/fail/show_bytes.
# Set E2E_LOAD_EXPANSIONS to change the count of the load cases (200).
# A quick loop on the sentences alone, with Wine traced:
#   E2E_ONLY=program E2E_PROGRAM_SESSIONS=sentences E2E_SENTENCE_ROUNDS=10 \
#   E2E_SENTENCE_TARGETS=keypad E2E_WINEDEBUG=+event,+key e2e/run.sh build/win64
#
# Every wait polls a condition. A case that expects nothing to happen types
# a known abbreviation after it: the hook handles keys in order, so once that
# one has expanded, anything the first part would have caused is in notepad.

PROGRAM_EXE="$BUILD_DIR/calmirande.exe"
PROGRAM_DIR="$E2E_TMP/program"
PROGRAM_LIST=Test.dat
PROGRAM_PID=
# The window class of the writing-aid strip (engine/writing_aid_win32.cpp).
AID_CLASS=${E2E_AID_CLASS:-CalmirandeWritingAid}

# Expected texts, as notepad's Edit returns them (a line break is CR LF).
BJR_TEXT=$'Bonjour\r\nPaul'
SLT_TEXT='Salut'
ACC_TEXT='Très élégant : déjà reçu, où ça coûte 5 € à Noël ?'
ADR_TEXT=$'12 rue des Lilas\r\n75001 Paris\tFrance\r\n'
# 400 characters, for the time of a long text.
LNG_TEXT="$(printf 'Un texte. %.0s' {1..39})Fin du tex"
# 3,000 characters: seconds under Wine, what the user types meanwhile waits.
MIL_TEXT="$(printf 'Ligne %03d, du bloc. ' {1..150})"

program_write_files() {
    local dir=$1 aid=$2
    rm -rf "$dir"
    # Stored texts in the list file notation: <R> a line break, <T> a tab.
    e2e_write_list "$dir" "$PROGRAM_LIST" \
        $'bjr\tBonjour<R>Paul' \
        $'slt\tSalut' \
        $'sla\tSalade' \
        $'slo\tSlogan' \
        $'fpol\tJe vous prie d\'agréer, (*1), mes sentiments distingués' \
        $'cher\tCher (*1), à bientôt' \
        $'amt\tAmicalement-' \
        $'acc\tTrès élégant : déjà reçu, où ça coûte 5 € à Noël ?' \
        $'adr\t12 rue des Lilas<R>75001 Paris<T>France<R>' \
        $'prê\tPrêt à partir' \
        $'réf\tRéférence' \
        $'bjx\tBonjour Xavier' \
        $'cdl\tCordialement,' \
        $'rdv\tRendez-vous avec (*1) a (*2) heures' \
        $'prm\tPour (*1), merci' \
        $'col\tcol1<T>col2' \
        $'emo\tBravo \xF0\x9F\x8E\x89 !' \
        "lng"$'\t'"$LNG_TEXT" \
        "mil"$'\t'"$MIL_TEXT"
    printf '\xEF\xBB\xBF%s\r\n%s' "$PROGRAM_LIST" "$aid" >"$dir/Preferences.txt"
}

# The program is found by its About window, the hidden owner of its tray
# icon and menu, and the window its menu commands go to.
program_window_exists() { e2e_window_exists CalmirandeAbout; }

program_running() { [[ -n "$PROGRAM_PID" ]] && kill -0 "$PROGRAM_PID" 2>/dev/null; }

# program_start DIR: starts the program with DIR as its current directory and
# returns once it waits for input with its hooks installed and list loaded.
program_start() {
    local dir=$1
    (cd "$dir" && exec "$WINE" "$PROGRAM_EXE") >"$E2E_TMP/program.log" 2>&1 &
    PROGRAM_PID=$!
    e2e_wait_for 30 "the program's window" program_window_exists || return 1
    e2e_probe wait-idle --class CalmirandeAbout --timeout-ms 10000 >/dev/null
}

program_exited() { ! kill -0 "$PROGRAM_PID" 2>/dev/null; }

# program_stop: the tray menu's "Quitter" (command 7, as the menu posts it
# to the About window), then wait for the process and its timings file.
program_stop() {
    [[ -n "$PROGRAM_PID" ]] || return 0
    e2e_probe command --class CalmirandeAbout --id 7 >/dev/null 2>&1 || true
    if ! e2e_wait_for 15 "the program to end after Quitter" program_exited; then
        kill "$PROGRAM_PID" 2>/dev/null || true
        wait "$PROGRAM_PID" 2>/dev/null || true
        PROGRAM_PID=
        return 1
    fi
    wait "$PROGRAM_PID" 2>/dev/null || true
    PROGRAM_PID=
}

# The target the cases type into: notepad, wordpad or keypad.
PROGRAM_TARGET=notepad

target_holds() {
    case $PROGRAM_TARGET in
        notepad) e2e_notepad_holds "$1" ;;
        wordpad) e2e_wordpad_holds "$1" ;;
        keypad) e2e_keypad_holds "$1" ;;
    esac
}

# The target's text as read last by target_holds.
target_text() { echo "$E2E_TMP/$PROGRAM_TARGET.txt"; }

target_clear() {
    case $PROGRAM_TARGET in
        notepad) e2e_clear_notepad ;;
        wordpad) e2e_clear_wordpad ;;
        keypad) e2e_clear_keypad ;;
    esac
}

target_xid() {
    case $PROGRAM_TARGET in
        notepad) echo "$E2E_NOTEPAD_XID" ;;
        wordpad) echo "$E2E_WORDPAD_XID" ;;
        keypad) echo "$E2E_KEYPAD_XID" ;;
    esac
}

# target_settles FILE: the target holds FILE now and still does after three
# more round trips through its queue (a late character shows up there).
target_settles() {
    local round
    for round in 1 2 3; do
        target_holds "$1" || return 1
    done
}

# program_input ACTION...: what the user does, in order, through xdotool:
#   TEXT          types TEXT at 40 ms a key (a fast typist: notepad under
#                 Wine falls behind a long word typed faster, see
#                 docs/delivery.md); xdotool presses Shift for each capital
#                 and for "*" on the us layout, as people do
#   ~MS TEXT      types TEXT at MS ms a key, in one go ("\n" is Return and
#                 "\t" Tab, pressed as keys)
#   +KEY...       presses and releases each key (xdotool key names)
#   @hold KEY S   holds KEY down for S seconds
#   @hold-around KEY K S   presses K with KEY down, then holds KEY S seconds
#   @wait         lets a second pass (beyond a held delivery)
#   @click        clicks the target's client area below its first line
#   @wheel        turns the mouse wheel over the target
program_input() {
    local action
    for action in "$@"; do
        case $action in
            +*) read -r -a keys <<<"${action#+}"; xdotool key "${keys[@]}" ;;
            \~*) program_type_at "${action%% *}" "${action#* }" ;;
            @hold\ *) read -r _ key seconds <<<"$action"; xdotool keydown "$key"; sleep "$seconds"; xdotool keyup "$key" ;;
            @hold-around\ *)
                read -r _ key inner seconds <<<"$action"
                xdotool keydown "$key"; xdotool key "$inner"; sleep "$seconds"; xdotool keyup "$key" ;;
            @wait) sleep 1 ;;
            @click) xdotool mousemove --sync $(target_click_point) click 1 ;;
            @wheel) xdotool mousemove --sync $(target_click_point) click 5 ;;
            *) xdotool type --delay 40 -- "$action" ;;
        esac
    done
}

# program_type_at ~MS TEXT: TEXT at MS ms a key, a line break as a press of
# Return and a tab as one of Tab (xdotool would type "\n" as Linefeed).
program_type_at() {
    local pace=${1#\~} text=$2 segment=''
    # xdotool type waits half its delay after each key's release already.
    local pause half
    pause=$(awk -v p="$pace" 'BEGIN { printf "%.3f", p / 1000 }')
    half=$(awk -v p="$pace" 'BEGIN { printf "%.3f", p / 2000 }')
    while [[ -n $text ]]; do
        segment=${text%%[$'\n\t']*}
        text=${text:${#segment}}
        if [[ -n $segment ]]; then
            xdotool type --delay "$pace" -- "$segment"
            sleep "$half"
        fi
        [[ -n $text ]] || break
        case ${text:0:1} in
            $'\n') xdotool key Return ;;
            $'\t') xdotool key Tab ;;
        esac
        text=${text:1}
        sleep "$pause"
    done
}

# program_step NAME EXPECTED ACTION...: does the actions and waits for the
# target to hold EXPECTED exactly and keep it. Fails the case (and returns
# 1) otherwise.
program_step() {
    local name=$1 expected=$2
    shift 2
    local expected_file="$E2E_TMP/$name.expected"
    printf '%s' "$expected" >"$expected_file"
    program_input "$@"
    if ! e2e_wait_for 10 "the target to hold the expected text" target_holds "$expected_file" ||
        ! target_settles "$expected_file"; then
        cp "$(target_text)" "$ARTIFACTS/$name.text"
        show_bytes "expected" "$expected_file"
        show_bytes "$PROGRAM_TARGET" "$(target_text)"
        fail "$name" "the $PROGRAM_TARGET's text differs from the expected one"
        return 1
    fi
    cp "$(target_text)" "$ARTIFACTS/$name.text"
}

# program_case NAME EXPECTED ACTION... [-- EXPECTED_THEN ACTION...]
# On an empty target: the actions, then it must hold EXPECTED. After "--",
# more actions once that is so (typing at the caret the expansion left), and
# it must hold EXPECTED_THEN.
program_case() {
    local name=$1 expected=$2
    shift 2
    local first=()
    while (($#)) && [[ $1 != -- ]]; do first+=("$1"); shift; done
    if ! program_running; then
        fail "$name" "the program is not running"
        return 0
    fi
    if ! target_clear; then
        fail "$name" "could not empty the $PROGRAM_TARGET"
        return 0
    fi
    program_step "$name" "$expected" "${first[@]}" || return 0
    if (($#)); then
        shift
        program_step "$name" "$@" || return 0
    fi
    pass "$name"
}

# A point of the target's client area well below the first line: clicking
# there leaves the caret at the end of a one-line text.
target_click_point() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$(target_xid)" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
}

# The strip's state, one "name value" a line (the probe's window command);
# succeeds when it is shown.
aid_shown() {
    local rc=0
    e2e_probe window --class "$AID_CLASS" >"$E2E_TMP/aid.raw" 2>&1 || rc=$?
    # The probe's stdout is in text mode: CR LF line ends.
    tr -d '\r' <"$E2E_TMP/aid.raw" >"$E2E_TMP/aid.state"
    return $rc
}

aid_hidden() {
    local rc=0
    e2e_probe window --class "$AID_CLASS" >/dev/null 2>&1 || rc=$?
    [[ $rc -eq 6 ]]
}

# aid_pixels SHOT KIND: the count of strongly red or blue pixels (text
# anti-aliased, the strip blended over the desktop) inside the strip's
# rectangle as aid_shown read it last.
aid_pixels() {
    local shot=$1 kind=$2 left top right bottom fx
    read -r _ left top right bottom < <(grep '^rect ' "$E2E_TMP/aid.state")
    case $kind in
        red) fx='(r > 0.6 && g < 0.35 && b < 0.35) ? 1 : 0' ;;
        blue) fx='(b > 0.6 && r < 0.35 && g < 0.35) ? 1 : 0' ;;
    esac
    convert "$shot" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage -fx "$fx" \
        -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0
}

# aid_rect: "left top width height" of the strip as aid_shown read it last.
aid_rect() {
    local left top right bottom
    read -r _ left top right bottom < <(grep '^rect ' "$E2E_TMP/aid.state")
    echo "$left $top $((right - left)) $((bottom - top))"
}

# aid_typed NAME TEXT: empties notepad, types TEXT and waits until notepad
# holds it (the hook has seen every key by then).
aid_typed() {
    local name=$1 text=$2
    e2e_clear_notepad || return 1
    printf '%s' "$text" >"$E2E_TMP/$name.typed"
    xdotool type --delay 15 -- "$text"
    e2e_wait_for 10 "typed text in notepad" e2e_notepad_holds "$E2E_TMP/$name.typed"
}

AID_ROW_HEIGHT=

# Typing an existing key shows the strip with that row red: visible, topmost,
# layered with alpha 200, one row high, centred at the top of the screen, and
# its region of a screenshot holds red pixels. The screenshot stays.
program_aid_exact_case() {
    local name=program-writing-aid-exact shot="$ARTIFACTS/writing-aid-exact.png"
    if ! aid_typed "$name" slt || ! e2e_wait_for 10 "the writing-aid strip shown" aid_shown; then
        sed 's/^/    /' "$E2E_TMP/aid.state"
        fail "$name" "the writing-aid strip is not shown after typing an existing key"
        return
    fi
    import -window root "$shot"
    cp "$E2E_TMP/aid.state" "$ARTIFACTS/writing-aid-exact.state"
    if ! grep -qx 'topmost 1' "$E2E_TMP/aid.state" || ! grep -qx 'alpha 200' "$E2E_TMP/aid.state"; then
        sed 's/^/    /' "$E2E_TMP/aid.state"
        fail "$name" "the strip is not a topmost layered window of alpha 200"
        return
    fi
    local left top width height screen_width reds
    read -r left top width height < <(aid_rect)
    screen_width=$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1] }')
    if ((left != (screen_width - 800) / 2 || top != 0 || width != 800)); then
        fail "$name" "the strip is at $left,$top, $width wide; expected $(((screen_width - 800) / 2)),0, 800 wide"
        return
    fi
    AID_ROW_HEIGHT=$((height - 4))
    if ((AID_ROW_HEIGHT < 8)); then
        fail "$name" "the strip is $height pixels high for one row"
        return
    fi
    reds=$(aid_pixels "$shot" red)
    if ((reds < 10)); then
        fail "$name" "no red row in the strip's region of $shot ($reds red pixels)"
        return
    fi
    echo "  writing aid: $(tr '\n' ' ' <"$E2E_TMP/aid.state"); $reds red pixels, rows of $AID_ROW_HEIGHT px"
    pass "$name"
}

# A prefix of three consecutive rows (slt, sla, slo), none equal to it: three
# rows high, and the first of them blue, nothing red.
program_aid_prefix_case() {
    local name=program-writing-aid-prefix shot="$ARTIFACTS/writing-aid-prefix.png"
    if ! aid_typed "$name" sl || ! e2e_wait_for 10 "the writing-aid strip shown" aid_shown; then
        fail "$name" "the writing-aid strip is not shown for a prefix"
        return
    fi
    import -window root "$shot"
    local left top width height blues reds
    read -r left top width height < <(aid_rect)
    if [[ -n "$AID_ROW_HEIGHT" ]] && ((height != 3 * AID_ROW_HEIGHT + 4)); then
        fail "$name" "the strip is $height pixels high for three rows of $AID_ROW_HEIGHT"
        return
    fi
    blues=$(aid_pixels "$shot" blue)
    reds=$(aid_pixels "$shot" red)
    if ((blues < 10 || reds > 0)); then
        fail "$name" "expected a blue row and no red one ($blues blue, $reds red pixels in $shot)"
        return
    fi
    pass "$name"
}

# program_aid_hides_case NAME ACTION [EXPECTED_TEXT]: "sl" shows the strip;
# then ACTION (a click, a wheel turn, a key) must hide it.
program_aid_hides_case() {
    local name=$1 action=$2
    if ! aid_typed "$name" sl || ! e2e_wait_for 10 "the writing-aid strip shown" aid_shown; then
        fail "$name" "the writing-aid strip is not shown after typing sl"
        return
    fi
    program_input "$action"
    if ! e2e_wait_for 10 "the writing-aid strip hidden" aid_hidden; then
        fail "$name" "the strip is still shown after $action"
        return
    fi
    pass "$name"
}

# With line 2 of the preferences 0 the strip never shows, while the keys are
# still captured and expanded.
program_aid_off_case() {
    local name=program-writing-aid-off round
    if ! aid_typed "$name" slt; then
        fail "$name" "notepad did not get the typed keys"
        return
    fi
    for round in 1 2 3 4 5; do
        if ! aid_hidden; then
            fail "$name" "the strip is shown although the preferences turn it off"
            return
        fi
        sleep 0.1
    done
    program_step "$name" "$SLT_TEXT " +space || return
    aid_hidden || { fail "$name" "the strip is shown although the preferences turn it off"; return; }
    pass "$name"
}

# program_timings FILE [BARE_FILE]: prints the hook's and the deliveries'
# figures, and the hook's cost against the bare hook's over the same keys.
program_timings() {
    local file=$1 bare=${2:-}
    awk '
        BEGIN { n = 0 }
        function sort_and_print(what, v,    i, j, t) {
            for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
            printf "  %s: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", what, v[int((n - 1) * 0.5)], v[int((n - 1) * 0.99)], v[n - 1]
        }
        { sub(/\r$/, "") }
        FILENAME != ARGV[1] && $1 == "bare_samples" { bare_samples = $2 }
        FILENAME != ARGV[1] && $1 == "bare_p50_us" { bare_p50 = $2 }
        FILENAME != ARGV[1] && $1 == "bare_p99_us" { bare_p99 = $2 }
        FILENAME != ARGV[1] { next }
        $1 == "hook_samples" { samples = $2 }
        $1 == "hook_p50_us" { p50 = $2 }
        $1 == "hook_p99_us" { p99 = $2 }
        $1 == "hook_max_us" { max = $2 }
        $1 == "hooks_reinstalled" { reinstalled = $2 }
        $1 == "delivery" { result[$9]++; deliveries++; if ($9 == 0) { sending[n] = $3; sent[n] = $5; per_event[n] = ($5 - $3) / $7; n++ } }
        END {
            printf "  hook: %d key presses, p50 %.1f us, p99 %.1f us, max %.1f us; reinstalled by the watchdog: %d\n", samples, p50, p99, max, reinstalled
            if (bare_samples > 0 && bare_p50 > 0 && bare_p99 > 0)
                printf "  hook against a bare hook (%d key presses, p50 %.1f us, p99 %.1f us): p50 %.2fx, p99 %.2fx\n",
                    bare_samples, bare_p50, bare_p99, p50 / bare_p50, p99 / bare_p99
            if (deliveries == 0) { print "  delivery: none recorded"; exit }
            printf "  deliveries: %d; sent whole %d, fewer events inserted %d, dropped as typed on %d, focus changed %d, no focus %d, modifiers held %d, focus lost during a long text %d, stopped (Escape, held keys) %d, not typable into the target %d\n",
                deliveries, result[0], result[1], result[2], result[3], result[4], result[5], result[6], result[7], result[8]
            if (n == 0) exit
            sort_and_print("ending key (hook call) to SendInput called", sending)
            sort_and_print("ending key (hook call) to SendInput returned", sent)
            sort_and_print("SendInput, per event of the block", per_event)
        }' "$file" ${bare:+"$bare"}
}

BARE_HOOK_PID=

# The bare hook runs beside the program for a whole session: both time the
# same key presses.
bare_hook_start() {
    local ready="$E2E_TMP/bare.ready"
    rm -f "$ready" "$E2E_TMP/bare-hook.txt"
    e2e_probe bare-hook --out "$(e2e_winpath "$E2E_TMP/bare-hook.txt")" --ready "$(e2e_winpath "$ready")" \
        >"$E2E_TMP/bare-hook.log" 2>&1 &
    BARE_HOOK_PID=$!
    e2e_wait_for 10 "the bare hook" test -e "$ready"
}

bare_hook_stop() {
    [[ -n "$BARE_HOOK_PID" ]] || return 0
    e2e_probe close-window --class CalmirandeE2eBareHook >/dev/null 2>&1 || true
    wait "$BARE_HOOK_PID" 2>/dev/null || true
    BARE_HOOK_PID=
}

program_end_case() {
    local name=$1 timings_copy=$2
    local timings="$PROGRAM_DIR/calmirande-timings.txt" bare=
    if ! program_stop; then
        fail "$name" "the program did not end on WM_CLOSE to its window"
        return
    fi
    if ! e2e_wait_for 5 "calmirande-timings.txt" test -s "$timings"; then
        fail "$name" "the program ended without writing calmirande-timings.txt"
        return
    fi
    cp "$timings" "$ARTIFACTS/$timings_copy"
    if [[ -n "$BARE_HOOK_PID" ]]; then
        bare_hook_stop
        if [[ -s "$E2E_TMP/bare-hook.txt" ]]; then
            bare="$ARTIFACTS/bare-hook-${timings_copy#calmirande-}"
            cp "$E2E_TMP/bare-hook.txt" "$bare"
        fi
    fi
    program_timings "$timings" $bare
    pass "$name"
}

source "$HERE/cpu_load.sh"

# program_load_case NAME COUNT: COUNT words typed and expanded, one after the
# other, with every core kept busy meanwhile. A wrong expansion (the text
# differs once it settles) is counted, shown and cleared away, and any wrong
# one fails the case.
program_load_case() {
    local name=$1 count=$2 i wrong=0 expected='' word text
    local expected_file="$E2E_TMP/$name.expected" t0=$EPOCHREALTIME
    target_clear || { fail "$name" "could not empty the $PROGRAM_TARGET"; return; }
    cpu_load_start
    for ((i = 0; i < count; i++)); do
        if ((i % 2)); then word='bjr ' text="$BJR_TEXT "; else word='slt ' text="$SLT_TEXT "; fi
        expected+=$text
        printf '%s' "$expected" >"$expected_file"
        xdotool type --delay 15 -- "$word"
        if ! e2e_wait_for 10 "the expansion" target_holds "$expected_file" || ! target_settles "$expected_file"; then
            wrong=$((wrong + 1))
            cp "$(target_text)" "$ARTIFACTS/$name.wrong-$wrong.text"
            printf '  %s: expansion %d went wrong:\n' "$name" "$((i + 1))"
            od -An -c "$(target_text)" | tail -n 3 | sed 's/^/    /'
            expected=''
            target_clear || break
        elif ((i % 10 == 9)); then
            expected=''
            target_clear || break
        fi
    done
    cpu_load_stop
    echo "  $name: $i expansions in the $PROGRAM_TARGET under a $(nproc)-core CPU load, $wrong wrong ($(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.0f", b-a}') s)"
    if ((i < count || wrong > 0)); then
        fail "$name" "$wrong wrong expansions of $i"
        return
    fi
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

# xfail_last NAME REASON: the failure just counted for NAME is Wine's: it is
# taken back and reported apart, with REASON.
xfail_last() {
    FAILED=$((FAILED - 1))
    unset 'FAILED_NAMES[-1]'
    XFAILED_NAMES+=("$1")
    echo "XFAIL $1: the FAIL above is Wine's, not counted: $2"
}

# altgr_levels_only EXPECTED ACTUAL: the two texts differ, and only where a
# character came out at another level of the same key of the fr layout
# (AltGr lost or gained).
altgr_levels_only() {
    python3 - "$1" "$2" <<'PY'
import sys
keys = ["(5[⅜", "eE€¢", "à0@`", "\"3#", "'4{", "=+}", ")°]", "&1", "xX", "yY"]
same_key = lambda e, a: any(e in k and a in k for k in keys)
expected, actual = (open(p, encoding="utf-8").read() for p in sys.argv[1:3])
sys.exit(0 if expected != actual and len(expected) == len(actual) and
         all(e == a or same_key(e, a) for e, a in zip(expected, actual)) else 1)
PY
}

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
    # AltGr's characters typed on right after an expansion, while the block
    # may still be going in; then plain letters. Under Wine a target that is
    # still busy with the block when it reads the X events of an AltGr key
    # translates that key with the modifiers of the last of them, not its
    # own (docs/wine.md): when the key logger shows that the program gave
    # no key back and the text differs only by characters at another level
    # of the same key, the failure is Wine's.
    local altgr='Cordialement, jean@exemple.fr Cordialement, 5€ #1 {x} [y] '
    local altgr_log="$ARTIFACTS/keylog-fr-altgr.txt" altgr_ready="$E2E_TMP/keylog-altgr.ready" altgr_pid
    rm -f "$altgr_log" "$altgr_ready"
    e2e_probe keylog --out "$(e2e_winpath "$altgr_log")" --ready "$(e2e_winpath "$altgr_ready")" \
        --timeout-ms 12000 >/dev/null 2>&1 &
    altgr_pid=$!
    e2e_wait_for 10 "the key logger" test -e "$altgr_ready" || true
    local before_altgr=$FAILED
    program_case program-fr-altgr "$altgr" '~120 cdl jean@exemple.fr cdl 5€ #1 {x} [y] ' \
        -- "${altgr}suite fin " '~120 suite fin '
    wait "$altgr_pid" || true
    if ((FAILED > before_altgr)) && [[ ${FAILED_NAMES[-1]} == program-fr-altgr ]] &&
        ! tr -d '\r' <"$altgr_log" 2>/dev/null | grep -q ' 43414C52$' &&
        altgr_levels_only "$E2E_TMP/program-fr-altgr.expected" "$ARTIFACTS/program-fr-altgr.text"; then
        xfail_last program-fr-altgr "no key was held or given back (keylog-fr-altgr.txt), and notepad translated a key at another level than its own modifiers'"
    fi
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
        xfail_last program-fr-dead-key "its input method keeps the dead key from the low-level hook (keylog-fr-dead-key.txt)"
    fi
    program_end_case program-fr-timings calmirande-timings-fr.txt
    setxkbmap us
}

# The cases every kind of target must pass, typed as people type: a Shift
# press for each capital and for the "*" of the us layout.
program_typing_cases() {
    local p=$1
    #            name                 expected                    actions
    program_case "$p-space"           "$SLT_TEXT "                'slt '
    program_case "$p-tab"             "$SLT_TEXT"$'\t'            slt +Tab
    program_case "$p-enter"           "$SLT_TEXT"$'\r\n'          slt +Return
    program_case "$p-capitals"        "$SLT_TEXT "                'SLT '
    program_case "$p-multi-line"      "$BJR_TEXT "                'bjr '
    program_case "$p-multi-line-enter" "$BJR_TEXT"$'\r\n'         bjr +Return
    # Spaces and capitals inside the parameter do not end the word.
    program_case "$p-parameter"       "Je vous prie d'agréer, Monsieur le Directeur, mes sentiments distingués " \
                                      'fpol*Monsieur le Directeur* '
    program_case "$p-parameter-tab"   "Je vous prie d'agréer, madame, mes sentiments distingués"$'\t' \
                                      'fpol*madame*' +Tab
    # An empty marker: no ending key, the caret where the marker was.
    program_case "$p-caret"           'Cher , à bientôt'          'cher ' -- 'Cher Paul, à bientôt' Paul
    program_case "$p-trailing-dash"   'Amicalement'               'amt ' -- 'Amicalement Bob' ' Bob'
}

# Sentences typed in one go, as people keep typing after an abbreviation:
# the next key comes a pace after the ending key. Every kind of ending, a
# parameter, the caret, a trailing "-", accents, a character outside the
# BMP, capitals (one Shift press each) and a tab inside a text. The keys
# typed while a block goes in are held and come after it, so every sentence
# must come out exact; a wrong one is kept in the artefacts.
SENTENCE_PACES=${E2E_SENTENCE_PACES:-60 120 200}
program_sentence_cases() {
    local p=$1 pace exact=0 total=0 wrong_names=()
    local -a cases
    for pace in $SENTENCE_PACES; do
        cases=(
            "words-${pace}ms" 'merci Cordialement, bien Cordialement, fin ' "~$pace merci cdl bien cdl fin "
            "endings-${pace}ms" "$SLT_TEXT Paul"$'\r\n'"$BJR_TEXT"$'\t'"Je vous prie d'agréer, Madame la Directrice, mes sentiments distingués ok " "~$pace SLT Paul"$'\n'$'bjr\tfpol*Madame la Directrice* ok '
            "texts-${pace}ms" "$ACC_TEXT Bravo "$'\xF0\x9F\x8E\x89'" ! col1"$'\t'"col2 Amicalement Bob Cher Paul, à bientôt" "~$pace acc emo col amt  Bob cher Paul"
            "lines-${pace}ms" "Vu $ADR_TEXT fin"$'\r\n'"$SLT_TEXT " "~$pace Vu adr fin"$'\n'"slt "
        )
        while ((${#cases[@]})); do
            total=$((total + 1))
            if sentence_exact "$p-sentence-${cases[0]}" "${cases[1]}" "${cases[2]}"; then
                exact=$((exact + 1))
                pass "$p-sentence-${cases[0]}"
            else
                wrong_names+=("${cases[0]}")
                show_bytes expected "$E2E_TMP/$p-sentence-${cases[0]}.expected"
                show_bytes "$PROGRAM_TARGET" "$(target_text)"
                fail "$p-sentence-${cases[0]}" "the $PROGRAM_TARGET's text differs from the sentence typed"
            fi
            cases=("${cases[@]:3}")
        done
    done
    echo "  $p: sentences typed on at ${SENTENCE_PACES// /, } ms a key: $exact of $total exact${wrong_names:+; not exact: ${wrong_names[*]}}"
}

# sentence_exact NAME EXPECTED ACTION: on an empty target, whether it holds
# EXPECTED once the action is done and it settles; a wrong text is kept as
# NAME.wrong.text.
sentence_exact() {
    local name=$1 expected_file="$E2E_TMP/$1.expected"
    printf '%s' "$2" >"$expected_file"
    target_clear || return 1
    program_input "$3"
    if e2e_wait_for 10 "the sentence" target_holds "$expected_file" 2>/dev/null && target_settles "$expected_file"; then
        cp "$(target_text)" "$ARTIFACTS/$name.text"
        return 0
    fi
    cp "$(target_text)" "$ARTIFACTS/$name.wrong.text"
    cp "$expected_file" "$ARTIFACTS/$name.expected.text"
    return 1
}

# The guards, in a session whose deliveries wait HOLD_MS before they look
# (a test build's seam), so that keys, a held modifier or a focus change land
# between the ending key and the block. The user's own keys are held and come
# after the block: the text is right. Another program's key or Ctrl, or a
# focus change, give nothing typed rather than something wrong. Then the
# watchdog: the hooks removed behind the program's back, as the system
# removes a hook that overran its timeout.
GUARD_HOLD_MS=500

# program_inject_after_space NAME VK EDGE: another program's key, sent by the
# probe right after the user's next Space (in the background; the caller
# types, then waits for it with `wait`).
program_inject_after_space() {
    local ready="$E2E_TMP/$1.inject-ready"
    rm -f "$ready"
    e2e_probe inject --vk "$2" --edge "$3" --after-space 1 --ready "$(e2e_winpath "$ready")" >/dev/null 2>&1 &
    INJECT_PID=$!
    e2e_wait_for 10 "the probe's hook" test -e "$ready"
}

program_guard_session() {
    local timings="$PROGRAM_DIR/calmirande-timings.txt"
    e2e_focus_notepad
    export CALMIRANDE_E2E_HOLD_DELIVERY_MS=$GUARD_HOLD_MS
    if ! program_start "$PROGRAM_DIR"; then
        unset CALMIRANDE_E2E_HOLD_DELIVERY_MS
        fail program-guard-start "the program did not come up for the guard cases"
        return
    fi
    unset CALMIRANDE_E2E_HOLD_DELIVERY_MS
    # The user types on while the delivery waits: "a" is held, then comes
    # after the text.
    program_case program-hold-typed-on    "$SLT_TEXT a"    'slt a'
    # A Shift pressed while the delivery waits is held with the other keys:
    # the system does not see it down before it is given back.
    program_held_modifier_case
    # Capitals typed on with one Shift press each, and a word ended in its
    # turn, while the first delivery waits.
    program_case program-hold-typed-word  "$SLT_TEXT Bien $SLT_TEXT " 'slt Bien slt '
    # Another program's "a" lands in the target after the Space: the
    # Backspaces would erase it and leave "Salu".
    if program_inject_after_space program-guard-typed-on 65 press; then
        program_case program-guard-typed-on 'slt a'    'slt ' @wait
        wait "$INJECT_PID" 2>/dev/null || true
    else
        fail program-guard-typed-on "the probe's hook did not come up"
    fi
    # A fast typist's Shift still down at the Space: released for the block,
    # pressed again after it.
    program_case program-guard-shift-held "$SLT_TEXT "     'slt' '@hold-around Shift_L space 1.2'
    # Another program's Ctrl down past the bound: a Backspace would be
    # Ctrl+Backspace.
    if program_inject_after_space program-guard-ctrl-held 162 down; then
        program_case program-guard-ctrl-held 'slt '    'slt ' @wait
        wait "$INJECT_PID" 2>/dev/null || true
        e2e_probe inject --vk 162 --edge up >/dev/null 2>&1 || true
    else
        fail program-guard-ctrl-held "the probe's hook did not come up"
    fi
    program_guard_focus_case
    program_watchdog_case
    program_end_case program-guard-timings calmirande-timings-guards.txt
    local counts
    counts=$(tr -d '\r' <"$ARTIFACTS/calmirande-timings-guards.txt" |
        awk '$1 == "delivery" { n[$9]++ } $1 == "hooks_reinstalled" { r = $2 }
             END { printf "%d %d %d %d", n[2], n[3], n[5], r }')
    read -r typed_on focus_changed modifiers_held reinstalled <<<"$counts"
    if ((typed_on < 1 || focus_changed < 1 || modifiers_held < 1)); then
        fail program-guard-results "expected a delivery dropped for each guard; typed on $typed_on, focus changed $focus_changed, modifiers held $modifiers_held"
    else
        pass program-guard-results
    fi
    if ((reinstalled < 1)); then
        fail program-watchdog-reinstalled "the watchdog never reinstalled the hooks"
    else
        pass program-watchdog-reinstalled
    fi
}

program_held_modifier_case() {
    local name=program-hold-modifier state
    target_clear || { fail "$name" "could not empty the notepad"; return; }
    xdotool type --delay 40 'slt '
    xdotool keydown Shift_L
    state=$(e2e_probe key-state --vk 160 | tr -d '\r')
    xdotool keyup Shift_L
    sleep 1
    echo "  $name: Shift pressed during the held delivery: $state"
    if [[ $state != 'async 0' ]]; then
        fail "$name" "the system saw the held Shift down ($state)"
    else
        pass "$name"
    fi
}

# "slt " in notepad, then the key pad takes the focus while the delivery is
# held: nothing typed in either.
program_guard_focus_case() {
    local name=program-guard-focus
    if ! e2e_start_keypad; then fail "$name" "the key pad did not come up"; return; fi
    PROGRAM_TARGET=notepad
    if target_clear; then
        xdotool type --delay 40 'slt '
        # The Space goes to the window that has the focus when Wine queues
        # it, a few milliseconds after X has it: a focus moved at once can
        # take the Space itself. A person's click comes later than that;
        # the delivery waits GUARD_HOLD_MS.
        sleep 0.2
        xdotool windowfocus --sync "$E2E_KEYPAD_XID" >/dev/null 2>&1 || true
        sleep 1.5
        printf 'slt ' >"$E2E_TMP/$name.notepad"
        : >"$E2E_TMP/$name.keypad"
        if ! e2e_notepad_holds "$E2E_TMP/$name.notepad"; then
            show_bytes notepad "$E2E_TMP/notepad.txt"
            fail "$name" "notepad's text changed after it lost the focus"
        elif ! e2e_keypad_holds "$E2E_TMP/$name.keypad"; then
            show_bytes keypad "$E2E_TMP/keypad.txt"
            fail "$name" "the expansion went to the window that took the focus"
        else
            pass "$name"
        fi
    else
        fail "$name" "could not empty the notepad"
    fi
    e2e_stop_keypad
    e2e_focus_notepad || true
}

# The hooks removed behind the program's back; the user types on ("x " goes
# unseen), the watchdog sees input that no hook was called for and installs
# them again, and the next abbreviation expands.
program_watchdog_case() {
    local name=program-watchdog
    target_clear || { fail "$name" "could not empty the notepad"; return; }
    e2e_probe post --class CalmirandeAbout --message CalmirandeE2eLoseHooks >/dev/null ||
        { fail "$name" "could not post to the program"; return; }
    sleep 1
    program_input 'x '
    sleep 3
    program_step "$name" "x $SLT_TEXT " 'slt ' @wait || return
    pass "$name"
}

# program_text_time_case NAME WORD TEXT: the time from the user's Space after
# WORD to notepad holding TEXT and the Space, against the pacing floor of a
# delivery that posts each message 5 ms apart, 5 x (n + 1 + m) ms. A figure:
# the case fails only when the text never comes.
program_text_time_case() {
    local name=$1 word=$2 text=$3 pid units floor
    local ready="$E2E_TMP/time-text.ready" out="$E2E_TMP/$1.time"
    target_clear || { fail "$name" "could not empty the notepad"; return; }
    printf '%s ' "$text" >"$E2E_TMP/$name.expected"
    rm -f "$ready" "$out"
    e2e_probe time-text --expect "$(e2e_winpath "$E2E_TMP/$name.expected")" --out "$(e2e_winpath "$out")" \
        --ready "$(e2e_winpath "$ready")" --timeout-ms 15000 >/dev/null 2>&1 &
    pid=$!
    if ! e2e_wait_for 10 "the text timer" test -e "$ready"; then
        kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
        fail "$name" "the probe's timer did not start"
        return
    fi
    xdotool type --delay 40 -- "$word"
    xdotool key space
    wait "$pid" 2>/dev/null
    if [[ ! -s "$out" ]]; then
        fail "$name" "notepad never held the text"
        return
    fi
    units=$(printf '%s' "$text" | iconv -f UTF-8 -t UTF-16LE | wc -c)
    floor=$((5 * (${#word} + 1 + units / 2)))
    echo "  $name: $((units / 2)) characters, $(tr -d '\r' <"$out" | awk '{print $2}') ms from the Space to the whole text in notepad (a posted delivery's floor: $floor ms)"
    pass "$name"
}

# Wine's WordPad, a rich-edit target: the typing cases and the sentences.
program_wordpad_session() {
    if ! e2e_start_wordpad; then
        fail wordpad-start "WordPad did not come up"
        return
    fi
    PROGRAM_TARGET=wordpad
    program_typing_cases wordpad
    program_sentence_cases wordpad
    e2e_stop_wordpad
    PROGRAM_TARGET=notepad
    e2e_focus_notepad || true
}

# program_keypad_session PREFIX [keypad options...]: the typing cases in a
# fresh key pad (or, for keypad-load, the load case).
program_keypad_session() {
    local prefix=$1
    shift
    if ! e2e_start_keypad "$@"; then
        fail "$prefix-start" "the key pad did not come up"
        return
    fi
    PROGRAM_TARGET=keypad
    if [[ $prefix == keypad-load ]]; then
        program_load_case keypad-load "${E2E_LOAD_EXPANSIONS:-200}"
    else
        program_typing_cases "$prefix"
        program_sentence_cases "$prefix"
    fi
    e2e_stop_keypad
    PROGRAM_TARGET=notepad
}

# E2E_PROGRAM_SESSIONS="typing load guards aid-off fr bystander long console" (any of them) runs only
# those sessions of the program group; unset, all of them.
program_session() { [[ -z ${E2E_PROGRAM_SESSIONS:-} || " $E2E_PROGRAM_SESSIONS " == *" $1 "* ]]; }

program_cases() {
    if [[ ! -f "$PROGRAM_EXE" ]]; then
        fail program-start "$PROGRAM_EXE is missing (scripts/build.sh win64)"
        return
    fi
    program_write_files "$PROGRAM_DIR" 1
    cp "$PROGRAM_DIR/Listes/$PROGRAM_LIST" "$ARTIFACTS/program-$PROGRAM_LIST"
    PROGRAM_TARGET=notepad
    if program_session typing; then program_typing_session; fi
    if program_session load; then program_load_session; fi
    if program_session guards; then program_guard_session; fi
    if program_session aid-off; then
        # The writing aid turned off in the preferences.
        program_write_files "$PROGRAM_DIR" 0
        e2e_focus_notepad
        if ! program_start "$PROGRAM_DIR"; then
            fail program-aid-off-start "the program did not come up with the writing aid off"
        else
            program_aid_off_case
            program_end_case program-aid-off-timings calmirande-timings-aid-off.txt
        fi
    fi
    if program_session fr; then program_fr_cases; fi
    if program_session bystander; then program_bystander_session; fi
    if program_session long; then program_long_text_session; fi
    if program_session console; then program_console_session; fi
    if [[ " ${E2E_PROGRAM_SESSIONS:-} " == *" sentences "* ]]; then program_sentence_session; fi
}

# Another low-level hook, installed before the program (so called after its
# hook), sees every key as the target gets it. A paragraph with no
# abbreviation reaches it as typed: none held, none given back. After an
# abbreviation only the keys typed while its block goes in come back.
program_bystander_session() {
    local name=program-bystander log="$ARTIFACTS/keylog-bystander.txt" ready="$E2E_TMP/bystander.ready" pid
    local plain='le chat dort sur le mur et la pluie tombe sans bruit '
    rm -f "$ready" "$log"
    e2e_focus_notepad
    e2e_probe keylog --out "$(e2e_winpath "$log")" --ready "$(e2e_winpath "$ready")" --timeout-ms 25000 &
    pid=$!
    if ! e2e_wait_for 10 "the bystander hook" test -e "$ready" || ! program_start "$PROGRAM_DIR"; then
        fail "$name" "the bystander hook or the program did not come up"
        return
    fi
    PROGRAM_TARGET=notepad
    target_clear
    program_type_at ~60 "$plain"
    sleep 1
    program_type_at ~60 'slt bien le bonjour '
    wait "$pid" || true
    program_end_case program-bystander-timings calmirande-timings-bystander.txt
    # Up to the program's first block: the plain paragraph.
    local counts
    counts=$(tr -d '\r' <"$log" | awk '
        $6 == "43414C4D" { block = 1 }
        !block && $6 == "43414C52" { plainReplayed++ }
        !block && $6 == "0" && $1 == "DOWN" { plainTyped++ }
        block && $6 == "43414C52" && $1 == "DOWN" { afterReplayed++ }
        block && $6 == "0" && $1 == "DOWN" { afterTyped++ }
        END { printf "%d %d %d %d", plainTyped, plainReplayed, afterTyped, afterReplayed }')
    local plain_typed plain_replayed after_typed after_replayed
    read -r plain_typed plain_replayed after_typed after_replayed <<<"$counts"
    echo "  figure: keys given back by the program: $plain_replayed of $plain_typed presses in a paragraph with no abbreviation; $after_replayed of the $after_typed presses after an abbreviation"
    if ((plain_typed < ${#plain} || plain_replayed != 0)); then
        fail "$name" "the plain paragraph was not left as typed: $plain_replayed events given back, $plain_typed presses seen (${#plain} typed)"
    else
        pass "$name"
    fi
}

# A 3,000-character text in the key pad, and the user at work while it goes
# in: keys typed come after it in order; Escape stops it; keys typed before
# a click into another window never act there.
program_long_text_session() {
    e2e_focus_notepad
    # Its 12 calls 350 ms apart: the text takes about 4 s however fast this
    # machine's Wine is, and the user's actions a second in land during it.
    export CALMIRANDE_E2E_CALL_PAUSE_MS=350
    if ! program_start "$PROGRAM_DIR" || ! e2e_start_keypad; then
        unset CALMIRANDE_E2E_CALL_PAUSE_MS
        fail program-long-start "the program or the key pad did not come up"
        return
    fi
    unset CALMIRANDE_E2E_CALL_PAUSE_MS
    PROGRAM_TARGET=keypad
    local typed
    typed=$(printf 'abcdefghijklmnopqrstuvwxy%.0s' {1..12})
    local expected="$E2E_TMP/keypad-long-typed-on.expected"
    printf '%s' "$MIL_TEXT $typed" >"$expected"
    if ! target_clear; then
        fail keypad-long-typed-on "could not empty the key pad"
    else
        # 300 keys at 15 ms a key, all while the text goes in.
        xdotool type --delay 40 'mil '
        program_type_at ~15 "$typed"
        if e2e_wait_for 90 "the text, then the keys typed during it" target_holds "$expected" 2>/dev/null &&
            target_settles "$expected"; then
            pass keypad-long-typed-on
        else
            cp "$(target_text)" "$ARTIFACTS/keypad-long-typed-on.text"
            fail keypad-long-typed-on "the key pad does not hold the text followed by the 300 keys typed during it ($(wc -c <"$(target_text)") bytes)"
        fi
    fi
    program_long_stopped_case keypad-long-escape 'ok' '+Escape'
    if e2e_start_wordpad; then
        local wordpad="$E2E_TMP/long-wordpad.expected"
        printf 'garder' >"$wordpad"
        xdotool type --delay 40 garder
        if ! e2e_wait_for 10 "WordPad's text" e2e_wordpad_holds "$wordpad"; then
            fail keypad-long-wordpad-kept "could not type into WordPad"
        fi
        e2e_focus_keypad
        program_long_stopped_case keypad-long-click-away '' '~40 xyz' '+ctrl+a BackSpace' @focus-wordpad
        if ! e2e_wait_for 10 "WordPad's text" e2e_wordpad_holds "$wordpad" || ! sleep 2 || ! e2e_wordpad_holds "$wordpad"; then
            show_bytes wordpad "$E2E_TMP/wordpad.txt"
            fail keypad-long-wordpad-kept "keys typed for the key pad acted in WordPad"
        else
            pass keypad-long-wordpad-kept
        fi
        e2e_stop_wordpad
    else
        fail keypad-long-click-away "WordPad did not come up"
    fi
    e2e_stop_keypad
    PROGRAM_TARGET=notepad
    program_end_case program-long-timings calmirande-timings-long.txt
}

# program_long_stopped_case NAME AFTER ACTION...: "mil " in an empty key pad,
# ACTION a second later while the text goes in; the key pad must end with a
# part of the text (not all of it) followed by AFTER, typed after the stop.
program_long_stopped_case() {
    local name=$1 after=$2 action
    shift 2
    target_clear || { fail "$name" "could not empty the key pad"; return; }
    xdotool type --delay 40 'mil '
    sleep 1
    for action in "$@"; do
        if [[ $action == @focus-wordpad ]]; then
            # Under Wine a key reaches the window that has the focus when
            # Wine takes it from X, which can be after a focus moved at once
            # (docs/wine.md): a person's click comes later than that.
            sleep 0.3
            e2e_focus_wordpad || true
        else
            program_input "$action"
        fi
    done
    sleep 2
    [[ -z $after ]] || xdotool type --delay 40 -- "$after"
    # Settled: the same text twice, two seconds apart.
    local previous='' text=''
    for _ in $(seq 15); do
        e2e__read_retried read-text --class "$KEYPAD_CLASS" --out "$(e2e_winpath "$E2E_TMP/keypad.txt")" || true
        text=$(cat "$E2E_TMP/keypad.txt" 2>/dev/null)
        [[ -n $text && $text == "$previous" ]] && break
        previous=$text
        sleep 2
    done
    cp "$E2E_TMP/keypad.txt" "$ARTIFACTS/$name.text" 2>/dev/null || true
    local part=${text%"$after"}
    if [[ $text != *"$after" || -z $part || ${#part} -ge ${#MIL_TEXT} || $MIL_TEXT != "$part"* ]]; then
        fail "$name" "the key pad holds ${#text} characters, not a part of the text followed by \"$after\""
    else
        echo "  $name: ${#part} of ${#MIL_TEXT} characters went in before the stop"
        pass "$name"
    fi
}

# Only the sentences, E2E_SENTENCE_ROUNDS times (1) in each target named by
# E2E_SENTENCE_TARGETS ("notepad wordpad keypad"): a quick loop on a rare
# fault. Not part of a whole run.
program_sentence_session() {
    local round target
    e2e_focus_notepad
    if ! program_start "$PROGRAM_DIR"; then
        fail program-sentences-start "the program did not come up"
        return
    fi
    # Where the typing session's clicks leave the pointer.
    xdotool mousemove --sync $(target_click_point)
    for target in ${E2E_SENTENCE_TARGETS:-notepad wordpad keypad}; do
        case $target in
            notepad) PROGRAM_TARGET=notepad; e2e_focus_notepad || true ;;
            wordpad) e2e_start_wordpad || { fail wordpad-start "WordPad did not come up"; continue; }; PROGRAM_TARGET=wordpad ;;
            keypad) e2e_start_keypad || { fail keypad-start "the key pad did not come up"; continue; }; PROGRAM_TARGET=keypad ;;
        esac
        for ((round = 1; round <= ${E2E_SENTENCE_ROUNDS:-1}; round++)); do
            program_sentence_cases "$target-r$round"
        done
        case $target in
            wordpad) e2e_stop_wordpad ;;
            keypad) e2e_stop_keypad; [[ -z ${E2E_WINEDEBUG:-} ]] || cp "$E2E_TMP/keypad.log" "$ARTIFACTS/" ;;
        esac
    done
    PROGRAM_TARGET=notepad
    program_end_case program-sentences-timings calmirande-timings-sentences.txt
    [[ -z ${E2E_WINEDEBUG:-} ]] || cp "$E2E_TMP/program.log" "$ARTIFACTS/"
}

# The typing cases, the sentences, the figures and the writing aid in
# notepad, then in WordPad and the key pad.
program_typing_session() {
    e2e_focus_notepad
    bare_hook_start || e2e_log "the bare hook did not start: no cost ratio this run"
    if ! program_start "$PROGRAM_DIR"; then
        fail program-start "the program did not come up (log: $(head -c 400 "$E2E_TMP/program.log"))"
        return
    fi
    pass program-start

    program_typing_cases program
    # A tab inside a text is a WM_CHAR 9: an Edit control inserts it, a
    # target of the key pad's kind ignores it.
    program_case program-multi-line-tab     "$ADR_TEXT"$'\r\n'          adr +Return
    program_case program-after-text         "Oui $SLT_TEXT "            'Oui slt '
    program_case program-accents            "$ACC_TEXT "                'acc '
    program_case program-unknown-word       "xyz $SLT_TEXT "            'xyz slt '
    program_case program-backspace          "$BJR_TEXT "                bjq +BackSpace 'r '
    program_case program-backspace-twice    'Bonjour Xavier '           bjrr '+BackSpace BackSpace' 'x '
    # "b", a click in notepad (the caret stays at the end), "jr", Space: the
    # click broke the word, so "jr" alone is not expanded.
    program_case program-click-cancels      "bjr $SLT_TEXT "            b @click 'jr slt '
    program_case program-arrow-cancels      "bjr $SLT_TEXT "            b '+Left Right' 'jr slt '
    # Ctrl alone breaks the word; Shift alone (held, repeating) does not.
    program_case program-ctrl-cancels       "bjr $SLT_TEXT "            b +Control_L 'jr slt '
    program_case program-shift-keeps        "$BJR_TEXT "                b '+Shift_L Shift_R Shift_L' 'jr '

    program_sentence_cases program
    program_text_time_case program-time-13-characters cdl 'Cordialement,'
    program_text_time_case program-time-400-characters lng "$LNG_TEXT"

    program_aid_exact_case
    program_aid_prefix_case
    program_aid_hides_case program-writing-aid-click-hides  @click
    program_aid_hides_case program-writing-aid-wheel-hides  @wheel
    program_aid_hides_case program-writing-aid-one-letter   +BackSpace
    program_aid_hides_case program-writing-aid-no-match     x

    program_wordpad_session
    program_keypad_session keypad
    program_keypad_session keypad-slow --stall-first-ms 40 --lag-ms 12
    program_end_case program-timings calmirande-timings.txt
}

# Under a CPU load, in a session of its own so that the figures of the
# typing session are those of an idle machine.
program_load_session() {
    e2e_focus_notepad
    if ! program_start "$PROGRAM_DIR"; then
        fail program-load-start "the program did not come up for the load cases"
    else
        program_load_case program-load "${E2E_LOAD_EXPANSIONS:-200}"
        program_keypad_session keypad-load
        program_end_case program-load-timings calmirande-timings-load.txt
    fi
}

# Wine's console (conhost running cmd) takes no Unicode packets, only keys:
# each line is typed on after "echo", and cmd writes what its line holds to
# a file. A text with a character the keyboard layout has no key for leaves
# the word as typed.
CONSOLE_CLASS=WineConsoleClass
CONSOLE_XID=
console_xid_found() {
    CONSOLE_XID=$(xdotool search --onlyvisible --name 'cmd\.exe$' 2>/dev/null | head -n 1)
    [[ -n $CONSOLE_XID ]]
}
program_console_session() {
    e2e_focus_notepad
    if ! program_start "$PROGRAM_DIR"; then
        fail program-console-start "the program did not come up"
        return
    fi
    "$WINE" wineconsole cmd >"$E2E_TMP/console.log" 2>&1 &
    local console_pid=$!
    # xdotool types into the window that has the X focus.
    if ! e2e_wait_for 30 "the console's X window" console_xid_found ||
        ! e2e_focus_target "$CONSOLE_XID" "$CONSOLE_CLASS" "$CONSOLE_CLASS " "the console"; then
        fail program-console-start "the console did not come up"
    else
        # cmd's prompt is up once it answers a first line.
        console_line console-ready 'ready' '~40 echo ready'
        console_line console-expansions 'merci Cordialement, bien Cordialement, fin' '~120 echo merci cdl bien cdl fin'
        console_line console-parameters 'Rendez-vous avec Paul a 10 heures fin' '~120 echo rdv*Paul*10* fin'
        console_line console-caret 'Pour Paul, merci' '~120 echo prm Paul'
        console_line console-no-trailer 'AmicalementBob' '~120 echo amt Bob'
        console_line console-no-key-stays 'acc fin emo ok' '~120 echo acc fin emo ok'
        console_line console-typed-on-fast 'merci Cordialement, bien' '~60 echo merci cdl bien'
    fi
    kill "$console_pid" 2>/dev/null || true
    wait "$console_pid" 2>/dev/null || true
    program_end_case program-console-timings calmirande-timings-console.txt
}

# console_line NAME EXPECTED ACTION: ACTION types a command at cmd's prompt
# ending in "echo ..."; " > file" and Return follow, and the file must hold
# EXPECTED and a line end.
console_line() {
    local name=$1 expected=$2 action=$3
    local file="$WINEPREFIX/drive_c/$name.txt"
    rm -f "$file"
    printf '%s\r\n' "$expected" >"$E2E_TMP/$name.expected"
    # The redirection goes first, so that a caret left inside the line
    # cannot put it inside the echoed text.
    xdotool type --delay 40 -- ">c:\\$name.txt "
    program_input "$action"
    sleep 0.2
    xdotool key Return
    if e2e_wait_for 10 "cmd's file" test -s "$file" && sleep 0.3 && cmp -s "$file" "$E2E_TMP/$name.expected"; then
        [[ $name == console-ready ]] || pass "$name"
    else
        show_bytes expected "$E2E_TMP/$name.expected"
        [[ -f $file ]] && show_bytes cmd "$file"
        import -window root "$ARTIFACTS/$name.png" 2>/dev/null || true
        fail "$name" "cmd did not write the expected line"
    fi
}

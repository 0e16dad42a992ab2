# The user's lists kept whatever happens, driven with the real program: lists
# written by other tools (UTF-16 LE and BE, Windows-1252) expanding with
# their accents and shown right; a hand-written list left byte for byte by
# an open and a leave without an edit; the backups of three saves; a
# read-only list with the question to go on without saving, both answers;
# the session's end with unsaved rows.
#
# Sourced by run.sh after editor.sh (same Xvfb, Wine prefix, notepad,
# pass/fail counters, and the program_*, shell_* and editor_* helpers).

LISTS_DIR="$E2E_TMP/lists"

# lists_utf16 LE|BE TEXT: TEXT (UTF-8) as UTF-16 with its mark.
lists_utf16() {
    if [[ $1 == LE ]]; then
        printf '\xFF\xFE'
        printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE
    else
        printf '\xFE\xFF'
        printf '%s' "$2" | iconv -f UTF-8 -t UTF-16BE
    fi
}

lists_write_files() {
    rm -rf "$LISTS_DIR"
    mkdir -p "$LISTS_DIR/Listes"
    lists_utf16 LE $'ete\tl\'été à Noël\r\nsig\tFrançois<R>Œuvre\r\n' >"$LISTS_DIR/Listes/unicode.dat"
    lists_utf16 BE $'ete\tl\'été big endian\r\n' >"$LISTS_DIR/Listes/bigendian.dat"
    printf 'ete\tl\x27\xE9t\xE9 en ANSI \x80\r\n' >"$LISTS_DIR/Listes/ansi.dat"
    # Hand-written: no mark, LF ends, key-only lines, a third field, 2,500 lines.
    { printf 'seule\nbjr\tBonjour\ttrois\n\n'; awk 'BEGIN { for (i = 0; i < 2500; i++) printf "k%d\tt%d\n", i, i }'; } \
        >"$LISTS_DIR/Listes/main.dat"
    mkdir -p "$LISTS_DIR/originals"
    cp "$LISTS_DIR/Listes/"*.dat "$LISTS_DIR/originals/"
    printf '\xEF\xBB\xBFunicode.dat\r\n1' >"$LISTS_DIR/Preferences.txt"
}

# lists_unchanged NAME: the list still holds the bytes it was written with.
lists_unchanged() { cmp -s "$LISTS_DIR/originals/$1" "$LISTS_DIR/Listes/$1"; }

# lists_leave: "Quitter" in the editor, and the editor gone.
lists_leave() {
    editor_click 117
    e2e_wait_for 10 "the editor to hide" editor_hidden
}

# lists_open NAME.dat ROW...: the editor opened, NAME selected and its rows shown.
lists_open() {
    local name=$1
    shift
    shell_command 4
    e2e_wait_for 10 "the editor" editor_shown || return 1
    editor_select "${name:0:2}"
    e2e_wait_for 10 "the rows of $name" editor_rows_are "$@"
}

# Lists from other tools expand with their accents and show right; leaving
# the editor without an edit leaves each of them as it was.
lists_foreign_case() {
    local name=lists-foreign
    if ! shell_expands "$name-le" "l'été à Noël " 'ete '; then
        fail "$name" "the UTF-16 LE list does not expand with its accents"
        return
    fi
    if ! lists_open unicode.dat $'ete\tl\'été à Noël' $'sig\tFrançois<R>Œuvre'; then
        fail "$name" "the editor does not show the UTF-16 LE list right: $(cat "$E2E_TMP/rows.txt")"
        return
    fi
    editor_select bi
    if ! e2e_wait_for 10 "the big-endian rows" editor_rows_are $'ete\tl\'été big endian'; then
        fail "$name" "the editor does not show the UTF-16 BE list right: $(cat "$E2E_TMP/rows.txt")"
        return
    fi
    editor_select an
    if ! e2e_wait_for 10 "the ANSI rows" editor_rows_are $'ete\tl\'été en ANSI €'; then
        fail "$name" "the editor does not show the ANSI list right: $(cat "$E2E_TMP/rows.txt")"
        return
    fi
    # Leaving makes the ANSI list active.
    if ! lists_leave || ! shell_expands "$name-ansi" "l'été en ANSI € " 'ete '; then
        fail "$name" "the ANSI list does not expand with its accents"
        return
    fi
    local list
    for list in unicode.dat bigendian.dat ansi.dat; do
        if ! lists_unchanged "$list"; then
            fail "$name" "$list was written by a switch or a leave without an edit"
            return
        fi
    done
    shell_command 4
    e2e_wait_for 10 "the editor" editor_shown
    editor_select bi
    if ! lists_leave || ! shell_expands "$name-be" "l'été big endian " 'ete '; then
        fail "$name" "the UTF-16 BE list does not expand with its accents"
        return
    fi
    pass "$name"
}

# A hand-written list with key-only lines and 2,500 lines: opened in the
# editor and left, it is the same file byte for byte.
lists_hand_written_case() {
    local name=lists-hand-written
    shell_command 4
    e2e_wait_for 10 "the editor" editor_shown || { fail "$name" "the editor did not show"; return; }
    editor_select m
    if ! e2e_wait_for 10 "2000 rows" editor_counter_reads '2000 sur un nombre maximum de 2000'; then
        fail "$name" "main.dat did not show its 2000 rows"
        return
    fi
    if ! lists_leave || ! lists_unchanged main.dat || [[ -e "$LISTS_DIR/Listes/Sauvegardes" ]]; then
        fail "$name" "main.dat changed, or a backup was made, without an edit"
        return
    fi
    pass "$name"
}

# Three saves of the hand-written list: backups .1 to .3 hold, byte for
# byte, the versions each save replaced (.3 the hand-written file itself).
lists_backups_case() {
    local name=lists-backups n
    local backups="$LISTS_DIR/Listes/Sauvegardes"
    for n in 1 2 3; do
        shell_command 4
        e2e_wait_for 10 "the editor" editor_shown || { fail "$name" "the editor did not show"; return; }
        editor_activate || true
        editor_mouse 109 0 && editor_click 120
        if ! e2e_wait_for 10 "a row deleted" editor_counter_reads "1999 sur un nombre maximum de 2000"; then
            fail "$name" "save $n: Supprimer did not remove a row"
            return
        fi
        # Back to 2000 rows with a new one, so that every save differs.
        editor_type 114 "nv$n" && editor_type 115 "version $n" && editor_click 116
        e2e_wait_for 10 "the row added" editor_counter_reads "2000 sur un nombre maximum de 2000" || true
        lists_leave || { fail "$name" "save $n: the editor did not hide"; return; }
        cp "$LISTS_DIR/Listes/main.dat" "$E2E_TMP/main.v$n"
    done
    if ! cmp -s "$backups/main.dat.3" "$LISTS_DIR/originals/main.dat" || ! cmp -s "$backups/main.dat.2" "$E2E_TMP/main.v1" ||
        ! cmp -s "$backups/main.dat.1" "$E2E_TMP/main.v2"; then
        ls -l "$backups" || true
        fail "$name" "the backups are not the versions the saves replaced"
        return
    fi
    if [[ "$(head -c 3 "$LISTS_DIR/Listes/main.dat" | od -An -tx1 | tr -d ' ')" != efbbbf ]] ||
        ! grep -q $'^nv3\tversion 3\r$' "$LISTS_DIR/Listes/main.dat"; then
        fail "$name" "the saved list is not in the program's own form with its new row"
        return
    fi
    pass "$name"
}

# A read-only list: the save fails, the program asks whether to go on
# without saving; No keeps the editor, Yes leaves it with the rows set aside
# and the list untouched.
lists_read_only_case() {
    local name=lists-read-only
    cp "$LISTS_DIR/Listes/ansi.dat" "$E2E_TMP/ansi.before"
    chmod a-w "$LISTS_DIR/Listes/ansi.dat"
    shell_command 4
    e2e_wait_for 10 "the editor" editor_shown || { fail "$name" "the editor did not show"; return; }
    editor_select an
    e2e_wait_for 10 "the ANSI rows" editor_rows_are $'ete\tl\'été en ANSI €' || true
    editor_activate || true
    editor_type 114 ro && editor_type 115 'lecture seule' && editor_click 116
    e2e_wait_for 10 "the row added" editor_counter_reads "2 sur un nombre maximum de 2000" || true
    editor_click 117
    local question=$'Impossible d\'enregistrer les modifications dans le fichier: ansi.dat\rCe fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !\rou bien il n\'y a pas l\'espace nécessaire pour créer ce fichier, libérer de l\'espace !\r\rSouhaitez vous quand même continuer sans enregistrer !\rVos Abréviations seront copiées dans le fichier: Listes\\Sauvegardes\\ansi.dat.non-enregistré'
    if ! editor_box Avertissement "$question"; then
        fail "$name" "no question after the failed save: $(cat "$E2E_TMP/editor-box.txt" 2>/dev/null)"
        chmod u+w "$LISTS_DIR/Listes/ansi.dat"
        return
    fi
    editor_answer Avertissement no
    if ! editor_shown; then
        fail "$name" "No left the editor"
        chmod u+w "$LISTS_DIR/Listes/ansi.dat"
        return
    fi
    editor_click 117
    if ! editor_box Avertissement "$question"; then
        fail "$name" "no question at the second Quitter"
        chmod u+w "$LISTS_DIR/Listes/ansi.dat"
        return
    fi
    editor_answer Avertissement yes
    if ! e2e_wait_for 10 "the editor to hide" editor_hidden; then
        fail "$name" "Yes did not leave the editor"
        chmod u+w "$LISTS_DIR/Listes/ansi.dat"
        return
    fi
    chmod u+w "$LISTS_DIR/Listes/ansi.dat"
    if ! cmp -s "$E2E_TMP/ansi.before" "$LISTS_DIR/Listes/ansi.dat" ||
        ! grep -q $'^ro\tlecture seule\r$' "$LISTS_DIR/Listes/Sauvegardes/ansi.dat.non-enregistré"; then
        fail "$name" "the list changed, or the rows were not set aside"
        return
    fi
    # The expansion came back: the editor does not keep it suspended.
    if ! shell_expands "$name" "l'été en ANSI € " 'ete '; then
        fail "$name" "the expansion did not come back after Yes"
        return
    fi
    pass "$name"
}

# The session ends with unsaved rows in the editor: the rows are in the
# file afterwards, and the program has ended.
lists_session_end_case() {
    local name=lists-session-end
    shell_command 4
    e2e_wait_for 10 "the editor" editor_shown || { fail "$name" "the editor did not show"; return; }
    editor_select u
    e2e_wait_for 10 "the UTF-16 rows" editor_rows_are $'ete\tl\'été à Noël' $'sig\tFrançois<R>Œuvre' || true
    editor_activate || true
    editor_type 114 fin && editor_type 115 'avant la fin' && editor_click 116
    e2e_wait_for 10 "the row added" editor_counter_reads "3 sur un nombre maximum de 2000" || true
    e2e_probe post --class CalmirandeAbout --message 17 --wparam 0 --lparam 0 >/dev/null 2>&1   # WM_QUERYENDSESSION
    e2e_probe post --class CalmirandeAbout --message 22 --wparam 1 --lparam 0 >/dev/null 2>&1   # WM_ENDSESSION
    if ! e2e_wait_for 15 "the program to end" program_exited; then
        fail "$name" "the program did not end with the session"
        program_stop || true
        return
    fi
    wait "$PROGRAM_PID" 2>/dev/null || true
    PROGRAM_PID=
    if ! grep -q $'^fin\tavant la fin\r$' "$LISTS_DIR/Listes/unicode.dat" ||
        ! cmp -s "$LISTS_DIR/Listes/Sauvegardes/unicode.dat.1" "$LISTS_DIR/originals/unicode.dat"; then
        fail "$name" "the unsaved rows are not in the file, or the UTF-16 original was not kept"
        return
    fi
    pass "$name"
}

lists_cases() {
    lists_write_files
    SHELL_DIR=$LISTS_DIR
    EDITOR_DIR=$LISTS_DIR
    e2e_focus_notepad || true
    if ! program_start "$LISTS_DIR"; then
        fail lists-start "the program did not come up in $LISTS_DIR"
        return
    fi
    lists_foreign_case
    lists_hand_written_case
    lists_backups_case
    lists_read_only_case
    lists_session_end_case
    program_stop >/dev/null 2>&1 || true
}

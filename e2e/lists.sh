# The user's lists kept whatever happens, driven with the real program: lists
# written by other tools (UTF-16 LE and BE, Windows-1252) expanding with
# their accents and shown right; a hand-written list left byte for byte by
# an open and a leave without an edit; the backups of three saves; another
# program's edits shown and joined; a read-only list with the question to go
# on without saving, both answers, a second failure and a cancelled log-off;
# the session's end with unsaved rows and typed text. Then the lists other
# programs hold (no sharing, a byte-range lock), saves killed at random
# moments, and hostile files (UTF-16 with and without a mark, NUL bytes shown
# read-only, a 1 MiB line, 10,000 rows, 50 MiB, a list at the size bound, a
# folder named like a list, a name too long), each opened, edited and saved
# without a crash or a loss.
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

# lists_open_editor: the tray's "Editer les Abréviations", and the editor shown.
lists_open_editor() {
    shell_command 4
    e2e_wait_for 10 "the editor" editor_shown
}

# lists_show LETTERS ROW...: the list chosen in the selector (which saves
# the one shown before) and its rows shown.
lists_show() {
    editor_select "$1"
    shift
    e2e_wait_for 20 "the rows" editor_rows_are "$@"
}

# lists_open NAME.dat ROW...: the editor opened, NAME selected and its rows shown.
lists_open() {
    local name=$1
    shift
    lists_open_editor || return 1
    lists_show "${name:0:2}" "$@"
}

# lists_start DIR: the program started in DIR, which the shell and editor
# helpers then look at.
lists_start() {
    LISTS_DIR=$1
    SHELL_DIR=$LISTS_DIR
    EDITOR_DIR=$LISTS_DIR
    e2e_focus_notepad || true
    program_start "$LISTS_DIR" && return 0
    fail lists-start "the program did not come up in $LISTS_DIR"
    return 1
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
    if ! lists_show bi $'ete\tl\'été big endian'; then
        fail "$name" "the editor does not show the UTF-16 BE list right: $(cat "$E2E_TMP/rows.txt")"
        return
    fi
    if ! lists_show an $'ete\tl\'été en ANSI €'; then
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
    lists_open_editor
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
    lists_open_editor || { fail "$name" "the editor did not show"; return; }
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
# byte, the versions each save replaced (.3 the hand-written file itself),
# and the lines the editor does not show are still in the list.
lists_backups_case() {
    local name=lists-backups n
    local backups="$LISTS_DIR/Listes/Sauvegardes"
    for n in 1 2 3; do
        lists_open_editor || { fail "$name" "the editor did not show"; return; }
        if ! lists_delete_first_row 1999; then
            fail "$name" "save $n: Supprimer did not remove a row"
            return
        fi
        # Back to 2000 rows with a new one, so that every save differs.
        lists_add "nv$n" "version $n" 2000 || true
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
    # The key-only and the empty line, within the first rows, went through
    # the three edited saves.
    if ! grep -qx $'seule\r' "$LISTS_DIR/Listes/main.dat" || ! grep -qx $'\r' "$LISTS_DIR/Listes/main.dat"; then
        fail "$name" "an edited save dropped the lines the editor does not show"
        return
    fi
    pass "$name"
}

# Another program appends a row to the active list while the editor is
# closed: the editor shows it when it opens. It appends one more while the
# editor holds a new row: "Quitter" joins the two, says so, and keeps the
# other version whole beside the backups.
lists_outside_edit_case() {
    local name=lists-outside-edit file="$LISTS_DIR/Listes/bigendian.dat"
    local notice=$'La Liste bigendian.dat a été modifiée par un autre programme pendant que vous l\'éditiez.\rAbréviations de l\'autre version ajoutées aux vôtres : 1\rL\'autre version est gardée dans le fichier: Listes\\Sauvegardes\\bigendian.dat.autre-version'
    if ! lists_open_editor || ! lists_show bi $'ete\tl\'été big endian' || ! lists_leave; then
        fail "$name" "the big-endian list was not shown and left"
        return
    fi
    printf 'ext\tajout externe\r\n' | iconv -f UTF-8 -t UTF-16BE >>"$file"
    if ! lists_open_editor ||
        ! e2e_wait_for 10 "the row of the other program" editor_rows_are $'ete\tl\'été big endian' $'ext\tajout externe'; then
        fail "$name" "the editor did not show the row another program added: $(cat "$E2E_TMP/rows.txt" 2>/dev/null)"
        return
    fi
    lists_add ed 'ajout éditeur' 3 || true
    printf 'ex2\tdeuxième externe\r\n' | iconv -f UTF-8 -t UTF-16BE >>"$file"
    cp "$file" "$E2E_TMP/bigendian.other"
    editor_click 117
    if ! lists_box_says Info "$notice" || ! e2e_wait_for 10 "the editor to hide" editor_hidden; then
        fail "$name" "Quitter did not say that the other version was joined: $(cat "$E2E_TMP/editor-box.txt" 2>/dev/null)"
        return
    fi
    if ! cmp -s <(printf '\xEF\xBB\xBF'; printf '%s\r\n' $'ed\tajout éditeur' $'ete\tl\'été big endian' $'ext\tajout externe' $'ex2\tdeuxième externe') "$file" ||
        ! cmp -s "$E2E_TMP/bigendian.other" "$LISTS_DIR/Listes/Sauvegardes/bigendian.dat.autre-version"; then
        cp "$file" "$ARTIFACTS/$name.dat" 2>/dev/null || true
        fail "$name" "the list does not hold both versions' rows, or the other version is not kept whole"
        return
    fi
    pass "$name"
}

# A read-only list: the save fails and says why, the rows are set aside,
# and the program asks whether to go on without saving; No keeps the
# editor, Yes leaves it and the list is untouched.
lists_read_only_case() {
    local name=lists-read-only
    cp "$LISTS_DIR/Listes/ansi.dat" "$E2E_TMP/ansi.before"
    chmod a-w "$LISTS_DIR/Listes/ansi.dat"
    lists_open_editor || { fail "$name" "the editor did not show"; return; }
    lists_show an $'ete\tl\'été en ANSI €' || true
    lists_add ro 'lecture seule' 2 || true
    editor_click 117
    local question=$'Impossible d\'enregistrer les modifications dans le fichier: ansi.dat\rCe fichier, son dossier ou ce disque est en lecture seule : enregistrer n\'y est pas permis !\r\rSouhaitez vous quand même continuer sans enregistrer !\rVos Abréviations ont été copiées dans le fichier: Listes\\Sauvegardes\\ansi.dat.non-enregistré'
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

# A second failure of the same list: its rows get a copy of their own
# beside the first. Then a log-off that another program cancels
# (WM_ENDSESSION FALSE): the rows are copied aside but still unsaved, and
# once the list can be written the next "Quitter" writes them.
lists_second_failure_case() {
    local name=lists-second-failure aside="$LISTS_DIR/Listes/Sauvegardes" list="$LISTS_DIR/Listes/ansi.dat"
    chmod a-w "$list"
    if ! lists_open_editor || ! e2e_wait_for 10 "the list as on disk" editor_rows_are $'ete\tl\'été en ANSI €' ||
        ! lists_add r2 'deuxième échec' 2; then
        fail "$name" "the editor did not show the list as on disk, or took no row: $(cat "$E2E_TMP/rows.txt" 2>/dev/null)"
        chmod u+w "$list"
        return
    fi
    editor_click 117
    if ! lists_box_says Avertissement "$(lists_message readonly ansi.dat .2)" || ! e2e_wait_for 10 "the editor to hide" editor_hidden ||
        ! grep -q $'^ro\tlecture seule\r$' "$aside/ansi.dat.non-enregistré" ||
        ! grep -q $'^r2\tdeuxième échec\r$' "$aside/ansi.dat.non-enregistré.2"; then
        fail "$name" "the second failure did not keep its rows beside the first's: $(cat "$E2E_TMP/editor-box.txt" 2>/dev/null)"
        chmod u+w "$list"
        return
    fi
    pass "$name"

    name=lists-session-end-cancelled
    if ! lists_open_editor || ! lists_add r3 'fin annulée' 2; then
        fail "$name" "the editor did not show, or took no row"
        chmod u+w "$list"
        return
    fi
    e2e_probe post --class CalmirandeAbout --message 17 --wparam 0 --lparam 0 >/dev/null 2>&1   # WM_QUERYENDSESSION
    e2e_probe post --class CalmirandeAbout --message 22 --wparam 0 --lparam 0 >/dev/null 2>&1   # WM_ENDSESSION, cancelled
    if ! e2e_wait_for 10 "the rows copied aside" grep -q $'^r3\tfin annulée\r$' "$aside/ansi.dat.non-enregistré.3" ||
        program_exited; then
        fail "$name" "the log-off did not copy the rows aside, or the program ended with the cancelled session"
        chmod u+w "$list"
        return
    fi
    chmod u+w "$list"
    if ! lists_leave || ! grep -q $'^r3\tfin annulée\r$' "$list"; then
        fail "$name" "the next Quitter did not write the rows the cancelled log-off left unsaved"
        return
    fi
    pass "$name"
}

# The session ends with unsaved rows in the editor and text typed in its
# fields that was never added: the rows are in the file afterwards, the
# typed text in a copy beside the backups, and the program has ended.
lists_session_end_case() {
    local name=lists-session-end
    lists_open_editor || { fail "$name" "the editor did not show"; return; }
    lists_show u $'ete\tl\'été à Noël' $'sig\tFrançois<R>Œuvre' || true
    lists_add fin 'avant la fin' 3 || true
    editor_type 114 tape && editor_type 115 'jamais ajouté' &&
        e2e_wait_for 10 "the typed fields" lists_fields_are tape 'jamais ajouté' || true
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
    if ! cmp -s <(printf '\xEF\xBB\xBFtape\tjamais ajouté\r\n') "$LISTS_DIR/Listes/Sauvegardes/unicode.dat.non-enregistré"; then
        fail "$name" "the text typed in the fields is not in Sauvegardes\\unicode.dat.non-enregistré"
        return
    fi
    pass "$name"
}

# ------------------------------------------------ other programs and hostile files

LIST_STORE_TOOL="$(dirname "$PROBE")/calmirande_e2e_list_store.exe"
LISTS_HOLDER_PID=

# lists_tool DIR ARGS...: the list store tool with DIR as its current directory.
lists_tool() {
    local dir=$1
    shift
    (cd "$dir" && exec "$WINE" "$LIST_STORE_TOOL" "$@")
}

# lists_box_says TITLE TEXT: the box says TEXT, and OK (or Yes) answers it.
lists_box_says() {
    local ok=ok
    [[ $1 == Avertissement ]] && ok=yes
    if ! editor_box "$1" "$2"; then
        e2e_log "the box \"$1\" says: $(cat "$E2E_TMP/editor-box.txt" 2>/dev/null)"
        editor_answer "$1" "$ok" >/dev/null 2>&1 || true
        return 1
    fi
    editor_answer "$1" "$ok"
}

# lists_message KIND FILE [COPY]: the program's message for FILE (KIND: edit,
# active, save, readonly; COPY: the set-aside copy's number, as ".2").
lists_message() {
    local busy='Ce fichier est sans doute ouvert par un autre programme, dans ce cas fermer le !'
    case $1 in
        edit) printf '%s' "Impossible d'ouvrir le fichier: $2"$'\r'"$busy"$'\r'"ou bien ce fichier n'existe plus, dans ce cas vous avez perdu vos données; relancer l'application !" ;;
        active) printf '%s' "Impossible de charger les abréviations du fichier: $2"$'\r'"$busy"$'\r'"ou bien ce fichier n'existe plus, dans ce cas vous avez perdu vos données; relancer le programme !" ;;
        save) printf '%s' "Impossible d'enregistrer les modifications dans le fichier: $2"$'\r'"$busy"$'\r'"ou bien il n'y a pas l'espace nécessaire pour créer ce fichier, libérer de l'espace !"$'\r\r'"Souhaitez vous quand même continuer sans enregistrer !"$'\r'"Vos Abréviations ont été copiées dans le fichier: Listes\\Sauvegardes\\$2.non-enregistré${3:-}" ;;
        readonly) printf '%s' "Impossible d'enregistrer les modifications dans le fichier: $2"$'\r'"Ce fichier, son dossier ou ce disque est en lecture seule : enregistrer n'y est pas permis !"$'\r\r'"Souhaitez vous quand même continuer sans enregistrer !"$'\r'"Vos Abréviations ont été copiées dans le fichier: Listes\\Sauvegardes\\$2.non-enregistré${3:-}" ;;
    esac
}

# lists_select_boxed LETTER TITLE TEXT: the list chosen in the selector by
# its letter, and the box that comes of it (TEXT) answered. No Return is
# pressed: it would answer the box.
lists_select_boxed() {
    editor_activate
    editor_mouse 106 || return 1
    sleep 0.3
    xdotool type --delay 60 "$1"
    lists_box_says "$2" "$3" || return 1
    # The box took the focus from the open list, which closed; if not, Return closes it.
    if e2e_window_shown ComboLBox; then xdotool key Return; fi
    return 0
}

# lists_select_refused LETTER FILE: the box saying FILE could not be opened.
lists_select_refused() { lists_select_boxed "$1" Info "$(lists_message edit "$2")"; }

# lists_type_row KEY TEXT: both fields typed into and, once they hold what
# was typed, "Ajouter" pressed (a posted click overtakes typed keys still
# waiting in the queue).
lists_type_row() {
    editor_activate || true
    editor_type 114 "$1" && editor_type 115 "$2" &&
        e2e_wait_for 10 "the typed fields" lists_fields_are "$1" "$2" && editor_click 116
}

lists_fields_are() { editor_field_is 114 "$1" && editor_field_is 115 "$2"; }

# lists_add KEY TEXT COUNT: a row added with "Ajouter", the counter at COUNT.
lists_add() {
    lists_type_row "$1" "$2"
    e2e_wait_for 10 "the row $1 added" editor_counter_reads "$3 sur un nombre maximum de 2000"
}

# lists_delete_first_row COUNT: the first row clicked and "Supprimer" pressed,
# the counter at COUNT.
lists_delete_first_row() {
    editor_activate || true
    editor_mouse 109 0 && editor_click 120
    e2e_wait_for 10 "a row deleted" editor_counter_reads "$1 sur un nombre maximum de 2000"
}

# lists_menu_index NAME: the place of Listes/NAME in the catalogue, as the
# program orders it (its tray item is 10 + that place).
lists_menu_index() {
    local index
    index=$(lists_tool "$LISTS_DIR" catalogue | tr -d '\r' | grep -nxF -- "$1" | cut -d: -f1) || return 1
    echo $((index - 1))
}

# lists_choose_from_tray NAME: the list chosen in the tray menu, which loads
# it and then names it in the preferences.
lists_choose_from_tray() {
    local index
    index=$(lists_menu_index "$1") || return 1
    rm -f "$LISTS_DIR/Preferences.txt"
    shell_command $((10 + index))
    e2e_wait_for 10 "$1 named in the preferences" lists_prefs_name "$1"
}

lists_prefs_name() { [[ -s "$LISTS_DIR/Preferences.txt" && $(shell_prefs_list) == "$1" ]]; }

# lists_hold NAME [--lock]: another program holds Listes/NAME until lists_release.
lists_hold() {
    local name=$1
    shift
    rm -f "$LISTS_DIR/holder.ready" "$LISTS_DIR/holder.release"
    (cd "$LISTS_DIR" && exec "$WINE" "$LIST_STORE_TOOL" hold "Listes\\$name" "$@" --ready holder.ready \
        --release holder.release) >"$E2E_TMP/holder.log" 2>&1 &
    LISTS_HOLDER_PID=$!
    e2e_wait_for 10 "the holder of $name" test -e "$LISTS_DIR/holder.ready"
}

lists_release() {
    [[ -n $LISTS_HOLDER_PID ]] || return 0
    touch "$LISTS_DIR/holder.release"
    wait "$LISTS_HOLDER_PID" 2>/dev/null || true
    LISTS_HOLDER_PID=
}

lists_write_hostile_files() {
    rm -rf "$LISTS_DIR"
    local l="$LISTS_DIR/Listes"
    mkdir -p "$l" "$LISTS_DIR/originals"
    printf '\xEF\xBB\xBFnm\tNormale\r\n' >"$l/normal.dat"
    printf '\xEF\xBB\xBFgd\tGardée\r\n' >"$l/garde.dat"
    printf '\xEF\xBB\xBFvr\tVerrouillée\r\n' >"$l/verrou.dat"
    lists_utf16 LE $'u1\tUnicode été\r\n' >"$l/utf16.dat"
    printf 's1\tSans marque été\r\n' | iconv -f UTF-8 -t UTF-16LE >"$l/sansmarque.dat"
    printf 'z1\tZéro un\0z2\tZéro deux\0\0z3\tfin\r\n' >"$l/zero.dat"
    { printf 'l1\t'; head -c 1048576 /dev/zero | tr '\0' x; printf '\r\nl2\tcourte\r\n'; } >"$l/ligne.dat"
    awk 'BEGIN { for (i = 0; i < 10000; i++) printf "d%05d\tt%d\r\n", i, i }' >"$l/dix.dat"
    { printf '\xEF\xBB\xBF'; head -c 52428800 < <(yes $'ee\tune ligne parmi des millions'); } >"$l/enorme.dat"
    # 4 MiB less 12 bytes: room for one row of 12 bytes, no more.
    { printf '\xEF\xBB\xBFpl\t'; head -c $((4 * 1024 * 1024 - 20)) /dev/zero | tr '\0' p; printf '\r\n'; } >"$l/pleine.dat"
    mkdir -p "$l/X.dat"
    printf 'un fichier dans un dossier\n' >"$l/X.dat/dedans.txt"
    local name
    for name in normal garde verrou utf16 sansmarque zero ligne dix pleine; do cp "$l/$name.dat" "$LISTS_DIR/originals/"; done
    cksum <"$l/enorme.dat" >"$LISTS_DIR/originals/enorme.cksum"
    printf '\xEF\xBB\xBFnormal.dat\r\n1' >"$LISTS_DIR/Preferences.txt"
}

# A list another program holds (no sharing, or every byte locked): the
# load-failure message; a row added; "Quitter" asks whether to go on without
# saving, and Yes leaves, the rows set aside; the held file unchanged; once
# it is let go, chosen in the tray menu it expands again, so the expansion
# came back. Wine lets another process read through a byte-range lock
# (Windows refuses the ReadFile): there the list's row is shown, the save
# is refused all the same (the file is open without delete sharing), and
# both rows are set aside.
lists_held_case() {
    local name=$1 file=$2 letter=$3 key=$4 text=$5 refused=1
    shift 5
    if ! lists_hold "$file" "$@"; then
        fail "$name" "the holder did not hold $file: $(cat "$E2E_TMP/holder.log")"
        lists_release
        return
    fi
    local aside=($'ga\tajout pendant la garde')
    if [[ "$(lists_tool "$LISTS_DIR" read "$file" | tr -d '\r')" == read ]]; then
        refused=
        aside+=("$key"$'\t'"$text")
        e2e_log "$name: this Wine reads $file through the other program's lock; Windows refuses the read"
    fi
    lists_open_editor || { fail "$name" "the editor did not show"; lists_release; return; }
    if [[ -n $refused ]] && ! lists_select_refused "$letter" "$file"; then
        fail "$name" "no load-failure message for the held $file"
        lists_release
        return
    fi
    if [[ -z $refused ]] && ! lists_show "$letter" "$key"$'\t'"$text"; then
        fail "$name" "the locked $file read through its lock does not show its row"
        lists_release
        return
    fi
    if ! lists_add ga 'ajout pendant la garde' "${#aside[@]}" || ! editor_rows_are "${aside[@]}"; then
        fail "$name" "the row was not added to the held list's listing: $(cat "$E2E_TMP/rows.txt")"
        lists_release
        return
    fi
    editor_click 117
    if ! lists_box_says Avertissement "$(lists_message save "$file")"; then
        fail "$name" "Quitter did not ask whether to go on without saving"
        lists_release
        return
    fi
    if [[ -n $refused ]] && ! lists_box_says Info "$(lists_message active "$file")"; then
        fail "$name" "Yes did not go on to the active list's load failure"
        lists_release
        return
    fi
    if ! e2e_wait_for 10 "the editor to hide" editor_hidden; then
        fail "$name" "Yes did not leave the editor"
        lists_release
        return
    fi
    if ! lists_unchanged "$file"; then
        lists_release
        fail "$name" "the held $file changed"
        return
    fi
    lists_release
    if ! lists_unchanged "$file" ||
        ! cmp -s <(printf '\xEF\xBB\xBF'; printf '%s\r\n' "${aside[@]}") "$LISTS_DIR/Listes/Sauvegardes/$file.non-enregistré"; then
        cp -r "$LISTS_DIR/Listes" "$ARTIFACTS/$name.Listes" 2>/dev/null || true
        fail "$name" "$file changed, or the rows are not in Sauvegardes\\$file.non-enregistré"
        return
    fi
    if ! lists_choose_from_tray "$file" || ! shell_expands "$name" "$text " "$key "; then
        fail "$name" "once let go, $file chosen in the tray menu does not expand: the expansion did not come back"
        return
    fi
    pass "$name"
}

# Hostile files, one after the other in one editor session: each chosen in
# the selector, edited, and saved by the switch to the next one; each list
# afterwards holds what it held and the new row, its original byte for byte
# in Sauvegardes, or, when it could not be read, is left as it was with the
# rows set aside.
lists_hostile_cases() {
    local backups="$LISTS_DIR/Listes/Sauvegardes"
    lists_open_editor || { fail lists-hostile "the editor did not show"; return; }

    local name=lists-hostile-utf16-mark
    if ! lists_show u $'u1\tUnicode été' || ! lists_add uu 'ajout un' 2; then
        fail "$name" "the UTF-16 list with its mark is not shown or not edited: $(cat "$E2E_TMP/rows.txt")"
    elif ! lists_show s $'s1\tSans marque été'; then
        fail "$name" "the switch to the UTF-16 list without mark failed: $(cat "$E2E_TMP/rows.txt")"
    elif ! editor_file_is utf16.dat $'u1\tUnicode été' $'uu\tajout un' || ! cmp -s "$backups/utf16.dat.1" "$LISTS_DIR/originals/utf16.dat"; then
        fail "$name" "utf16.dat does not hold its row and the new one, or its original is not kept"
    else
        pass "$name"
    fi

    name=lists-hostile-utf16-no-mark
    if ! lists_add ss 'ajout deux' 2 ||
        ! lists_select_boxed z Info "La Liste zero.dat n'est pas dans un format que l'éditeur comprend (moins de la moitié de ses lignes sont des abréviations, ou elle contient des caractères nuls)."$'\r'"Elle est ouverte en lecture seule : l'éditeur ne l'enregistrera pas." ||
        ! e2e_wait_for 20 "the rows" editor_rows_are $'z1\tZéro un' $'z2\tZéro deux' $'z3\tfin'; then
        fail "$name" "the edit, or the switch to the list with NUL bytes and its read-only message, failed: $(cat "$E2E_TMP/rows.txt")"
    elif ! editor_file_is sansmarque.dat $'s1\tSans marque été' $'ss\tajout deux' ||
        ! cmp -s "$backups/sansmarque.dat.1" "$LISTS_DIR/originals/sansmarque.dat"; then
        fail "$name" "sansmarque.dat does not hold its row and the new one, or its original is not kept"
    else
        pass "$name"
    fi

    # NUL bytes: another tool's format, or an encoding guessed wrong. Shown
    # (NUL ends a line) read-only, with its message: a row is refused, and
    # the switch away writes nothing.
    name=lists-hostile-nul
    if ! lists_type_row zz 'ajout trois' ||
        ! lists_box_says Info 'Cette Liste est ouverte en lecture seule : elle ne peut pas être modifiée ici !' ||
        ! editor_click 119 || ! editor_select l ||
        ! e2e_wait_for 20 "the long line's list" editor_counter_reads '2 sur un nombre maximum de 2000'; then
        fail "$name" "the row was not refused, or the switch to the list with a 1 MiB line failed"
    elif ! lists_unchanged zero.dat || [[ -e "$backups/zero.dat.1" ]]; then
        fail "$name" "zero.dat was written"
    else
        pass "$name"
    fi

    name=lists-hostile-long-line
    if ! lists_add ll 'ajout quatre' 3 || ! editor_select d ||
        ! e2e_wait_for 20 "the 10,000-row list" editor_counter_reads '2000 sur un nombre maximum de 2000'; then
        fail "$name" "the edit, or the switch to the 10,000-row list, failed"
    elif ! cmp -s <(head -n 1 "$LISTS_DIR/originals/ligne.dat" | sed '1s/^/\xEF\xBB\xBF/'; printf 'l2\tcourte\r\nll\tajout quatre\r\n') \
        "$LISTS_DIR/Listes/ligne.dat"; then
        fail "$name" "ligne.dat does not hold its 1 MiB line, its other row and the new one"
    else
        pass "$name"
    fi

    # The 2001st row is refused; once one has gone the new one is taken,
    # and the 8,000 rows the editor does not hold are written back.
    name=lists-hostile-10000-rows
    lists_type_row dz 'ajout cinq'
    if ! lists_box_says Info "Le nombre maximum de création d'Abréviations est atteint pour cette Liste !"; then
        fail "$name" "the 2001st row was not refused"
    else
        lists_delete_first_row 1999 || true
        if ! lists_add dz 'ajout cinq' 2000 || ! lists_select_refused e enorme.dat; then
            fail "$name" "the row was not added after a delete, or the switch to the 50 MiB list failed"
        elif ! cmp -s <(printf '\xEF\xBB\xBF'; sed -n '2,2000p' "$LISTS_DIR/originals/dix.dat"; printf 'dz\tajout cinq\r\n'
            sed -n '2001,$p' "$LISTS_DIR/originals/dix.dat") "$LISTS_DIR/Listes/dix.dat" ||
            ! cmp -s "$backups/dix.dat.1" "$LISTS_DIR/originals/dix.dat"; then
            fail "$name" "dix.dat lost rows: $(wc -l <"$LISTS_DIR/Listes/dix.dat") lines"
        else
            pass "$name"
        fi
    fi

    # Beyond the bound on a list's size: refused as unreadable, never
    # written; the switch asks, and Yes sets the rows aside.
    name=lists-hostile-50mib
    if ! lists_add ee 'ajout six' 1; then
        fail "$name" "the row was not added to the 50 MiB list's listing"
    else
        if ! lists_select_boxed n Avertissement "$(lists_message save enorme.dat)" ||
            ! e2e_wait_for 20 "the normal list" editor_rows_are $'nm\tNormale'; then
            fail "$name" "the switch did not ask whether to go on without saving, or Yes did not switch"
        elif [[ "$(cksum <"$LISTS_DIR/Listes/enorme.dat")" != "$(cat "$LISTS_DIR/originals/enorme.cksum")" ]] ||
            ! cmp -s <(printf '\xEF\xBB\xBFee\tajout six\r\n') "$backups/enorme.dat.non-enregistré"; then
            fail "$name" "enorme.dat changed, or the row is not set aside"
        else
            pass "$name"
        fi
    fi

    # A folder named like a list is no list: not offered, not created over,
    # left as it is.
    name=lists-hostile-folder
    editor_select x
    sleep 0.5
    if ! editor_rows_are $'nm\tNormale' || lists_tool "$LISTS_DIR" catalogue | tr -d '\r' | grep -qxF X.dat; then
        fail "$name" "the folder X.dat was offered as a list"
    else
        editor_click 107
        e2e_wait_for 10 "the Nouvelle Liste dialog" e2e_window_shown "$NEW_LIST_CLASS" || true
        editor_activate "$NEW_LIST_CLASS" '^Nouvelle Liste$' || true
        editor_mouse 100 "" "$NEW_LIST_CLASS" && xdotool type --delay 40 X && xdotool key Return
        if ! lists_box_says Erreur 'Ce nom est déjà créé !'; then
            fail "$name" "a list named X was not refused beside the folder X.dat"
        else
            e2e_probe close-window --class "$NEW_LIST_CLASS" >/dev/null 2>&1 || true
            e2e_wait_for 10 "the dialog to close" shell_box_gone_class "$NEW_LIST_CLASS" || true
            if [[ ! -d "$LISTS_DIR/Listes/X.dat" ]] || [[ "$(ls -A "$LISTS_DIR/Listes/X.dat")" != dedans.txt ]] ||
                ! cmp -s <(printf 'un fichier dans un dossier\n') "$LISTS_DIR/Listes/X.dat/dedans.txt"; then
                fail "$name" "the folder X.dat or its file changed"
            else
                pass "$name"
            fi
        fi
    fi

    # A name whose derived paths would pass the system's limit is refused.
    name=lists-hostile-long-name
    editor_click 107
    e2e_wait_for 10 "the Nouvelle Liste dialog" e2e_window_shown "$NEW_LIST_CLASS" || true
    editor_activate "$NEW_LIST_CLASS" '^Nouvelle Liste$' || true
    editor_mouse 100 "" "$NEW_LIST_CLASS" && xdotool type --delay 5 "$(printf 'n%.0s' {1..240})" && xdotool key Return
    if ! lists_box_says Erreur 'Le nom de la Liste est trop long !'; then
        fail "$name" "a name of 240 letters was not refused as too long: $(cat "$E2E_TMP/editor-box.txt" 2>/dev/null)"
    else
        pass "$name"
    fi
    e2e_probe close-window --class "$NEW_LIST_CLASS" >/dev/null 2>&1 || true
    e2e_wait_for 10 "the dialog to close" shell_box_gone_class "$NEW_LIST_CLASS" || true

    # A list 12 bytes short of what the reader takes: a row that would pass
    # the bound is refused with its message, and the list stays as it was.
    name=lists-hostile-size-bound
    if ! editor_select p || ! e2e_wait_for 20 "the full list" editor_counter_reads '1 sur un nombre maximum de 2000'; then
        fail "$name" "the list at the size bound was not shown"
    elif ! lists_type_row ab 'bien trop long' ||
        ! lists_box_says Info "La Liste dépasserait la taille maximale de 4 Mo : raccourcir ce texte ou le mettre dans une autre Liste !"; then
        fail "$name" "the row beyond the bound was not refused with its message"
    elif ! editor_click 119 || ! editor_select n || ! e2e_wait_for 20 "the normal list" editor_rows_are $'nm\tNormale' ||
        ! cmp -s "$LISTS_DIR/originals/pleine.dat" "$LISTS_DIR/Listes/pleine.dat"; then
        fail "$name" "pleine.dat changed, or the normal list did not come back"
    else
        pass "$name"
    fi

    # The program still runs: the editor leaves, and the normal list expands.
    name=lists-hostile-still-running
    if ! lists_leave || ! shell_expands "$name" 'Normale ' 'nm '; then
        fail "$name" "after the hostile files the editor did not leave or the normal list does not expand"
    else
        pass "$name"
    fi
}

# Saves through the program's own list store, cut by kill -9 at random
# moments a few to 100 ms after saving began, over and over: the list is
# always the one list or the other, never a mix; when a kill fell in the
# replace's last step the list is missing and its temporary file holds the
# new list whole, which the program's load at start puts back.
lists_kill_case() {
    local name=lists-kill-during-save dir="$E2E_TMP/kill" kills=${LISTS_KILLS:-200}
    rm -rf "$dir"
    mkdir -p "$dir/Listes"
    if ! lists_tool "$dir" contents A.bytes B.bytes >/dev/null 2>&1; then
        fail "$name" "the tool could not write the two lists"
        return
    fi
    cp "$dir/A.bytes" "$dir/Listes/kill.dat"
    local log="$ARTIFACTS/$name.txt" expected=A i pid delay deadline state verdict which
    local -A count=()
    local t0=$EPOCHREALTIME
    : >"$log"
    for ((i = 1; i <= kills; i++)); do
        rm -f "$dir/started" "$dir/verdict"
        (cd "$dir" && exec "$WINE" "$LIST_STORE_TOOL" save-loop kill.dat --started started --verdict verdict) \
            >/dev/null 2>&1 &
        pid=$!
        deadline=$((SECONDS + 20))
        while [[ ! -e "$dir/started" ]] && kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.005; done
        if [[ ! -e "$dir/started" ]]; then
            kill -9 "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
            fail "$name" "kill $i: the saver did not start saving"
            return
        fi
        delay=$((3 + RANDOM % 98))
        sleep "$(printf '0.%03d' "$delay")"
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        # What the load at this start found: the list the previous kill left.
        verdict=$(tr -d '\r\n' <"$dir/verdict")
        if [[ $verdict != "$expected" ]]; then
            fail "$name" "kill $((i - 1)) left $expected, and the load at the next start found: $verdict"
            return
        fi
        if cmp -s "$dir/Listes/kill.dat" "$dir/A.bytes"; then
            state=A
        elif cmp -s "$dir/Listes/kill.dat" "$dir/B.bytes"; then
            state=B
        elif [[ ! -e "$dir/Listes/kill.dat" ]]; then
            state=missing
            for which in A B; do cmp -s "$dir/Listes/kill.dat.tmp" "$dir/$which.bytes" && state="missing, $which in kill.dat.tmp"; done
            if [[ $state == missing ]]; then
                ls -la "$dir/Listes" >>"$log"
                fail "$name" "kill $i after ${delay} ms: the list is missing and no temporary file holds a whole list"
                return
            fi
        else
            cp "$dir/Listes/kill.dat" "$ARTIFACTS/$name.mixed"
            fail "$name" "kill $i after ${delay} ms: the list is neither list ($(wc -c <"$dir/Listes/kill.dat") bytes)"
            return
        fi
        expected=${state: -1}
        [[ $state == missing* ]] && expected=${state:9:1}
        printf '%d %d ms %s\n' "$i" "$delay" "$state" >>"$log"
        count[${state%%,*}]=$((${count[${state%%,*}]:-0} + 1))
    done
    verdict=$(lists_tool "$dir" check kill.dat | tr -d '\r')
    if [[ $verdict != "$expected" ]] || ! cmp -s "$dir/Listes/kill.dat" "$dir/$expected.bytes"; then
        fail "$name" "after the last kill the list is $expected, and the program's load found: $verdict"
        return
    fi
    local seconds
    seconds=$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", b - a }')
    e2e_log "$name: $kills kills in ${seconds}s: A ${count[A]:-0}, B ${count[B]:-0}, missing with the new list in its temporary file ${count[missing]:-0}"
    pass "$name"
}

lists_other_programs_cases() {
    lists_kill_case
    LISTS_DIR="$E2E_TMP/lists-hostile"
    lists_write_hostile_files
    lists_start "$LISTS_DIR" || return
    lists_held_case lists-held garde.dat g gd 'Gardée'
    lists_held_case lists-locked verrou.dat v vr 'Verrouillée' --lock
    lists_hostile_cases
    program_stop >/dev/null 2>&1 || fail lists-hostile-quit "the program did not end on Quitter after the hostile files"
}

lists_cases() {
    lists_write_files
    lists_start "$LISTS_DIR" || return
    lists_foreign_case
    lists_hand_written_case
    lists_backups_case
    lists_outside_edit_case
    lists_read_only_case
    lists_second_failure_case
    lists_session_end_case
    program_stop >/dev/null 2>&1 || true
    lists_other_programs_cases
}

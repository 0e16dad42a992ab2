# The abbreviation editor driven as a user does: the tray command opens it,
# xdotool clicks its controls and types into its fields, the probe presses
# its buttons and answers its message boxes, and after each step the rows it
# shows and the list files' bytes are checked.
#
# Sourced by run.sh after shell.sh (same Xvfb, Wine prefix, notepad,
# pass/fail counters, artefacts, program_* and shell_* helpers).

EDITOR_CLASS=CalmirandeEditor
EDITOR_DIR="$E2E_TMP/editor"
TEXT_EDITOR_CLASS=CalmirandeTextEditor
NEW_LIST_CLASS=CalmirandeNewList
EDITOR_FAILED=

editor_write_files() {
    rm -rf "$EDITOR_DIR"
    e2e_write_list "$EDITOR_DIR" exemple.dat $'bjr\tBonjour<R>Paul' $'cdt\tCordialement,<R>' $'amt\tAmicalement'
    e2e_write_list "$EDITOR_DIR" autre.dat $'xx\tXavier'
    printf '\xEF\xBB\xBFexemple.dat\r\n1' >"$EDITOR_DIR/Preferences.txt"
}

editor_shown() { e2e_window_shown "$EDITOR_CLASS"; }
editor_hidden() { ! e2e_window_shown "$EDITOR_CLASS"; }

# editor_click ID: the button pressed (BM_CLICK, posted).
editor_click() { e2e_probe click --class "$EDITOR_CLASS" --id "$1" >/dev/null; }

# editor_mouse ID [ROW] [CLASS]: a left click on the control, or on a row of the listing.
editor_mouse() {
    local x y
    read -r x y < <(e2e_probe point --class "${3:-$EDITOR_CLASS}" --id "$1" ${2:+--row "$2"} | tr -d '\r') || return 1
    xdotool mousemove "$x" "$y" click 1
}

# editor_activate [CLASS TITLE]: the X keyboard focus on that window of ours
# (the editor by default), which Wine then activates; without a window
# manager a click alone does not move the X focus.
editor_activate() {
    local class=${1:-$EDITOR_CLASS} title=${2:-'^Edition des Abr'} xid
    xid=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1)
    [[ -n $xid ]] && xdotool windowfocus --sync "$xid" >/dev/null 2>&1
    # Wine does not activate a window shown again after it was hidden while
    # active when the X focus comes back; SetForegroundWindow does.
    editor_in_foreground "$class" || e2e_probe activate --class "$class" >/dev/null 2>&1 || true
    e2e_wait_for 5 "$class in the foreground" editor_in_foreground "$class"
}

editor_in_foreground() { e2e_probe foreground | tr -d '\r' | grep -q "^foreground: $1 "; }

# editor_type ID TEXT: clicks into the field and types TEXT as people do.
editor_type() {
    editor_mouse "$1" || return 1
    sleep 0.2
    xdotool type --delay 40 -- "$2"
}

# editor_field_is ID TEXT [CLASS]: the control's text is TEXT exactly.
editor_field_is() {
    e2e_probe read-text --class "${3:-$EDITOR_CLASS}" --id "$1" --out "$(e2e_winpath "$E2E_TMP/field.txt")" \
        >/dev/null 2>&1 || return 1
    [[ "$(cat "$E2E_TMP/field.txt"; printf x)" == "$2x" ]]
}

# editor_rows_are LINE...: the listing's rows (key TAB stored text) exactly.
editor_rows_are() {
    e2e_probe list-rows --class "$EDITOR_CLASS" --id 109 --out "$(e2e_winpath "$E2E_TMP/rows.txt")" \
        >"$E2E_TMP/rows.state" 2>/dev/null || return 1
    local expected=
    (($#)) && expected=$(printf '%s\n' "$@")
    [[ "$(cat "$E2E_TMP/rows.txt")" == "$expected" ]]
}

editor_selected_row() { tr -d '\r' <"$E2E_TMP/rows.state" | sed -n 's/^selected //p'; }

# editor_file_is NAME LINE...: the list file holds exactly BOM and the rows, CR LF each.
editor_file_is() {
    local file="$EDITOR_DIR/Listes/$1"
    shift
    { printf '\xEF\xBB\xBF'; (($#)) && printf '%s\r\n' "$@"; } >"$E2E_TMP/list.expected"
    cmp -s "$E2E_TMP/list.expected" "$file"
}

# editor_box TITLE TEXT: a box of that title says TEXT.
editor_box() {
    e2e_wait_for 10 "the box \"$1\"" shell_box_shown "$1" "$E2E_TMP/editor-box.txt" || return 1
    [[ "$(cat "$E2E_TMP/editor-box.txt")" == "$2" ]]
}

# editor_answer TITLE ok|yes|no
editor_answer() {
    e2e_probe message-box --title "$1" --answer "$2" >/dev/null 2>&1 || return 1
    e2e_wait_for 10 "the box \"$1\" to close" shell_box_gone "$1"
}

# editor_fail NAME WHY: the case fails, with the listing and the screen kept.
editor_fail() {
    cp "$E2E_TMP/rows.txt" "$ARTIFACTS/$1.rows.txt" 2>/dev/null || true
    fail "$1" "$2"
    EDITOR_FAILED=1
}

# editor_selector_is NAME: the list selector of the last editor tree stands
# at its place and shows NAME. A closed drop-down list is as high as the
# system makes it for its font (21 pixels with DejaVu Sans, 20 with the
# Liberation fonts), whatever height it was created with.
editor_selector_is() {
    grep -qxE "1 ComboBox 106 1 25 60 140 (19|2[0-9]) $1" "$E2E_TMP/editor.tree"
}

# Opened from the tray: the controls at their places with their texts, the
# active list's rows in file order, the records counter, the lists counter
# still empty.
editor_open_case() {
    local name=editor-open
    shell_command 4
    if ! e2e_wait_for 10 "the editor" editor_shown; then
        editor_fail "$name" "the editor did not show on tray command 4"
        return
    fi
    shell_tree "$EDITOR_CLASS" editor || true
    cp "$E2E_TMP/editor.tree" "$ARTIFACTS/editor.tree" 2>/dev/null || true
    local line
    for line in \
        'title Edition des Abréviations' 'client 780 540' \
        '1 Static 100 1 25 35 125 20 Nombre de Listes créées: ' '1 Static 103 1 150 35 325 20 ' \
        '1 Static 104 1 215 490 270 15 3 sur un nombre maximum de 2000' \
        '1 Button 107 1 205 60 120 22 Créer une Liste' '1 SysListView32 109 1 10 115 475 370 ' \
        "1 Button 110 1 495 10 275 495 Création, Modification, Supression d'une Abréviation" \
        '1 Static 113 1 728 98 32 32 ' '1 Edit 114 1 505 60 160 25 ' '1 Edit 115 1 505 130 255 345 ' \
        '1 Button 117 1 350 510 100 25 Quitter' '1 Button 119 1 700 65 60 20 RAZ' '1 Button 120 1 505 480 80 20 Supprimer'; do
        if ! grep -qxF -- "$line" "$E2E_TMP/editor.tree"; then
            editor_fail "$name" "the window lacks: $line"
            return
        fi
    done
    if ! editor_selector_is exemple; then
        editor_fail "$name" "the window lacks the selector at 25, 60, 140 wide, showing exemple"
        return
    fi
    if ! editor_rows_are $'bjr\tBonjour<R>Paul' $'cdt\tCordialement,<R>' $'amt\tAmicalement'; then
        editor_fail "$name" "the listing is not the active list in file order"
        return
    fi
    pass "$name"
}

# "Ajouter": the key lower-cased, the text without its outer spaces (its tab
# and line break stored as <T> and <R>), the rows sorted, the fields
# emptied, and no file written.
editor_add_case() {
    local name=editor-add
    editor_activate
    # Tab and Enter go into the replacement field: a tab and a line break.
    editor_type 114 Sal && editor_type 115 '  Salut' && xdotool key Tab && xdotool type --delay 40 Marc &&
        xdotool key Return && xdotool type --delay 40 'fin  ' ||
        { editor_fail "$name" "could not type into the fields"; return; }
    editor_click 116
    if ! e2e_wait_for 10 "the new row" editor_rows_are $'amt\tAmicalement' $'bjr\tBonjour<R>Paul' \
        $'cdt\tCordialement,<R>' $'sal\tSalut<T>Marc<R>fin'; then
        editor_fail "$name" "the listing is not the sorted rows with sal / Salut<T>Marc<R>fin"
        return
    fi
    if [[ "$(editor_selected_row)" != 3 ]] || ! editor_field_is 114 '' || ! editor_field_is 115 ''; then
        editor_fail "$name" "the new row is not selected or the fields were not emptied"
        return
    fi
    if ! editor_file_is exemple.dat $'bjr\tBonjour<R>Paul' $'cdt\tCordialement,<R>' $'amt\tAmicalement'; then
        editor_fail "$name" "Ajouter wrote the list file"
        return
    fi
    pass "$name"
}

editor_selected_is() {
    editor_rows_are "$@" >/dev/null 2>&1 || true
    [[ "$(editor_selected_row)" == "$SEARCH_EXPECTED" ]]
}

# Typing selects the first row that begins with the text: a key in capitals,
# then, with the key field empty, a text whose typed line break matches "<R>".
editor_search_case() {
    local name=editor-incremental-search
    editor_activate
    editor_click 119
    editor_type 114 CD || { editor_fail "$name" "could not type into the key field"; return; }
    SEARCH_EXPECTED=2
    if ! e2e_wait_for 5 "row cdt selected" editor_selected_is; then
        editor_fail "$name" "typing CD did not select the row cdt (selected $(editor_selected_row))"
        return
    fi
    editor_click 119
    e2e_wait_for 5 "RAZ" editor_field_is 114 '' || true
    editor_type 115 bonjour && xdotool key Return && xdotool type --delay 40 p
    SEARCH_EXPECTED=1
    if ! e2e_wait_for 5 "row bjr selected" editor_selected_is; then
        editor_fail "$name" "typing bonjour, a line break and p did not select bjr (selected $(editor_selected_row))"
        return
    fi
    if ! editor_field_is 115 $'bonjour\r\np'; then
        editor_fail "$name" "the search changed the typed text"
        return
    fi
    editor_click 119
    pass "$name"
}

# The key field: a space refused with its message, the 21st character too,
# and a paste refused in silence.
editor_guards_case() {
    local name=editor-key-guards
    editor_activate
    editor_type 114 ab || { editor_fail "$name" "could not type into the key field"; return; }
    xdotool key space
    if ! editor_box Info 'Les espaces sont interdits !'; then
        editor_fail "$name" "a space gave no \"Les espaces sont interdits !\""
        return
    fi
    editor_answer Info ok
    editor_type 114 cdefghijklmnopqrst
    if ! e2e_wait_for 5 "twenty characters" editor_field_is 114 abcdefghijklmnopqrst; then
        editor_fail "$name" "the field does not hold the 20 characters typed"
        return
    fi
    xdotool type --delay 40 u
    if ! editor_box Info 'La limite du nombre de caractères est atteinte !'; then
        editor_fail "$name" "the 21st character gave no limit message"
        return
    fi
    editor_answer Info ok
    if ! editor_field_is 114 abcdefghijklmnopqrst; then
        editor_fail "$name" "the key field changed after the refusals"
        return
    fi
    # Nothing is pasted into the key field, by Ctrl+V or Shift+Insert, and
    # nothing is said; the replacement field takes the same paste.
    editor_click 119
    e2e_wait_for 5 "RAZ" editor_field_is 114 '' || true
    e2e_probe clipboard --text collé >/dev/null 2>&1 || { editor_fail "$name" "could not fill the clipboard"; return; }
    editor_type 114 ab && xdotool key ctrl+v && xdotool key shift+Insert
    sleep 0.5
    if ! editor_field_is 114 ab || ! shell_box_gone Info; then
        editor_fail "$name" "a paste reached the key field, or a message came with it"
        return
    fi
    editor_mouse 115 && xdotool key ctrl+v
    if ! e2e_wait_for 5 "the paste in the replacement field" editor_field_is 115 collé; then
        editor_fail "$name" "the replacement field did not take the paste (the clipboard was not filled)"
        return
    fi
    editor_click 119
    e2e_wait_for 5 "RAZ" editor_field_is 114 '' || editor_fail "$name" "RAZ did not empty the key field"
    [[ -n $EDITOR_FAILED ]] || pass "$name"
}

# A click on a row copies it into the fields; "Modifier" changes it.
editor_modify_case() {
    local name=editor-pick-modify
    editor_activate
    editor_mouse 109 1 || { editor_fail "$name" "no row 1 to click"; return; }
    if ! e2e_wait_for 5 "the picked row in the fields" editor_field_is 114 bjr ||
        ! editor_field_is 115 $'Bonjour\r\nPaul'; then
        editor_fail "$name" "clicking row bjr did not copy it into the fields"
        return
    fi
    editor_mouse 115 && xdotool key ctrl+End && xdotool type --delay 40 ' Marie'
    editor_click 118
    if ! e2e_wait_for 10 "the modified row" editor_rows_are $'amt\tAmicalement' $'bjr\tBonjour<R>Paul Marie' \
        $'cdt\tCordialement,<R>' $'sal\tSalut<T>Marc<R>fin'; then
        editor_fail "$name" "Modifier did not give bjr / Bonjour<R>Paul Marie"
        return
    fi
    if ! editor_field_is 114 '' || ! editor_field_is 115 ''; then
        editor_fail "$name" "Modifier left text in the fields"
        return
    fi
    pass "$name"
}

# The magnifier opens "Editeur" over the disabled editor; its text, changed
# with a line break, comes back into the replacement field on closing.
editor_zoom_case() {
    local name=editor-zoom
    editor_activate
    editor_type 115 Ligne || { editor_fail "$name" "could not type into the replacement field"; return; }
    editor_mouse 113
    if ! e2e_wait_for 10 "the Editeur window" e2e_window_shown "$TEXT_EDITOR_CLASS"; then
        editor_fail "$name" "the magnifier did not open the Editeur window"
        return
    fi
    if ! editor_field_is 100 Ligne "$TEXT_EDITOR_CLASS"; then
        editor_fail "$name" "Editeur does not start with the field's text"
        return
    fi
    # A right press on the tray icon meanwhile is dropped, not kept for later.
    e2e_probe post --class CalmirandeAbout --message "$TRAY_CALLBACK" --lparam "$WM_RBUTTONDOWN" >/dev/null 2>&1 || true
    editor_activate "$TEXT_EDITOR_CLASS" '^Editeur$'
    xdotool key ctrl+End Return && xdotool type --delay 40 deux
    e2e_wait_for 5 "the typed line" editor_field_is 100 $'Ligne\r\ndeux' "$TEXT_EDITOR_CLASS" || true
    shell_screenshot "$TEXT_EDITOR_CLASS" "$ARTIFACTS/text-editor.png" || true
    # The field follows the window's size, 5 pixels in from each side.
    e2e_probe show --class "$TEXT_EDITOR_CLASS" --how maximize >/dev/null 2>&1 || true
    if ! e2e_wait_for 5 "the field to follow the size" editor_text_field_fills; then
        editor_fail "$name" "the Editeur field does not follow the window's width"
        e2e_probe close-window --class "$TEXT_EDITOR_CLASS" >/dev/null 2>&1 || true
        return
    fi
    e2e_probe close-window --class "$TEXT_EDITOR_CLASS" >/dev/null 2>&1 || true
    if ! e2e_wait_for 10 "Editeur to close" shell_box_gone_class "$TEXT_EDITOR_CLASS" ||
        ! e2e_wait_for 5 "the text back" editor_field_is 115 $'Ligne\r\ndeux'; then
        editor_fail "$name" "the text did not come back into the replacement field"
        return
    fi
    sleep 0.5
    if e2e_window_shown '#32768'; then
        e2e_probe post --class CalmirandeAbout --message "$WM_KEYDOWN" --wparam "$VK_ESCAPE" >/dev/null 2>&1 || true
        editor_fail "$name" "the tray press made while Editeur was open opened the menu afterwards"
        return
    fi
    editor_click 119
    pass "$name"
}

editor_text_field_fills() {
    local width field
    shell_tree "$TEXT_EDITOR_CLASS" text-editor || return 1
    read -r _ width _ < <(grep '^client ' "$E2E_TMP/text-editor.tree")
    field=$(awk '$3 == 100 { print $4, $5, $6 }' "$E2E_TMP/text-editor.tree")
    ((width > 600)) && [[ $field == "1 5 5" ]] &&
        grep -qE "^1 Edit 100 1 5 5 $((width - 10)) " "$E2E_TMP/text-editor.tree"
}

shell_box_gone_class() { [[ "$(e2e_probe count --class "$1" | tr -d '\r')" == 0 ]]; }

# editor_select LETTER: the selector opened with a click and a list chosen
# by its first letter, as on the keyboard.
editor_select() {
    editor_activate
    editor_mouse 106 || return 1
    sleep 0.3
    xdotool type --delay 60 "$1"
    xdotool key Return
}

# A switch saves the shown rows to their own file, in view order, and loads the other list.
editor_switch_case() {
    local name=editor-switch
    editor_select a
    if ! e2e_wait_for 10 "the other list" editor_rows_are $'xx\tXavier'; then
        editor_fail "$name" "choosing autre in the selector did not show its rows"
        return
    fi
    if ! editor_file_is exemple.dat $'amt\tAmicalement' $'bjr\tBonjour<R>Paul Marie' $'cdt\tCordialement,<R>' \
        $'sal\tSalut<T>Marc<R>fin'; then
        show_bytes "exemple.dat" "$EDITOR_DIR/Listes/exemple.dat"
        editor_fail "$name" "exemple.dat does not hold the edited rows in view order"
        return
    fi
    pass "$name"
}

# "Créer une Liste": a forbidden name refused in the dialog, then a new list
# of exactly EF BB BF, selected and shown empty.
editor_create_case() {
    local name=editor-create-list
    editor_click 107
    if ! e2e_wait_for 10 "the Nouvelle Liste dialog" e2e_window_shown "$NEW_LIST_CLASS"; then
        editor_fail "$name" "no Nouvelle Liste dialog"
        return
    fi
    shell_screenshot "$NEW_LIST_CLASS" "$ARTIFACTS/new-list.png" || true
    editor_activate "$NEW_LIST_CLASS" '^Nouvelle Liste$'
    editor_mouse 100 "" "$NEW_LIST_CLASS" && xdotool type --delay 40 'bad:name' && xdotool key Return
    if ! editor_box Erreur 'Le nom de la Liste comporte des caractères interdits !'; then
        editor_fail "$name" "bad:name was not refused with its message"
        return
    fi
    editor_answer Erreur ok
    if ! e2e_window_shown "$NEW_LIST_CLASS"; then
        editor_fail "$name" "the dialog closed after the refusal"
        return
    fi
    editor_activate "$NEW_LIST_CLASS" '^Nouvelle Liste$'
    editor_mouse 100 "" "$NEW_LIST_CLASS" && xdotool key End && xdotool key --repeat 8 --delay 30 BackSpace &&
        xdotool type --delay 40 Neuve && xdotool key Return
    if ! e2e_wait_for 10 "the new list file" test -f "$EDITOR_DIR/Listes/Neuve.dat" ||
        ! e2e_wait_for 10 "the dialog to close" shell_box_gone_class "$NEW_LIST_CLASS"; then
        editor_fail "$name" "Neuve was not created"
        return
    fi
    if ! editor_file_is Neuve.dat || ! editor_file_is autre.dat $'xx\tXavier'; then
        show_bytes "Neuve.dat" "$EDITOR_DIR/Listes/Neuve.dat"
        editor_fail "$name" "Neuve.dat is not exactly EF BB BF, or autre.dat changed"
        return
    fi
    shell_tree "$EDITOR_CLASS" editor || true
    if ! editor_selector_is Neuve ||
        ! grep -qxF '1 Static 103 1 150 35 325 20 3 sur un nombre maximum de 20' "$E2E_TMP/editor.tree" ||
        ! grep -qxF '1 Static 104 1 215 490 270 15 0 sur un nombre maximum de 2000' "$E2E_TMP/editor.tree" ||
        ! editor_rows_are; then
        editor_fail "$name" "the selector, the counters or the listing do not show the new list"
        return
    fi
    pass "$name"
}

# "Supprimer cette Liste": No keeps it, Yes moves its file into the backups.
editor_delete_list_case() {
    local name=editor-delete-list
    local question=$'Êtes-vous sûr de vouloir supprimer cette Liste ?: Neuve\rSes enregistrements seront gardés dans le fichier: Listes\\Sauvegardes\\Neuve.dat.supprimé'
    editor_click 108
    if ! editor_box Avertissement "$question"; then
        editor_fail "$name" "the question is not the expected one: $(cat "$E2E_TMP/editor-box.txt")"
        editor_answer Avertissement no || true
        return
    fi
    editor_answer Avertissement no
    if [[ ! -f "$EDITOR_DIR/Listes/Neuve.dat" ]]; then
        editor_fail "$name" "No deleted the list"
        return
    fi
    editor_click 108
    editor_box Avertissement "$question" && editor_answer Avertissement yes
    if ! e2e_wait_for 10 "the file to go" test ! -e "$EDITOR_DIR/Listes/Neuve.dat"; then
        editor_fail "$name" "Yes did not delete Neuve.dat"
        return
    fi
    if ! cmp -s <(printf '\xEF\xBB\xBF') "$EDITOR_DIR/Listes/Sauvegardes/Neuve.dat.supprimé"; then
        editor_fail "$name" "the deleted list is not kept as Sauvegardes\\Neuve.dat.supprimé"
        return
    fi
    shell_tree "$EDITOR_CLASS" editor || true
    if ! grep -qxF '1 Static 103 1 150 35 325 20 2 sur un nombre maximum de 20' "$E2E_TMP/editor.tree" ||
        ! grep -qxF '1 Static 104 1 215 490 270 15 ' "$E2E_TMP/editor.tree"; then
        editor_fail "$name" "the counters do not follow the deletion"
        return
    fi
    pass "$name"
}

# "Valider" on an empty name: refused with the forbidden-characters message,
# the dialog stays; no ".dat" is made, and "Annuler" changes nothing.
editor_empty_name_case() {
    local name=editor-empty-list-name before after
    before=$(ls "$EDITOR_DIR/Listes" | tr '\n' ' ')
    editor_click 107
    if ! e2e_wait_for 10 "the Nouvelle Liste dialog" e2e_window_shown "$NEW_LIST_CLASS"; then
        editor_fail "$name" "no Nouvelle Liste dialog"
        return
    fi
    editor_activate "$NEW_LIST_CLASS" '^Nouvelle Liste$'
    if ! editor_field_is 100 '' "$NEW_LIST_CLASS"; then
        editor_fail "$name" "the dialog's field is not empty"
        return
    fi
    # IDOK: "Valider", clicked as a user does.
    editor_mouse 1 "" "$NEW_LIST_CLASS"
    if ! editor_box Erreur 'Le nom de la Liste comporte des caractères interdits !'; then
        editor_fail "$name" "an empty name was not refused with the forbidden-characters message ($(cat "$E2E_TMP/editor-box.txt" 2>/dev/null))"
        e2e_probe click --class "$NEW_LIST_CLASS" --id 2 >/dev/null 2>&1 || true
        return
    fi
    editor_answer Erreur ok
    if ! e2e_window_shown "$NEW_LIST_CLASS"; then
        editor_fail "$name" "the dialog closed after the refusal"
        return
    fi
    if [[ -e "$EDITOR_DIR/Listes/.dat" ]]; then
        editor_fail "$name" "the refused empty name made Listes/.dat"
        return
    fi
    # IDCANCEL: "Annuler", once the dialog is active again after the box.
    editor_activate "$NEW_LIST_CLASS" '^Nouvelle Liste$'
    editor_mouse 2 "" "$NEW_LIST_CLASS"
    if ! e2e_wait_for 10 "the dialog to close" shell_box_gone_class "$NEW_LIST_CLASS"; then
        editor_fail "$name" "Annuler did not close the dialog"
        return
    fi
    after=$(ls "$EDITOR_DIR/Listes" | tr '\n' ' ')
    if [[ $after != "$before" || -e "$EDITOR_DIR/Listes/.dat" ]]; then
        editor_fail "$name" "the lists folder changed: $before -> $after"
        return
    fi
    pass "$name"
}

# editor_menu_height: the height in pixels of the tray menu, opened from the
# icon and closed again (other processes cannot read Wine's menu items; one
# item more or less changes its height by one item's).
editor_menu_height() {
    local top bottom
    e2e_probe post --class CalmirandeAbout --message "$TRAY_CALLBACK" --lparam "$WM_RBUTTONDOWN" >/dev/null 2>&1 || return 1
    e2e_wait_for 10 "the tray menu" e2e_window_shown '#32768' || return 1
    sleep 0.3
    read -r _ _ top _ bottom < <(e2e_probe window --class '#32768' | tr -d '\r' | grep '^rect ') || true
    e2e_probe post --class CalmirandeAbout --message "$WM_KEYDOWN" --wparam "$VK_ESCAPE" >/dev/null 2>&1 || true
    e2e_wait_for 10 "the tray menu closed" shell_menu_closed || return 1
    [[ -n ${bottom:-} ]] && echo $((bottom - top))
}

# editor_create_named NAME: "Créer une Liste" with NAME typed and validated.
editor_create_named() {
    editor_click 107
    e2e_wait_for 10 "the Nouvelle Liste dialog" e2e_window_shown "$NEW_LIST_CLASS" || return 1
    editor_activate "$NEW_LIST_CLASS" '^Nouvelle Liste$'
    editor_mouse 100 "" "$NEW_LIST_CLASS" && xdotool type --delay 40 "$1" && xdotool key Return
    e2e_wait_for 10 "$1.dat" test -f "$EDITOR_DIR/Listes/$1.dat" &&
        e2e_wait_for 10 "the dialog to close" shell_box_gone_class "$NEW_LIST_CLASS"
}

# No message box of that title comes within a second.
editor_no_box() {
    local round
    for round in 1 2 3 4 5; do
        shell_box_gone "$1" || return 1
        sleep 0.2
    done
}

# A list created and then deleted in the editor: the tray menu gains its item
# at once and loses it at once (its height), and the deleted list's old item
# does nothing; every list item that remains makes an existing file the
# active list, without a message.
editor_deleted_list_menu_case() {
    local name=editor-deleted-list-leaves-menu two three after id list
    two=$(editor_menu_height) || { editor_fail "$name" "the tray menu did not open"; return; }
    if ! editor_create_named Passage; then
        editor_fail "$name" "Passage was not created"
        return
    fi
    three=$(editor_menu_height) || { editor_fail "$name" "the tray menu did not open after the creation"; return; }
    editor_click 108
    if ! editor_box Avertissement $'Êtes-vous sûr de vouloir supprimer cette Liste ?: Passage\rSes enregistrements seront gardés dans le fichier: Listes\\Sauvegardes\\Passage.dat.supprimé' ||
        ! editor_answer Avertissement yes || ! e2e_wait_for 10 "Passage.dat to go" test ! -e "$EDITOR_DIR/Listes/Passage.dat"; then
        editor_fail "$name" "Passage could not be deleted"
        return
    fi
    after=$(editor_menu_height) || { editor_fail "$name" "the tray menu did not open after the deletion"; return; }
    e2e_log "$name: tray menu ${two} px with two lists, ${three} px with three, ${after} px after the deletion"
    if ((three <= two)) || ((after != two)); then
        editor_fail "$name" "the menu did not follow at once: ${two} px, ${three} px with Passage, ${after} px after its deletion"
        return
    fi
    # Passage's item was 12, after exemple and autre.
    cp "$EDITOR_DIR/Preferences.txt" "$E2E_TMP/prefs.kept"
    shell_command 12
    if ! editor_no_box Info || ! cmp -s "$E2E_TMP/prefs.kept" "$EDITOR_DIR/Preferences.txt" ||
        [[ -e "$EDITOR_DIR/Listes/Passage.dat" ]]; then
        shell_answer Info >/dev/null 2>&1 || true
        editor_fail "$name" "the deleted list's item still acted (preferences: $(shell_prefs_list))"
        return
    fi
    for id in 11 10; do
        shell_choose_list "$id" || { editor_fail "$name" "item $id did not choose a list"; return; }
        list=$(shell_prefs_list)
        if [[ ! -f "$EDITOR_DIR/Listes/$list" ]] || ! editor_no_box Info; then
            shell_answer Info >/dev/null 2>&1 || true
            editor_fail "$name" "item $id made \"$list\" the active list, which is no file of the folder"
            return
        fi
    done
    # exemple active again, as the next cases need.
    [[ $(shell_prefs_list) == exemple.dat ]] || shell_choose_list 11 || true
    if [[ $(shell_prefs_list) != exemple.dat ]]; then
        editor_fail "$name" "neither item 10 nor 11 is exemple"
        return
    fi
    pass "$name"
}

# "Quitter" with a list of rows: no question, the list saved and made
# active, the preferences written, and its edited row expands in notepad.
editor_leave_case() {
    local name=editor-leave
    editor_select e
    if ! e2e_wait_for 10 "exemple shown again" editor_rows_are $'amt\tAmicalement' $'bjr\tBonjour<R>Paul Marie' \
        $'cdt\tCordialement,<R>' $'sal\tSalut<T>Marc<R>fin'; then
        editor_fail "$name" "exemple's saved rows are not shown again"
        return
    fi
    shell_screenshot "$EDITOR_CLASS" "$ARTIFACTS/editor.png" || true
    editor_click 117
    if ! e2e_wait_for 10 "the editor to hide" editor_hidden; then
        editor_fail "$name" "Quitter did not hide the editor"
        return
    fi
    if ! shell_prefs_are exemple.dat 1 "$EDITOR_DIR"; then
        editor_fail "$name" "the preferences do not name exemple.dat"
        return
    fi
    if ! shell_expands "$name" $'Bonjour\r\nPaul Marie ' 'bjr '; then
        editor_fail "$name" "the edited row does not expand in notepad"
        return
    fi
    pass "$name"
}

# An empty list asks before leaving; No keeps the editor open.
editor_leave_question_case() {
    local name=editor-leave-question
    shell_command 4
    e2e_wait_for 10 "the editor" editor_shown || { editor_fail "$name" "the editor did not show"; return; }
    editor_select a
    e2e_wait_for 10 "autre" editor_rows_are $'xx\tXavier' || { editor_fail "$name" "could not show autre"; return; }
    editor_activate
    editor_mouse 109 0 && editor_click 120
    if ! e2e_wait_for 10 "an empty listing" editor_rows_are; then
        editor_fail "$name" "Supprimer did not remove the only row"
        return
    fi
    editor_click 117
    local question=$'Vous quittez l\'application sans avoir créer des Abréviations dans cette Liste !\rSouhaitez vous quand même quitter l\'application !'
    if ! editor_box Avertissement "$question"; then
        editor_fail "$name" "no question for the empty list: $(cat "$E2E_TMP/editor-box.txt")"
        return
    fi
    editor_answer Avertissement no
    if ! editor_shown || ! editor_file_is autre.dat $'xx\tXavier'; then
        editor_fail "$name" "No closed the editor or saved the list"
        return
    fi
    pass "$name"
}

# The tray's "Quitter" with the editor open saves its changed rows first.
editor_quit_saves_case() {
    local name=editor-tray-quit-saves
    if ! program_running; then
        editor_fail "$name" "the program is not running"
        return
    fi
    shell_quit "$name" || return
    if ! editor_file_is autre.dat; then
        show_bytes "autre.dat" "$EDITOR_DIR/Listes/autre.dat"
        editor_fail "$name" "the rows shown at Quitter were not saved"
        return
    fi
    pass "$name"
}

# ms_since T0: milliseconds from EPOCHREALTIME T0 to now.
ms_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", (b - a) * 1000 }'; }

editor_idle() { e2e_probe wait-idle --class CalmirandeAbout --timeout-ms 20000 >/dev/null 2>&1; }

# Indicative timings of the real window on a full list, in a session of its
# own: opening the editor on 1999 rows, an add that makes 2000 and sorts
# them, and leaving, which saves the 2000 rows and loads them for expansion.
editor_figures() {
    local dir="$E2E_TMP/editor-big" t0 open_ms add_ms leave_ms
    rm -rf "$dir"
    mkdir -p "$dir/Listes"
    { printf '\xEF\xBB\xBF'; awk 'BEGIN { for (i = 1999; i >= 1; i--) printf "k%04d\tTexte de remplacement numéro %d<R>avec une seconde ligne\r\n", i, i }'; } \
        >"$dir/Listes/grande.dat"
    printf '\xEF\xBB\xBFgrande.dat\r\n1' >"$dir/Preferences.txt"
    program_start "$dir" || { e2e_log "editor figures: the program did not start"; return 0; }
    t0=$EPOCHREALTIME
    shell_command 4
    e2e_wait_for 20 "the editor" editor_shown && editor_idle
    open_ms=$(ms_since "$t0")
    editor_activate && editor_type 114 zz && editor_type 115 fin
    t0=$EPOCHREALTIME
    editor_click 116
    e2e_wait_for 20 "2000 rows" editor_counter_reads '2000 sur un nombre maximum de 2000' && editor_idle
    add_ms=$(ms_since "$t0")
    t0=$EPOCHREALTIME
    # The list is loaded for expansion before the window hides (which Wine
    # takes 2 s more to finish).
    editor_click 117
    e2e_wait_for 20 "the editor to hide" editor_hidden
    leave_ms=$(ms_since "$t0")
    program_stop >/dev/null 2>&1 || true
    printf '%s\n' "editor on 1999 rows: open ${open_ms} ms, add and sort to 2000 ${add_ms} ms, leave (save 2000 rows, load them for expansion) ${leave_ms} ms" |
        tee "$ARTIFACTS/editor-figures.txt" | sed 's/^/  figure: /'
}

# The editor open on 2,000 rows, its column titles clicked again and again
# (each click sorts them all on the program's main thread), while the user
# types on in notepad: the keys reach notepad exactly as typed (expansion is
# suspended while the editor is open) and the hooks, on a thread of their
# own, are never lost. After the editor, the list still expands.
editor_sorting_while_typing_case() {
    local name=editor-sorting-while-typing dir="$E2E_TMP/editor-sorting" clicker clicks="$E2E_TMP/sort-clicks"
    rm -rf "$dir"
    mkdir -p "$dir/Listes"
    { printf '\xEF\xBB\xBFcdl\tCordialement,\r\n'; awk 'BEGIN { for (i = 1999; i >= 1; i--) printf "k%04d\tTexte numéro %d\r\n", i, i }'; } \
        >"$dir/Listes/grande.dat"
    printf '\xEF\xBB\xBFgrande.dat\r\n1' >"$dir/Preferences.txt"
    e2e_focus_notepad || true
    # The instrumented twin, for its count of hooks installed again.
    local PROGRAM_EXE=${INSTRUMENTED_EXE:-$PROGRAM_EXE}
    if ! program_start "$dir"; then
        fail "$name" "the program did not start on 2,000 rows"
        return
    fi
    shell_command 4
    if ! e2e_wait_for 20 "the editor" editor_shown || ! editor_idle; then
        fail "$name" "the editor did not open"
        program_stop >/dev/null 2>&1 || true
        return
    fi
    PROGRAM_TARGET=notepad
    target_clear
    # The two column titles clicked in turn every 150 ms, for as long as the
    # typing lasts (posted to the header: a real click would take the
    # keyboard focus from notepad).
    : >"$clicks"
    e2e_probe column-clicks --class "$EDITOR_CLASS" --id 109 --while "$(e2e_winpath "$clicks")" \
        >"$E2E_TMP/sort-clicks.out" 2>&1 &
    clicker=$!
    local sentence='le chat dort cdl sur le mur et la pluie tombe sans bruit cdl fin '
    printf '%s' "$sentence$sentence" >"$E2E_TMP/$name.expected"
    program_type_at ~60 "$sentence"
    program_type_at ~120 "$sentence"
    rm -f "$clicks"
    wait "$clicker" 2>/dev/null || true
    local clicked
    clicked=$(tr -d '\r' <"$E2E_TMP/sort-clicks.out" | awk '$1 == "clicks" { print $2 }')
    local typed_ok=1
    if ! e2e_wait_for 10 "notepad to hold the sentences" target_holds "$E2E_TMP/$name.expected" ||
        ! target_settles "$E2E_TMP/$name.expected"; then
        typed_ok=
        show_bytes expected "$E2E_TMP/$name.expected"
        show_bytes notepad "$(target_text)"
    fi
    editor_activate >/dev/null 2>&1 || true
    editor_click 117
    e2e_wait_for 20 "the editor to hide" editor_hidden && editor_idle
    local expands=1
    shell_expands "$name" 'Cordialement, ' 'cdl ' || expands=
    program_stop >/dev/null 2>&1 || true
    cp "$dir/calmirande-timings.txt" "$ARTIFACTS/calmirande-timings-sorting.txt" 2>/dev/null || true
    local reinstalled=missing
    if [[ -f $dir/calmirande-timings.txt ]]; then
        reinstalled=$(tr -d '\r' <"$dir/calmirande-timings.txt" | awk '$1 == "hooks_reinstalled" { print $2 }')
        program_timings "$dir/calmirande-timings.txt" | sed -n 1p
    fi
    echo "  $name: $clicked column clicks while ${#sentence} keys were typed twice"
    if [[ -z $typed_ok ]]; then
        fail "$name" "the keys typed in notepad while the editor sorted did not arrive as typed"
    elif ((${clicked:-0} < 10)); then
        fail "$name" "only $clicked clicks on the column titles"
    elif [[ $reinstalled != 0 ]]; then
        fail "$name" "the hooks were lost and installed again ($reinstalled) while the editor sorted"
    elif [[ -z $expands ]]; then
        fail "$name" "after the editor, cdl did not expand"
    else
        pass "$name"
    fi
}

editor_counter_reads() {
    shell_tree "$EDITOR_CLASS" counter && grep -qxF "1 Static 104 1 215 490 270 15 $1" "$E2E_TMP/counter.tree"
}

editor_cases() {
    editor_write_files
    SHELL_DIR=$EDITOR_DIR
    e2e_focus_notepad || true
    if ! program_start "$EDITOR_DIR"; then
        fail editor-start "the program did not come up in $EDITOR_DIR"
        return
    fi
    editor_open_case
    editor_add_case
    editor_search_case
    editor_guards_case
    editor_modify_case
    editor_zoom_case
    editor_switch_case
    editor_create_case
    editor_delete_list_case
    editor_empty_name_case
    editor_deleted_list_menu_case
    editor_leave_case
    editor_leave_question_case
    editor_quit_saves_case
    program_stop >/dev/null 2>&1 || true
    editor_figures
    editor_sorting_while_typing_case
}

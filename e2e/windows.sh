# The keyboard in the program's small windows, driven with real keys
# (xdotool) as a Windows user expects of any dialog: About hides on Enter
# and on Escape, wherever its focus is, and Tab moves its focus; Help opens
# with the focus in its text, which the keys and the wheel scroll, and
# Escape closes it; Escape in "Editeur" closes it as its close box does,
# the text going back into the editor.
#
# Sourced by run.sh after editor.sh (same Xvfb, Wine prefix, notepad,
# pass/fail counters, artefacts, program_*, shell_* and editor_* helpers).

WINDOWS_DIR="$E2E_TMP/windows"
WINDOWS_FAILED=

windows_fail() {
    fail "$1" "$2"
    WINDOWS_FAILED=1
}

# windows_focus_is CLASS: the program's focused control is of that class.
windows_focus_is() { e2e_probe foreground | tr -d '\r' | grep -Eq "^focus: $1 "; }

# windows_first_line CLASS: the first line the window's rich-text field shows.
windows_first_line() {
    e2e_probe scroll --class "$1" 2>/dev/null | tr -d '\r' | awk '$1 == "first_line" { print $2 }'
}

windows_scrolled_past() { (($(windows_first_line "$HELP_CLASS") > $1)); }

# windows_show_about: About shown again and in the foreground. Wine does
# not activate a window hidden while it was active when the X focus comes
# back to it; SetForegroundWindow from the probe does.
windows_show_about() {
    local xid
    shell_command 2
    e2e_wait_for 10 "the About window shown" e2e_window_shown "$ABOUT_CLASS" || return 1
    xid=$(xdotool search --onlyvisible --name '^A propos de Calmirande$' 2>/dev/null | head -n 1)
    [[ -n $xid ]] && xdotool windowfocus --sync "$xid" >/dev/null 2>&1
    e2e_probe activate --class "$ABOUT_CLASS" >/dev/null 2>&1 || true
    e2e_wait_for 5 "About in the foreground" editor_in_foreground "$ABOUT_CLASS"
}

# About: Enter with the focus where activation leaves it (the tabs), Tab to
# "Quitter" and Enter there, Escape with the focus in the licence text.
windows_about_keys_case() {
    local name=windows-about-keys
    shell_command 2
    if ! e2e_wait_for 10 "the About window shown" e2e_window_shown "$ABOUT_CLASS" ||
        ! editor_activate "$ABOUT_CLASS" '^A propos de Calmirande$'; then
        windows_fail "$name" "the About window is not shown in the foreground"
        return
    fi
    if ! e2e_wait_for 5 "the focus on the tabs" windows_focus_is SysTabControl32; then
        e2e_probe foreground | sed 's/^/    /'
        windows_fail "$name" "activated, the About window does not give the focus to its tabs"
        return
    fi
    xdotool key Return
    if ! e2e_wait_for 5 "the About window hidden" shell_about_hidden || ! program_running; then
        windows_fail "$name" "Enter did not hide the About window"
        return
    fi

    windows_show_about || true
    xdotool key Tab
    if ! e2e_wait_for 5 "the focus on Quitter" windows_focus_is Button; then
        e2e_probe foreground | sed 's/^/    /'
        windows_fail "$name" "Tab did not move the focus from the tabs to Quitter"
        return
    fi
    xdotool key Return
    if ! e2e_wait_for 5 "the About window hidden" shell_about_hidden; then
        windows_fail "$name" "Enter on Quitter did not hide the About window"
        return
    fi

    windows_show_about || true
    e2e_probe tab-focus --class "$ABOUT_CLASS" --index 1 >/dev/null || true
    e2e_wait_for 5 "the licence page shown" shell_licence_shown || true
    editor_mouse 330 "" "$ABOUT_CLASS" || true
    if ! e2e_wait_for 5 "the focus in the licence" windows_focus_is 'RichEdit[0-9A-Za-z]*'; then
        e2e_probe foreground | sed 's/^/    /'
        windows_fail "$name" "a click in the licence text did not give it the focus"
        return
    fi
    xdotool key Escape
    if ! e2e_wait_for 5 "the About window hidden" shell_about_hidden || ! program_running; then
        windows_fail "$name" "Escape in the licence text did not hide the About window"
        return
    fi
    # Informations again for whoever opens it next.
    e2e_probe tab-focus --class "$ABOUT_CLASS" --index 0 >/dev/null 2>&1 || true
    pass "$name"
}

# Help: the focus in the text from the start; Page Down and the wheel scroll
# it; Escape closes (destroys) the window.
windows_help_keys_case() {
    local name=windows-help-keys first x y
    shell_command 3
    if ! e2e_wait_for 10 "the Help window shown" e2e_window_shown "$HELP_CLASS" ||
        ! editor_activate "$HELP_CLASS" '^Aide de Calmirande$'; then
        windows_fail "$name" "the Help window is not shown in the foreground"
        return
    fi
    if ! e2e_wait_for 5 "the focus in the help text" windows_focus_is 'RichEdit[0-9A-Za-z]*'; then
        e2e_probe foreground | sed 's/^/    /'
        windows_fail "$name" "the Help window does not open with the focus in its text"
        return
    fi
    first=$(windows_first_line "$HELP_CLASS")
    if [[ $first != 0 ]]; then
        windows_fail "$name" "the help does not open at its first line (first line: ${first:-unknown})"
        return
    fi
    xdotool key Next
    if ! e2e_wait_for 5 "Page Down to scroll the help" windows_scrolled_past 0; then
        windows_fail "$name" "Page Down did not scroll the help text"
        return
    fi
    first=$(windows_first_line "$HELP_CLASS")
    read -r x y < <(e2e_probe point --class "$HELP_CLASS" --id 340 | tr -d '\r') || true
    [[ -n ${x:-} ]] && xdotool mousemove "$x" "$y"
    xdotool click --repeat 3 --delay 50 5
    if ! e2e_wait_for 5 "the wheel to scroll the help" windows_scrolled_past "$first"; then
        windows_fail "$name" "the wheel did not scroll the help text further than line $first"
        return
    fi
    xdotool key Escape
    if ! e2e_wait_for 5 "the Help window closed" shell_help_count_is 0 || ! program_running; then
        windows_fail "$name" "Escape did not close the Help window"
        e2e_probe close-window --class "$HELP_CLASS" >/dev/null 2>&1 || true
        return
    fi
    pass "$name"
}

# Editeur: a line typed, Escape, and the window is gone with its text back
# in the replacement field, as after its close box.
windows_editeur_escape_case() {
    local name=windows-editeur-escape
    shell_command 4
    if ! e2e_wait_for 10 "the editor" editor_shown || ! editor_activate ||
        ! editor_type 115 Texte; then
        windows_fail "$name" "could not type into the editor's replacement field"
        return
    fi
    editor_mouse 113
    if ! e2e_wait_for 10 "the Editeur window" e2e_window_shown "$TEXT_EDITOR_CLASS" ||
        ! editor_activate "$TEXT_EDITOR_CLASS" '^Editeur$'; then
        windows_fail "$name" "the magnifier did not open Editeur in the foreground"
        return
    fi
    xdotool key ctrl+End && xdotool type --delay 40 ' ici'
    e2e_wait_for 5 "the typed text" editor_field_is 100 'Texte ici' "$TEXT_EDITOR_CLASS" || true
    xdotool key Escape
    if ! e2e_wait_for 10 "Editeur to close" shell_box_gone_class "$TEXT_EDITOR_CLASS" ||
        ! e2e_wait_for 5 "the text back" editor_field_is 115 'Texte ici'; then
        windows_fail "$name" "Escape did not close Editeur with its text going back"
        e2e_probe close-window --class "$TEXT_EDITOR_CLASS" >/dev/null 2>&1 || true
        return
    fi
    editor_click 119
    editor_click 117
    if ! e2e_wait_for 10 "the editor left" editor_hidden; then
        windows_fail "$name" "the editor did not close after Editeur"
        return
    fi
    pass "$name"
}

# The editor's keys and focus: it opens with the focus in the key field; a
# text put into the replacement field by another program (WM_SETTEXT)
# counts for "Ajouter"; after it the focus is in the key field again; Delete
# in the listing removes the selected row as "Supprimer" does; after a
# message box the focus is back where it was.
windows_editor_keys_case() {
    local name=windows-editor-keys
    shell_command 4
    if ! e2e_wait_for 10 "the editor" editor_shown || ! editor_activate; then
        windows_fail "$name" "the editor is not shown in the foreground"
        return
    fi
    xdotool type --delay 40 zq
    if ! e2e_wait_for 5 "zq in the key field" editor_field_is 114 zq; then
        e2e_probe foreground | sed 's/^/    /'
        windows_fail "$name" "the editor does not open with the focus in the key field"
        return
    fi
    e2e_probe set-text --class "$EDITOR_CLASS" --id 115 --text 'posé de dehors' >/dev/null 2>&1 || true
    editor_click 116
    if ! e2e_wait_for 5 "the row added" windows_rows_hold $'zq\tposé de dehors'; then
        editor_answer_any
        windows_fail "$name" "a text set with WM_SETTEXT did not count for Ajouter: $(cat "$E2E_TMP/rows.txt" 2>/dev/null | head -3)"
        return
    fi
    xdotool type --delay 40 zr
    if ! e2e_wait_for 5 "zr in the key field" editor_field_is 114 zr; then
        windows_fail "$name" "after Ajouter the focus is not in the key field"
        return
    fi
    # "Ajouter" with an empty text: the box, then the focus back in the key field.
    editor_click 116
    if editor_box Info "Un ou plusieurs champs sont vides !"; then
        editor_answer Info ok
        xdotool type --delay 40 s
        if ! e2e_wait_for 5 "zrs in the key field" editor_field_is 114 zrs; then
            windows_fail "$name" "after the message box the focus is not back in the key field"
            return
        fi
    else
        windows_fail "$name" "no message for empty fields: $(cat "$E2E_TMP/editor-box.txt" 2>/dev/null)"
        return
    fi
    editor_click 119
    editor_mouse 109 0 || { windows_fail "$name" "no row to click"; return; }
    e2e_wait_for 5 "the first row in the key field" editor_field_is 114 bjr || true
    xdotool key Delete
    if ! e2e_wait_for 5 "the row deleted" windows_rows_lack $'bjr\tBonjour'; then
        windows_fail "$name" "Delete in the listing did not remove the row"
        return
    fi
    editor_click 117
    if ! e2e_wait_for 10 "the editor left" editor_hidden; then
        windows_fail "$name" "the editor did not close"
        return
    fi
    pass "$name"
}

windows_rows_hold() { editor_rows_are_any && grep -qxF "$1" "$E2E_TMP/rows.txt"; }
windows_rows_lack() { editor_rows_are_any && ! grep -qxF "$1" "$E2E_TMP/rows.txt"; }
editor_rows_are_any() {
    e2e_probe list-rows --class "$EDITOR_CLASS" --id 109 --out "$(e2e_winpath "$E2E_TMP/rows.txt")" >/dev/null 2>&1
}
editor_answer_any() { editor_answer Info ok >/dev/null 2>&1 || true; }

windows_cases() {
    rm -rf "$WINDOWS_DIR"
    e2e_write_list "$WINDOWS_DIR" Essai.dat $'bjr\tBonjour'
    printf '\xEF\xBB\xBFEssai.dat\r\n1' >"$WINDOWS_DIR/Preferences.txt"
    SHELL_DIR=$WINDOWS_DIR
    e2e_focus_notepad || true
    if ! program_start "$WINDOWS_DIR"; then
        fail windows-start "the program did not come up in $WINDOWS_DIR"
        return
    fi
    windows_about_keys_case
    windows_help_keys_case
    windows_editeur_escape_case
    windows_editor_keys_case
    program_stop >/dev/null 2>&1 || true
    e2e_focus_notepad || true
}

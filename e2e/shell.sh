# The program as a user lives with it from the tray: the first start in an
# empty folder, a second instance, the About and Help windows, a list chosen
# from the menu, both switches and "Quitter". Menu commands are posted to the
# About window as the tray menu sends them (WM_COMMAND, no control); the
# right press on the icon is posted as the shell's callback message.
#
# Sourced by run.sh after program.sh (same Xvfb, Wine prefix, notepad,
# pass/fail counters, artefacts and program_* helpers). Also measures the
# README's figures: the time to the tray icon, idle memory against a minimal
# window program of our own, and the exe sizes.

ABOUT_CLASS=CalmirandeAbout
HELP_CLASS=CalmirandeHelp
SHELL_DIR="$E2E_TMP/shell"
MINIMAL_EXE=
# The tray icon's callback message (WM_APP + 2) and a right press in it.
TRAY_CALLBACK=32770
WM_RBUTTONDOWN=516
WM_KEYDOWN=256
VK_ESCAPE=27

# shell_command ID: the tray menu's command ID, as the menu posts it.
shell_command() {
    e2e_probe command --class "$ABOUT_CLASS" --id "$1" >/dev/null 2>&1 || e2e_log "could not post command $1"
}

# shell_prefs_are LIST AID: Preferences.txt of SHELL_DIR (or $3) holds
# exactly the bytes the program writes for them.
shell_prefs_are() {
    local dir=${3:-$SHELL_DIR}
    printf '\xEF\xBB\xBF%s\r\n%s' "$1" "$2" >"$E2E_TMP/prefs.expected"
    cmp -s "$E2E_TMP/prefs.expected" "$dir/Preferences.txt"
}

# shell_prefs_list: line 1 of SHELL_DIR's Preferences.txt.
shell_prefs_list() { head -n 1 "$SHELL_DIR/Preferences.txt" | sed '1s/^\xEF\xBB\xBF//; s/\r$//'; }

# shell_box_shown TITLE [OUT]: a message box of that title is up; its text
# goes to OUT.
shell_box_shown() {
    local out=${2:-$E2E_TMP/box.txt}
    e2e_probe message-box --title "$1" --out "$(e2e_winpath "$out")" >"$E2E_TMP/box.raw"
}

shell_box_gone() { ! e2e_probe message-box --title "$1" >/dev/null 2>&1; }

# shell_answer TITLE: presses OK on the box and waits for it to go.
shell_answer() {
    e2e_probe message-box --title "$1" --answer ok >/dev/null 2>&1 || return 1
    e2e_wait_for 10 "the box \"$1\" to close" shell_box_gone "$1"
    shell_focus_notepad || true
}

# shell_tree CLASS NAME: the window's tree, CR-free, in $E2E_TMP/NAME.tree.
shell_tree() {
    e2e_probe tree --class "$1" >"$E2E_TMP/$2.raw" 2>&1 || return 1
    tr -d '\r' <"$E2E_TMP/$2.raw" >"$E2E_TMP/$2.tree"
}

# shell_rich CLASS FILE: the plain text of the window's rich-text field.
shell_rich() {
    e2e_probe read-rich --class "$1" --out "$(e2e_winpath "$2")" >/dev/null
}

# shell_screenshot CLASS FILE: the window's client area as the screen shows
# it (without a window manager the frame is not drawn).
shell_screenshot() {
    local left top right bottom width height border
    e2e_probe window --class "$1" 2>/dev/null | tr -d '\r' >"$E2E_TMP/shot.state" || true
    read -r _ left top right bottom < <(grep '^rect ' "$E2E_TMP/shot.state") || return 1
    width=$((right - left)) height=$((bottom - top))
    if shell_tree "$1" shot && read -r _ width height < <(grep '^client ' "$E2E_TMP/shot.tree"); then
        border=$(((right - left - width) / 2))
        left=$((left + border)) top=$((bottom - border - height))
    fi
    import -window root -crop "${width}x${height}+$left+$top" +repage "$2" 2>/dev/null
}

# shell_quit NAME: "Quitter" from the menu; the program ends, with exit code 0.
shell_quit() {
    local name=$1 rc=0
    shell_command 7 || true
    if ! e2e_wait_for 15 "the program to end after Quitter" program_exited; then
        kill "$PROGRAM_PID" 2>/dev/null || true
        wait "$PROGRAM_PID" 2>/dev/null || true
        PROGRAM_PID=
        fail "$name" "the program did not end on Quitter"
        return 1
    fi
    wait "$PROGRAM_PID" || rc=$?
    PROGRAM_PID=
    if ((rc != 0)); then
        fail "$name" "the program ended with exit code $rc"
        return 1
    fi
}

# When a window of ours goes (a message box, the menu), Wine hands the
# foreground to its standalone tray window while X keeps its focus on
# notepad, so `xdotool windowfocus` changes nothing; SetForegroundWindow from
# the probe brings notepad back.
shell_focus_notepad() {
    e2e_notepad_has_focus && return 0
    e2e_probe activate --class Notepad >/dev/null 2>&1 || true
    e2e_focus_notepad
}

# shell_expands NAME EXPECTED TYPED: types TYPED in notepad, which must then
# hold EXPECTED and keep it.
shell_expands() {
    local name=$1 expected=$2 typed=$3
    shell_focus_notepad || return 1
    target_clear || return 1
    printf '%s' "$expected" >"$E2E_TMP/$name.expected"
    xdotool type --delay 15 -- "$typed"
    if e2e_wait_for 10 "notepad to hold the expected text" target_holds "$E2E_TMP/$name.expected" &&
        target_settles "$E2E_TMP/$name.expected"; then
        return 0
    fi
    show_bytes notepad "$(target_text)"
    return 1
}

# First start in an empty folder: "Listes" and "Preferences.txt" (line 2 0)
# are made, the guidance box says no list exists; after OK the program runs,
# and "Quitter" writes the preferences with the writing aid on.
shell_first_start_case() {
    local name=shell-first-start dir="$E2E_TMP/shell-first"
    rm -rf "$dir"
    mkdir -p "$dir"
    if ! program_start "$dir" || ! e2e_wait_for 15 "the guidance box" shell_box_shown Calmirande; then
        fail "$name" "no guidance box titled Calmirande after the first start"
        program_stop || true
        return
    fi
    import -window root "$ARTIFACTS/first-start-guidance.png" 2>/dev/null || true
    if [[ "$(cat "$E2E_TMP/box.txt")" != "Aucune Liste n'est créée, l'éditeur des abréviations va se lancer !" ]]; then
        fail "$name" "the guidance says: $(cat "$E2E_TMP/box.txt")"
        program_stop || true
        return
    fi
    if [[ ! -d "$dir/Listes" ]] || ! shell_prefs_are '' 0 "$dir"; then
        show_bytes "Preferences.txt" "$dir/Preferences.txt"
        fail "$name" "no Listes folder, or Preferences.txt is not BOM, CR LF, 0"
        program_stop || true
        return
    fi
    if ! shell_answer Calmirande || ! program_running; then
        fail "$name" "the program did not go on after the guidance"
        program_stop || true
        return
    fi
    shell_quit "$name" || return
    if ! shell_prefs_are '' 1 "$dir"; then
        show_bytes "Preferences.txt" "$dir/Preferences.txt"
        fail "$name" "Quitter did not write BOM, CR LF, 1 (a first run has the writing aid on)"
        return
    fi
    [[ -s "$dir/calmirande-timings.txt" ]] && cp "$dir/calmirande-timings.txt" "$ARTIFACTS/calmirande-timings-first-start.txt"
    pass "$name"
}

# "Quitter" chosen while the guidance box is still up ends the program at
# once: nothing else happens, the box is never answered.
shell_quit_in_box_case() {
    local name=shell-quit-inside-message-box dir="$E2E_TMP/shell-quit-box"
    rm -rf "$dir"
    mkdir -p "$dir"
    if ! program_start "$dir" || ! e2e_wait_for 15 "the guidance box" shell_box_shown Calmirande; then
        fail "$name" "no guidance box"
        program_stop || true
        return
    fi
    shell_quit "$name" || return
    if ! shell_prefs_are '' 1 "$dir"; then
        show_bytes "Preferences.txt" "$dir/Preferences.txt"
        fail "$name" "the preferences were not written by Quitter"
        return
    fi
    pass "$name"
}

# A replacement long enough to be still typing when "Quitter" comes.
SHELL_LONG_TEXT=$(printf 'mot%03d ' $(seq 1 60))
SHELL_LONG_TEXT=${SHELL_LONG_TEXT% }

shell_write_files() {
    rm -rf "$SHELL_DIR"
    e2e_write_list "$SHELL_DIR" Test.dat $'slt\tSalut' $'sla\tSalade' $'bjr\tBonjour<R>Paul' "lng"$'\t'"$SHELL_LONG_TEXT"
    e2e_write_list "$SHELL_DIR" Autre.dat $'slt\tAutrement'
    printf '\xEF\xBB\xBFTest.dat\r\n1' >"$SHELL_DIR/Preferences.txt"
}

# A second start in the same folder shows the single-instance box and ends
# with exit code 0; the first goes on as before, its one About window and
# its preferences untouched, and still expands.
shell_second_instance_case() {
    local name=shell-second-instance pid rc=0 first_pid=$PROGRAM_PID
    cp "$SHELL_DIR/Preferences.txt" "$E2E_TMP/prefs.before"
    (cd "$SHELL_DIR" && exec "$WINE" "$PROGRAM_EXE") >"$E2E_TMP/second.log" 2>&1 &
    pid=$!
    if ! e2e_wait_for 30 "the single-instance box" shell_box_shown Info; then
        kill "$pid" 2>/dev/null || true
        fail "$name" "no box titled Info from the second instance"
        return
    fi
    import -window root "$ARTIFACTS/second-instance.png" 2>/dev/null || true
    if [[ "$(cat "$E2E_TMP/box.txt")" != "Le programme Calmirande est déjà en cours d'exécution !" ]]; then
        shell_answer Info || true
        fail "$name" "the box says: $(cat "$E2E_TMP/box.txt")"
        return
    fi
    shell_answer Info || true
    if ! e2e_wait_for 15 "the second instance to end" bash -c "! kill -0 $pid 2>/dev/null"; then
        kill "$pid" 2>/dev/null || true
        fail "$name" "the second instance did not end"
        return
    fi
    wait "$pid" || rc=$?
    if ((rc != 0)); then
        fail "$name" "the second instance ended with exit code $rc"
        return
    fi
    local count
    count=$(e2e_probe count --class "$ABOUT_CLASS" | tr -d '\r') || count=none
    if [[ $PROGRAM_PID != "$first_pid" ]] || ! program_running || [[ $count != 1 ]] ||
        ! cmp -s "$E2E_TMP/prefs.before" "$SHELL_DIR/Preferences.txt"; then
        fail "$name" "the first instance was disturbed ($count About windows)"
        return
    fi
    if ! shell_expands "$name" 'Salut ' 'slt '; then
        fail "$name" "the first instance no longer expands"
        return
    fi
    pass "$name"
}

# tree_has FILE PATTERN: a line of the tree matches the extended regex.
tree_has() { grep -Eq -- "$2" "$1"; }

shell_about_hidden() { ! e2e_window_shown "$ABOUT_CLASS"; }
shell_licence_shown() {
    shell_tree "$ABOUT_CLASS" about-tab && tree_has "$E2E_TMP/about-tab.tree" ' RichEdit[0-9A-Za-z]* 330 1 '
}
shell_help_count_is() { [[ "$(e2e_probe count --class "$HELP_CLASS" | tr -d '\r')" == "$1" ]]; }
shell_menu_closed() { ! e2e_window_shown '#32768'; }
shell_prefs_list_is_not() { [[ "$(shell_prefs_list)" != "$1" ]]; }

# About from the menu: the window, its texts and links read back, the
# licence as plain text (the RTF rendered, never raw); the selected tab is
# kept when the window is hidden (close box) and shown again; its own
# "Quitter" only hides it.
shell_about_case() {
    local name=shell-about tree="$E2E_TMP/about.tree" licence="$ARTIFACTS/about-licence.txt"
    shell_command 2
    if ! e2e_wait_for 10 "the About window shown" e2e_window_shown "$ABOUT_CLASS" || ! shell_tree "$ABOUT_CLASS" about; then
        fail "$name" "the About window is not shown after command 2"
        return
    fi
    cp "$tree" "$ARTIFACTS/about.tree"
    local expected
    for expected in '^title A propos de Calmirande$' '^client 400 320$' \
        ' SysTabControl32 301 1 10 10 380 280 ' ' Button 300 1 160 295 80 20 Quitter$' \
        ' Static [0-9]+ 1 [0-9 ]+ Calmirande$' ' Static [0-9]+ 1 [0-9 ]+ Version: 1\.2$' \
        ' Static [0-9]+ 1 [0-9 ]+ Compatibilité: 2000, XP, Vista et Window 7 \(Version 32 Bits\)$' \
        ' Static [0-9]+ 1 [0-9 ]+ Auteur: le projet Calmirande$' ' Static [0-9]+ 1 [0-9 ]+ Email:$' \
        ' Static [0-9]+ 1 [0-9 ]+ Site Web:$' ' Static 303 1 [0-9 ]+ contact@calmirande\.org$' \
        ' Static 302 1 [0-9 ]+ https://www\.calmirande\.org$' \
        " Static [0-9]+ 1 [0-9 ]+ N'hésitez pas à me contacter pour me reporter des bugs ou bien me donner vos suggestions d'amélioration\.$"; do
        if ! tree_has "$tree" "$expected"; then
            sed 's/^/    /' "$tree"
            fail "$name" "the About window lacks: $expected"
            return
        fi
    done
    shell_screenshot "$ABOUT_CLASS" "$ARTIFACTS/about-informations.png" || true
    # The licence is there from the start, on its hidden page, for readers
    # from outside the program too.
    if ! tree_has "$tree" ' RichEdit[0-9A-Za-z]* 330 0 ' || ! shell_rich "$ABOUT_CLASS" "$licence" ||
        ! grep -q 'Licence de Calmirande' "$licence"; then
        fail "$name" "the licence text is not there before its tab is shown"
        return
    fi
    # The Licence tab, then hidden with the close box and shown again.
    e2e_probe tab-focus --class "$ABOUT_CLASS" --index 1 >/dev/null || true
    if ! e2e_wait_for 5 "the licence page shown" shell_licence_shown; then
        fail "$name" "the Licence tab does not show the licence"
        return
    fi
    if ! shell_rich "$ABOUT_CLASS" "$licence" || ! grep -q 'Licence de Calmirande' "$licence" ||
        ! grep -q 'Avertissements:' "$licence" || grep -Eq '\\rtf|\\par|[{}]' "$licence"; then
        head -c 600 "$licence" 2>/dev/null | sed 's/^/    /'
        fail "$name" "the licence does not read as plain text with its title and heading"
        return
    fi
    shell_screenshot "$ABOUT_CLASS" "$ARTIFACTS/about-licence.png" || true
    e2e_probe close-window --class "$ABOUT_CLASS" >/dev/null || true
    if ! e2e_wait_for 5 "the About window hidden" shell_about_hidden || ! program_running; then
        fail "$name" "the close box did not just hide the About window"
        return
    fi
    shell_command 2
    e2e_wait_for 10 "the About window shown again" e2e_window_shown "$ABOUT_CLASS" || true
    shell_tree "$ABOUT_CLASS" about-again || true
    if ! tree_has "$E2E_TMP/about-again.tree" ' RichEdit[0-9A-Za-z]* 330 1 ' ||
        tree_has "$E2E_TMP/about-again.tree" ' Static [0-9]+ 1 [0-9 ]+ Version: 1\.2$'; then
        fail "$name" "the Licence tab was not kept across hide and show"
        return
    fi
    e2e_probe tab-focus --class "$ABOUT_CLASS" --index 0 >/dev/null || true
    e2e_probe click --class "$ABOUT_CLASS" --id 300 >/dev/null || true
    if ! e2e_wait_for 5 "the About window hidden" shell_about_hidden || ! program_running; then
        fail "$name" "the About window's Quitter did not just hide it"
        return
    fi
    pass "$name"
}

# Help from the menu: one window whatever the count of commands, its text
# read back as plain text, the 10-pixel margin kept when maximised and
# restored, destroyed by its close box and made again by the next command.
shell_help_case() {
    local name=shell-help tree="$E2E_TMP/help.tree" help="$ARTIFACTS/help.txt"
    shell_command 3
    if ! e2e_wait_for 10 "the Help window shown" e2e_window_shown "$HELP_CLASS" || ! shell_tree "$HELP_CLASS" help; then
        fail "$name" "the Help window is not shown after command 3"
        return
    fi
    cp "$tree" "$ARTIFACTS/help.tree"
    if ! tree_has "$tree" '^title Aide de Calmirande$' || ! tree_has "$tree" '^client 680 480$' ||
        ! tree_has "$tree" '^1 RichEdit[0-9A-Za-z]* [0-9]+ 1 10 10 660 460 '; then
        sed 's/^/    /' "$tree"
        fail "$name" "the Help window is not 680 x 480 with its field at 10, 10, 660 x 460"
        return
    fi
    local expected
    shell_rich "$HELP_CLASS" "$help" || true
    for expected in 'Aide de Calmirande V1.2' '1er exemple:' '2ème exemple:' 'Remarque' 'fpol\*Monsieur\*' 'RAZ'; do
        if ! grep -q -- "$expected" "$help"; then
            head -c 600 "$help" | sed 's/^/    /'
            fail "$name" "the help text lacks: $expected"
            return
        fi
    done
    if grep -Eq '\\rtf|\\par|[{}]' "$help"; then
        fail "$name" "the help shows raw RTF"
        return
    fi
    shell_screenshot "$HELP_CLASS" "$ARTIFACTS/help.png" || true
    shell_command 3
    sleep 0.5
    if ! shell_help_count_is 1; then
        fail "$name" "a second Aide made a second Help window"
        return
    fi
    e2e_probe show --class "$HELP_CLASS" --how maximize >/dev/null || true
    sleep 0.5
    shell_tree "$HELP_CLASS" help-max || true
    local width=0 height=0
    width=0 height=0
    read -r _ width height < <(grep '^client ' "$E2E_TMP/help-max.tree") || true
    if ((width <= 680)) || ! tree_has "$E2E_TMP/help-max.tree" "^1 RichEdit[0-9A-Za-z]* [0-9]+ 1 10 10 $((width - 20)) $((height - 20)) "; then
        sed 's/^/    /' "$E2E_TMP/help-max.tree"
        fail "$name" "maximised, the field does not keep its 10-pixel margin"
        return
    fi
    e2e_probe show --class "$HELP_CLASS" --how restore >/dev/null || true
    sleep 0.5
    shell_tree "$HELP_CLASS" help-restored || true
    if ! tree_has "$E2E_TMP/help-restored.tree" '^1 RichEdit[0-9A-Za-z]* [0-9]+ 1 10 10 660 460 '; then
        sed 's/^/    /' "$E2E_TMP/help-restored.tree"
        fail "$name" "restored, the field is not back at 10, 10, 660 x 460"
        return
    fi
    e2e_probe close-window --class "$HELP_CLASS" >/dev/null || true
    if ! e2e_wait_for 5 "the Help window destroyed" shell_help_count_is 0; then
        fail "$name" "the close box did not destroy the Help window"
        return
    fi
    shell_command 3
    if ! e2e_wait_for 10 "the Help window shown again" e2e_window_shown "$HELP_CLASS"; then
        fail "$name" "Aide after closing the Help window did not open it again"
        return
    fi
    e2e_probe close-window --class "$HELP_CLASS" >/dev/null || true
    pass "$name"
}

SHELL_TEST_ID=
SHELL_OTHER_ID=

# shell_choose_list ID: chooses that list item and returns once the
# preferences have been written again (they are taken away first, so the
# new file is that choice's).
shell_choose_list() {
    rm -f "$SHELL_DIR/Preferences.txt"
    shell_command "$1"
    e2e_wait_for 10 "the choice of item $1 saved" test -s "$SHELL_DIR/Preferences.txt"
}

# Both list items of the menu: each choice is in the preferences at once
# (line 1 the chosen file, line 2 unchanged) and the list expands.
shell_list_case() {
    local name=shell-list-from-menu first second
    if ! shell_choose_list 10 || ! shell_prefs_list_is_one_of; then
        fail "$name" "choosing item 10 did not save one of the lists in the preferences"
        return
    fi
    first=$(shell_prefs_list)
    if ! shell_choose_list 11 || ! shell_prefs_list_is_one_of || [[ $(shell_prefs_list) == "$first" ]]; then
        fail "$name" "choosing item 11 did not save the other list in the preferences"
        return
    fi
    second=$(shell_prefs_list)
    if ! shell_prefs_are "$second" 1; then
        show_bytes "Preferences.txt" "$SHELL_DIR/Preferences.txt"
        fail "$name" "the preferences are not BOM, $second, CR LF, 1"
        return
    fi
    if [[ $second == Test.dat ]]; then SHELL_TEST_ID=11 SHELL_OTHER_ID=10; else SHELL_TEST_ID=10 SHELL_OTHER_ID=11; fi
    local expected='Salut '
    [[ $second == Autre.dat ]] && expected='Autrement '
    if ! shell_expands "$name" "$expected" 'slt '; then
        show_bytes "notepad" "$(target_text)"
        fail "$name" "after choosing $second, slt does not expand to its text"
        return
    fi
    # Back to Test.dat for the other cases.
    shell_choose_list "$SHELL_TEST_ID" || true
    pass "$name"
}

shell_prefs_list_is_one_of() {
    local list
    list=$(shell_prefs_list)
    [[ $list == Test.dat || $list == Autre.dat ]]
}

# A list whose file vanished after the menu was built: the editor's message,
# then the expansion's, each naming the file; the list is still the active
# one in the preferences, and nothing expands.
shell_vanished_list_case() {
    local name=shell-list-vanished
    mv "$SHELL_DIR/Listes/Autre.dat" "$E2E_TMP/Autre.dat.kept"
    shell_command "$SHELL_OTHER_ID"
    if ! e2e_wait_for 10 "the first message" shell_box_shown Info "$E2E_TMP/vanished-1.txt" ||
        ! grep -q "^Impossible d'ouvrir le fichier: Autre.dat" "$E2E_TMP/vanished-1.txt"; then
        fail "$name" "no editor message naming Autre.dat ($(cat "$E2E_TMP/vanished-1.txt" 2>/dev/null))"
        mv "$E2E_TMP/Autre.dat.kept" "$SHELL_DIR/Listes/Autre.dat"
        return
    fi
    shell_answer Info || true
    if ! e2e_wait_for 10 "the second message" shell_box_shown Info "$E2E_TMP/vanished-2.txt" ||
        ! grep -q "^Impossible de charger les abréviations du fichier: Autre.dat" "$E2E_TMP/vanished-2.txt"; then
        fail "$name" "no expansion message naming Autre.dat ($(cat "$E2E_TMP/vanished-2.txt" 2>/dev/null))"
        mv "$E2E_TMP/Autre.dat.kept" "$SHELL_DIR/Listes/Autre.dat"
        return
    fi
    shell_answer Info || true
    mv "$E2E_TMP/Autre.dat.kept" "$SHELL_DIR/Listes/Autre.dat"
    if ! e2e_wait_for 5 "the preferences naming Autre.dat" shell_prefs_are Autre.dat 1; then
        fail "$name" "the preferences do not name the vanished list"
        return
    fi
    if ! shell_expands "$name" 'slt ' 'slt '; then
        fail "$name" "something expanded with an empty table"
        return
    fi
    shell_choose_list "$SHELL_TEST_ID" || true
    pass "$name"
}

# Items 6 and 5: the expansion and the writing aid off and on again; neither
# writes the preferences.
shell_switches_case() {
    local name=shell-switches
    cp "$SHELL_DIR/Preferences.txt" "$E2E_TMP/prefs.before"
    shell_command 6
    sleep 0.3
    if ! shell_expands "$name-expansion-off" 'slt ' 'slt '; then
        fail "$name" "slt expanded with Activer les Abréviations off"
        return
    fi
    shell_command 6
    sleep 0.3
    if ! shell_expands "$name-expansion-on" 'Salut ' 'slt '; then
        fail "$name" "slt did not expand once Activer les Abréviations was on again"
        return
    fi
    shell_command 5
    sleep 0.3
    local round
    shell_focus_notepad || true
    aid_typed "$name-aid-off" sl || true
    for round in 1 2 3 4 5; do
        if ! aid_hidden; then
            fail "$name" "the strip shows with Afficher l'aide à la rédaction off"
            return
        fi
        sleep 0.1
    done
    shell_command 5
    sleep 0.3
    shell_focus_notepad || true
    if ! aid_typed "$name-aid-on" sla || ! e2e_wait_for 10 "the strip shown" aid_shown; then
        fail "$name" "the strip does not show once the writing aid is on again"
        return
    fi
    target_clear || true
    if ! cmp -s "$E2E_TMP/prefs.before" "$SHELL_DIR/Preferences.txt"; then
        fail "$name" "a switch wrote the preferences"
        return
    fi
    pass "$name"
}

# The right press on the tray icon opens the menu (a popup menu window
# shows); Escape closes it.
shell_tray_menu_case() {
    local name=shell-tray-menu
    e2e_probe post --class "$ABOUT_CLASS" --message "$TRAY_CALLBACK" --lparam "$WM_RBUTTONDOWN" >/dev/null || true
    if ! e2e_wait_for 10 "the tray menu shown" e2e_window_shown '#32768'; then
        fail "$name" "no popup menu after a right press on the tray icon"
        return
    fi
    sleep 0.3
    shell_screenshot '#32768' "$ARTIFACTS/tray-menu.png" || true
    e2e_probe post --class "$ABOUT_CLASS" --message "$WM_KEYDOWN" --wparam "$VK_ESCAPE" >/dev/null || true
    if ! e2e_wait_for 10 "the tray menu closed" shell_menu_closed; then
        xdotool key Escape
        e2e_wait_for 5 "the tray menu closed" shell_menu_closed || true
        fail "$name" "Escape did not close the tray menu"
        return
    fi
    pass "$name"
}

# The long replacement's first letter is in notepad: its worker is typing.
shell_long_begun() {
    e2e_read_notepad "$E2E_TMP/notepad.txt" >/dev/null && [[ "$(head -c 1 "$E2E_TMP/notepad.txt")" == m ]]
}

# "Quitter" writes the active list and the writing aid as they are now. It
# comes while a long replacement is being typed: the program ends only once
# that one is typed whole.
shell_quit_case() {
    local name=shell-quit-writes-preferences
    shell_command 5  # the writing aid off: line 2 must say 0
    sleep 0.3
    shell_focus_notepad || true
    target_clear || true
    xdotool type --delay 15 -- 'lng '
    if ! e2e_wait_for 10 "the long expansion to begin" shell_long_begun; then
        fail "$name" "the long replacement did not begin"
        return
    fi
    shell_quit "$name" || return
    printf '%s ' "$SHELL_LONG_TEXT" >"$E2E_TMP/$name.expected"
    # The program has ended, so every event of the text is in notepad's
    # queue; notepad under 32-bit Wine shows about fifty characters a second.
    if ! e2e_wait_for 30 "notepad to hold the whole replacement" target_holds "$E2E_TMP/$name.expected"; then
        show_bytes "notepad" "$(target_text)"
        fail "$name" "quitting cut the replacement being typed"
        return
    fi
    if ! shell_prefs_are Test.dat 0; then
        show_bytes "Preferences.txt" "$SHELL_DIR/Preferences.txt"
        fail "$name" "Quitter did not write BOM, Test.dat, CR LF, 0"
        return
    fi
    [[ -s "$SHELL_DIR/calmirande-timings.txt" ]] && cp "$SHELL_DIR/calmirande-timings.txt" "$ARTIFACTS/calmirande-timings-shell.txt"
    pass "$name"
}

SHELL_FIGURES=()

# private_kib PID: the process's private memory in KiB as Linux counts it
# (Private_Clean + Private_Dirty of smaps_rollup): what "private bytes"
# means for a Wine process, whose GetProcessMemoryInfo reports no
# PrivateUsage for another process.
private_kib() {
    awk '$1 == "Private_Clean:" || $1 == "Private_Dirty:" { kib += $2 } END { print kib + 0 }' \
        "/proc/$1/smaps_rollup" 2>/dev/null || echo 0
}

# The working set as GetProcessMemoryInfo reports it, in bytes.
working_set_of() { e2e_probe memory --class "$1" 2>/dev/null | tr -d '\r' | awk '$1 == "working_set" { print $2 }'; }

# Idle memory of the program and of a minimal window program of ours, built
# like it: private memory and working set, and their ratios.
shell_memory_figures() {
    local program_ws= program_private= minimal_ws= minimal_private= pid=
    sleep 2
    program_ws=$(working_set_of "$ABOUT_CLASS") || program_ws=
    program_private=$(private_kib "$PROGRAM_PID")
    MINIMAL_EXE=$(dirname "$PROBE")/calmirande_e2e_minimal.exe
    [[ -f "$MINIMAL_EXE" ]] || { e2e_log "no $MINIMAL_EXE: no memory ratio"; return 0; }
    "$WINE" "$MINIMAL_EXE" >/dev/null 2>&1 &
    pid=$!
    if e2e_wait_for 30 "the minimal window program" e2e_window_exists CalmirandeE2eMinimal; then
        sleep 2
        minimal_ws=$(working_set_of CalmirandeE2eMinimal) || minimal_ws=
        minimal_private=$(private_kib "$pid")
    fi
    e2e_probe close-window --class CalmirandeE2eMinimal >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [[ -n "$program_ws" && -n "$minimal_ws" && $minimal_ws -gt 0 && $minimal_private -gt 0 ]] || return 0
    SHELL_FIGURES+=("$(awk -v pw="$program_ws" -v mw="$minimal_ws" -v pp="$program_private" -v mp="$minimal_private" 'BEGIN {
        printf "idle memory: private %.1f MiB against %.1f MiB for a minimal window program (%.2fx), working set %.1f MiB against %.1f MiB (%.2fx)",
            pp / 1024, mp / 1024, pp / mp, pw / 1048576, mw / 1048576, pw / mw }')")
}

shell_report_figures() {
    local timings file exe
    for timings in "$ARTIFACTS/calmirande-timings-shell.txt" "$ARTIFACTS/calmirande-timings-first-start.txt" \
        "$ARTIFACTS/calmirande-timings.txt"; do
        [[ -s $timings ]] || continue
        SHELL_FIGURES+=("$(awk -v f="$(basename "$timings")" '$1 == "tray_icon_ms" { ms = $2 } $1 == "tray_icon_shown" { shown = $2 }
            END { printf "tray icon added %s ms after the process started (%s, shown %s)", ms, f, shown }' "$timings")")
    done
    for exe in $(printf '%s\n' "${E2E_I686_EXE:-$BUILD_DIR/../win32/calmirande.exe}" "$PROGRAM_EXE" "${INSTRUMENTED_EXE:-}" | xargs -r realpath 2>/dev/null | sort -u); do
        [[ -f $exe ]] && SHELL_FIGURES+=("$(file -b "$exe" | cut -d, -f1): $(stat -c %s "$exe") bytes ($exe)")
    done
    printf '%s\n' "${SHELL_FIGURES[@]}" | tee "$ARTIFACTS/shell-figures.txt" | sed 's/^/  figure: /'
}

# shell_link_pixels X Y KIND: how many red or blue pixels the screen shows in
# the 120 x 14 pixels right of X Y (the start of a link's text).
shell_link_pixels() {
    local fx
    case $3 in
        red) fx='(r > 0.6 && g < 0.35 && b < 0.35) ? 1 : 0' ;;
        blue) fx='(b > 0.6 && r < 0.35 && g < 0.35) ? 1 : 0' ;;
    esac
    import -window root -crop "120x14+$1+$2" +repage "$E2E_TMP/link.png" 2>/dev/null &&
        convert "$E2E_TMP/link.png" -fx "$fx" -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0
}

shell_link_is() {
    local pixels
    pixels=$(shell_link_pixels "$1" "$2" "$3")
    ((pixels > 20))
}

# The About window's links: blue, red under the pointer, blue again once it
# leaves.
shell_link_hover_case() {
    local name=shell-about-link-hover x y left top
    shell_command 2
    if ! e2e_wait_for 10 "the About window shown" e2e_window_shown "$ABOUT_CLASS"; then
        fail "$name" "the About window is not shown after command 2"
        return
    fi
    e2e_probe tab-focus --class "$ABOUT_CLASS" --index 0 >/dev/null 2>&1 || true
    sleep 0.5
    read -r x y < <(e2e_probe point --class "$ABOUT_CLASS" --id 302 | tr -d '\r') || true
    if [[ -z ${y:-} ]]; then
        fail "$name" "the web-site link is not there"
        return
    fi
    # The text starts at the control's left edge: the middle is 142 pixels right of it.
    left=$((x - 142)) top=$((y - 7))
    xdotool mousemove 5 5
    if ! e2e_wait_for 5 "the link in blue" shell_link_is "$left" "$top" blue; then
        fail "$name" "the web-site link is not drawn in blue"
        return
    fi
    xdotool mousemove "$((left + 20))" "$y"
    if ! e2e_wait_for 5 "the link in red" shell_link_is "$left" "$top" red; then
        fail "$name" "the web-site link does not turn red under the pointer"
        return
    fi
    import -window root "$ARTIFACTS/about-link-hover.png" 2>/dev/null || true
    xdotool mousemove 5 5
    if ! e2e_wait_for 5 "the link blue again" shell_link_is "$left" "$top" blue; then
        fail "$name" "the web-site link stays red once the pointer has left"
        return
    fi
    e2e_probe click --class "$ABOUT_CLASS" --id 300 >/dev/null || true
    e2e_wait_for 5 "the About window hidden" shell_about_hidden || true
    pass "$name"
}

# shell_windows_version VERSION: what Wine's GetVersionExA tells the program
# (nt40, win2k, ...), or Wine's default when empty.
shell_windows_version() {
    local key='HKCU\Software\Wine\AppDefaults\calmirande.exe'
    if [[ -n $1 ]]; then
        "$WINE" reg add "$key" /v Version /d "$1" /f >/dev/null 2>&1
    else
        "$WINE" reg delete "$key" /f >/dev/null 2>&1 || true
    fi
}

# Below Windows 2000 the program says so and ends with exit code 0, having
# made nothing; on Windows 2000 it starts.
shell_version_case() {
    local name=shell-windows-version dir="$E2E_TMP/shell-version" rc=0
    rm -rf "$dir"
    mkdir -p "$dir"
    shell_windows_version nt40
    (cd "$dir" && exec "$WINE" "$PROGRAM_EXE") >"$E2E_TMP/version.log" 2>&1 &
    PROGRAM_PID=$!
    if ! e2e_wait_for 30 "the refusal" shell_box_shown Info ||
        [[ "$(cat "$E2E_TMP/box.txt")" != $'Calmirande ne fonctionne pas sur cette version de Window !\r\rCe programme est compatible avec XP, Vista et Window 7 (Version 32 Bits)' ]]; then
        fail "$name" "Windows NT 4 gave no refusal (box: $(cat "$E2E_TMP/box.txt" 2>/dev/null))"
        kill "$PROGRAM_PID" 2>/dev/null || true
        PROGRAM_PID=
        shell_windows_version ''
        return
    fi
    e2e_probe message-box --title Info --answer ok >/dev/null 2>&1 || true
    e2e_wait_for 15 "the refused program to end" program_exited || true
    wait "$PROGRAM_PID" || rc=$?
    PROGRAM_PID=
    if ((rc != 0)) || [[ -e "$dir/Listes" || -e "$dir/Preferences.txt" ]]; then
        fail "$name" "the refusal ended with exit code $rc or made files: $(ls "$dir" | tr '\n' ' ')"
        shell_windows_version ''
        return
    fi
    shell_windows_version ''
    shell_old_windows_case shell-windows-2000 win2k
    shell_old_windows_case shell-windows-xp winxp
    shell_focus_notepad || true
    pass "$name"
}

# shell_system_version VERSION: the Windows version that Wine reports to
# every program of the prefix (notepad and the probe too), or its default
# when empty.
shell_system_version() {
    if [[ -n $1 ]]; then
        "$WINE" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
    else
        "$WINE" reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1 || true
    fi
}

shell_reported_version() {
    { "$WINE" cmd /c ver 2>/dev/null || true; } | tr -d '\r' | { grep -o 'Windows [0-9][0-9.]*' || true; } | head -1
}

# shell_old_windows_case NAME VERSION: the whole prefix claims to be Windows
# 2000 (win2k) or XP (winxp), or is left as it is (VERSION empty); the
# program starts with a list and expands in notepad, then quits and writes
# its preferences.
shell_old_windows_case() {
    local name=$1 version=$2 dir="$E2E_TMP/$1" reported
    rm -rf "$dir"
    e2e_write_list "$dir" Ancien.dat $'bjr\tBonjour<R>Paul'
    printf '\xEF\xBB\xBFAncien.dat\r\n0' >"$dir/Preferences.txt"
    shell_system_version "$version"
    reported=$(shell_reported_version)
    e2e_log "$name: Wine reports ${reported:-no version}"
    if ! program_start "$dir"; then
        fail "$name" "the program did not start on $version ($reported)"
        program_stop >/dev/null 2>&1 || true
        shell_system_version ''
        return
    fi
    if ! shell_expands "$name" $'Bonjour\r\nPaul ' 'bjr '; then
        fail "$name" "no expansion on $version ($reported): notepad holds $(od -An -c "$E2E_TMP/notepad.txt" 2>/dev/null | tr -s ' ' | head -c 200)"
        program_stop >/dev/null 2>&1 || true
        shell_system_version ''
        return
    fi
    program_stop >/dev/null 2>&1 || true
    shell_system_version ''
    if [[ $(head -n 1 "$dir/Preferences.txt" | sed '1s/^\xEF\xBB\xBF//; s/\r$//') != Ancien.dat ]]; then
        fail "$name" "the preferences were not written back on $version"
        return
    fi
    pass "$name ($reported)"
}

shell_icon_present() { e2e_probe tray-icon --class "$ABOUT_CLASS" >/dev/null 2>&1; }
shell_icon_absent() { ! shell_icon_present; }

# The notification area loses the icon (Explorer restarting) and then
# broadcasts "TaskbarCreated": the program adds its icon again, and its menu
# opens from it as before.
shell_taskbar_created_case() {
    local name=shell-icon-after-taskbar-created
    if ! e2e_wait_for 10 "the tray icon" shell_icon_present; then
        fail "$name" "the program's icon is not in the notification area"
        return
    fi
    e2e_probe tray-icon --class "$ABOUT_CLASS" --delete 1 >/dev/null 2>&1 || true
    if ! e2e_wait_for 5 "the icon to go" shell_icon_absent; then
        fail "$name" "the icon could not be taken away"
        return
    fi
    e2e_probe post --class "$ABOUT_CLASS" --message TaskbarCreated >/dev/null 2>&1 || true
    if ! e2e_wait_for 10 "the icon back" shell_icon_present; then
        fail "$name" "TaskbarCreated did not bring the icon back"
        return
    fi
    e2e_probe post --class "$ABOUT_CLASS" --message "$TRAY_CALLBACK" --lparam "$WM_RBUTTONDOWN" >/dev/null 2>&1 || true
    if ! e2e_wait_for 10 "the tray menu" e2e_window_shown '#32768'; then
        fail "$name" "the menu does not open from the icon added again"
        return
    fi
    e2e_probe post --class "$ABOUT_CLASS" --message "$WM_KEYDOWN" --wparam "$VK_ESCAPE" >/dev/null 2>&1 || true
    if ! e2e_wait_for 10 "the menu to close" shell_menu_closed; then
        xdotool key Escape
        e2e_wait_for 5 "the menu to close" shell_menu_closed || true
    fi
    pass "$name"
}

shell_cases() {
    if [[ ! -f "$PROGRAM_EXE" ]]; then
        fail shell-start "$PROGRAM_EXE is missing (scripts/build.sh win32)"
        return
    fi
    PROGRAM_TARGET=notepad
    e2e_focus_notepad || true
    shell_first_start_case
    shell_quit_in_box_case
    shell_version_case

    shell_write_files
    e2e_focus_notepad || true
    if ! program_start "$SHELL_DIR"; then
        fail shell-start "the program did not come up in $SHELL_DIR"
        return
    fi
    shell_memory_figures
    shell_second_instance_case
    shell_about_case
    shell_link_hover_case
    shell_help_case
    shell_list_case
    if [[ -n $SHELL_OTHER_ID ]]; then shell_vanished_list_case; fi
    shell_switches_case
    shell_tray_menu_case
    shell_taskbar_created_case
    if program_running; then shell_quit_case; else fail shell-quit-writes-preferences "the program is not running"; fi
    program_stop >/dev/null 2>&1 || true
    shell_report_figures
}

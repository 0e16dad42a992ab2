#pragma once
// The abbreviation editor without its window: the rows of the list being
// edited (the only working copy of it), the selected row, the two entry
// fields, the button state, the list selector and the counters. Every user
// action is one call that changes the model and returns what the window layer
// shows and redraws; the window layer never decides anything itself.
//
// Main thread only. Files are read and written through the FileStore seam,
// and only by switching lists, creating a list, leaving the editor, a list
// chosen in the tray menu and the program's end: adding, modifying, deleting,
// clearing and sorting change the rows in memory only.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lists/file_store.h"
#include "lists/list_file.h"

namespace calmirande {

inline constexpr std::size_t MinKeyLength = 2;

enum class Buttons { Ok, YesNo };

// A message box: the text, its title and its buttons.
struct Message {
    std::u16string text;
    std::u16string_view title;
    Buttons buttons = Buttons::Ok;
    // No is the default button: a key typed on, or Enter, must not say Yes.
    bool defaultNo = false;
    friend bool operator==(const Message&, const Message&) = default;
};

// "Ajouter" enabled alone (entry), or "Modifier" and "Supprimer" (picked).
enum class ButtonState { Entry, Picked };

// One entry of the list selector: the name shown and the exact file it
// stands for. Display names drop every ".dat" ("a.dat.dat" shows as "a"),
// so the file name is kept rather than rebuilt from what is shown.
struct ListEntry {
    std::u16string displayName;
    std::u16string fileName;
    friend bool operator==(const ListEntry&, const ListEntry&) = default;
};

// What changed and must be drawn again.
struct Redraw {
    bool rows = false;            // the listing's rows, their texts and order
    bool selection = false;       // which row is selected
    bool fields = false;          // the texts of both entry fields
    bool buttons = false;         // the button state
    bool selector = false;        // the selector's entries and its selection
    bool listsCounter = false;
    bool recordsCounter = false;
};

enum class ScrollTo { None, PartlyVisible, WhollyVisible };

struct EditorOutcome {
    std::optional<Message> message;
    Redraw redraw;
    ScrollTo scroll = ScrollTo::None;  // bring the selected row into view
    bool focusEditorWindow = false;    // the selector must not keep the keyboard focus
    bool openNameDialog = false;       // "Créer une Liste": ask the new list's name
    bool catalogueChanged = false;     // the shell takes catalogueFileNames() again
    // False when a save failed and the operation stopped with every row kept.
    bool succeeded = true;
    // The failure was the shown rows' save: going on without it is the user's call.
    bool saveFailed = false;
};

enum class Answer { No, Yes };

// What follows a "Quitter" for the rest of the program.
struct LeaveOutcome {
    std::optional<Message> message;  // a failed save or load of the active list
    bool saveFailed = false;         // the editor stays: the rows could not be saved
    // The user answered No to the question: the editor stays, and the tray
    // menu is rebuilt from the expansion as it is now, suspended or not.
    bool declined = false;
    bool hideWindow = false;
    // Set when the active list changes: its file (empty for none) and its
    // place in the catalogue (-1 for none). The preferences must then name it.
    std::optional<std::u16string> activeListFile;
    std::int32_t activeListIndex = -1;
    std::u16string activeListDisplayName;
    // The loaded active list, when one was made active.
    std::optional<ActiveList> activeList;
    // Expansion comes back when the tray item "Activer les Abréviations" is ticked.
    bool restoreExpansionIfTicked = false;
    // Always: the tray menu is rebuilt from the state, whatever the answer.
    bool rebuildTrayMenu = true;
};

// How the rows are ordered by a column-title click.
struct SortState {
    // Title clicks do nothing until the first add or modify reaches its sort.
    bool titleClicksEnabled = false;
    int lastColumn = -1;
    bool lastAscending = true;
};

class EditorModel {
public:
    // The catalogue's file names, in its order: the selector's entries.
    explicit EditorModel(const std::vector<std::u16string>& catalogueFileNames);

    // --- State, as the window layer draws it.
    const AbbreviationList& rows() const { return rows_; }
    std::optional<std::size_t> selectedRow() const { return selectedRow_; }
    const std::u16string& keyField() const { return keyField_; }
    const std::u16string& replacementField() const { return replacementField_; }
    ButtonState buttonState() const { return buttonState_; }
    const std::vector<ListEntry>& selectorEntries() const { return entries_; }
    std::optional<std::size_t> selectorSelection() const { return selectorSelection_; }
    // The file whose rows the listing holds, or nothing.
    const std::optional<std::u16string>& shownListFile() const { return shownListFile_; }
    // False after a failed load: the rows are not the file's. Those the user
    // adds are saved only once the file can be read again, joined to its
    // rows, or when it no longer exists; never over a file that is unread.
    bool shownListLoaded() const { return shownListLoaded_; }
    // The rows changed (content or order) since they were loaded or saved.
    // Only changed rows are written: a switch, a creation or a leave without
    // an edit leaves the file as it was, byte for byte.
    bool rowsChanged() const { return rowsChanged_; }
    bool shownListReadOnly() const { return shownListReadOnly_; }
    const SortState& sortState() const { return sort_; }
    const std::u16string& listsCounterText() const { return listsCounterText_; }
    const std::u16string& recordsCounterText() const { return recordsCounterText_; }
    // The catalogue as the selector now has it.
    std::vector<std::u16string> catalogueFileNames() const;

    // --- From outside the window.
    // Start-up and a list chosen in the tray menu: select the entry of that
    // file and load its rows. Rows changed since their load are saved to
    // their own list first; if that fails, nothing else happens.
    EditorOutcome showChosenList(FileStore& files, std::u16string_view fileName);
    // The program ends (tray "Quitter"): rows changed since their load are
    // saved to their list. False with the message when that failed.
    EditorOutcome saveBeforeQuit(FileStore& files);
    // Tray item "Editer les Abréviations": both fields emptied, entry state;
    // the shown list read again when another program changed it and no row
    // of it is unsaved here.
    EditorOutcome openEditor(FileStore& files);
    // The session ends (log off, shut down): changed rows are saved, and
    // when they cannot be, a copy is set aside and they still count as
    // changed. Text in the fields that no row holds is set aside as one more
    // row, with those rows or alone. Nothing is asked or told: no one is
    // there to answer. False when the rows are not in their file.
    bool saveForSessionEnd(FileStore& files);

    // --- A failed save that stops the user (leaving, a switch, the tray's
    // "Quitter"): the failure and the question whether to go on without
    // saving, in one box.
    // The rows are set aside first (`setAsideUnsavedRows`, with the fallback
    // folders), so that the question says where they are, or that no copy
    // could be made.
    Message goOnWithoutSavingQuestion(FileStore& files, std::u16string_view failure);
    // "Yes" to it: the rows no longer count as changed (they are in the copy
    // the question named, or the user was told they are lost), so that the
    // step that stopped can be taken again.
    void letUnsavedRowsGo();
    // Where rows go when "Listes\Sauvegardes" cannot be written, in order.
    void setFallbackFolders(std::vector<std::u16string> folders) { fallbackFolders_ = std::move(folders); }

    // --- The user, in the window.
    // The selector's selection changed (by mouse or keyboard).
    EditorOutcome switchEditedList(FileStore& files, std::optional<std::size_t> selection);
    // The user selected a row in the listing (a click, the arrow keys).
    EditorOutcome selectRow(std::optional<std::size_t> row);
    // An event of the listing; only one while it has the keyboard focus
    // copies the selected row into the fields.
    EditorOutcome pickRow(bool listingHasFocus);
    // The user changed a field's text; each runs its incremental search. A
    // text equal to the model's is the echo of the model's own change and
    // starts no search.
    EditorOutcome keyFieldEdited(std::u16string text);
    EditorOutcome replacementFieldEdited(std::u16string text);
    // The "Editeur" window closed: its text goes back without a search.
    EditorOutcome replacementTextReturned(std::u16string text);

    EditorOutcome addAbbreviation();
    EditorOutcome modifyAbbreviation();
    EditorOutcome deleteAbbreviation();
    EditorOutcome resetFields();
    EditorOutcome clickColumnTitle(int column);

    // "Créer une Liste": the limit message, or openNameDialog.
    EditorOutcome beginCreateList() const;
    // "Valider" in the name dialog: the refusal ("Erreur") or nothing.
    std::optional<Message> checkNewListName(FileStore& files, std::u16string_view listName) const;
    // The dialog accepted the name: the shown rows are saved first, then the
    // empty list is created and shown.
    EditorOutcome createList(FileStore& files, std::u16string_view listName);

    // "Supprimer cette Liste": "Aucune Liste sélectionnée !" or the question.
    EditorOutcome beginDeleteList(FileStore& files) const;
    EditorOutcome deleteList(FileStore& files, Answer answer);

    // "Quitter" or the close box: the question to ask first, if any. With a
    // list selected, text typed in the fields that no row holds is asked
    // about before an empty list.
    std::optional<Message> leaveQuestion() const;
    // The tray's "Quitter" while the editor shows: that question alone.
    std::optional<Message> typedTextQuestion() const;
    // With the answer (Yes when there was no question). The list file is
    // written here; the preferences are the shell's, from the outcome.
    LeaveOutcome leaveEditor(FileStore& files, Answer answer);

    // Whether the shown list's file stays within MaxListFileBytes once a row
    // of `addedBytes` takes the place of one of `removedBytes`.
    bool fitsInListFile(std::size_t addedBytes, std::size_t removedBytes = 0) const;
    bool keyExists(std::u16string_view key) const;

private:
    std::optional<std::size_t> entryOfFile(std::u16string_view fileName) const;
    // Saves the shown rows to their own list when they changed (or their
    // file vanished and they are its last copy).
    OperationResult saveShownRows(FileStore& files, Redraw& redraw);
    void loadRows(FileStore& files, const ListEntry& entry, EditorOutcome& outcome);
    // The shown rows are what the list's file holds, with that fingerprint.
    void rememberAsOnDisk(std::uint64_t fingerprint);
    // Joins the rows of the version another program wrote (`otherBytes`) to
    // the changed rows: theirs whose key is new here and that were not
    // deleted here; the other version kept whole beside the backups. The
    // notice that says so.
    std::u16string joinOtherVersion(FileStore& files, const std::u16string& fileName, const std::string& otherBytes,
                                    Redraw& redraw);
    void sortAfterEdit();
    void markEdited();
    void emptyFields();
    void updateRecordsCounter();
    void updateListsCounter();

    AbbreviationList rows_;
    // The shown list's lines beyond the MaxEntriesPerList rows the listing
    // holds: not shown, written back after the rows by every save.
    std::u16string linesBeyondBound_;
    std::optional<std::size_t> selectedRow_;
    std::u16string keyField_;
    std::u16string replacementField_;
    ButtonState buttonState_ = ButtonState::Entry;
    std::pair<std::u16string, std::u16string> pickedFields_;  // as the last pick filled them
    std::vector<ListEntry> entries_;
    std::optional<std::size_t> selectorSelection_;
    std::optional<std::u16string> shownListFile_;
    bool shownListLoaded_ = false;
    // Understood too little of (see EditingRead): shown, never written.
    bool shownListReadOnly_ = false;
    bool rowsChanged_ = false;
    // The shown rows as last read from or written to their file, and that
    // file content's fingerprint: what tells another program's edit.
    AbbreviationList rowsOnDisk_;
    std::optional<std::uint64_t> fingerprintOnDisk_;
    // The rows last copied aside, their list and the copy's path: the same
    // rows asked about twice, or saved twice at a session's end, make one copy.
    struct SetAside {
        std::u16string fileName;
        AbbreviationList rows;
        std::u16string path;
    };
    std::optional<SetAside> lastSetAside_;
    std::vector<std::u16string> fallbackFolders_;
    std::optional<std::u16string> setRowsAside(FileStore& files, const std::u16string& fileName,
                                               const AbbreviationList& rows);
    // The fields' text as a row, when they hold any that no row holds.
    std::optional<Abbreviation> typedRow() const;
    SortState sort_;
    std::u16string listsCounterText_;
    std::u16string recordsCounterText_;
};

// Sorts `rows` by the texts of `column` (0 key, 1 stored text): the first 254
// units of each, A-Z folded to a-z and nothing else, so accented letters sort
// after z. Stable; `selected` follows its row.
void sortListing(AbbreviationList& rows, int column, bool ascending, std::optional<std::size_t>& selected);

// "N sur un nombre maximum de M".
std::u16string counterText(std::size_t count, std::size_t maximum);

// The replacement text as it becomes a row: U+0020 removed from both ends
// only; tabs and line breaks stay.
std::u16string trimSpaces(std::u16string_view text);

}  // namespace calmirande

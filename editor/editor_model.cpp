#include "editor/editor_model.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "common/lower_case.h"
#include "common/messages.h"
#include "editor/field_guards.h"
#include "lists/catalogue.h"
#include "lists/list_creation.h"

namespace calmirande {
namespace {

// Only this much of each text takes part in a sort.
constexpr std::size_t kSortedUnits = 254;

char16_t foldAsciiCapital(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

int compareForSort(const std::u16string& a, const std::u16string& b) {
    const std::size_t la = std::min(a.size(), kSortedUnits);
    const std::size_t lb = std::min(b.size(), kSortedUnits);
    const std::size_t common = std::min(la, lb);
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t ca = foldAsciiCapital(a[i]);
        const char16_t cb = foldAsciiCapital(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

Message info(std::u16string_view text) { return {std::u16string(text), messages::TitleInfo, Buttons::Ok}; }

Message question(std::u16string text) { return {std::move(text), messages::TitleAvertissement, Buttons::YesNo}; }

EditorOutcome withMessage(Message message) {
    EditorOutcome outcome;
    outcome.message = std::move(message);
    return outcome;
}

}  // namespace

std::u16string counterText(std::size_t count, std::size_t maximum) {
    std::u16string text;
    for (char c : std::to_string(count)) text.push_back(static_cast<char16_t>(c));
    text.append(messages::RecordsCounterMiddle);
    for (char c : std::to_string(maximum)) text.push_back(static_cast<char16_t>(c));
    return text;
}

std::u16string trimSpaces(std::u16string_view text) {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(u' ');
    return std::u16string(text.substr(first, last - first + 1));
}

void sortListing(AbbreviationList& rows, int column, bool ascending, std::optional<std::size_t>& selected) {
    if (rows.empty()) return;
    const auto text = [&](std::size_t i) -> const std::u16string& {
        return column == 0 ? rows[i].key : rows[i].storedText;
    };
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Descending reverses each comparison; equal texts keep their order either way.
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int c = compareForSort(text(a), text(b));
        return ascending ? c < 0 : c > 0;
    });
    AbbreviationList sorted;
    sorted.reserve(rows.size());
    std::optional<std::size_t> newSelected;
    for (std::size_t place = 0; place < order.size(); ++place) {
        if (selected && order[place] == *selected) newSelected = place;
        sorted.push_back(std::move(rows[order[place]]));
    }
    rows = std::move(sorted);
    selected = newSelected;
}

EditorModel::EditorModel(const std::vector<std::u16string>& catalogueFileNames) {
    entries_.reserve(catalogueFileNames.size());
    for (const std::u16string& fileName : catalogueFileNames) entries_.push_back({listDisplayName(fileName), fileName});
}

std::vector<std::u16string> EditorModel::catalogueFileNames() const {
    std::vector<std::u16string> names;
    names.reserve(entries_.size());
    for (const ListEntry& entry : entries_) names.push_back(entry.fileName);
    return names;
}

std::optional<std::size_t> EditorModel::entryOfFile(std::u16string_view fileName) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].fileName == fileName) return i;
    }
    return std::nullopt;
}

OperationResult EditorModel::saveShownRows(FileStore& files, Redraw& redraw) {
    if (!shownListFile_) return {true, {}};
    const std::u16string& fileName = *shownListFile_;
    if (!rowsChanged_) {
        // Unchanged rows are written only when their file vanished behind
        // our back: they are then the last copy of the list.
        if (!shownListLoaded_ || rows_.empty() || files.exists(listPath(fileName))) return {true, {}};
    } else if (!shownListLoaded_) {
        // Rows added to a list that could not be read: its own rows come
        // first once it can be; what cannot be read is never written over.
        const ListFileContent current = readListFile(files, fileName);
        if (current.state == ListFileState::Unreadable) return {false, saveFailedMessage(fileName)};
        if (current.state == ListFileState::Read) {
            AbbreviationList joined = parseListForEditing(current.bytes, &linesBeyondBound_);
            for (const Abbreviation& row : rows_) {
                const auto same = std::find_if(joined.begin(), joined.end(),
                                               [&](const Abbreviation& other) { return other.key == row.key; });
                if (same != joined.end()) {
                    same->storedText = row.storedText;
                } else if (joined.size() < MaxEntriesPerList) {
                    joined.push_back(row);
                } else {
                    return {false, saveFailedMessage(fileName)};
                }
            }
            rows_ = std::move(joined);
            selectedRow_.reset();
            updateRecordsCounter();
            redraw.rows = redraw.selection = redraw.recordsCounter = true;
        }
        shownListLoaded_ = true;
    }
    OperationResult saved = saveList(files, fileName, rows_, linesBeyondBound_);
    if (saved.succeeded) rowsChanged_ = false;
    return saved;
}

void EditorModel::loadRows(FileStore& files, const ListEntry& entry, EditorOutcome& outcome) {
    rows_.clear();
    selectedRow_.reset();
    recordsCounterText_.clear();
    const OperationResult loaded = loadListForEditing(files, entry.fileName, rows_, &linesBeyondBound_);
    shownListFile_ = entry.fileName;
    shownListLoaded_ = loaded.succeeded;
    rowsChanged_ = false;
    if (!loaded.succeeded) outcome.message = info(loaded.message);
    updateRecordsCounter();
    outcome.redraw.rows = outcome.redraw.selection = outcome.redraw.recordsCounter = true;
}

void EditorModel::updateRecordsCounter() { recordsCounterText_ = counterText(rows_.size(), MaxEntriesPerList); }

void EditorModel::updateListsCounter() { listsCounterText_ = counterText(entries_.size(), MaxLists); }

void EditorModel::emptyFields() {
    keyField_.clear();
    replacementField_.clear();
}

void EditorModel::markEdited() { rowsChanged_ = true; }

void EditorModel::sortAfterEdit() {
    sortListing(rows_, 0, true, selectedRow_);
    sort_ = {true, 0, true};
}

bool EditorModel::keyExists(std::u16string_view key) const {
    return std::any_of(rows_.begin(), rows_.end(), [&](const Abbreviation& row) { return row.key == key; });
}

EditorOutcome EditorModel::showChosenList(FileStore& files, std::u16string_view fileName) {
    EditorOutcome outcome;
    const OperationResult saved = saveShownRows(files, outcome.redraw);
    if (!saved.succeeded) {
        outcome.message = info(saved.message);
        outcome.succeeded = false;
        outcome.saveFailed = true;
        return outcome;
    }
    const std::optional<std::size_t> entry = entryOfFile(fileName);
    if (!entry) return outcome;
    selectorSelection_ = entry;
    outcome.redraw.selector = true;
    loadRows(files, entries_[*entry], outcome);
    return outcome;
}

EditorOutcome EditorModel::saveBeforeQuit(FileStore& files) {
    EditorOutcome outcome;
    const OperationResult saved = saveShownRows(files, outcome.redraw);
    if (!saved.succeeded) {
        outcome.message = info(saved.message);
        outcome.succeeded = false;
        outcome.saveFailed = true;
    }
    return outcome;
}

bool EditorModel::saveForSessionEnd(FileStore& files) {
    Redraw ignored;
    if (saveShownRows(files, ignored).succeeded) return true;
    // A copy, not a save: the rows still count as changed, so that when
    // another program cancels the end (WM_ENDSESSION FALSE) the next leave
    // or "Quitter" writes them to their list.
    if (!shownListFile_) return false;
    if (setAsideAtSessionEnd_ && setAsideAtSessionEnd_->first == *shownListFile_ &&
        setAsideAtSessionEnd_->second == rows_) {
        return false;
    }
    if (setAsideUnsavedRows(files, *shownListFile_, rows_)) setAsideAtSessionEnd_.emplace(*shownListFile_, rows_);
    return false;
}

Message EditorModel::goOnWithoutSavingQuestion(FileStore& files, std::u16string_view failure) const {
    std::u16string text(failure);
    text.append(u"\r\r").append(messages::GoOnWithoutSaving);
    if (shownListFile_) {
        text.append(1, u'\r').append(messages::UnsavedRowsCopiedTo).append(freeUnsavedRowsPath(files, *shownListFile_));
    }
    return question(std::move(text));
}

void EditorModel::setUnsavedRowsAside(FileStore& files) {
    if (!shownListFile_) return;
    // Nothing more can be done for them when even this fails: the user chose to go on.
    setAsideUnsavedRows(files, *shownListFile_, rows_);
    rowsChanged_ = false;
}

EditorOutcome EditorModel::openEditor() {
    emptyFields();
    buttonState_ = ButtonState::Entry;
    EditorOutcome outcome;
    outcome.redraw.fields = outcome.redraw.buttons = true;
    return outcome;
}

EditorOutcome EditorModel::switchEditedList(FileStore& files, std::optional<std::size_t> selection) {
    EditorOutcome outcome;
    outcome.focusEditorWindow = true;
    if (selection && *selection >= entries_.size()) selection.reset();
    if (!selection) {
        selectorSelection_.reset();
        return outcome;
    }
    if (shownListFile_ && entries_[*selection].fileName == *shownListFile_) {
        selectorSelection_ = selection;
        return outcome;
    }
    // The rows go back to the list they came from, whichever entry is now selected.
    const OperationResult saved = saveShownRows(files, outcome.redraw);
    if (!saved.succeeded) {
        // Loading the other list would drop the only copy of these rows.
        selectorSelection_ = shownListFile_ ? entryOfFile(*shownListFile_) : std::nullopt;
        outcome.redraw.selector = true;
        outcome.message = info(saved.message);
        outcome.succeeded = false;
        outcome.saveFailed = true;
        return outcome;
    }
    selectorSelection_ = selection;
    loadRows(files, entries_[*selection], outcome);
    return outcome;
}

EditorOutcome EditorModel::selectRow(std::optional<std::size_t> row) {
    selectedRow_ = row && *row < rows_.size() ? row : std::nullopt;
    return {};
}

EditorOutcome EditorModel::pickRow(bool listingHasFocus) {
    EditorOutcome outcome;
    if (!listingHasFocus || !selectedRow_) return outcome;
    const Abbreviation& row = rows_[*selectedRow_];
    keyField_ = row.key;
    replacementField_ = decodeStoredText(row.storedText);
    buttonState_ = ButtonState::Picked;
    outcome.redraw.fields = outcome.redraw.buttons = true;
    return outcome;
}

EditorOutcome EditorModel::keyFieldEdited(std::u16string text) {
    EditorOutcome outcome;
    if (text == keyField_) return outcome;
    keyField_ = std::move(text);
    if (const std::optional<std::size_t> found = searchByKey(rows_, keyField_)) {
        selectedRow_ = found;
        outcome.redraw.selection = true;
        outcome.scroll = ScrollTo::PartlyVisible;
    }
    return outcome;
}

EditorOutcome EditorModel::replacementFieldEdited(std::u16string text) {
    EditorOutcome outcome;
    if (text == replacementField_) return outcome;
    replacementField_ = std::move(text);
    if (const std::optional<std::size_t> found = searchByText(rows_, keyField_, replacementField_)) {
        selectedRow_ = found;
        outcome.redraw.selection = true;
        outcome.scroll = ScrollTo::PartlyVisible;
    }
    return outcome;
}

EditorOutcome EditorModel::replacementTextReturned(std::u16string text) {
    replacementField_ = std::move(text);
    EditorOutcome outcome;
    outcome.redraw.fields = true;
    return outcome;
}

EditorOutcome EditorModel::addAbbreviation() {
    if (!selectorSelection_ || entries_[*selectorSelection_].displayName.empty()) {
        return withMessage(info(messages::SelectOrCreateList));
    }
    std::u16string key = toLowerCase(keyField_);
    std::u16string stored = encodeStoredText(trimSpaces(replacementField_));
    if (key.empty() || stored.empty()) return withMessage(info(messages::EmptyFields));
    if (key.size() < MinKeyLength) return withMessage(info(messages::KeyTooShort));
    if (keyExists(key)) return withMessage(info(messages::KeyExists));
    if (rows_.size() >= MaxEntriesPerList) {
        EditorOutcome outcome = withMessage(info(messages::ListFull));
        emptyFields();
        outcome.redraw.fields = true;
        return outcome;
    }
    rows_.push_back({std::move(key), std::move(stored)});
    updateRecordsCounter();
    selectedRow_ = rows_.size() - 1;
    sortAfterEdit();
    emptyFields();
    markEdited();
    EditorOutcome outcome;
    outcome.redraw.rows = outcome.redraw.selection = outcome.redraw.fields = outcome.redraw.recordsCounter = true;
    outcome.scroll = ScrollTo::WhollyVisible;
    return outcome;
}

EditorOutcome EditorModel::modifyAbbreviation() {
    if (!selectorSelection_ || entries_[*selectorSelection_].displayName.empty()) {
        return withMessage(info(messages::SelectOrCreateList));
    }
    if (!selectedRow_) return withMessage(info(messages::SelectARow));
    std::u16string key = toLowerCase(keyField_);
    std::u16string text = trimSpaces(replacementField_);
    // A refused change keeps the fields as typed, for the user to mend.
    if (key.empty() || text.empty()) return withMessage(info(messages::EmptyFields));
    if (key.size() < MinKeyLength) return withMessage(info(messages::KeyTooShort));
    if (keyExists(key) && key != rows_[*selectedRow_].key) return withMessage(info(messages::KeyExists));
    emptyFields();
    buttonState_ = ButtonState::Entry;
    EditorOutcome outcome;
    outcome.redraw.fields = outcome.redraw.buttons = true;
    rows_[*selectedRow_] = {std::move(key), encodeStoredText(text)};
    sortAfterEdit();
    markEdited();
    outcome.redraw.rows = outcome.redraw.selection = true;
    outcome.scroll = ScrollTo::WhollyVisible;
    return outcome;
}

EditorOutcome EditorModel::deleteAbbreviation() {
    if (!selectedRow_) return withMessage(info(messages::SelectARow));
    buttonState_ = ButtonState::Entry;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(*selectedRow_));
    selectedRow_.reset();
    emptyFields();
    updateRecordsCounter();
    markEdited();
    EditorOutcome outcome;
    outcome.redraw.rows = outcome.redraw.selection = outcome.redraw.fields = outcome.redraw.buttons =
        outcome.redraw.recordsCounter = true;
    return outcome;
}

EditorOutcome EditorModel::resetFields() {
    emptyFields();
    buttonState_ = ButtonState::Entry;
    EditorOutcome outcome;
    outcome.redraw.fields = outcome.redraw.buttons = true;
    return outcome;
}

EditorOutcome EditorModel::clickColumnTitle(int column) {
    EditorOutcome outcome;
    if (!sort_.titleClicksEnabled || (column != 0 && column != 1) || rows_.empty()) return outcome;
    const bool ascending = column != sort_.lastColumn || !sort_.lastAscending;
    sortListing(rows_, column, ascending, selectedRow_);
    sort_.lastColumn = column;
    sort_.lastAscending = ascending;
    // The order is part of what the file will hold.
    rowsChanged_ = true;
    outcome.redraw.rows = outcome.redraw.selection = true;
    return outcome;
}

EditorOutcome EditorModel::beginCreateList() const {
    if (std::optional<std::u16string> limit = listLimitRefusal(entries_.size())) {
        return withMessage({std::move(*limit), messages::TitleAvertissement, Buttons::Ok});
    }
    EditorOutcome outcome;
    outcome.openNameDialog = true;
    return outcome;
}

std::optional<Message> EditorModel::checkNewListName(FileStore& files, std::u16string_view listName) const {
    std::vector<std::u16string> shownNames;
    shownNames.reserve(entries_.size());
    for (const ListEntry& entry : entries_) shownNames.push_back(entry.displayName);
    if (const std::optional<std::u16string_view> refusal = newListNameRefusal(files, listName, shownNames)) {
        return Message{std::u16string(*refusal), messages::TitleErreur, Buttons::Ok};
    }
    return std::nullopt;
}

EditorOutcome EditorModel::createList(FileStore& files, std::u16string_view listName) {
    EditorOutcome outcome = beginCreateList();
    if (outcome.message) {
        outcome.succeeded = false;
        return outcome;
    }
    outcome.openNameDialog = false;
    if (std::optional<Message> refusal = checkNewListName(files, listName)) {
        outcome.message = std::move(refusal);
        outcome.succeeded = false;
        return outcome;
    }
    // The shown rows are saved before anything else: when that fails they
    // stay shown, and no list is created.
    const OperationResult saved = saveShownRows(files, outcome.redraw);
    if (!saved.succeeded) {
        outcome.message = info(saved.message);
        outcome.succeeded = false;
        outcome.saveFailed = true;
        return outcome;
    }
    std::u16string fileName = newListFileName(listName);
    if (!createListFile(files, fileName)) {
        outcome.message = Message{std::u16string(messages::ListFileNotCreated), messages::TitleErreur, Buttons::Ok};
        outcome.succeeded = false;
        return outcome;
    }
    rows_.clear();
    linesBeyondBound_.clear();
    selectedRow_.reset();
    entries_.push_back({std::u16string(listName), fileName});
    selectorSelection_ = entries_.size() - 1;
    shownListFile_ = std::move(fileName);
    shownListLoaded_ = true;
    rowsChanged_ = false;
    updateListsCounter();
    updateRecordsCounter();
    outcome.catalogueChanged = true;
    outcome.redraw.rows = outcome.redraw.selection = outcome.redraw.selector = outcome.redraw.listsCounter =
        outcome.redraw.recordsCounter = true;
    return outcome;
}

EditorOutcome EditorModel::beginDeleteList() const {
    if (!selectorSelection_) return withMessage(info(messages::NoListToDelete));
    std::u16string text(messages::DeleteListQuestion);
    text.append(entries_[*selectorSelection_].displayName).append(1, u'\r').append(messages::DeleteListWarning);
    return withMessage(question(std::move(text)));
}

EditorOutcome EditorModel::deleteList(FileStore& files, Answer answer) {
    if (!selectorSelection_) return withMessage(info(messages::NoListToDelete));
    if (answer == Answer::No) return {};
    const ListEntry entry = entries_[*selectorSelection_];
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*selectorSelection_));
    selectorSelection_.reset();
    // The rows are dropped unsaved: their list is going.
    rows_.clear();
    linesBeyondBound_.clear();
    selectedRow_.reset();
    shownListFile_.reset();
    shownListLoaded_ = false;
    rowsChanged_ = false;
    // A file that cannot be removed comes back at the next start; nothing is said.
    deleteListFile(files, entry.fileName);
    updateListsCounter();
    recordsCounterText_.clear();
    EditorOutcome outcome;
    outcome.catalogueChanged = true;
    outcome.redraw.rows = outcome.redraw.selection = outcome.redraw.selector = outcome.redraw.listsCounter =
        outcome.redraw.recordsCounter = true;
    return outcome;
}

std::optional<Message> EditorModel::leaveQuestion() const {
    if (selectorSelection_) {
        if (rows_.empty()) return question(std::u16string(messages::LeaveEmptyList));
        return std::nullopt;
    }
    if (!entries_.empty()) return question(std::u16string(messages::LeaveWithoutSelection));
    return question(std::u16string(messages::LeaveWithoutLists));
}

LeaveOutcome EditorModel::leaveEditor(FileStore& files, Answer answer) {
    LeaveOutcome outcome;
    if (answer == Answer::No) {
        outcome.declined = true;
        return outcome;
    }
    if (!selectorSelection_) {
        // Nothing is saved and the previous active list's table stays loaded;
        // with no active list it expands nothing.
        outcome.hideWindow = true;
        outcome.activeListFile = std::u16string();
        outcome.activeListIndex = -1;
        outcome.restoreExpansionIfTicked = true;
        return outcome;
    }
    // As after "No" when the rows cannot be saved: the editor stays open with
    // them, and neither the preferences nor the active list change. The
    // window then asks whether to go on without saving.
    Redraw redraw;
    const OperationResult saved = saveShownRows(files, redraw);
    if (!saved.succeeded) {
        outcome.message = info(saved.message);
        outcome.saveFailed = true;
        return outcome;
    }
    const ListEntry& entry = entries_[*selectorSelection_];
    outcome.hideWindow = true;
    outcome.activeListFile = entry.fileName;
    outcome.activeListIndex = static_cast<std::int32_t>(*selectorSelection_);
    outcome.activeListDisplayName = entry.displayName;
    ActiveList active;
    const OperationResult loaded = loadActiveList(files, entry.fileName, active);
    if (!loaded.succeeded) outcome.message = info(loaded.message);
    outcome.activeList = std::move(active);
    outcome.restoreExpansionIfTicked = true;
    return outcome;
}

}  // namespace calmirande

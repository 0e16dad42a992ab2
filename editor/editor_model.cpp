#include "editor/editor_model.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "common/lower_case.h"
#include "common/messages.h"
#include "common/text.h"
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
    return decimalText(count).append(messages::RecordsCounterMiddle).append(decimalText(maximum));
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
    // A list shown read-only is never written over by what the editor made of it.
    if (!shownListFile_ || shownListReadOnly_) return {true, {}};
    const std::u16string& fileName = *shownListFile_;
    std::u16string notice;
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
    } else {
        // Another program may have written the list since it was read: its
        // rows join these rather than be written over.
        const ListFileContent current = readListFile(files, fileName);
        if (current.state == ListFileState::Read && listFingerprint(current.bytes) != fingerprintOnDisk_) {
            notice = joinOtherVersion(files, fileName, current.bytes, redraw);
        }
    }
    OperationResult saved = saveList(files, fileName, rows_, linesBeyondBound_);
    if (!saved.succeeded) return saved;
    rowsChanged_ = false;
    rememberAsOnDisk(listFingerprint(serializeList(rows_, linesBeyondBound_)));
    return {true, std::move(notice)};
}

void EditorModel::loadRows(FileStore& files, const ListEntry& entry, EditorOutcome& outcome) {
    rows_.clear();
    linesBeyondBound_.clear();
    selectedRow_.reset();
    recordsCounterText_.clear();
    const ListFileContent file = readListFile(files, entry.fileName);
    shownListFile_ = entry.fileName;
    shownListLoaded_ = file.state == ListFileState::Read;
    rowsChanged_ = false;
    shownListReadOnly_ = false;
    if (shownListLoaded_) {
        EditingRead read;
        rows_ = parseListForEditing(file.bytes, &linesBeyondBound_, &read);
        rememberAsOnDisk(listFingerprint(file.bytes));
        if (!read.understood()) {
            shownListReadOnly_ = true;
            std::u16string text(messages::ListOpenedReadOnlyStart);
            outcome.message = info(text.append(entry.fileName).append(messages::ListOpenedReadOnlyEnd));
        }
    } else {
        outcome.message = info(loadForEditingFailedMessage(entry.fileName));
    }
    updateRecordsCounter();
    outcome.redraw.rows = outcome.redraw.selection = outcome.redraw.recordsCounter = true;
}

void EditorModel::rememberAsOnDisk(std::uint64_t fingerprint) {
    rowsOnDisk_ = rows_;
    fingerprintOnDisk_ = fingerprint;
}

std::u16string EditorModel::joinOtherVersion(FileStore& files, const std::u16string& fileName,
                                             const std::string& otherBytes, Redraw& redraw) {
    std::u16string otherBeyond;
    const AbbreviationList theirs = parseListForEditing(otherBytes, &otherBeyond);
    std::size_t added = 0, notTaken = 0;
    for (const Abbreviation& row : theirs) {
        const auto ours = std::find_if(rows_.begin(), rows_.end(), [&](const Abbreviation& r) { return r.key == row.key; });
        if (ours != rows_.end()) {
            if (ours->storedText != row.storedText) ++notTaken;
            continue;
        }
        // A row the editor read and the user deleted stays deleted.
        const bool deletedHere = std::any_of(rowsOnDisk_.begin(), rowsOnDisk_.end(),
                                             [&](const Abbreviation& r) { return r == row; });
        if (deletedHere) continue;
        if (rows_.size() >= MaxEntriesPerList || !fitsInListFile(serializedRowSize(row))) {
            ++notTaken;
            continue;
        }
        rows_.push_back(row);
        ++added;
    }
    // The lines beyond the editor's rows are never edited here: the newer ones.
    linesBeyondBound_ = std::move(otherBeyond);
    selectedRow_.reset();
    updateRecordsCounter();
    redraw.rows = redraw.selection = redraw.recordsCounter = true;

    std::u16string notice(messages::OtherVersionStart);
    notice.append(fileName).append(messages::OtherVersionChanged);
    notice.append(1, u'\r').append(messages::OtherVersionAdded).append(decimalText(added));
    if (notTaken) notice.append(1, u'\r').append(messages::OtherVersionNotTaken).append(decimalText(notTaken));
    std::u16string kept;
    if (backupsFolderReady(files)) {
        kept = freeKeptCopyPath(files, fileName, OtherVersionSuffix);
        if (!files.createNewFile(kept, otherBytes)) kept.clear();
    }
    notice.append(1, u'\r');
    if (kept.empty()) return notice.append(messages::OtherVersionNotKept);
    return notice.append(messages::OtherVersionKeptIn).append(kept);
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

bool EditorModel::fitsInListFile(std::size_t addedBytes, std::size_t removedBytes) const {
    return serializedListSize(rows_, linesBeyondBound_) - removedBytes + addedBytes <= MaxListFileBytes;
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
    if (!saved.message.empty()) outcome.message = info(saved.message);
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
    } else if (!saved.message.empty()) {
        outcome.message = info(saved.message);
    }
    return outcome;
}

std::optional<std::u16string> EditorModel::setRowsAside(FileStore& files, const std::u16string& fileName,
                                                       const AbbreviationList& rows) {
    if (lastSetAside_ && lastSetAside_->fileName == fileName && lastSetAside_->rows == rows) return lastSetAside_->path;
    std::optional<std::u16string> path = setAsideUnsavedRows(files, fileName, rows, fallbackFolders_);
    if (path) lastSetAside_ = SetAside{fileName, rows, *path};
    return path;
}

std::optional<Abbreviation> EditorModel::typedRow() const {
    const std::u16string text = trimSpaces(replacementField_);
    if (keyField_.empty() && text.empty()) return std::nullopt;
    // A row picked and left as it came needs nothing, whatever its form.
    if (buttonState_ == ButtonState::Picked && pickedFields_.first == keyField_ &&
        pickedFields_.second == replacementField_) {
        return std::nullopt;
    }
    Abbreviation typed{keyField_.empty() ? std::u16string(messages::FieldsWithoutKey) : toLowerCase(keyField_),
                       encodeStoredText(text)};
    if (std::find(rows_.begin(), rows_.end(), typed) != rows_.end()) return std::nullopt;
    return typed;
}

bool EditorModel::saveForSessionEnd(FileStore& files) {
    Redraw ignored;
    const bool saved = saveShownRows(files, ignored).succeeded;
    // What the fields hold and no row does goes aside too, with the rows
    // that could not be saved, or alone.
    const std::optional<Abbreviation> typed = typedRow();
    if (saved && !typed) return true;
    // A copy, not a save: the rows still count as changed, so that when
    // another program cancels the end (WM_ENDSESSION FALSE) the next leave
    // or "Quitter" writes them to their list.
    AbbreviationList aside = saved ? AbbreviationList{} : rows_;
    if (typed) aside.push_back(*typed);
    setRowsAside(files, shownListFile_ ? *shownListFile_ : std::u16string(messages::FieldsWithoutList), aside);
    return saved;
}

Message EditorModel::goOnWithoutSavingQuestion(FileStore& files, std::u16string_view failure) {
    std::u16string text(failure);
    text.append(u"\r\r").append(messages::GoOnWithoutSaving);
    if (shownListFile_) {
        text.append(1, u'\r');
        if (const std::optional<std::u16string> path = setRowsAside(files, *shownListFile_, rows_)) {
            text.append(messages::UnsavedRowsCopiedTo).append(*path);
        } else {
            text.append(messages::UnsavedRowsNotCopied);
        }
    }
    return question(std::move(text));
}

void EditorModel::letUnsavedRowsGo() {
    rowsChanged_ = false;
    // What is shown is no longer what the file holds: the next opening reads it.
    fingerprintOnDisk_.reset();
}

EditorOutcome EditorModel::openEditor(FileStore& files) {
    emptyFields();
    buttonState_ = ButtonState::Entry;
    EditorOutcome outcome;
    outcome.redraw.fields = outcome.redraw.buttons = true;
    // The list as it is on disk now, when another program wrote it since
    // it was read and nothing here is unsaved.
    if (shownListFile_ && shownListLoaded_ && !rowsChanged_) {
        const ListFileContent current = readListFile(files, *shownListFile_);
        if (current.state == ListFileState::Read && listFingerprint(current.bytes) != fingerprintOnDisk_) {
            if (const std::optional<std::size_t> entry = entryOfFile(*shownListFile_)) {
                loadRows(files, entries_[*entry], outcome);
            }
        }
    }
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
    if (!saved.message.empty()) outcome.message = info(saved.message);
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
    pickedFields_ = {keyField_, replacementField_};
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
    if (shownListReadOnly_) return withMessage(info(messages::ListIsReadOnly));
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
    Abbreviation row{std::move(key), std::move(stored)};
    if (!fitsInListFile(serializedRowSize(row))) return withMessage(info(messages::ListTooLarge));
    rows_.push_back(std::move(row));
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
    if (shownListReadOnly_) return withMessage(info(messages::ListIsReadOnly));
    std::u16string key = toLowerCase(keyField_);
    std::u16string text = trimSpaces(replacementField_);
    // A refused change keeps the fields as typed, for the user to mend.
    if (key.empty() || text.empty()) return withMessage(info(messages::EmptyFields));
    if (key.size() < MinKeyLength) return withMessage(info(messages::KeyTooShort));
    if (keyExists(key) && key != rows_[*selectedRow_].key) return withMessage(info(messages::KeyExists));
    Abbreviation row{std::move(key), encodeStoredText(text)};
    if (!fitsInListFile(serializedRowSize(row), serializedRowSize(rows_[*selectedRow_]))) {
        return withMessage(info(messages::ListTooLarge));
    }
    emptyFields();
    buttonState_ = ButtonState::Entry;
    EditorOutcome outcome;
    outcome.redraw.fields = outcome.redraw.buttons = true;
    rows_[*selectedRow_] = std::move(row);
    sortAfterEdit();
    markEdited();
    outcome.redraw.rows = outcome.redraw.selection = true;
    outcome.scroll = ScrollTo::WhollyVisible;
    return outcome;
}

EditorOutcome EditorModel::deleteAbbreviation() {
    if (!selectedRow_) return withMessage(info(messages::SelectARow));
    if (shownListReadOnly_) return withMessage(info(messages::ListIsReadOnly));
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
    // The order is part of what the file will hold, unless it is never written.
    if (!shownListReadOnly_) rowsChanged_ = true;
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
    if (!saved.message.empty()) outcome.message = info(saved.message);
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
    shownListReadOnly_ = false;
    rowsChanged_ = false;
    updateListsCounter();
    updateRecordsCounter();
    outcome.catalogueChanged = true;
    outcome.redraw.rows = outcome.redraw.selection = outcome.redraw.selector = outcome.redraw.listsCounter =
        outcome.redraw.recordsCounter = true;
    return outcome;
}

EditorOutcome EditorModel::beginDeleteList(FileStore& files) const {
    if (!selectorSelection_) return withMessage(info(messages::NoListToDelete));
    const ListEntry& entry = entries_[*selectorSelection_];
    std::u16string text(messages::DeleteListQuestion);
    text.append(entry.displayName).append(1, u'\r').append(messages::DeleteListKeptIn);
    text.append(freeKeptCopyPath(files, entry.fileName, DeletedListSuffix));
    Message asked = question(std::move(text));
    asked.defaultNo = true;
    return withMessage(std::move(asked));
}

EditorOutcome EditorModel::deleteList(FileStore& files, Answer answer) {
    if (!selectorSelection_) return withMessage(info(messages::NoListToDelete));
    if (answer == Answer::No) return {};
    const ListEntry entry = entries_[*selectorSelection_];
    EditorOutcome outcome;
    // The copy kept in the backups folder holds the rows as shown: the
    // user's last edits go into the list before it moves.
    if (shownListFile_ == entry.fileName && rowsChanged_) {
        const OperationResult saved = saveShownRows(files, outcome.redraw);
        if (!saved.succeeded) {
            outcome.message = info(saved.message);
            outcome.succeeded = false;
            return outcome;
        }
        if (!saved.message.empty()) outcome.message = info(saved.message);
    }
    if (!deleteListFile(files, entry.fileName) && files.exists(listPath(entry.fileName))) {
        std::u16string text(messages::DeleteListFailed);
        text.append(entry.fileName).append(1, u'\r').append(messages::FileBusy);
        outcome.message = info(text);
        outcome.succeeded = false;
        return outcome;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*selectorSelection_));
    selectorSelection_.reset();
    if (shownListFile_ == entry.fileName) {
        rows_.clear();
        linesBeyondBound_.clear();
        selectedRow_.reset();
        shownListFile_.reset();
        shownListLoaded_ = false;
        rowsChanged_ = false;
        recordsCounterText_.clear();
    }
    updateListsCounter();
    outcome.catalogueChanged = true;
    outcome.redraw.rows = outcome.redraw.selection = outcome.redraw.selector = outcome.redraw.listsCounter =
        outcome.redraw.recordsCounter = true;
    return outcome;
}

std::optional<Message> EditorModel::typedTextQuestion() const {
    if (!typedRow()) return std::nullopt;
    return question(std::u16string(messages::LeaveWithTypedText));
}

std::optional<Message> EditorModel::leaveQuestion() const {
    if (selectorSelection_) {
        if (std::optional<Message> typed = typedTextQuestion()) return typed;
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
    if (!saved.message.empty()) outcome.message = info(saved.message);
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

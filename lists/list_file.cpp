#include "lists/list_file.h"

#include <utility>

#include "common/messages.h"
#include "common/text.h"
#include "lists/list_text.h"

namespace calmirande {
namespace {

constexpr std::string_view kWrittenByteOrderMark = "\xEF\xBB\xBF";

std::u16string numbered(std::u16string_view text, int number) {
    return std::u16string(text).append(decimalText(static_cast<std::size_t>(number)));
}

std::u16string inBackupsFolder(std::u16string_view fileName) {
    std::u16string path = backupsFolderPath();
    path.push_back(PathSeparator);
    path.append(fileName);
    return path;
}

std::u16string copyPathIn(std::u16string_view folder, std::u16string_view fileName, std::u16string_view suffix,
                          int number) {
    std::u16string path(folder);
    path.push_back(PathSeparator);
    path.append(fileName).append(suffix);
    return number > 1 ? numbered(path + u'.', number) : path;
}

}  // namespace

bool backupsFolderReady(FileStore& files) {
    const std::u16string folder = backupsFolderPath();
    return files.exists(folder) || files.createFolder(folder);
}

std::u16string encodeStoredText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit == u'\t') {
            out.append(u"<T>");
        } else if (unit == u'\r' || unit == u'\n') {
            // A lone CR or LF would end the record on disk: it is a line break too.
            if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            out.append(u"<R>");
        } else {
            out.push_back(unit);
        }
    }
    return out;
}

std::u16string decodeStoredText(std::u16string_view stored) {
    // "<R>" grows by one unit less than it takes, "<T>" shrinks: the result
    // never outgrows the input.
    if (stored.find(u'<') == std::u16string_view::npos) return std::u16string(stored);
    std::u16string out(stored.size(), u'\0');
    char16_t* o = out.data();
    const std::size_t n = stored.size();
    for (std::size_t i = 0; i < n;) {
        const char16_t unit = stored[i];
        if (unit == u'<' && i + 2 < n && stored[i + 2] == u'>' && (stored[i + 1] == u'T' || stored[i + 1] == u'R')) {
            if (stored[i + 1] == u'T') {
                *o++ = u'\t';
            } else {
                *o++ = u'\r';
                *o++ = u'\n';
            }
            i += 3;
        } else {
            *o++ = unit;
            ++i;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

ListRecordReader::ListRecordReader(std::u16string_view text) : rest_(text) {}

bool ListRecordReader::next(Record& out) {
    if (rest_.empty()) return false;
    const std::u16string_view line = takeTextLine(rest_);

    const std::size_t tab = line.find(u'\t');
    if (tab == std::u16string_view::npos) {
        out = {line, {}, {}};
    } else {
        const std::u16string_view text = line.substr(tab + 1);
        out = {line.substr(0, tab), text.substr(0, text.find(u'\t')), text};
    }
    return true;
}

std::u16string listPath(std::u16string_view fileName) {
    std::u16string path(ListsFolder);
    path.push_back(PathSeparator);
    path.append(fileName);
    return path;
}

std::u16string backupsFolderPath() {
    std::u16string path(ListsFolder);
    path.push_back(PathSeparator);
    path.append(BackupsFolder);
    return path;
}

std::u16string backupPath(std::u16string_view fileName, int generation) {
    std::u16string name(fileName);
    name.push_back(u'.');
    return inBackupsFolder(numbered(name, generation));
}

std::u16string keptCopyPath(std::u16string_view fileName, std::u16string_view suffix, int number) {
    return copyPathIn(backupsFolderPath(), fileName, suffix, number);
}

std::u16string freeKeptCopyPath(FileStore& files, std::u16string_view fileName, std::u16string_view suffix,
                                std::u16string_view folder) {
    const std::u16string in = folder.empty() ? backupsFolderPath() : std::u16string(folder);
    for (int number = 1; number <= MaxUnsavedRowsCopies; ++number) {
        std::u16string path = copyPathIn(in, fileName, suffix, number);
        if (!files.exists(path)) return path;
    }
    return copyPathIn(in, fileName, suffix, MaxUnsavedRowsCopies + 1);
}

std::u16string unsavedRowsPath(std::u16string_view fileName, int number) {
    return keptCopyPath(fileName, UnsavedRowsSuffix, number);
}

std::u16string freeUnsavedRowsPath(FileStore& files, std::u16string_view fileName) {
    return freeKeptCopyPath(files, fileName, UnsavedRowsSuffix);
}

ListFileContent readListFile(FileStore& files, std::u16string_view fileName) {
    FileRead read = files.readFileUpTo(listPath(fileName), MaxListFileBytes);
    switch (read.status) {
        case FileRead::Status::Read:
            return {ListFileState::Read, std::move(read.bytes)};
        case FileRead::Status::Missing:
            return {ListFileState::Missing, {}};
        case FileRead::Status::Unreadable:
        case FileRead::Status::TooLarge:
            break;
    }
    return {ListFileState::Unreadable, {}};
}

ActiveList parseActiveList(std::string_view fileBytes) {
    const ListText decoded = decodeListText(fileBytes);
    ActiveList list;
    ExpansionTable::Builder table(MaxEntriesPerList);
    ListRecordReader reader(decoded.text);
    ListRecordReader::Record record;
    while (list.aidRows.size() < MaxEntriesPerList && reader.next(record)) {
        std::u16string key(record.key);
        std::u16string stored(record.storedText);
        table.set(key, decodeStoredText(stored));
        list.aidRows.push_back({std::move(key), std::move(stored)});
    }
    list.table = std::move(table).build();
    return list;
}

AbbreviationList parseListForEditing(std::string_view fileBytes, std::u16string* linesBeyondBound,
                                     EditingRead* read) {
    const ListText decoded = decodeListText(fileBytes);
    AbbreviationList rows;
    std::u16string notShown;
    std::size_t lines = 0;
    ListRecordReader reader(decoded.text);
    ListRecordReader::Record record;
    while (rows.size() < MaxEntriesPerList && reader.next(record)) {
        if (!record.key.empty() || record.afterKey.data() != nullptr) ++lines;
        if (record.key.empty() || record.storedText.empty()) {
            // The line as the reader took it, its key and what follows its tab.
            notShown.append(record.key);
            if (record.afterKey.data() != nullptr) notShown.append(1, u'\t').append(record.afterKey);
            notShown.append(u"\r\n");
            continue;
        }
        rows.push_back({std::u16string(record.key), std::u16string(record.afterKey)});
    }
    if (linesBeyondBound) linesBeyondBound->assign(notShown).append(reader.rest());
    if (read) *read = {lines, rows.size(), decoded.text.find(u'\0') != std::u16string::npos};
    return rows;
}

std::string serializeList(const AbbreviationList& rows, std::u16string_view linesBeyondBound) {
    std::size_t estimate = kWrittenByteOrderMark.size() + linesBeyondBound.size() * 2;
    for (const Abbreviation& row : rows) estimate += (row.key.size() + row.storedText.size()) * 2 + 3;
    std::string bytes;
    bytes.reserve(estimate);
    bytes.append(kWrittenByteOrderMark);
    for (const Abbreviation& row : rows) {
        appendUtf16AsUtf8(row.key, bytes);
        bytes.push_back('\t');
        appendUtf16AsUtf8(row.storedText, bytes);
        bytes.append("\r\n");
    }
    // Whatever line end the other tool wrote becomes the program's own.
    while (!linesBeyondBound.empty()) {
        appendUtf16AsUtf8(takeTextLine(linesBeyondBound), bytes);
        bytes.append("\r\n");
    }
    return bytes;
}

OperationResult loadActiveList(FileStore& files, std::u16string_view fileName, ActiveList& out) {
    out = ActiveList{ExpansionTable::Builder{}.build(), {}};
    const ListFileContent file = readListFile(files, fileName);
    if (file.state != ListFileState::Read) {
        return {false, messages::aboutFile(messages::LoadActiveFailed, fileName, messages::FileBusy,
                                           messages::LoadActiveFailedEnd)};
    }
    out = parseActiveList(file.bytes);
    return {true, {}};
}

std::u16string loadForEditingFailedMessage(std::u16string_view fileName) {
    return messages::aboutFile(messages::LoadForEditingFailed, fileName, messages::FileBusy,
                               messages::LoadForEditingFailedEnd);
}

std::uint64_t listFingerprint(std::string_view fileBytes) {
    // FNV-1a over the bytes, and their count: an edit by hand or by another
    // tool changes it; no one forges a collision against it.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : fileBytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ull;
    }
    return hash ^ (static_cast<std::uint64_t>(fileBytes.size()) << 1);
}

OperationResult loadListForEditing(FileStore& files, std::u16string_view fileName, AbbreviationList& listing,
                                   std::u16string* linesBeyondBound) {
    if (linesBeyondBound) linesBeyondBound->clear();
    const ListFileContent file = readListFile(files, fileName);
    if (file.state != ListFileState::Read) return {false, loadForEditingFailedMessage(fileName)};
    AbbreviationList rows = parseListForEditing(file.bytes, linesBeyondBound);
    listing.insert(listing.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    return {true, {}};
}

std::u16string saveFailedMessage(std::u16string_view fileName, SaveFailure cause) {
    std::u16string text(messages::SaveFailed);
    text.append(fileName).append(1, u'\r');
    switch (cause) {
        case SaveFailure::BusyOrFull:
            return text.append(messages::FileBusy).append(1, u'\r').append(messages::SaveFailedEnd);
        case SaveFailure::ReadOnly:
            return text.append(messages::SaveFailedReadOnly);
        case SaveFailure::NameTooLong:
            return text.append(messages::SaveFailedNameTooLong);
        case SaveFailure::TooLarge:
            return text.append(messages::ListTooLarge);
    }
    return text;
}

std::size_t serializedRowSize(const Abbreviation& row) {
    return utf8Length(row.key) + 1 + utf8Length(row.storedText) + 2;
}

std::size_t serializedListSize(const AbbreviationList& rows, std::u16string_view linesBeyondBound) {
    std::size_t size = kWrittenByteOrderMark.size();
    for (const Abbreviation& row : rows) size += serializedRowSize(row);
    while (!linesBeyondBound.empty()) size += utf8Length(takeTextLine(linesBeyondBound)) + 2;
    return size;
}

OperationResult saveList(FileStore& files, std::u16string_view fileName, const AbbreviationList& rows,
                         std::u16string_view linesBeyondBound) {
    if (serializedListSize(rows, linesBeyondBound) > MaxListFileBytes) {
        return {false, saveFailedMessage(fileName, SaveFailure::TooLarge)};
    }
    const std::string bytes = serializeList(rows, linesBeyondBound);
    const ListFileContent current = readListFile(files, fileName);
    // What could not be read could not be kept: it stays as it is.
    if (current.state == ListFileState::Unreadable) return {false, saveFailedMessage(fileName)};
    if (current.state == ListFileState::Read) {
        if (current.bytes == bytes) return {true, {}};
        keepBackup(files, fileName, current.bytes);
    }
    if (!files.replaceFile(listPath(fileName), bytes)) {
        SaveFailure cause = SaveFailure::BusyOrFull;
        switch (files.lastWriteFailure()) {
            case WriteFailure::BusyOrFull:
                break;
            case WriteFailure::ReadOnly:
                cause = SaveFailure::ReadOnly;
                break;
            case WriteFailure::NameTooLong:
                cause = SaveFailure::NameTooLong;
                break;
        }
        return {false, saveFailedMessage(fileName, cause)};
    }
    return {true, {}};
}

bool keepBackup(FileStore& files, std::u16string_view fileName, std::string_view replaced) {
    if (!backupsFolderReady(files)) return false;
    // Oldest first, each into the place the previous step freed; a step that
    // fails leaves that generation where it was, to be replaced below it.
    for (int generation = BackupGenerations - 1; generation >= 1; --generation) {
        const std::u16string from = backupPath(fileName, generation);
        if (files.exists(from)) files.moveFile(from, backupPath(fileName, generation + 1));
    }
    return files.replaceFile(backupPath(fileName, 1), replaced);
}

std::optional<std::u16string> setAsideUnsavedRows(FileStore& files, std::u16string_view fileName,
                                                  const AbbreviationList& rows,
                                                  const std::vector<std::u16string>& fallbackFolders) {
    const std::string bytes = serializeList(rows);
    const auto setAsideIn = [&](const std::u16string& folder) -> std::optional<std::u16string> {
        if (!files.exists(folder) && !files.createFolder(folder)) return std::nullopt;
        // Never over an earlier copy: those rows are nowhere else. A name
        // taken between the look and the write is passed over.
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::u16string path = freeKeptCopyPath(files, fileName, UnsavedRowsSuffix, folder);
            if (files.createNewFile(path, bytes)) {
                // Kept even when it reads back wrong: it may hold some of them.
                if (files.readFile(path) == bytes) return path;
                return std::nullopt;
            }
            if (!files.exists(path)) return std::nullopt;
        }
        return std::nullopt;
    };
    if (std::optional<std::u16string> path = setAsideIn(backupsFolderPath())) return path;
    for (const std::u16string& folder : fallbackFolders) {
        if (std::optional<std::u16string> path = setAsideIn(folder)) return path;
    }
    return std::nullopt;
}

}  // namespace calmirande

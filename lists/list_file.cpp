#include "lists/list_file.h"

#include <utility>

#include "common/messages.h"
#include "common/text.h"
#include "lists/list_text.h"

namespace calmirande {
namespace {

constexpr std::string_view kWrittenByteOrderMark = "\xEF\xBB\xBF";

std::u16string numbered(std::u16string_view text, int number) {
    std::u16string out(text);
    for (char c : std::to_string(number)) out.push_back(static_cast<char16_t>(c));
    return out;
}

std::u16string inBackupsFolder(std::u16string_view fileName) {
    std::u16string path = backupsFolderPath();
    path.push_back(PathSeparator);
    path.append(fileName);
    return path;
}

// The folder is made by the first save that needs it.
bool backupsFolderReady(FileStore& files) {
    const std::u16string folder = backupsFolderPath();
    return files.exists(folder) || files.createFolder(folder);
}

}  // namespace

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
        out = {line, {}};
    } else {
        const std::u16string_view text = line.substr(tab + 1);
        out = {line.substr(0, tab), text.substr(0, text.find(u'\t'))};
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

std::u16string unsavedRowsPath(std::u16string_view fileName, int number) {
    std::u16string name(fileName);
    name.append(UnsavedRowsSuffix);
    if (number > 1) name = numbered(name + u'.', number);
    return inBackupsFolder(name);
}

std::u16string freeUnsavedRowsPath(FileStore& files, std::u16string_view fileName) {
    for (int number = 1; number <= MaxUnsavedRowsCopies; ++number) {
        std::u16string path = unsavedRowsPath(fileName, number);
        if (!files.exists(path)) return path;
    }
    return unsavedRowsPath(fileName, MaxUnsavedRowsCopies + 1);
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

AbbreviationList parseListForEditing(std::string_view fileBytes, std::u16string* linesBeyondBound) {
    const ListText decoded = decodeListText(fileBytes);
    AbbreviationList rows;
    ListRecordReader reader(decoded.text);
    ListRecordReader::Record record;
    while (rows.size() < MaxEntriesPerList && reader.next(record)) {
        if (record.key.empty() || record.storedText.empty()) continue;
        rows.push_back({std::u16string(record.key), std::u16string(record.storedText)});
    }
    if (linesBeyondBound) linesBeyondBound->assign(reader.rest());
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

OperationResult loadListForEditing(FileStore& files, std::u16string_view fileName, AbbreviationList& listing,
                                   std::u16string* linesBeyondBound) {
    if (linesBeyondBound) linesBeyondBound->clear();
    const ListFileContent file = readListFile(files, fileName);
    if (file.state != ListFileState::Read) {
        return {false, messages::aboutFile(messages::LoadForEditingFailed, fileName, messages::FileBusy,
                                           messages::LoadForEditingFailedEnd)};
    }
    AbbreviationList rows = parseListForEditing(file.bytes, linesBeyondBound);
    listing.insert(listing.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    return {true, {}};
}

std::u16string saveFailedMessage(std::u16string_view fileName) {
    return messages::aboutFile(messages::SaveFailed, fileName, messages::FileBusy, messages::SaveFailedEnd);
}

OperationResult saveList(FileStore& files, std::u16string_view fileName, const AbbreviationList& rows,
                         std::u16string_view linesBeyondBound) {
    const std::string bytes = serializeList(rows, linesBeyondBound);
    const ListFileContent current = readListFile(files, fileName);
    // What could not be read could not be kept: it stays as it is.
    if (current.state == ListFileState::Unreadable) return {false, saveFailedMessage(fileName)};
    if (current.state == ListFileState::Read) {
        if (current.bytes == bytes) return {true, {}};
        keepBackup(files, fileName, current.bytes);
    }
    if (!files.replaceFile(listPath(fileName), bytes)) return {false, saveFailedMessage(fileName)};
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
                                                  const AbbreviationList& rows) {
    if (!backupsFolderReady(files)) return std::nullopt;
    const std::string bytes = serializeList(rows);
    // Never over an earlier copy: those rows are nowhere else. A name taken
    // between the look and the write is passed over.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::u16string path = freeUnsavedRowsPath(files, fileName);
        if (files.createNewFile(path, bytes)) return path;
        if (!files.exists(path)) return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace calmirande

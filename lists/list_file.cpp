#include "lists/list_file.h"

#include <array>
#include <utility>

#include "common/messages.h"
#include "common/text.h"

namespace calmirande {
namespace {

constexpr std::string_view kWrittenByteOrderMark = "\xEF\xBB\xBF";

// Whatever the mark, what follows is read as UTF-8.
constexpr std::array<std::string_view, 4> kReadByteOrderMarks = {
    std::string_view("\xEF\xBB\xBF", 3), std::string_view("\x00\x00\xFE\xFF", 4), std::string_view("\xFF\xFE", 2),
    std::string_view("\xFE\xFF", 2)};

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

ListRecordReader::ListRecordReader(std::string_view fileBytes) : rest_(skipByteOrderMark(fileBytes, kReadByteOrderMarks)) {}

bool ListRecordReader::next(Record& out) {
    if (rest_.empty()) return false;
    const std::string_view line = takeLine(rest_);

    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
        out = {line, {}};
    } else {
        const std::string_view text = line.substr(tab + 1);
        out = {line.substr(0, tab), text.substr(0, text.find('\t'))};
    }
    return true;
}

std::u16string listPath(std::u16string_view fileName) {
    std::u16string path(ListsFolder);
    path.push_back(PathSeparator);
    path.append(fileName);
    return path;
}

ActiveList parseActiveList(std::string_view fileBytes) {
    ActiveList list;
    ExpansionTable::Builder table(MaxEntriesPerList);
    ListRecordReader reader(fileBytes);
    ListRecordReader::Record record;
    while (list.aidRows.size() < MaxEntriesPerList && reader.next(record)) {
        std::u16string key = utf8ToUtf16(record.key);
        std::u16string stored = utf8ToUtf16(record.storedText);
        table.set(key, decodeStoredText(stored));
        list.aidRows.push_back({std::move(key), std::move(stored)});
    }
    list.table = std::move(table).build();
    return list;
}

AbbreviationList parseListForEditing(std::string_view fileBytes) {
    AbbreviationList rows;
    ListRecordReader reader(fileBytes);
    ListRecordReader::Record record;
    while (rows.size() < MaxEntriesPerList && reader.next(record)) {
        if (record.key.empty() || record.storedText.empty()) continue;
        rows.push_back({utf8ToUtf16(record.key), utf8ToUtf16(record.storedText)});
    }
    return rows;
}

std::string serializeList(const AbbreviationList& rows) {
    std::size_t estimate = kWrittenByteOrderMark.size();
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
    return bytes;
}

OperationResult loadActiveList(FileStore& files, std::u16string_view fileName, ActiveList& out) {
    out = ActiveList{ExpansionTable::Builder{}.build(), {}};
    const std::optional<std::string> bytes = files.readFile(listPath(fileName));
    if (!bytes) {
        return {false, messages::aboutFile(messages::LoadActiveFailed, fileName, messages::FileBusy,
                                           messages::LoadActiveFailedEnd)};
    }
    out = parseActiveList(*bytes);
    return {true, {}};
}

OperationResult loadListForEditing(FileStore& files, std::u16string_view fileName, AbbreviationList& listing) {
    const std::optional<std::string> bytes = files.readFile(listPath(fileName));
    if (!bytes) {
        return {false, messages::aboutFile(messages::LoadForEditingFailed, fileName, messages::FileBusy,
                                           messages::LoadForEditingFailedEnd)};
    }
    AbbreviationList rows = parseListForEditing(*bytes);
    listing.insert(listing.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    return {true, {}};
}

OperationResult saveList(FileStore& files, std::u16string_view fileName, const AbbreviationList& rows) {
    if (!files.replaceFile(listPath(fileName), serializeList(rows))) {
        return {false, messages::aboutFile(messages::SaveFailed, fileName, messages::FileBusy, messages::SaveFailedEnd)};
    }
    return {true, {}};
}

}  // namespace calmirande

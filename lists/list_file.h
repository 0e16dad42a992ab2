#pragma once
// List files: "Listes" + separator + name + ".dat", UTF-8 with a byte-order
// mark, one record per line: key, tab, stored text, CR LF. Reading is lenient
// (any byte-order mark, CR / LF / CR LF / NUL line ends, a last line without
// terminator); writing is always the canonical form.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lists/expansion_table.h"
#include "lists/file_store.h"

namespace calmirande {

inline constexpr std::size_t MaxEntriesPerList = 2000;
inline constexpr std::u16string_view ListsFolder = u"Listes";

// One row of a list: the key and its text in stored form ("<T>" for a tab,
// "<R>" for a line break).
struct Abbreviation {
    std::u16string key;
    std::u16string storedText;
    friend bool operator==(const Abbreviation&, const Abbreviation&) = default;
};
using AbbreviationList = std::vector<Abbreviation>;

// What an operation that may fail tells its caller: the window layer shows a
// non-empty message in a box titled "Info".
struct OperationResult {
    bool succeeded = false;
    std::u16string message;
};

std::u16string encodeStoredText(std::u16string_view text);
std::u16string decodeStoredText(std::u16string_view stored);

// The records of a list file's bytes, one per line, still in UTF-8.
class ListRecordReader {
public:
    struct Record {
        std::string_view key;
        std::string_view storedText;
    };

    explicit ListRecordReader(std::string_view fileBytes);
    // False once no byte is left. Every line counts, empty ones included.
    bool next(Record& out);

private:
    std::string_view rest_;
};

// The active list: the table the engine expands from and the writing-aid
// rows (key and stored text, file order, duplicates kept).
struct ActiveList {
    std::shared_ptr<const ExpansionTable> table;
    AbbreviationList aidRows;
};

std::u16string listPath(std::u16string_view fileName);

ActiveList parseActiveList(std::string_view fileBytes);
// Rows with both a key and a stored text, at most MaxEntriesPerList of them.
AbbreviationList parseListForEditing(std::string_view fileBytes);
std::string serializeList(const AbbreviationList& rows);

// `out` is emptied first, so a failed load leaves an empty table and no rows.
OperationResult loadActiveList(FileStore& files, std::u16string_view fileName, ActiveList& out);
// Appends to `listing`, which the caller has emptied; untouched on failure.
OperationResult loadListForEditing(FileStore& files, std::u16string_view fileName, AbbreviationList& listing);
// Replaces the file atomically; on failure the old file is intact.
OperationResult saveList(FileStore& files, std::u16string_view fileName, const AbbreviationList& rows);

}  // namespace calmirande

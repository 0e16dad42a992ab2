#pragma once
// List files: "Listes" + separator + name + ".dat", UTF-8 with a byte-order
// mark, one record per line: key, tab, stored text, CR LF. Reading is lenient
// (UTF-16 and Windows-1252 from other tools, see list_text.h; CR / LF / CR LF
// / NUL line ends, a last line without terminator); writing is always the
// canonical form. Every version a save replaces is kept in "Listes\Sauvegardes".

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lists/expansion_table.h"
#include "lists/file_store.h"

namespace calmirande {

inline constexpr std::size_t MaxEntriesPerList = 2000;
inline constexpr std::u16string_view ListsFolder = u"Listes";
// A list file above this size is refused as unreadable, without reading it:
// 2000 rows of a long letter each stay far below it.
inline constexpr std::size_t MaxListFileBytes = 4 * 1024 * 1024;
// "Listes\Sauvegardes": the versions that saves replaced, "<file name>.1"
// (the newest) to "<file name>.10" (the oldest), and the rows the user chose
// to leave unsaved, "<file name>.non-enregistré", then ".non-enregistré.2"
// and on: such a copy is never replaced. Made when first needed.
inline constexpr std::u16string_view BackupsFolder = u"Sauvegardes";
inline constexpr int BackupGenerations = 10;
inline constexpr std::u16string_view UnsavedRowsSuffix = u".non-enregistré";
// A deleted list goes there too, as "<file name>.supprimé" and on, never
// replaced either: deleting a list never destroys its rows.
inline constexpr std::u16string_view DeletedListSuffix = u".supprimé";
// The version another program wrote while the editor held changed rows of
// the list, "<file name>.autre-version" and on, never replaced either.
inline constexpr std::u16string_view OtherVersionSuffix = u".autre-version";
inline constexpr int MaxUnsavedRowsCopies = 9999;

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

// The records of a list file's decoded text, one per line.
class ListRecordReader {
public:
    struct Record {
        std::u16string_view key;
        std::u16string_view storedText;  // up to a second tab, if any
        std::u16string_view afterKey;    // everything after the first tab
    };

    explicit ListRecordReader(std::u16string_view text);
    // False once nothing is left. Every line counts, empty ones included.
    bool next(Record& out);
    // The text not read yet, from the start of the next line.
    std::u16string_view rest() const { return rest_; }

private:
    std::u16string_view rest_;
};

// The active list: the table the engine expands from and the writing-aid
// rows (key and stored text, file order, duplicates kept).
struct ActiveList {
    std::shared_ptr<const ExpansionTable> table;
    AbbreviationList aidRows;
};

std::u16string listPath(std::u16string_view fileName);
std::u16string backupsFolderPath();
// Made by the first save or deletion that needs it; false when it cannot be.
bool backupsFolderReady(FileStore& files);
// "Listes\Sauvegardes\<file name>.<generation>", generation 1 the newest.
std::u16string backupPath(std::u16string_view fileName, int generation);
// "Listes\Sauvegardes\<file name><suffix>" for number 1, with ".<number>"
// after it for the next copies.
std::u16string keptCopyPath(std::u16string_view fileName, std::u16string_view suffix, int number = 1);
// The first of those paths that nothing has taken yet; in `folder` rather
// than the backups folder when one is given.
std::u16string freeKeptCopyPath(FileStore& files, std::u16string_view fileName, std::u16string_view suffix,
                                std::u16string_view folder = {});
// The same with UnsavedRowsSuffix.
std::u16string unsavedRowsPath(std::u16string_view fileName, int number = 1);
std::u16string freeUnsavedRowsPath(FileStore& files, std::u16string_view fileName);

// A list file as a save or a load finds it. Unreadable: it exists but could
// not be read (held open, a folder, beyond MaxListFileBytes); never written over.
enum class ListFileState { Read, Missing, Unreadable };
struct ListFileContent {
    ListFileState state = ListFileState::Missing;
    std::string bytes;
};
ListFileContent readListFile(FileStore& files, std::u16string_view fileName);

ActiveList parseActiveList(std::string_view fileBytes);
// Rows with both a key and a stored text, at most MaxEntriesPerList of them;
// a row's text is all that follows its key's tab, further tabs included, so
// that a save writes the line as it was. The lines the editor cannot show
// (no tab, an empty key or text, a blank line), then the lines after the
// last row taken when the bound stopped the reading, go to
// `linesBeyondBound` as they are: its save writes them back after its rows,
// so a list is never cut short by what the editor does not hold.
// What the editor made of a list file's first rows. A list it understands
// too little of (fewer rows than half its non-blank lines, or U+0000 in its
// text: another tool's format, or an encoding guessed wrong) is shown
// read-only and never written over by what the editor understood of it.
struct EditingRead {
    std::size_t lines = 0;  // non-blank lines up to the bound
    std::size_t rows = 0;
    bool nulCharacters = false;
    bool understood() const { return !nulCharacters && rows * 2 >= lines; }
};
AbbreviationList parseListForEditing(std::string_view fileBytes, std::u16string* linesBeyondBound = nullptr,
                                     EditingRead* read = nullptr);
// The rows in the program's own form, then the lines beyond the bound, each
// ended by CR LF.
std::string serializeList(const AbbreviationList& rows, std::u16string_view linesBeyondBound = {});

// `out` is emptied first, so a failed load leaves an empty table and no rows.
OperationResult loadActiveList(FileStore& files, std::u16string_view fileName, ActiveList& out);
// Appends to `listing`, which the caller has emptied; untouched on failure.
// The lines beyond the bound, if any, go to `linesBeyondBound` (emptied first).
OperationResult loadListForEditing(FileStore& files, std::u16string_view fileName, AbbreviationList& listing,
                                   std::u16string* linesBeyondBound = nullptr);
// Replaces the file atomically; on failure the old file is intact. Rows
// whose file would pass MaxListFileBytes are refused (TooLarge). Bytes
// equal to the file's are not written again. The bytes replaced are kept as
// backup 1 first; a backup that cannot be made does not stop the save. A
// file that exists but cannot be read is never replaced: that fails. The
// lines beyond the bound that the load set apart follow the rows.
OperationResult saveList(FileStore& files, std::u16string_view fileName, const AbbreviationList& rows,
                         std::u16string_view linesBeyondBound = {});
// The message of a failed loadListForEditing.
std::u16string loadForEditingFailedMessage(std::u16string_view fileName);
// What tells one content of a list file from another without keeping it.
std::uint64_t listFingerprint(std::string_view fileBytes);

// The message of a failed saveList, naming its cause.
enum class SaveFailure { BusyOrFull, ReadOnly, NameTooLong, TooLarge };
std::u16string saveFailedMessage(std::u16string_view fileName, SaveFailure cause = SaveFailure::BusyOrFull);

// The bytes serializeList makes of these rows and lines. Every add, modify
// and save holds it to MaxListFileBytes, so that nothing is written that the
// reader would refuse.
std::size_t serializedListSize(const AbbreviationList& rows, std::u16string_view linesBeyondBound = {});
std::size_t serializedRowSize(const Abbreviation& row);

// Rolls the backups of `fileName` one generation older (the tenth rolls
// off) and writes `replaced` as generation 1. False when generation 1 could
// not be written; nothing is said.
bool keepBackup(FileStore& files, std::u16string_view fileName, std::string_view replaced);
// The rows of a list that could not be saved, where the user finds them
// again: a new file in the list format, never over an earlier copy, in
// "Listes\Sauvegardes" (`freeUnsavedRowsPath`) or, when that cannot be
// written, in each of `fallbackFolders` in turn (made when missing; the
// per-user folder, then the temporary one). A copy counts once it reads back
// whole. Its path, or nothing when no copy could be made anywhere.
std::optional<std::u16string> setAsideUnsavedRows(FileStore& files, std::u16string_view fileName,
                                                  const AbbreviationList& rows,
                                                  const std::vector<std::u16string>& fallbackFolders = {});

}  // namespace calmirande

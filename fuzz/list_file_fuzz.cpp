// Feeds arbitrary bytes to the list reader, as a list file damaged or written
// by another program would. Besides crashes and sanitizer reports it checks
// what the program relies on: the limits hold, and what the editor would
// write back reads back as the same rows.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lists/list_file.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace calmirande;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const ActiveList active = parseActiveList(bytes);
    check(active.aidRows.size() <= MaxEntriesPerList);
    check(active.table->size() <= active.aidRows.size());
    for (const Abbreviation& row : active.aidRows) check(active.table->find(row.key) != nullptr);

    const AbbreviationList rows = parseListForEditing(bytes);
    check(rows.size() <= MaxEntriesPerList);
    check(parseListForEditing(serializeList(rows)) == rows);

    // An edited save keeps every line it did not show: written once more,
    // the file is the same, and its size is the one the bound counts.
    std::u16string notShown;
    const AbbreviationList shown = parseListForEditing(bytes, &notShown);
    const std::string saved = serializeList(shown, notShown);
    check(serializedListSize(shown, notShown) == saved.size());
    std::u16string notShownAgain;
    check(parseListForEditing(saved, &notShownAgain) == shown);
    check(serializeList(shown, notShownAgain) == saved);

    for (const Abbreviation& row : rows) {
        const std::u16string stored = encodeStoredText(decodeStoredText(row.storedText));
        check(stored.find_first_of(u"\t\r\n") == std::u16string::npos);
    }
    return 0;
}

#pragma once
// The two settings kept between runs, in "Preferences.txt" beside "Listes":
// line 1 the active list's file name (with ".dat", empty for none), line 2
// whether the writing aid may be shown, as a signed decimal integer.
//
// Read once at start-up, rewritten whole from the main thread; nothing here
// is shared with the expansion workers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "lists/file_store.h"

namespace calmirande {

inline constexpr std::u16string_view PreferencesFileName = u"Preferences.txt";

struct Preferences {
    std::u16string activeListFile;
    // Non-zero means on. A value read from the file is written back as it
    // was, so a hand-written 7 stays 7 until the user toggles the menu item.
    std::int32_t writingAidEnabled = 0;
    friend bool operator==(const Preferences&, const Preferences&) = default;
};

// Line 2's number: leading blanks and tabs, one optional sign, then decimal
// digits, or hexadecimal after "$", or binary after "%"; reading stops at the
// first other character, no digit gives 0, and only the low 32 bits are kept.
std::int32_t parsePreferenceInteger(std::string_view text);

// Lenient reading of the file's bytes: any UTF-8 or UTF-16 byte-order mark is
// skipped (the lines are UTF-8 whatever the mark), a line ends at CR, LF, CR LF
// or a zero byte, and missing lines read as empty.
Preferences parsePreferences(std::string_view bytes);

// The canonical bytes: UTF-8 mark, line 1, CR LF, the decimal number with no
// line break after it.
std::string serializePreferences(std::u16string_view activeListFile, std::int32_t writingAidEnabled);

// No list and the writing aid off when the file cannot be read.
Preferences loadPreferences(FileStore& files);

// More than any hand-written file needs; a larger one is not read.
inline constexpr std::size_t MaxPreferencesFileBytes = 64 * 1024;

// What start-up finds. Unreadable: something has the file's name but could
// not be read (held open by another program at log-on, a folder, too large);
// its values are the user's, only unknown, so it must not be written over by
// the defaults read in its place until the user changes a setting.
struct PreferencesRead {
    enum class Status { Read, Missing, Unreadable };
    Status status = Status::Missing;
    Preferences values;
};
// Reading first lets the store finish a replace that a crash interrupted, so
// a surviving "Preferences.txt.tmp" counts as the file.
PreferencesRead readPreferences(FileStore& files);

// Replaces the file atomically: on failure the previous file is intact. Only
// start-up's creation of a missing file reports a failure to the user.
bool savePreferences(FileStore& files, std::u16string_view activeListFile, std::int32_t writingAidEnabled);

}  // namespace calmirande

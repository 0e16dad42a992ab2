// Feeds arbitrary bytes to the preferences reader, as a file edited by hand,
// saved by another program or damaged would. Besides crashes and sanitizer
// reports it checks what "Quitter" relies on: the values read write back as
// the canonical file, and that file reads back as the same values.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/preferences.h"
#include "common/text.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace calmirande;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const Preferences read = parsePreferences(bytes);
    const std::string written = serializePreferences(read.activeListFile, read.writingAidEnabled);

    check(written.starts_with("\xEF\xBB\xBF"));
    const std::size_t lineEnd = written.find("\r\n", 3);
    check(lineEnd != std::string::npos);
    const std::string_view lineOne = std::string_view(written).substr(3, lineEnd - 3);
    check(lineOne.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos);
    check(utf16ToUtf8(utf8ToUtf16(lineOne)) == lineOne);
    check(std::string_view(written).substr(lineEnd + 2) == std::to_string(read.writingAidEnabled));

    const Preferences reread = parsePreferences(written);
    check(reread == read);
    check(serializePreferences(reread.activeListFile, reread.writingAidEnabled) == written);
    return 0;
}

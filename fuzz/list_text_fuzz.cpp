// Feeds arbitrary bytes to the decoding of list files written by other tools
// (UTF-16 with or without a mark, Windows-1252, broken UTF-8). Besides
// crashes and sanitizer reports it checks what the program relies on: the
// text never holds a lone surrogate, so what is written back is valid UTF-8
// that decodes to the same text, and the lines split the same way again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/text.h"
#include "lists/list_file.h"
#include "lists/list_text.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool hasLoneSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace calmirande;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const ListText decoded = decodeListText(bytes);
    check(!hasLoneSurrogate(decoded.text));
    check(decoded.text.size() <= bytes.size());

    // The program's own form of that text reads back as the same text.
    const std::string written = "\xEF\xBB\xBF" + utf16ToUtf8(decoded.text);
    const ListText again = decodeListText(written);
    check(again.encoding == ListEncoding::Utf8);
    check(again.text == decoded.text);

    // What the editor keeps of it survives its save.
    const AbbreviationList rows = parseListForEditing(bytes);
    check(rows.size() <= MaxEntriesPerList);
    check(parseListForEditing(serializeList(rows)) == rows);
    return 0;
}

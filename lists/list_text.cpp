#include "lists/list_text.h"

#include <algorithm>
#include <array>

#include "common/text.h"

namespace calmirande {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// 0x80 to 0x9F; the unassigned 81, 8D, 8F, 90 and 9D stay themselves.
constexpr std::array<char16_t, 32> kWindows1252High = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178'};

void appendUtf8OrWindows1252(std::string_view bytes, std::u16string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    // Never more units than bytes.
    const std::size_t base = out.size();
    out.resize(base + n);
    char16_t* o = out.data() + base;
    for (std::size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            *o++ = p[i++];
            continue;
        }
        const Utf8Sequence sequence = scanUtf8Sequence(p, n, i);
        if (sequence.complete) {
            o = putUtf16(sequence.codePoint, o);
            i += sequence.length;
        } else {
            *o++ = windows1252Character(p[i++]);
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

void appendUtf16(std::string_view bytes, bool bigEndian, std::u16string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    const std::size_t base = out.size();
    out.resize(base + units);
    char16_t* o = out.data() + base;
    for (std::size_t u = 0; u < units; ++u) {
        const unsigned char first = p[2 * u], second = p[2 * u + 1];
        o[u] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    // Surrogates only in pairs: what is written back must be valid UTF-8.
    for (std::size_t u = 0; u < units; ++u) {
        const char16_t unit = o[u];
        if (unit >= 0xD800 && unit <= 0xDBFF && u + 1 < units && o[u + 1] >= 0xDC00 && o[u + 1] <= 0xDFFF) {
            ++u;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            o[u] = kReplacement;
        }
    }
}

// How much of a file without a mark is looked at to tell UTF-16 from UTF-8.
constexpr std::size_t kSniffedBytes = 4096;

ListEncoding sniffUnmarked(std::string_view bytes) {
    const std::size_t sniffed = std::min(bytes.size(), kSniffedBytes) & ~std::size_t{1};
    if (sniffed < 2) return ListEncoding::Utf8;
    std::size_t evenZeros = 0, oddZeros = 0;
    for (std::size_t i = 0; i < sniffed; i += 2) {
        evenZeros += bytes[i] == '\0';
        oddZeros += bytes[i + 1] == '\0';
    }
    const std::size_t units = sniffed / 2;
    // Latin text in UTF-16 has a zero in most units, on one side only; a
    // U+0000 here and there (zero on both sides) does not change the picture.
    if (oddZeros * 3 >= units * 2 && evenZeros * 8 <= oddZeros) return ListEncoding::Utf16LittleEndian;
    if (evenZeros * 3 >= units * 2 && oddZeros * 8 <= evenZeros) return ListEncoding::Utf16BigEndian;
    return ListEncoding::Utf8;
}

bool startsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

}  // namespace

char16_t windows1252Character(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kWindows1252High[byte - 0x80];
    return byte;
}

ListText decodeListText(std::string_view bytes) {
    ListText decoded;
    if (startsWith(bytes, "\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    } else if (startsWith(bytes, std::string_view("\x00\x00\xFE\xFF", 4))) {
        bytes.remove_prefix(4);
    } else if (startsWith(bytes, "\xFF\xFE")) {
        bytes.remove_prefix(2);
        decoded.encoding = ListEncoding::Utf16LittleEndian;
    } else if (startsWith(bytes, "\xFE\xFF")) {
        bytes.remove_prefix(2);
        decoded.encoding = ListEncoding::Utf16BigEndian;
    } else {
        decoded.encoding = sniffUnmarked(bytes);
    }
    if (decoded.encoding == ListEncoding::Utf8) {
        appendUtf8OrWindows1252(bytes, decoded.text);
    } else {
        appendUtf16(bytes, decoded.encoding == ListEncoding::Utf16BigEndian, decoded.text);
    }
    return decoded;
}

std::u16string_view takeTextLine(std::u16string_view& rest) {
    std::size_t end = 0;
    // The line ends are all below 0x0E: one comparison rules out almost every unit.
    while (end < rest.size()) {
        const char16_t unit = rest[end];
        if (unit <= u'\r' && (unit == u'\r' || unit == u'\n' || unit == u'\0')) break;
        ++end;
    }
    const std::u16string_view line = rest.substr(0, end);
    std::size_t after = end;
    if (after < rest.size()) {
        const bool crlf = rest[after] == u'\r' && after + 1 < rest.size() && rest[after + 1] == u'\n';
        after += crlf ? 2 : 1;
    }
    rest.remove_prefix(after);
    return line;
}

}  // namespace calmirande

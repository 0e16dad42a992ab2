#include "common/text.h"

#include <cstdint>

namespace calmirande {
namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

Utf8Sequence scanUtf8Sequence(const unsigned char* p, std::size_t n, std::size_t i) {
    const unsigned char lead = p[i];
    // Second-byte bounds per lead byte (Unicode table 3-7): they exclude
    // overlong forms, surrogates and code points above U+10FFFF, so a
    // sequence that passes is well-formed without further checks.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    Utf8Sequence sequence;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        sequence.codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        sequence.codePoint = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        sequence.codePoint = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return sequence;
    }
    for (; sequence.length < length; ++sequence.length) {
        if (i + sequence.length >= n) return sequence;
        const unsigned char byte = p[i + sequence.length];
        const bool inRange = sequence.length == 1 ? (byte >= low && byte <= high) : isContinuation(byte);
        if (!inRange) return sequence;
        sequence.codePoint = (sequence.codePoint << 6) | (byte & 0x3F);
    }
    sequence.complete = true;
    return sequence;
}

void appendUtf8AsUtf16(std::string_view utf8, std::u16string& out) {
    // Never more units than bytes: write into room made once, then trim.
    const std::size_t base = out.size();
    out.resize(base + utf8.size());
    char16_t* const first = out.data() + base;
    char16_t* o = first;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            *o++ = p[i++];
            continue;
        }
        const Utf8Sequence sequence = scanUtf8Sequence(p, n, i);
        if (sequence.complete) {
            o = putUtf16(sequence.codePoint, o);
        } else {
            *o++ = ReplacementCharacter;  // one for the whole maximal subpart
        }
        i += sequence.length;
    }
    out.resize(base + static_cast<std::size_t>(o - first));
}

void appendUtf16AsUtf8(std::u16string_view utf16, std::string& out) {
    const std::size_t n = utf16.size();
    for (std::size_t i = 0; i < n; ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = ReplacementCharacter;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

std::u16string decimalText(std::size_t value) {
    std::u16string text;
    for (char c : std::to_string(value)) text.push_back(static_cast<char16_t>(c));
    return text;
}

std::size_t utf8Length(std::u16string_view utf16) {
    std::size_t length = 0;
    const std::size_t n = utf16.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            length += 4;
            ++i;
        } else {
            // A lone surrogate is written as U+FFFD, three bytes like it.
            length += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        }
    }
    return length;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    appendUtf8AsUtf16(utf8, out);
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3 / 2);
    appendUtf16AsUtf8(utf16, out);
    return out;
}

std::string_view skipByteOrderMark(std::string_view bytes, std::span<const std::string_view> marks) {
    for (std::string_view mark : marks) {
        if (bytes.substr(0, mark.size()) == mark) return bytes.substr(mark.size());
    }
    return bytes;
}

namespace {

// The line ends are all below 0x0E: one comparison rules out almost every byte.
bool endsLine(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    return b <= '\r' && (b == '\r' || b == '\n' || b == '\0');
}

}  // namespace

std::string_view takeLine(std::string_view& rest) {
    std::size_t end = 0;
    while (end < rest.size() && !endsLine(rest[end])) ++end;
    const std::string_view line = rest.substr(0, end);
    std::size_t after = end;
    if (after < rest.size()) {
        const bool crlf = rest[after] == '\r' && after + 1 < rest.size() && rest[after + 1] == '\n';
        after += crlf ? 2 : 1;
    }
    rest.remove_prefix(after);
    return line;
}

std::u16string replaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::u16string_view::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace calmirande

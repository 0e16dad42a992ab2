#pragma once
// Text conversions between the files' UTF-8 and the program's UTF-16.
//
// Policy for malformed input, chosen so that reading never fails and never
// drops a line: every maximal ill-formed UTF-8 subsequence (and every encoded
// surrogate, overlong form or code point above U+10FFFF) becomes one U+FFFD;
// a lone UTF-16 surrogate becomes U+FFFD when written as UTF-8.

#include <span>
#include <string>
#include <string_view>

namespace calmirande {

inline constexpr char16_t ReplacementCharacter = u'\uFFFD';

// The multi-byte UTF-8 sequence that starts at bytes[at] (a byte of 0x80 or
// more): `length` bytes make its maximal subpart, and when `complete` they
// are a well-formed sequence of `codePoint` (no overlong form, no surrogate,
// nothing above U+10FFFF). A byte that starts no sequence has length 1.
struct Utf8Sequence {
    std::size_t length = 1;
    bool complete = false;
    char32_t codePoint = 0;
};
Utf8Sequence scanUtf8Sequence(const unsigned char* bytes, std::size_t size, std::size_t at);

// Writes `codePoint` as one or two UTF-16 units at `out`; returns past them.
inline char16_t* putUtf16(char32_t codePoint, char16_t* out) {
    if (codePoint < 0x10000) {
        *out++ = static_cast<char16_t>(codePoint);
    } else {
        codePoint -= 0x10000;
        *out++ = static_cast<char16_t>(0xD800 + (codePoint >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    }
    return out;
}

// Appends the UTF-16 form of `utf8` to `out` (no allocation beyond `out`'s growth).
void appendUtf8AsUtf16(std::string_view utf8, std::u16string& out);
// Appends the UTF-8 form of `utf16` to `out`.
void appendUtf16AsUtf8(std::u16string_view utf16, std::string& out);
// `value` in decimal digits, as the messages and file names show numbers.
std::u16string decimalText(std::size_t value);
// How many bytes appendUtf16AsUtf8 appends for `utf16`.
std::size_t utf8Length(std::u16string_view utf16);

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// The program's text files are read leniently: a byte-order mark is
// skipped (whatever it announces, the rest is read as UTF-8) and a line ends
// at CR, LF, CR LF or NUL.

// `bytes` without the first of `marks` it begins with.
std::string_view skipByteOrderMark(std::string_view bytes, std::span<const std::string_view> marks);

// Takes one line off the front of `rest` and returns it without its
// terminator, which is consumed. At the end of `rest` the line is empty.
std::string_view takeLine(std::string_view& rest);

// Replaces every occurrence of `from` (non-empty) by `to`, scanning left to
// right once: text produced by a replacement is not scanned again.
std::u16string replaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to);

}  // namespace calmirande

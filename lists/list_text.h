#pragma once
// The text of a list file, whatever tool wrote it. The program writes UTF-8
// with a byte-order mark; Notepad's "Unicode" and "Unicode big endian" write
// UTF-16 (FF FE, FE FF, sometimes no mark at all), and its "ANSI" writes
// Windows-1252, whose accents are not valid UTF-8. Every file decodes to
// some text: nothing is refused and no line is dropped.

#include <cstddef>
#include <string>
#include <string_view>

namespace calmirande {

enum class ListEncoding {
    Utf8,                // the program's own (a stray invalid byte read as Windows-1252)
    Utf16LittleEndian,   // FF FE, or no mark and the zero bytes of Latin text at odd places
    Utf16BigEndian,      // FE FF, or no mark and the zero bytes at even places
};

struct ListText {
    ListEncoding encoding = ListEncoding::Utf8;
    std::u16string text;  // without the byte-order mark
};

// Decoding:
// - EF BB BF, FF FE, FE FF and 00 00 FE FF are skipped; FF FE is UTF-16 LE,
//   FE FF UTF-16 BE, the other two announce UTF-8.
// - Without a mark, a file whose first bytes are at least a third zero bytes,
//   all (or nearly all) at odd offsets, is UTF-16 LE; at even offsets, BE.
//   A UTF-8 list holds no zero byte but as a line end.
// - UTF-8: each byte that does not start a well-formed sequence is read as
//   its Windows-1252 character (the five bytes that code has no character
//   for become the C1 controls of the same value, as Windows maps them).
// - UTF-16: a lone surrogate becomes U+FFFD; an odd last byte is dropped.
ListText decodeListText(std::string_view bytes);

// The character a byte stands for in Windows-1252.
char16_t windows1252Character(unsigned char byte);

// Takes one line off the front of `rest`, without its terminator: a line
// ends at CR LF, CR, LF or U+0000. At the end of `rest` the line is empty.
std::u16string_view takeTextLine(std::u16string_view& rest);

}  // namespace calmirande

#include "lists/list_text.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "lists/list_file.h"
#include "test_support.h"

namespace calmirande {
namespace {

using namespace std::string_literals;

// UTF-16 bytes of `text`, with or without its mark.
std::string utf16Bytes(std::u16string_view text, bool bigEndian, bool mark) {
    std::string bytes;
    if (mark) bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    }
    return bytes;
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    ListEncoding encoding;
    std::u16string text;
    friend void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }
};

const std::u16string kAccents = u"am\tà mon avis, déjà l'été\r\nsig\tFrançois – 5 €\r\n";

class DecodeListText : public ::testing::TestWithParam<DecodeCase> {};
TEST_P(DecodeListText, ReadsWhatOtherToolsWrite) {
    const ListText decoded = decodeListText(GetParam().bytes);
    EXPECT_EQ(decoded.encoding, GetParam().encoding);
    EXPECT_EQ(decoded.text, GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    Lists, DecodeListText,
    ::testing::Values(
        DecodeCase{"Utf8WithMark", "\xEF\xBB\xBF" + utf16ToUtf8(kAccents), ListEncoding::Utf8, kAccents},
        DecodeCase{"Utf8WithoutMark", utf16ToUtf8(kAccents), ListEncoding::Utf8, kAccents},
        DecodeCase{"Utf16LeMark", utf16Bytes(kAccents, false, true), ListEncoding::Utf16LittleEndian, kAccents},
        DecodeCase{"Utf16BeMark", utf16Bytes(kAccents, true, true), ListEncoding::Utf16BigEndian, kAccents},
        DecodeCase{"Utf16LeWithoutMark", utf16Bytes(kAccents, false, false), ListEncoding::Utf16LittleEndian,
                   kAccents},
        DecodeCase{"Utf16BeWithoutMark", utf16Bytes(kAccents, true, false), ListEncoding::Utf16BigEndian, kAccents},
        DecodeCase{"Windows1252", "am\t\xE0 mon avis, d\xE9j\xE0 l'\xE9t\xE9\r\nsig\tFran\xE7ois \x96 5 \x80\r\n",
                   ListEncoding::Utf8, kAccents},
        DecodeCase{"MixedKeepsBoth", "\xC3\xA9t\xE9", ListEncoding::Utf8, u"été"},
        DecodeCase{"UnassignedWindows1252BytesStayThemselves", "\x81\x8D\x8F\x90\x9D", ListEncoding::Utf8,
                   u"\u0081\u008D\u008F\u0090\u009D"},
        DecodeCase{"Utf8SurrogateIsWindows1252", "\xED\xA0\x80", ListEncoding::Utf8, u"\u00ED\u00A0\u20AC"},
        DecodeCase{"Utf8FourBytes", "\xF0\x9F\x98\x80", ListEncoding::Utf8, u"\U0001F600"},
        DecodeCase{"Utf16LoneSurrogateReplaced", "\xFF\xFE\x00\xD8" "a\0"s, ListEncoding::Utf16LittleEndian,
                   u"\uFFFDa"},
        DecodeCase{"Utf16PairKept", "\xFF\xFE\x3D\xD8\x00\xDE"s, ListEncoding::Utf16LittleEndian, u"\U0001F600"},
        DecodeCase{"Utf16OddLastByteDropped", "\xFF\xFE" "a\0b"s, ListEncoding::Utf16LittleEndian, u"a"},
        DecodeCase{"NulBytesInUtf8StayNul", "a\0b\0\0c"s, ListEncoding::Utf8, u"a\0b\0\0c"s},
        DecodeCase{"OneByte", "a", ListEncoding::Utf8, u"a"},
        DecodeCase{"Empty", "", ListEncoding::Utf8, u""}),
    testing::CaseName{});

TEST(DecodeListText, EveryWindows1252ByteAloneIsItsCharacter) {
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string bytes(1, static_cast<char>(byte));
        ASSERT_EQ(decodeListText(bytes).text, std::u16string(1, windows1252Character(static_cast<unsigned char>(byte))));
    }
    EXPECT_EQ(windows1252Character(0xE9), u'é');
    EXPECT_EQ(windows1252Character(0x9C), u'œ');
}

TEST(DecodeListText, ListsFromOtherToolsExpandWithTheirAccents) {
    const std::u16string text = u"am\tà mon avis<R>été\r\nœu\tvœux\r\n";
    for (const std::string& bytes : {utf16Bytes(text, false, true), utf16Bytes(text, true, true),
                                     "am\t\xE0 mon avis<R>\xE9t\xE9\r\n\x9Cu\tv\x9Cux\r\n"s}) {
        const ActiveList list = parseActiveList(bytes);
        ASSERT_EQ(list.aidRows.size(), 2u);
        EXPECT_EQ(*list.table->find(u"am"), u"à mon avis\r\nété");
        EXPECT_EQ(*list.table->find(u"œu"), u"vœux");
        // Written back in the program's own form, they read the same.
        const AbbreviationList rows = parseListForEditing(bytes);
        EXPECT_EQ(parseListForEditing(serializeList(rows)), rows);
        EXPECT_EQ(serializeList(rows), "\xEF\xBB\xBF" + utf16ToUtf8(u"am\tà mon avis<R>été\r\nœu\tvœux\r\n"));
    }
}

}  // namespace
}  // namespace calmirande

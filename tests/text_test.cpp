#include "common/text.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace calmirande {
namespace {

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
    friend void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }
};

class Utf8ToUtf16 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToUtf16, DecodesWithOneReplacementPerMaximalBadSubpart) {
    EXPECT_EQ(utf8ToUtf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Text, Utf8ToUtf16,
    ::testing::Values(
        Utf8Case{"Ascii", "bjr\t<R>", u"bjr\t<R>"},
        Utf8Case{"TwoBytes", "agr\xC3\xA9\x65r", u"agréer"},
        Utf8Case{"ThreeBytes", "\xE2\x82\xAC", u"\u20AC"},
        Utf8Case{"FourBytesBecomeSurrogatePair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        Utf8Case{"LoneContinuation", "a\x80" "b", u"a\uFFFDb"},
        Utf8Case{"TruncatedAtEnd", "a\xE2\x82", u"a\uFFFD"},
        Utf8Case{"TruncatedBeforeAscii", "\xE2\x82z", u"\uFFFDz"},
        Utf8Case{"Overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
        Utf8Case{"OverlongThreeBytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        Utf8Case{"AboveUnicode", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        Utf8Case{"InvalidLeadBytes", "\xF5\xFF", u"\uFFFD\uFFFD"},
        Utf8Case{"NulKept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)}),
    testing::CaseName{});

TEST(Text, FourByteCharacterAppearsOnlyAfterItsLastByte) {
    const std::string grin = "\xF0\x9F\x98\x80";
    for (std::size_t cut = 1; cut < grin.size(); ++cut) {
        EXPECT_EQ(utf8ToUtf16(grin.substr(0, cut)), u"\uFFFD") << cut;
    }
    EXPECT_EQ(utf8ToUtf16(grin), u"\U0001F600");
}

TEST(Text, Utf16RoundTripsThroughUtf8) {
    const std::u16string text = u"Je vous prie d'agréer\r\n\t€ \U0001F600 \uFFFF";
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
}

TEST(Text, LoneSurrogatesAreWrittenAsReplacementCharacter) {
    EXPECT_EQ(utf16ToUtf8(std::u16string{u'a', char16_t(0xD83D), u'b'}), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(utf16ToUtf8(std::u16string{char16_t(0xDE00)}), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16ToUtf8(std::u16string{char16_t(0xD83D)}), "\xEF\xBF\xBD");
}

TEST(Text, ReplaceAllDoesNotRescanWhatItInserted) {
    EXPECT_EQ(replaceAll(u"(*1)(*1)", u"(*1)", u"(*1)x"), u"(*1)x(*1)x");
    EXPECT_EQ(replaceAll(u"aaa", u"aa", u"b"), u"ba");
    EXPECT_EQ(replaceAll(u"", u"a", u"b"), u"");
}

}  // namespace
}  // namespace calmirande

#include "app/preferences.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>

#include "common/text.h"
#include "lists/file_store_posix.h"
#include "test_support.h"

namespace calmirande {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::CurrentDirectory;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

struct IntegerCase {
    const char* name;
    std::string text;
    std::int32_t value;
    friend void PrintTo(const IntegerCase& c, std::ostream* os) { *os << c.name; }
};

class PreferenceInteger : public ::testing::TestWithParam<IntegerCase> {};
TEST_P(PreferenceInteger, ReadsTheLeadingNumber) {
    EXPECT_EQ(parsePreferenceInteger(GetParam().text), GetParam().value);
}
INSTANTIATE_TEST_SUITE_P(
    Preferences, PreferenceInteger,
    ::testing::Values(
        IntegerCase{"Empty", "", 0}, IntegerCase{"Zero", "0", 0}, IntegerCase{"One", "1", 1},
        IntegerCase{"Seven", "7", 7}, IntegerCase{"LeadingZeros", "007", 7},
        IntegerCase{"LeadingBlanks", "  7", 7}, IntegerCase{"LeadingTabAndMinus", "\t-3", -3},
        IntegerCase{"BlanksAndTabsMixed", " \t \t42", 42}, IntegerCase{"Plus", "+5", 5},
        IntegerCase{"MinusZero", "-0", 0}, IntegerCase{"SignAlone", "+", 0}, IntegerCase{"MinusAlone", "-", 0},
        IntegerCase{"TwoSigns", "+-3", 0}, IntegerCase{"BlankAfterSign", "- 3", 0},
        IntegerCase{"TrailingText", "12abc", 12}, IntegerCase{"TrailingBlank", "12 34", 12},
        IntegerCase{"Letters", "abc", 0}, IntegerCase{"DecimalPoint", "3.9", 3},
        IntegerCase{"OtherWhitespaceIsNotBlank", "\v7", 0}, IntegerCase{"NonBreakingSpace", "\xC2\xA0" "7", 0},
        IntegerCase{"Hex", "$1F", 31}, IntegerCase{"HexLowerCase", "$1f", 31}, IntegerCase{"HexMixedCase", "$aB", 171},
        IntegerCase{"HexAlone", "$", 0}, IntegerCase{"HexStopsAtG", "$FG", 15}, IntegerCase{"NegativeHex", "-$10", -16},
        IntegerCase{"HexAllOnesIsMinusOne", "$FFFFFFFF", -1}, IntegerCase{"HexHighBit", "$80000000", INT32_MIN},
        IntegerCase{"HexKeepsLow32Bits", "$123456789", 0x23456789}, IntegerCase{"BlanksThenHex", "  $a", 10},
        IntegerCase{"SignAfterDollar", "$-1", 0}, IntegerCase{"DollarTwice", "$$1", 0},
        IntegerCase{"Binary", "%101", 5}, IntegerCase{"BinaryAlone", "%", 0}, IntegerCase{"BinaryStopsAt2", "%1012", 5},
        IntegerCase{"NegativeBinary", "-%11", -3}, IntegerCase{"Binary33Ones", "%" + std::string(33, '1'), -1},
        IntegerCase{"HexDigitInDecimal", "1A", 1},
        IntegerCase{"Max", "2147483647", INT32_MAX}, IntegerCase{"Min", "-2147483648", INT32_MIN},
        IntegerCase{"JustAboveMaxWraps", "2147483648", INT32_MIN},
        IntegerCase{"Two32PlusOne", "4294967297", 1}, IntegerCase{"Two32", "4294967296", 0},
        IntegerCase{"MinusTwo32PlusOne", "-4294967297", -1},
        IntegerCase{"HugeNumberOfDigits", "1" + std::string(100000, '0') + "x", 0},
        IntegerCase{"HugeNumberOfNines", std::string(50000, '9'), -1}),
    testing::CaseName{});

struct ParseCase {
    const char* name;
    std::string bytes;
    Preferences expected;
    friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }
};

class ParsePreferences : public ::testing::TestWithParam<ParseCase> {};
TEST_P(ParsePreferences, ReadsBothLines) { EXPECT_EQ(parsePreferences(GetParam().bytes), GetParam().expected); }
INSTANTIATE_TEST_SUITE_P(
    Preferences, ParsePreferences,
    ::testing::Values(
        ParseCase{"Canonical", "\xEF\xBB\xBFPerso.dat\r\n1", {u"Perso.dat", 1}},
        ParseCase{"Default", "\xEF\xBB\xBF\r\n0", {u"", 0}},
        ParseCase{"NoMarkLfEnds", "Perso.dat\n1\n", {u"Perso.dat", 1}},
        ParseCase{"LoneCrEnds", "Perso.dat\r1\r", {u"Perso.dat", 1}},
        ParseCase{"Utf16LeMarkReadAsUtf8", "\xFF\xFEPerso.dat\r\n1", {u"Perso.dat", 1}},
        ParseCase{"Utf16BeMarkReadAsUtf8", "\xFE\xFFPerso.dat\r\n1", {u"Perso.dat", 1}},
        ParseCase{"OnlyOneMarkSkipped", "\xEF\xBB\xBF\xEF\xBB\xBFP\r\n1", {u"\uFEFFP", 1}},
        ParseCase{"PartialMarkIsText", "\xEF\xBBP\r\n1", {u"\uFFFDP", 1}},
        ParseCase{"Empty", "", {u"", 0}},
        ParseCase{"OnlyMark", "\xEF\xBB\xBF", {u"", 0}},
        ParseCase{"OnlyLineOne", "\xEF\xBB\xBFPerso.dat", {u"Perso.dat", 0}},
        ParseCase{"OnlyLineOneTerminated", "Perso.dat\r\n", {u"Perso.dat", 0}},
        ParseCase{"NulEndsLines", "Perso.dat\0" "1\0" "junk"s, {u"Perso.dat", 1}},
        ParseCase{"NulInsideLineOne", "Per\0so.dat\r\n1"s, {u"Per", 0}},
        ParseCase{"CrCrLfLeavesLineTwoEmpty", "Perso.dat\r\r\n1", {u"Perso.dat", 0}},
        ParseCase{"LfCrLeavesLineTwoEmpty", "Perso.dat\n\r1", {u"Perso.dat", 0}},
        ParseCase{"BlanksAndSeven", "Perso.dat\r\n  7", {u"Perso.dat", 7}},
        ParseCase{"NegativeKept", "Perso.dat\r\n-12", {u"Perso.dat", -12}},
        ParseCase{"NotANumber", "Perso.dat\r\noui", {u"Perso.dat", 0}},
        ParseCase{"LaterLinesIgnored", "a.dat\r\n1\r\n2\r\n", {u"a.dat", 1}},
        ParseCase{"LineOneKeptAsWritten", " Perso.dat \r\n1", {u" Perso.dat ", 1}},
        ParseCase{"NonAsciiName", "\xEF\xBB\xBF\xC3\x89l\xC3\xA8ve.dat\r\n0", {u"Élève.dat", 0}},
        ParseCase{"BadUtf8Replaced", "a\xFF.dat\r\n1", {u"a\uFFFD.dat", 1}}),
    testing::CaseName{});

TEST(SerializePreferences, WritesTheCanonicalBytes) {
    const std::string perso = serializePreferences(u"Perso.dat", 1);
    EXPECT_EQ(perso, "\xEF\xBB\xBF\x50\x65\x72\x73\x6F\x2E\x64\x61\x74\x0D\x0A\x31");
    EXPECT_EQ(perso.size(), 15u);
    const std::string fresh = serializePreferences(u"", 0);
    EXPECT_EQ(fresh, "\xEF\xBB\xBF\x0D\x0A\x30");
    EXPECT_EQ(fresh.size(), 6u);
    EXPECT_EQ(serializePreferences(u"Élève.dat", 7), "\xEF\xBB\xBF\xC3\x89l\xC3\xA8ve.dat\r\n7");
}

TEST(SerializePreferences, WritesEveryInt32AsSignedDecimal) {
    EXPECT_EQ(serializePreferences(u"", -1), "\xEF\xBB\xBF\r\n-1");
    EXPECT_EQ(serializePreferences(u"", INT32_MAX), "\xEF\xBB\xBF\r\n2147483647");
    EXPECT_EQ(serializePreferences(u"", INT32_MIN), "\xEF\xBB\xBF\r\n-2147483648");
    for (const std::int32_t value : {0, 1, -1, 7, INT32_MIN, INT32_MAX, 31, -16}) {
        EXPECT_EQ(parsePreferences(serializePreferences(u"x.dat", value)), (Preferences{u"x.dat", value}));
    }
}

class PreferencesFile : public ::testing::Test {
protected:
    PreferencesFile() : cwd_(dir_.path()) {}
    fs::path file() const { return dir_.path() / "Preferences.txt"; }

    TempDir dir_;
    CurrentDirectory cwd_;
    PosixFileStore files_;
};

TEST_F(PreferencesFile, SaveWritesTheExactBytesAndNoTemporaryFile) {
    ASSERT_TRUE(savePreferences(files_, u"Perso.dat", 1));
    EXPECT_EQ(readBytes(file()), "\xEF\xBB\xBFPerso.dat\r\n1");
    EXPECT_EQ(fs::file_size(file()), 15u);
    ASSERT_TRUE(savePreferences(files_, u"", 0));
    EXPECT_EQ(readBytes(file()), "\xEF\xBB\xBF\r\n0");
    EXPECT_EQ(fs::file_size(file()), 6u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

TEST_F(PreferencesFile, NonAsciiListNameSurvivesAWriteAndARead) {
    ASSERT_TRUE(savePreferences(files_, u"Élève.dat", 1));
    EXPECT_EQ(loadPreferences(files_), (Preferences{u"Élève.dat", 1}));
}

TEST_F(PreferencesFile, HandWrittenValueIsWrittenBackUnchanged) {
    writeBytes(file(), "Perso.dat\n  7\n");
    const Preferences read = loadPreferences(files_);
    EXPECT_EQ(read, (Preferences{u"Perso.dat", 7}));
    ASSERT_TRUE(savePreferences(files_, read.activeListFile, read.writingAidEnabled));
    EXPECT_EQ(readBytes(file()), "\xEF\xBB\xBFPerso.dat\r\n7");
}

TEST_F(PreferencesFile, UnreadableFileGivesNoListAndTheAidOff) {
    EXPECT_EQ(loadPreferences(files_), Preferences{});
    fs::create_directory(file());
    EXPECT_EQ(loadPreferences(files_), Preferences{});
}

TEST_F(PreferencesFile, FailedSaveLeavesThePreviousFileWhole) {
    writeBytes(file(), "\xEF\xBB\xBFPerso.dat\r\n1");
    {
        testing::DiskFull full;
        EXPECT_FALSE(savePreferences(files_, u"Travail.dat", 0));
    }
    EXPECT_EQ(readBytes(file()), "\xEF\xBB\xBFPerso.dat\r\n1");
}

TEST_F(PreferencesFile, SaveOverALongerFileLeavesNothingOfIt) {
    writeBytes(file(), "\xEF\xBB\xBF" + std::string(500, 'x') + ".dat\r\n12345\r\nmore\r\n");
    ASSERT_TRUE(savePreferences(files_, u"a.dat", 0));
    EXPECT_EQ(readBytes(file()), "\xEF\xBB\xBF" "a.dat\r\n0");
}

// Whatever a preferences file holds, reading it gives values that write back
// as the canonical file, and that file reads back as the same values.
void expectCanonicalRoundTrip(std::string_view bytes) {
    const Preferences read = parsePreferences(bytes);
    const std::string written = serializePreferences(read.activeListFile, read.writingAidEnabled);
    ASSERT_TRUE(written.starts_with("\xEF\xBB\xBF"));
    const std::size_t lineEnd = written.find("\r\n", 3);
    ASSERT_NE(lineEnd, std::string::npos);
    const std::string lineOne = written.substr(3, lineEnd - 3);
    EXPECT_EQ(lineOne.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(lineOne)), lineOne);  // well-formed UTF-8
    EXPECT_EQ(written.substr(lineEnd + 2), std::to_string(read.writingAidEnabled));
    EXPECT_EQ(parsePreferences(written), read);
    EXPECT_EQ(serializePreferences(parsePreferences(written).activeListFile, read.writingAidEnabled), written);
}

struct AnyContentCase {
    const char* name;
    std::string bytes;
    friend void PrintTo(const AnyContentCase& c, std::ostream* os) { *os << c.name; }
};

class AnyPreferencesContent : public ::testing::TestWithParam<AnyContentCase> {};
TEST_P(AnyPreferencesContent, ReadsAndWritesBackCanonically) { expectCanonicalRoundTrip(GetParam().bytes); }
INSTANTIATE_TEST_SUITE_P(
    Preferences, AnyPreferencesContent,
    ::testing::Values(
        AnyContentCase{"Empty", ""}, AnyContentCase{"OnlyNuls", std::string(64, '\0')},
        AnyContentCase{"OnlyLineEnds", "\r\r\n\n\r"}, AnyContentCase{"MissingLineTwo", "\xEF\xBB\xBFPerso.dat"},
        AnyContentCase{"LongLineOne", "\xEF\xBB\xBF" + std::string(100000, 'a') + ".dat\r\n1"},
        AnyContentCase{"LongLineTwo", "a.dat\r\n" + std::string(100000, '7')},
        AnyContentCase{"Utf16LeFile", "\xFF\xFEP\0e\0r\0s\0o\0.\0d\0a\0t\0\r\0\n\0" "1\0"s},
        AnyContentCase{"Utf16BeFile", "\xFE\xFF\0P\0e\0r\0s\0o\0.\0d\0a\0t\0\r\0\n\0" "1"s},
        AnyContentCase{"EncodedSurrogate", "a\xED\xA0\x80.dat\r\n1"},
        AnyContentCase{"Overlong", "\xC0\xAF\xE0\x80\xAF.dat\r\n1"},
        AnyContentCase{"AboveUnicode", "\xF4\x90\x80\x80\xF8\x88\x80\x80\x80\r\n1"},
        AnyContentCase{"TruncatedAtTheEnd", "\xF0\x9F\x98"}, AnyContentCase{"LoneContinuationBytes", "\x80\xBF\r\n\x80"},
        AnyContentCase{"SecondMarkKept", "\xEF\xBB\xBF\xEF\xBB\xBF\xFF\xFE\r\n-0"},
        AnyContentCase{"AllBytes", [] {
                           std::string all;
                           for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
                           return all + all;
                       }()}),
    testing::CaseName{});

TEST(ParsePreferences, AFileSavedAsUtf16GivesNoListAndTheAidOff) {
    // The mark is skipped and the rest read as UTF-8: the NUL after "P" ends line 1.
    EXPECT_EQ(parsePreferences("\xFF\xFEP\0e\0r\0s\0o\0.\0d\0a\0t\0\r\0\n\0" "1\0"s), (Preferences{u"P", 0}));
    EXPECT_EQ(parsePreferences("\xFE\xFF\0P\0e\0r\0s\0o\0.\0d\0a\0t\0\r\0\n\0" "1"s), (Preferences{u"", 0}));
}

TEST(ParsePreferences, AVeryLongLineOneIsKeptWhole) {
    const std::string name = std::string(50000, 'x') + "\xC3\xA9.dat";
    const Preferences read = parsePreferences("\xEF\xBB\xBF" + name + "\r\n1");
    EXPECT_EQ(read.activeListFile.size(), 50000u + 5u);
    EXPECT_EQ(read.writingAidEnabled, 1);
}

}  // namespace
}  // namespace calmirande

#include "lists/list_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include "common/text.h"
#include "lists/list_text.h"

namespace calmirande {
namespace {

using namespace std::string_literals;

struct StoredCase {
    std::u16string text;
    std::u16string stored;
    friend void PrintTo(const StoredCase& c, std::ostream* os) { *os << '"' << utf16ToUtf8(c.stored) << '"'; }
};

class EncodeStoredText : public ::testing::TestWithParam<StoredCase> {};
TEST_P(EncodeStoredText, WritesTabsAndEveryLineBreakAsMarkers) {
    EXPECT_EQ(encodeStoredText(GetParam().text), GetParam().stored);
}
INSTANTIATE_TEST_SUITE_P(
    Lists, EncodeStoredText,
    ::testing::Values(StoredCase{u"Bonjour\r\nPaul", u"Bonjour<R>Paul"}, StoredCase{u"a\tb", u"a<T>b"},
                      StoredCase{u"a\rb", u"a<R>b"}, StoredCase{u"a\nb", u"a<R>b"},
                      StoredCase{u"\r\r\n", u"<R><R>"}, StoredCase{u"\n\r", u"<R><R>"},
                      StoredCase{u"\r\n\r\n\t", u"<R><R><T>"}, StoredCase{u"fin\r", u"fin<R>"},
                      StoredCase{u"déjà <R> vu", u"déjà <R> vu"}, StoredCase{u"", u""}));

class DecodeStoredText : public ::testing::TestWithParam<StoredCase> {};
TEST_P(DecodeStoredText, TurnsExactMarkersIntoTabsAndLineBreaks) {
    EXPECT_EQ(decodeStoredText(GetParam().stored), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    Lists, DecodeStoredText,
    ::testing::Values(StoredCase{u"b\r\nc\td", u"b<R>c<T>d"}, StoredCase{u"<t><r>", u"<t><r>"},
                      StoredCase{u"<\t>", u"<<T>>"}, StoredCase{u"<R", u"<R"}, StoredCase{u"<", u"<"},
                      StoredCase{u"\r\n\r\n", u"<R><R>"}, StoredCase{u"<R\t>", u"<R<T>>"},
                      StoredCase{u"", u""}));

TEST(Lists, EncodedTextNeverHoldsARecordSeparator) {
    const std::u16string text = u"a\tb\rc\nd\r\ne\n\r";
    const std::u16string stored = encodeStoredText(text);
    EXPECT_EQ(stored.find_first_of(u"\t\r\n"), std::u16string::npos);
    EXPECT_EQ(decodeStoredText(stored), u"a\tb\r\nc\r\nd\r\ne\r\n\r\n");
}

using Records = std::vector<std::pair<std::string, std::string>>;

// The records of a file's bytes, written back as UTF-8 to compare.
Records readRecords(const std::string& bytes) {
    Records records;
    const ListText decoded = decodeListText(bytes);
    ListRecordReader reader(decoded.text);
    ListRecordReader::Record record;
    while (reader.next(record)) records.emplace_back(utf16ToUtf8(record.key), utf16ToUtf8(record.storedText));
    return records;
}

struct ReaderCase {
    const char* name;
    std::string bytes;
    Records records;
    friend void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }
};

class ListReader : public ::testing::TestWithParam<ReaderCase> {};
TEST_P(ListReader, SplitsLinesAndFields) { EXPECT_EQ(readRecords(GetParam().bytes), GetParam().records); }
INSTANTIATE_TEST_SUITE_P(
    Lists, ListReader,
    ::testing::Values(
        ReaderCase{"Empty", "", {}},
        ReaderCase{"OnlyByteOrderMark", "\xEF\xBB\xBF", {}},
        ReaderCase{"LastLineWithoutTerminator", "a\tb", {{"a", "b"}}},
        ReaderCase{"CrLf", "a\tb\r\nc\td\r\n", {{"a", "b"}, {"c", "d"}}},
        ReaderCase{"LoneCr", "a\tb\rc\td", {{"a", "b"}, {"c", "d"}}},
        ReaderCase{"LoneLf", "a\tb\nc\td\n", {{"a", "b"}, {"c", "d"}}},
        ReaderCase{"Nul", "a\tb\0c\td"s, {{"a", "b"}, {"c", "d"}}},
        ReaderCase{"TwoCrsEndTwoLines", "a\r\r\nb", {{"a", ""}, {"", ""}, {"b", ""}}},
        ReaderCase{"LfCrIsTwoLineEnds", "a\n\rb", {{"a", ""}, {"", ""}, {"b", ""}}},
        ReaderCase{"LoneLineEnd", "\n", {{"", ""}}},
        ReaderCase{"EmptyLineInMiddle", "a\tb\r\n\r\nc\td", {{"a", "b"}, {"", ""}, {"c", "d"}}},
        ReaderCase{"NoTab", "abc", {{"abc", ""}}},
        ReaderCase{"TabLast", "abc\t\r\n", {{"abc", ""}}},
        ReaderCase{"EmptyKey", "\tb", {{"", "b"}}},
        ReaderCase{"ThirdFieldIgnored", "a\tb\tc\td", {{"a", "b"}}},
        ReaderCase{"Utf16Le", "\xFF\xFE" "a\0\t\0b\0\r\0\n\0c\0"s, {{"a", "b"}, {"c", ""}}},
        ReaderCase{"Utf16Be", "\xFE\xFF" "\0a\0\t\0\xE9\0\n"s, {{"a", "\xC3\xA9"}}},
        ReaderCase{"Utf16LeNulEndsALine", "\xFF\xFE" "a\0\0\0b\0"s, {{"a", ""}, {"b", ""}}},
        ReaderCase{"Utf32BeMarkSkipped", "\x00\x00\xFE\xFF"s + "a\tb", {{"a", "b"}}},
        ReaderCase{"OnlyOneMarkSkipped", "\xEF\xBB\xBF\xEF\xBB\xBF" "a", {{"\xEF\xBB\xBF" "a", ""}}},
        ReaderCase{"PartialMarkIsWindows1252", "\xEF\xBB" "a", {{"\xC3\xAF\xC2\xBB" "a", ""}}}),
    testing::CaseName{});

std::string numberedLines(std::size_t first, std::size_t count) {
    std::string bytes;
    for (std::size_t i = first; i < first + count; ++i) {
        const std::string n = std::to_string(i);
        bytes.append("k").append(n).append("\tt").append(n).append("\r\n");
    }
    return bytes;
}

TEST(ActiveList, DecodesTheTableAndKeepsStoredRows) {
    const ActiveList list = parseActiveList("a\tb<R>c<T>d");
    ASSERT_NE(list.table->find(u"a"), nullptr);
    EXPECT_EQ(*list.table->find(u"a"), u"b\r\nc\td");
    EXPECT_EQ(list.aidRows, (AbbreviationList{{u"a", u"b<R>c<T>d"}}));
}

TEST(ActiveList, LineWithoutTabExpandsToNothing) {
    const ActiveList list = parseActiveList("abc\r\n");
    ASSERT_NE(list.table->find(u"abc"), nullptr);
    EXPECT_EQ(*list.table->find(u"abc"), u"");
    EXPECT_TRUE(parseListForEditing("abc\r\n").empty());
}

TEST(ActiveList, LastDuplicateWinsButEveryRowIsKept) {
    const std::string bytes = "\xEF\xBB\xBF" "am\tpremier\r\nam\tsecond\r\n";
    const ActiveList list = parseActiveList(bytes);
    EXPECT_EQ(*list.table->find(u"am"), u"second");
    EXPECT_EQ(list.table->size(), 1u);
    EXPECT_EQ(list.aidRows.size(), 2u);
    const AbbreviationList rows = parseListForEditing(bytes);
    EXPECT_EQ(rows, (AbbreviationList{{u"am", u"premier"}, {u"am", u"second"}}));
    EXPECT_EQ(serializeList(rows), bytes);
}

TEST(ActiveList, KeysAreExactAndCaseSensitive) {
    const ActiveList list = parseActiveList("Am\tx\r\n am\ty\r\n");
    EXPECT_EQ(list.table->find(u"am"), nullptr);
    EXPECT_NE(list.table->find(u"Am"), nullptr);
    EXPECT_NE(list.table->find(u" am"), nullptr);
}

TEST(ActiveList, EmptyLineTakesAPlaceInTheActiveListOnly) {
    // Line 2 is empty; with 2000 more records after it the active list stops
    // one record earlier than the editor does.
    const std::string bytes = "k0\tt0\r\n\r\n" + numberedLines(1, 2000);
    const ActiveList active = parseActiveList(bytes);
    EXPECT_EQ(active.aidRows.size(), MaxEntriesPerList);
    EXPECT_NE(active.table->find(u""), nullptr);
    EXPECT_NE(active.table->find(u"k1998"), nullptr);
    EXPECT_EQ(active.table->find(u"k1999"), nullptr);

    const AbbreviationList editing = parseListForEditing(bytes);
    EXPECT_EQ(editing.size(), MaxEntriesPerList);
    EXPECT_EQ(editing.back().key, u"k1999");
}

TEST(ActiveList, BothLoadsTakeTheFirst2000Of2500) {
    const std::string bytes = "\xEF\xBB\xBF" + numberedLines(0, 2500);
    EXPECT_EQ(parseActiveList(bytes).aidRows.size(), 2000u);
    EXPECT_EQ(parseActiveList(bytes).table->size(), 2000u);
    const AbbreviationList rows = parseListForEditing(bytes);
    ASSERT_EQ(rows.size(), 2000u);
    EXPECT_EQ(rows.back().key, u"k1999");
    EXPECT_EQ(serializeList(rows), "\xEF\xBB\xBF" + numberedLines(0, 2000));
}

struct BeyondBoundCase {
    const char* name;
    std::string bytes;        // the file
    std::string beyond;       // what the save writes after the 2000 rows
    friend void PrintTo(const BeyondBoundCase& c, std::ostream* os) { *os << c.name; }
};

class LinesBeyondBound : public ::testing::TestWithParam<BeyondBoundCase> {};
TEST_P(LinesBeyondBound, AreSetApartAndWrittenBackAfterTheRows) {
    std::u16string beyond = u"stale";
    const AbbreviationList rows = parseListForEditing(GetParam().bytes, &beyond);
    ASSERT_EQ(rows.size(), MaxEntriesPerList);
    EXPECT_EQ(rows.back().key, u"k1999");
    const std::string saved = serializeList(rows, beyond);
    EXPECT_EQ(saved, "\xEF\xBB\xBF" + numberedLines(0, 2000) + GetParam().beyond);
    // Read again, the save gives the same rows and the same lines beyond them.
    std::u16string again;
    EXPECT_EQ(parseListForEditing(saved, &again), rows);
    EXPECT_EQ(serializeList(rows, again), saved);
}
INSTANTIATE_TEST_SUITE_P(
    Lists, LinesBeyondBound,
    ::testing::Values(
        BeyondBoundCase{"Exactly2000", "\xEF\xBB\xBF" + numberedLines(0, 2000), ""},
        BeyondBoundCase{"TenThousand", numberedLines(0, 10000), numberedLines(2000, 8000)},
        // Key-only and empty lines, a third field, NUL and lone LF or CR ends,
        // and a last line without its end: each line kept, CR LF after each.
        BeyondBoundCase{"EveryKindOfLine", numberedLines(0, 2000) + "seule\n\nbjr\tBonjour\ttrois\rab\tc"s + '\0' + "fin\tlà",
                        "seule\r\n\r\nbjr\tBonjour\ttrois\r\nab\tc\r\nfin\tlà\r\n"},
        // Lines before the 2000th row that are no row go back first.
        BeyondBoundCase{"SkippedLinesBeforeTheBound", "seule\n\n" + numberedLines(0, 2001),
                        "seule\r\n\r\n" + numberedLines(2000, 1)}),
    testing::CaseName{});

TEST(Lists, NoBoundReachedLeavesNothingApart) {
    std::u16string beyond = u"stale";
    EXPECT_EQ(parseListForEditing("a\tb\r\nc\td\r\n", &beyond).size(), 2u);
    EXPECT_EQ(beyond, u"");
}

// What the editor cannot show or edit as a row comes back as it was.
TEST(ListForEditing, AnEditedSaveWritesBackEveryLineItCouldNotShow) {
    std::u16string notShown;
    const AbbreviationList rows =
        parseListForEditing("seule\r\nbjr\tBonjour\ttrois\n\tsans clé\r\nvide\t\r\na\t\tc\r\nok\tyes", &notShown);
    EXPECT_EQ(rows, (AbbreviationList{{u"bjr", u"Bonjour\ttrois"}, {u"ok", u"yes"}}));
    EXPECT_EQ(serializeList(rows, notShown),
              "\xEF\xBB\xBF" "bjr\tBonjour\ttrois\r\nok\tyes\r\nseule\r\n\tsans clé\r\nvide\t\r\na\t\tc\r\n");
    EXPECT_EQ(*parseActiveList(serializeList(rows, notShown)).table->find(u"bjr"), u"Bonjour");
}

TEST(ActiveList, WithAndWithoutByteOrderMarkLoadTheSame) {
    const std::string body = "bjr\tBonjour<R>Paul\r\nfpol\tJe vous prie d'agr\xC3\xA9" "er, (*1)\r\n";
    EXPECT_EQ(parseActiveList(body).aidRows, parseActiveList("\xEF\xBB\xBF" + body).aidRows);
    EXPECT_EQ(parseListForEditing(body), parseListForEditing("\xEF\xBB\xBF" + body));
    EXPECT_EQ(*parseActiveList(body).table->find(u"fpol"), u"Je vous prie d'agréer, (*1)");
}

TEST(ListForEditing, SkipsRowsWithoutKeyOrText) {
    EXPECT_EQ(parseListForEditing("\r\nabc\r\nabc\t\r\n\tx\r\nok\tyes\r\n"), (AbbreviationList{{u"ok", u"yes"}}));
}

struct UnderstoodCase {
    const char* name;
    std::string bytes;
    bool understood;
    friend void PrintTo(const UnderstoodCase& c, std::ostream* os) { *os << c.name; }
};
class ListUnderstood : public ::testing::TestWithParam<UnderstoodCase> {};
TEST_P(ListUnderstood, WhenHalfItsLinesAreRowsAndItHoldsNoNul) {
    EditingRead read;
    parseListForEditing(GetParam().bytes, nullptr, &read);
    EXPECT_EQ(read.understood(), GetParam().understood) << read.rows << " of " << read.lines;
}
INSTANTIATE_TEST_SUITE_P(
    Lists, ListUnderstood,
    ::testing::Values(UnderstoodCase{"Empty", "", true}, UnderstoodCase{"Rows", "a\tb\r\nc\td", true},
                      UnderstoodCase{"HalfAndBlankLines", "a\tb\r\n\r\n\r\nseule\r\n", true},
                      UnderstoodCase{"LessThanHalf", "seule\r\nune autre\r\na\tb\r\n", false},
                      UnderstoodCase{"AnotherFormat", "[section]\r\ncle=valeur\r\nautre=chose\r\n", false},
                      UnderstoodCase{"NulInside", std::string("a\tb\0c\td", 7), false},
                      // UTF-32 LE, read as no encoding the program knows: zero characters.
                      UnderstoodCase{"Utf32", std::string("a\0\0\0\t\0\0\0b\0\0\0\r\0\0\0\n\0\0\0", 20), false}),
    testing::CaseName{});

TEST(ListForEditing, TypedMarkerComesBackAsLineBreak) {
    const AbbreviationList rows = parseListForEditing(serializeList({{u"sig", encodeStoredText(u"a <R> b")}}));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(decodeStoredText(rows[0].storedText), u"a \r\n b");
}

TEST(SaveList, WritesTheCanonicalBytes) {
    EXPECT_EQ(serializeList({}), "\xEF\xBB\xBF");
    const std::string example = serializeList({{u"bjr", encodeStoredText(u"Bonjour\r\nPaul")}});
    EXPECT_EQ(example, "\xEF\xBB\xBF\x62\x6A\x72\x09\x42\x6F\x6E\x6A\x6F\x75\x72\x3C\x52\x3E\x50\x61\x75\x6C\x0D\x0A");
    EXPECT_EQ(example.size(), 23u);
    EXPECT_EQ(serializeList({{u"vide", u""}}), "\xEF\xBB\xBFvide\t\r\n");
}

TEST(SaveList, SizeIsThatOfTheBytesWritten) {
    const AbbreviationList rows = {{u"am", u"à mon avis"}, {u"emo", u"\U0001F600 €"}, {u"seul", u"\xD800x"}};
    for (const std::u16string_view beyond : {u"", u"k\tv\nk2\tv2\r\n", u"dernière sans fin", u"\r\r\n"}) {
        EXPECT_EQ(serializedListSize(rows, beyond), serializeList(rows, beyond).size());
    }
    EXPECT_EQ(serializedListSize({}), 3u);
}

TEST(SaveList, RowsSurviveARoundTrip) {
    const AbbreviationList rows = {{u"am", u"à mon avis"}, {u"sig", u"Paul<R>\U0001F600<T>fin"}, {u"x", u"y-"}};
    EXPECT_EQ(parseListForEditing(serializeList(rows)), rows);
}

}  // namespace
}  // namespace calmirande

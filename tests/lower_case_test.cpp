#include "common/lower_case.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace calmirande {
namespace {

struct LowerCase {
    const char* name;
    std::u16string in;
    std::u16string out;
    friend void PrintTo(const LowerCase& c, std::ostream* os) { *os << c.name; }
};

class LowerCaseSeam : public ::testing::TestWithParam<LowerCase> {};

TEST_P(LowerCaseSeam, FoldsOneUnitToOneUnit) { EXPECT_EQ(toLowerCase(GetParam().in), GetParam().out); }

INSTANTIATE_TEST_SUITE_P(
    Text, LowerCaseSeam,
    ::testing::Values(LowerCase{"Ascii", u"BJR", u"bjr"}, LowerCase{"StarsAndCase", u"Fpol*Monsieur*", u"fpol*monsieur*"},
                      LowerCase{"FrenchAccents", u"ÉCOLE ÀÇÈÊÎÔÛÙ", u"école àçèêîôûù"}, LowerCase{"Ligature", u"ŒUVRE Ÿ", u"œuvre ÿ"},
                      LowerCase{"LatinExtended", u"ĀĂĄĆ", u"āăąć"}, LowerCase{"Greek", u"ΣΑΒ", u"σαβ"}, LowerCase{"Cyrillic", u"ДОМ", u"дом"},
                      LowerCase{"DottedCapitalI", u"İ", u"i"}, LowerCase{"NoCaseUnchanged", u"ß0-9_*@[`{", u"ß0-9_*@[`{"},
                      LowerCase{"OutsideTheBmpUnchanged", u"\U0001F600", u"\U0001F600"}, LowerCase{"Empty", u"", u""}),
    testing::CaseName{});

}  // namespace
}  // namespace calmirande

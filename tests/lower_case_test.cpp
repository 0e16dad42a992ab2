#include "common/lower_case.h"

#include <gtest/gtest.h>

namespace calmirande {
namespace {

struct LowerCase {
    std::u16string in;
    std::u16string out;
};

class LowerCaseSeam : public ::testing::TestWithParam<LowerCase> {};

TEST_P(LowerCaseSeam, FoldsOneUnitToOneUnit) { EXPECT_EQ(toLowerCase(GetParam().in), GetParam().out); }

INSTANTIATE_TEST_SUITE_P(
    Text, LowerCaseSeam,
    ::testing::Values(LowerCase{u"BJR", u"bjr"}, LowerCase{u"Fpol*Monsieur*", u"fpol*monsieur*"},
                      LowerCase{u"ÉCOLE ÀÇÈÊÎÔÛÙ", u"école àçèêîôûù"}, LowerCase{u"ŒUVRE Ÿ", u"œuvre ÿ"},
                      LowerCase{u"ĀĂĄĆ", u"āăąć"}, LowerCase{u"ΣΑΒ", u"σαβ"}, LowerCase{u"ДОМ", u"дом"},
                      LowerCase{u"İ", u"i"}, LowerCase{u"ß0-9_*@[`{", u"ß0-9_*@[`{"},
                      LowerCase{u"\U0001F600", u"\U0001F600"}, LowerCase{u"", u""}));

}  // namespace
}  // namespace calmirande

#include "app/documents.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace calmirande {
namespace {

// Just enough of an RTF reader to see what a rich-edit control would show:
// the colour table, groups, the character formats the documents use, \'xx
// escapes, paragraphs. Each paragraph keeps the format of its first
// character and whether the format changed inside it.
struct Colour {
    int red = 0, green = 0, blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};
struct Format {
    int colour = 0;
    bool bold = false;
    bool underline = false;
    int halfPoints = 24;
    friend bool operator==(const Format&, const Format&) = default;
};
struct Paragraph {
    std::u16string text;
    Format format;
    bool mixed = false;
};
struct Reading {
    bool wellFormed = true;
    std::vector<Colour> colours;
    std::vector<Paragraph> paragraphs;
    std::vector<std::string> fonts;
};

Reading readRtf(std::string_view rtf) {
    Reading out;
    std::vector<Format> stack;
    Format format;
    Paragraph current;
    bool started = false;
    int depth = 0;
    int skipDepth = 0;  // inside a destination we do not show (font and colour tables)
    std::string destination;
    std::string fontName;
    Colour colour;

    auto addChar = [&](char16_t c) {
        if (skipDepth) {
            if (destination == "fonttbl") {
                if (c == u';') {
                    out.fonts.push_back(fontName);
                    fontName.clear();
                } else {
                    fontName.push_back(static_cast<char>(c));
                }
            } else if (destination == "colortbl" && c == u';') {
                out.colours.push_back(colour);
                colour = {};
            }
            return;
        }
        if (current.text.empty() && !started) current.format = format;
        if (!(current.format == format)) current.mixed = true;
        started = true;
        current.text.push_back(c);
    };
    auto endParagraph = [&] {
        if (!started) current.format = format;
        out.paragraphs.push_back(current);
        current = {};
        started = false;
    };

    for (std::size_t i = 0; i < rtf.size();) {
        const char c = rtf[i];
        if (c == '{') {
            stack.push_back(format);
            ++depth;
            ++i;
        } else if (c == '}') {
            if (stack.empty()) {
                out.wellFormed = false;
                return out;
            }
            format = stack.back();
            stack.pop_back();
            if (skipDepth == depth) skipDepth = 0;
            --depth;
            ++i;
            if (depth == 0 && i != rtf.size()) out.wellFormed = false;
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else if (c != '\\') {
            addChar(static_cast<unsigned char>(c));
            ++i;
        } else if (i + 1 < rtf.size() && (rtf[i + 1] == '\\' || rtf[i + 1] == '{' || rtf[i + 1] == '}')) {
            addChar(static_cast<unsigned char>(rtf[i + 1]));
            i += 2;
        } else if (i + 3 < rtf.size() && rtf[i + 1] == '\'') {
            // Windows-1252: the documents use only its Latin-1 half.
            const int value = std::stoi(std::string(rtf.substr(i + 2, 2)), nullptr, 16);
            if (value >= 0x80 && value < 0xA0) out.wellFormed = false;
            addChar(static_cast<char16_t>(value));
            i += 4;
        } else {
            std::size_t j = i + 1;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
            const std::string word(rtf.substr(i + 1, j - i - 1));
            if (word.empty()) {  // no other control symbol is used
                out.wellFormed = false;
                return out;
            }
            std::size_t k = j;
            if (k < rtf.size() && rtf[k] == '-') ++k;
            while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k]))) ++k;
            const bool hasValue = k > j;
            const int value = hasValue ? std::stoi(std::string(rtf.substr(j, k - j))) : 1;
            i = k;
            if (i < rtf.size() && rtf[i] == ' ') ++i;  // the delimiter belongs to the word

            if (word == "fonttbl" || word == "colortbl") {
                destination = word;
                skipDepth = depth;
            } else if (word == "red") {
                colour.red = value;
            } else if (word == "green") {
                colour.green = value;
            } else if (word == "blue") {
                colour.blue = value;
            } else if (word == "par") {
                if (!skipDepth) endParagraph();
            } else if (word == "plain") {
                format = {};
            } else if (word == "cf") {
                format.colour = value;
            } else if (word == "b") {
                format.bold = value != 0;
            } else if (word == "ul") {
                format.underline = value != 0;
            } else if (word == "ulnone") {
                format.underline = false;
            } else if (word == "fs") {
                format.halfPoints = value;
            }
        }
    }
    if (depth != 0) out.wellFormed = false;
    if (started) out.paragraphs.push_back(current);
    return out;
}

constexpr Colour DarkBlue{0, 0, 128};
constexpr Colour Red{255, 0, 0};
constexpr Colour Blue{0, 0, 255};
constexpr Colour Black{0, 0, 0};

Colour colourOf(const Reading& reading, const Paragraph& paragraph) {
    const int index = paragraph.format.colour;
    if (index <= 0 || static_cast<std::size_t>(index) >= reading.colours.size()) return Black;  // the auto colour
    return reading.colours[static_cast<std::size_t>(index)];
}

enum class Style { Title, ExampleHeading, SubHeading, Warning, Body, Blank, Other };

Style styleOf(const Reading& reading, const Paragraph& p) {
    const Colour colour = colourOf(reading, p);
    const Format& f = p.format;
    if (p.text.empty()) return colour == Black ? Style::Blank : Style::Other;
    if (colour == DarkBlue && f.bold && f.underline && f.halfPoints == 32) return Style::Title;
    if (colour == Red && f.underline && f.halfPoints == 28) return Style::ExampleHeading;
    if (colour == Red && !f.bold && f.underline && f.halfPoints == 24) return Style::SubHeading;
    if (colour == Red && f.bold && f.underline && f.halfPoints == 24) return Style::Warning;
    if (colour == Blue && f.bold && !f.underline && f.halfPoints == 20) return Style::Body;
    return Style::Other;
}

struct DocumentCase {
    const char* name;
    std::string_view (*document)();
    std::size_t approximateSize;
    friend void PrintTo(const DocumentCase& c, std::ostream* os) { *os << c.name; }
};

class Document : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(Document, IsAsciiRtfEndingInAZeroByte) {
    const std::string_view rtf = GetParam().document();
    EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi\\ansicpg1252"));
    EXPECT_NE(rtf.find("\\deflang1036"), std::string_view::npos);
    for (const char c : rtf) {
        const auto byte = static_cast<unsigned char>(c);
        ASSERT_TRUE(byte < 0x80 && (byte >= 0x20 || c == '\n')) << "byte " << int(byte);
    }
    EXPECT_EQ(rtf.data()[rtf.size()], '\0');
    EXPECT_GT(rtf.size(), GetParam().approximateSize / 2);
    EXPECT_LT(rtf.size(), GetParam().approximateSize * 2);
}

TEST_P(Document, HasBalancedGroupsArialOnlyAndKnownFormats) {
    const Reading reading = readRtf(GetParam().document());
    ASSERT_TRUE(reading.wellFormed);
    EXPECT_EQ(reading.fonts, (std::vector<std::string>{"Arial"}));
    ASSERT_FALSE(reading.paragraphs.empty());
    for (const Paragraph& p : reading.paragraphs) {
        EXPECT_FALSE(p.mixed);
        EXPECT_NE(styleOf(reading, p), Style::Other) << std::string(p.text.begin(), p.text.end());
    }
}

TEST_P(Document, NeverJoinsWordsAcrossItsSourceLines) {
    // RTF drops line breaks: a break between two letters would glue words.
    const std::string_view rtf = GetParam().document();
    for (std::size_t i = rtf.find('\n'); i != std::string_view::npos; i = rtf.find('\n', i + 1)) {
        ASSERT_LT(i + 1, rtf.size());
        const char next = rtf[i + 1];
        EXPECT_TRUE(next == ' ' || next == '\\' || next == '{' || next == '}')
            << std::string(rtf.substr(i > 20 ? i - 20 : 0, 40));
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, Document,
                         ::testing::Values(DocumentCase{"Licence", &licenceDocument, 1200},
                                           DocumentCase{"Help", &helpDocument, 6700}),
                         [](const auto& tested) { return std::string(tested.param.name); });

std::vector<const Paragraph*> withStyle(const Reading& reading, Style style) {
    std::vector<const Paragraph*> out;
    for (const Paragraph& p : reading.paragraphs) {
        if (styleOf(reading, p) == style) out.push_back(&p);
    }
    return out;
}

std::u16string allText(const Reading& reading) {
    std::u16string text;
    for (const Paragraph& p : reading.paragraphs) text.append(p.text).append(1, u'\n');
    return text;
}

// Each of `snippets` appears, in this order.
void expectInOrder(const std::u16string& text, const std::vector<std::u16string>& snippets) {
    std::size_t from = 0;
    for (const std::u16string& snippet : snippets) {
        const std::size_t at = text.find(snippet, from);
        EXPECT_NE(at, std::u16string::npos) << std::string(snippet.begin(), snippet.end());
        if (at != std::u16string::npos) from = at + snippet.size();
    }
}

TEST(LicenceDocument, OpensWithItsTitleThenTheWarnings) {
    const Reading reading = readRtf(licenceDocument());
    ASSERT_GE(reading.paragraphs.size(), 3u);
    EXPECT_EQ(reading.paragraphs[0].text, u"Licence de Calmirande");
    EXPECT_EQ(styleOf(reading, reading.paragraphs[0]), Style::Title);
    const auto warnings = withStyle(reading, Style::Warning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0]->text, u"Avertissements:");
    expectInOrder(allText(reading), {u"Licence de Calmirande", u"Avertissements:", u"gratuit", u"garantie"});
}

TEST(HelpDocument, FollowsTheOrderOfItsSections) {
    const Reading reading = readRtf(helpDocument());
    ASSERT_FALSE(reading.paragraphs.empty());
    EXPECT_EQ(reading.paragraphs[0].text, u"Aide de Calmirande V1.2");
    EXPECT_EQ(withStyle(reading, Style::Title).size(), 1u);

    std::vector<std::u16string> headings;
    for (const Paragraph* p : withStyle(reading, Style::ExampleHeading)) headings.push_back(p->text);
    EXPECT_EQ(headings, (std::vector<std::u16string>{u"1er exemple:", u"Remarque:", u"2ème exemple:"}));
    const auto subHeadings = withStyle(reading, Style::SubHeading);
    ASSERT_GE(subHeadings.size(), 4u);
    for (std::size_t n = 0; n < 4; ++n) {
        const std::u16string number = {static_cast<char16_t>(u'1' + n), u')'};
        EXPECT_EQ(subHeadings[n]->text.substr(0, 2), number);
    }
    EXPECT_GE(withStyle(reading, Style::Blank).size(), 5u);

    expectInOrder(allText(reading),
                  {u"Aide de Calmirande V1.2", u"n'importe quel éditeur de texte", u"Windows 2000, XP, Vista et 7 (32 bits)",
                   u"2000 abréviations", u"20 listes", u"zone de notification", u"clic droit",
                   u"\"Editer les Abréviations\"", u"1er exemple:", u"\"Créer une Liste\"",
                   u"liste déroulante à gauche du bouton",
                   u"\"Création, Modification, Suppression d'une  Abréviation\"", u"\"Abréviation\"", u"am",
                   u"minuscules", u"\"Remplacer par\"", u"\"Ajouter\"", u"\"Quitter\"",
                   u"un espace, d'une tabulation ou de la touche Entrée", u"\"-\"", u"\"Modifier\"",
                   u"\"Supprimer\"", u"\"RAZ\"", u"Remarque:", u"quelle que soit la casse",
                   u"à condition que le champ \"Abréviation\" soit vide", u"2ème exemple:", u"(*1), (*2), (*3) et (*4)",
                   u"Je vous prie d'agréer, (*1), mes sentiments distingués", u"fpol seul",
                   u"fpol*Monsieur* (sans espace entre l'étoile et la valeur)",
                   u"Je vous prie d'agréer, Monsieur, mes sentiments distingués", u"fpol*Monsieur le Directeur*",
                   u"abréviation*valeur1*valeur2*valeur3*valeur4*", u"MessageBoxA(NULL, \"(*1)\", \"(*2)\", MB_OK);",
                   u"mb*Info*", u"mb*Info*Mon message*"});
}

}  // namespace
}  // namespace calmirande

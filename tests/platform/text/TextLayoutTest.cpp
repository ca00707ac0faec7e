// Line layout of DrawTextA on fixed advances: prefixes, line feeds, word
// wrapping and tabs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gdi/TextLayout.h"

using namespace qndx::platform;

namespace {

// Every character 10 pixels wide, spaces 5.
int Fixed(unsigned char c) { return c == ' ' ? 5 : 10; }

std::vector<std::string> Lines(const std::string& text, UINT format, int width, int tabStop = 0) {
    std::vector<std::string> out;
    for (const LaidOutLine& l : LayoutLines(text, format, width, Fixed, tabStop))
        out.push_back(text.substr(l.begin, l.end - l.begin));
    return out;
}

typedef std::vector<std::string> Strings;

}  // namespace

TEST(TextLayoutPrefix, AmpersandsAreDroppedAndMarkTheNextCharacter) {
    PreparedText p = PrepareText("&File && &Exit&", 15, true);
    EXPECT_EQ("File & Exit", p.chars);
    ASSERT_EQ(p.chars.size(), p.underlined.size());
    for (size_t i = 0; i < p.chars.size(); ++i) EXPECT_EQ(i == 0 || i == 7, p.underlined[i]) << "at " << i;

    PreparedText plain = PrepareText("&File", 5, false);
    EXPECT_EQ("&File", plain.chars);
    EXPECT_EQ(0, std::count(plain.underlined.begin(), plain.underlined.end(), true));
}

TEST(TextLayoutPrefix, CountLimitsTheTextAndNullGivesNothing) {
    EXPECT_EQ("ab", PrepareText("abcdef", 2, true).chars);
    EXPECT_EQ("", PrepareText(nullptr, 5, true).chars);
    EXPECT_EQ("", PrepareText("abc", 0, true).chars);
}

TEST(TextLayoutLines, LineFeedsEndLinesUnlessSingleLine) {
    EXPECT_EQ((Strings{"ab", "cd", "ef", "gh"}), Lines("ab\ncd\r\nef\rgh", DT_LEFT, 1000));
    EXPECT_EQ((Strings{"ab", ""}), Lines("ab\n", DT_LEFT, 1000));
    EXPECT_EQ((Strings{""}), Lines("", DT_LEFT, 1000));
    EXPECT_EQ((Strings{"ab\ncd"}), Lines("ab\ncd", DT_SINGLELINE | DT_WORDBREAK, 10));
}

TEST(TextLayoutLines, WithoutWordBreakLongLinesStayWhole) {
    EXPECT_EQ((Strings{"aaaa bbbb cccc"}), Lines("aaaa bbbb cccc", DT_LEFT, 30));
}

TEST(TextLayoutWrap, BreaksAtTheLastSpaceBeforeTheWordThatCrossesTheEdge) {
    // "aaaa bbbb" is 40 + 5 + 40 = 85 wide.
    EXPECT_EQ((Strings{"aaaa bbbb", "cccc"}), Lines("aaaa bbbb cccc", DT_WORDBREAK, 85));
    EXPECT_EQ((Strings{"aaaa", "bbbb", "cccc"}), Lines("aaaa bbbb cccc", DT_WORDBREAK, 84));
    // The spaces at a break go; the next line starts at the word.
    EXPECT_EQ((Strings{"aa", "bb"}), Lines("aa     bb", DT_WORDBREAK, 30));
}

TEST(TextLayoutWrap, AWordWiderThanTheLineIsNotCut) {
    EXPECT_EQ((Strings{"abcdefgh", "ij"}), Lines("abcdefgh ij", DT_WORDBREAK, 30));
    EXPECT_EQ((Strings{"a", "b"}), Lines("a b", DT_WORDBREAK, 0));
}

TEST(TextLayoutWrap, LeadingSpacesOfAParagraphStayAndEachParagraphWrapsAlone) {
    EXPECT_EQ((Strings{"  aa", "bb", "cc dd"}), Lines("  aa bb\ncc dd", DT_WORDBREAK, 50));
}

TEST(TextLayoutWrap, LineWidthsLeaveOutTheSpacesOfTheBreak) {
    std::vector<LaidOutLine> lines = LayoutLines("aaaa   bbbb", DT_WORDBREAK, 50, Fixed, 0);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(40, lines[0].width);
    EXPECT_EQ(40, lines[1].width);
}

TEST(TextLayoutTabs, TabsMoveToTheNextStopOnlyWhenExpanded) {
    EXPECT_EQ(80 + 10, RunWidth("a\tb", 0, 3, Fixed, 80));
    EXPECT_EQ(160 + 10, RunWidth("a\t\tb", 0, 4, Fixed, 80));
    EXPECT_EQ(30, RunWidth("a\tb", 0, 3, Fixed, 0));
}

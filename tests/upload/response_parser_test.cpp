#include "upload/response_parser.h"

#include <gtest/gtest.h>

#include "upload/hoster_table.h"

namespace lumar {
namespace {

const std::vector<HosterDef> kRows = InitHosters();

std::optional<std::string> Cut(int row, std::string_view answer) {
    return ExtractCode(answer, kRows[static_cast<size_t>(row)]);
}

TEST(ExtractCode, HandWrittenAnswerOfEachHoster) {
    EXPECT_EQ(Cut(1,
                  "<textarea>[URL=a]x</textarea><form "
                  "name=\"form2\"><textarea>[url=b][img]c[/img][/url]</textarea>"),
              "[url=b][img]c[/img][/url]");
    EXPECT_EQ(Cut(2, "<FORM NAME=\"FORM2\">[URL=b]</TEXTAREA>"), "[URL=b]");
    EXPECT_EQ(
        Cut(3, "<input value=\"[URL=http://i/1][IMG]http://i/1.jpg[/IMG][/URL]\" size=\"9\">"),
        "[URL=http://i/1][IMG]http://i/1.jpg[/IMG][/URL]");
    EXPECT_EQ(Cut(4, "<textarea>[URL=a][IMG]b[/IMG][/URL]\n</textarea>"),
              "[URL=a][IMG]b[/IMG][/URL]");
    EXPECT_EQ(Cut(4, "<textarea>[URL=a]]</textarea>"),
              "[URL=a]");  // whatever the last character is
    EXPECT_EQ(Cut(5, "Forum: [URL=a][IMG]b[/IMG][/URL]<BR>Direct"), "[URL=a][IMG]b[/IMG][/URL]");
    EXPECT_EQ(
        Cut(6, "<textarea>[URL=http://p/?a=1&amp;b=2&AMP;c=3&Amp;d][IMG]i[/IMG][/URL]</textarea>"),
        "[URL=http://p/?a=1&b=2&c=3&d][IMG]i[/IMG][/URL]");
    EXPECT_EQ(Cut(7,
                  "[URL=html]</textarea>VBULLETIN forum "
                  "codes<textarea>[URL=v][IMG]i[/IMG][/URL]\\n</textarea>"),
              "[URL=v][IMG]i[/IMG][/URL]");
    // A real line break is not the two characters backslash and n.
    EXPECT_EQ(Cut(7, "vBulletin Forum Codes [URL=v]\n</textarea>"), std::nullopt);
}

TEST(ExtractCode, NoCodeWithoutStartMarkerOrWhenTheCutIsImpossible) {
    const std::pair<int, const char*> cases[] = {
        {3, "<html>error</html>"},
        {1, "<form name=\"form2\"><textarea>no code</textarea>"},  // code marker missing
        {1, "[URL=x]</textarea><form name=\"form2\">"},            // code marker only before start
        {6, "[URL=a] but no end"},                                 // end marker missing
        {3, "[URL="},
    };
    for (const auto& [row, answer] : cases) EXPECT_EQ(Cut(row, answer), std::nullopt) << answer;
    HosterDef longTrim = kRows[6];
    longTrim.TrimCount = 20;
    EXPECT_EQ(ExtractCode("[URL=short]</textarea>", longTrim),
              std::nullopt);  // shorter than the trim
    // The empty row 0 (no hoster chosen) must not turn any answer into a success.
    EXPECT_EQ(ExtractCode("[URL=a]</textarea>", kRows[0]), std::nullopt);
}

TEST(ExtractCode, FirstOccurrencesWinAndAnHttpErrorPageCountsByItsMarkers) {
    EXPECT_EQ(Cut(6, "[URL=1]</textarea>[URL=2]</textarea>"), "[URL=1]");
    EXPECT_EQ(Cut(5, "[URL=a [URL=b]<br>"),
              "[URL=a [URL=b]");  // code marker found at the start marker
    EXPECT_EQ(Cut(4, "<h1>404</h1><textarea>[URL=e]x</textarea>"), "[URL=e]");
}

TEST(CutCode, EmptyAndOverlongCodesFailWithTheirReasonAndControlCharactersGo) {
    HosterDef meeting = kRows[6];
    meeting.EndMarker = "[URL=";  // found where the code begins
    const std::string longest = "[URL=" + std::string(kMaxCodeBytes - 5, 'x');
    const struct {
        const HosterDef& row;
        std::string answer;
        CutProblem problem;
        std::string code;
    } cases[] = {
        {meeting, "<textarea>[URL=a]</textarea>", CutProblem::Empty, ""},
        {kRows[6], std::string("\r\n[URL=a\x1B[2J\r\n\tb\0c\x7F]</textarea>", 31), CutProblem::None,
         "[URL=a[2J\tbc]"},
        {kRows[6], longest + "</textarea>", CutProblem::None, longest},
        {kRows[6], longest + "y</textarea>", CutProblem::TooLong, ""},
        // Without an end marker: it may lie past the answer's cap.
        {kRows[6], longest + "y", CutProblem::TooLong, ""},
    };
    for (const auto& c : cases) {
        const CodeCut cut = CutCode(c.answer, c.row);
        EXPECT_EQ(cut.problem, c.problem) << c.answer.substr(0, 40);
        EXPECT_EQ(cut.code, c.code) << c.answer.substr(0, 40);
    }
}

TEST(FindNoCase, IgnoresCaseOfAsciiLettersOnly) {
    EXPECT_EQ(FindNoCase("aAaAab", "AAAB"), 2u);  // a partial match overlaps the real one
    EXPECT_EQ(FindNoCase("abababc", "ABABC", 1), 2u);
    EXPECT_EQ(FindNoCase("abcABC", "Bc", 2), 4u);
    EXPECT_EQ(FindNoCase("\xC4", "\xE4"), std::string_view::npos);
    EXPECT_EQ(FindNoCase("ab", "abc"), std::string_view::npos);
    EXPECT_EQ(FindNoCase("ab", "", 2), 2u);
    EXPECT_EQ(FindNoCase("ab", "a", 3), std::string_view::npos);
}

}  // namespace
}  // namespace lumar

#include "posting/posting_builder.h"

#include <gtest/gtest.h>

#include "shell/language_table.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

ImageEntry Image(const std::string& name, const std::string& code) {
    ImageEntry row;
    row.text = name;
    row.folder = "/pics/";
    row.upload = code;
    row.checked = code.empty();
    return row;
}
ImageEntry Marker(const std::string& text) {
    ImageEntry row;
    row.text = text;
    return row;
}
ImageEntry Break() { return Marker(std::string(kBreakRowText)); }

// Ten uploaded images with codes C1..C10.
std::vector<ImageEntry> TenImages() {
    std::vector<ImageEntry> rows;
    for (int i = 1; i <= 10; ++i) rows.push_back(Image("p" + std::to_string(i) + ".jpg", "C" + std::to_string(i)));
    return rows;
}

PostingOptions Options(bool center, bool html = false, bool split = false, std::string size = "20") {
    PostingOptions o;
    o.center = center;
    o.html = html;
    o.split = split;
    o.splitSizeText = std::move(size);
    return o;
}

TEST(CollectPosting, WorkedExampleCentredWithBreakAndTextBlock) {
    TextBlocks blocks;
    blocks.Add("Hallo");
    std::vector<ImageEntry> rows = {Image("a.jpg", "A"), Image("b.jpg", ""), Break(),
                                    Marker(TextBlockRowText(1)), Image("c.jpg", "C")};
    PostingState state;
    const PostingView view = BuildPosting(state, rows, blocks, Options(true), PostingTexts{});

    EXPECT_EQ(state.code, "[CENTER]A \r\nHalloC [/CENTER]");
    EXPECT_EQ(view.shownText, state.code);
    EXPECT_FALSE(view.partEntries);
    EXPECT_FALSE(rows[2].checked);
    EXPECT_FALSE(rows[3].checked);
    // Image rows keep their marks: the failed one is still to be uploaded.
    EXPECT_TRUE(rows[1].checked);
    EXPECT_FALSE(rows[0].checked);
}

TEST(CollectPosting, EmptyListAndUnknownBlocks) {
    TextBlocks blocks;
    blocks.Add("X");
    std::vector<ImageEntry> none;
    PostingState state;
    state.code = "old";
    EXPECT_EQ(BuildPosting(state, none, blocks, Options(false), {}).shownText, "");
    EXPECT_EQ(BuildPosting(state, none, blocks, Options(true), {}).shownText, "[CENTER][/CENTER]");

    // Rows naming no stored block, block 0, or no number at all add nothing; only the
    // leading digits after the first "_" count.
    std::vector<ImageEntry> rows = {Marker("*VBCode_7*"), Marker("*VBCode_0*"), Marker("*frei*"),
                                    Marker("*VBCode_1x*"), Marker("*VBCode_99999999999999999999*"),
                                    Image("a.jpg", "A")};
    CollectPosting(state, rows, blocks);
    EXPECT_EQ(state.code, "XA ");
    for (size_t i = 0; i + 1 < rows.size(); ++i) EXPECT_FALSE(rows[i].checked) << i;
}

TEST(ConvertToHtml, HostCodeCentringAndPlainText) {
    EXPECT_EQ(ConvertToHtml("[URL=http://h/p][IMG]http://h/i.jpg[/IMG][/URL] "),
              "<a href=http://h/p><img src=http://h/i.jpg border=0></a> ");
    EXPECT_EQ(ConvertToHtml("[CENTER]x[/CENTER]"), "<CENTER>x</CENTER>");
    // Lower-case tags only get their brackets turned.
    EXPECT_EQ(ConvertToHtml("[url=x][img]y[/img][/url]"), "<url=x><img>y</img></url>");
    // Plain text is converted too, in the fixed order.
    EXPECT_EQ(ConvertToHtml("a/URLb URL=c [d]"), "a/ab a href=c <d>");
}

TEST(FinishPosting, HtmlCarriesConvertedCentring) {
    std::vector<ImageEntry> rows = {Image("a.jpg", "[URL=p][IMG]i[/IMG][/URL]")};
    PostingState state;
    BuildPosting(state, rows, TextBlocks{}, Options(true, true), {});
    EXPECT_EQ(state.code, "<CENTER><a href=p><img src=i border=0></a> </CENTER>");
}

TEST(BuildPostingParts, TenImagesBySizeFour) {
    std::vector<ImageEntry> rows = TenImages();
    // A break between image 4 and 5 ends part 1; a marker above the first image goes to part 1.
    rows.insert(rows.begin() + 4, Break());
    TextBlocks blocks;
    blocks.Add("T");
    rows.insert(rows.begin(), Marker(TextBlockRowText(1)));
    rows.insert(rows.begin() + 3, Image("failed.jpg", ""));

    PostingState state;
    const PostingView view = BuildPosting(state, rows, blocks, Options(false, false, true, "4 Bilder"), {});
    ASSERT_TRUE(state.isSplit);
    ASSERT_EQ(state.parts.size(), 3u);
    EXPECT_EQ(state.parts[0], "TC1 C2 C3 C4 \r\n");
    EXPECT_EQ(state.parts[1], "C5 C6 C7 C8 ");
    EXPECT_EQ(state.parts[2], "C9 C10 ");
    EXPECT_EQ(state.code, "TC1 C2 C3 C4 \r\nC5 C6 C7 C8 C9 C10 ");
    ASSERT_TRUE(view.partEntries);
    EXPECT_EQ(*view.partEntries,
              (std::vector<std::string>{"Postingteilstück #1", "Postingteilstück #2", "Postingteilstück #3"}));
    EXPECT_EQ(view.selectedPart, 0);
    EXPECT_EQ(view.shownText, state.parts[0]);
}

TEST(BuildPostingParts, PartsCentredAndConvertedWithOwnLabel) {
    std::vector<ImageEntry> rows = TenImages();
    PostingState state;
    PostingTexts texts;
    texts.partLabel = "Part";
    const PostingView view = BuildPosting(state, rows, TextBlocks{}, Options(true, true, true, "6"), texts);
    ASSERT_EQ(state.parts.size(), 2u);
    EXPECT_EQ(state.parts[0], "<CENTER>C1 C2 C3 C4 C5 C6 </CENTER>");
    EXPECT_EQ(state.parts[1], "<CENTER>C7 C8 C9 C10 </CENTER>");
    EXPECT_EQ((*view.partEntries)[1], "Part #2");
}

TEST(BuildPostingParts, NoSplitKeepsEarlierPartsAndSelector) {
    std::vector<ImageEntry> rows = TenImages();
    PostingState state;
    BuildPosting(state, rows, TextBlocks{}, Options(false, false, true, "5"), {});
    ASSERT_TRUE(state.isSplit);
    const std::vector<std::string> earlier = state.parts;

    // Size equal to the count, larger, zero, no digits, and too large for a 16-bit count.
    for (const char* size : {"10", "20", "0", "", "x4", "40000", "99999999999999999999"}) {
        state.isSplit = true;
        const PostingView view = BuildPostingParts(state, rows, TextBlocks{}, Options(false, false, true, size), {});
        EXPECT_FALSE(state.isSplit) << size;
        EXPECT_EQ(view.shownText, state.code) << size;
        EXPECT_FALSE(view.partEntries) << size;
        EXPECT_FALSE(view.selectedPart) << size;
        EXPECT_EQ(state.parts, earlier) << size;
    }
    EXPECT_EQ(SplitSizeFromText("32767"), 32767);
    EXPECT_EQ(SplitSizeFromText("007"), 7);
}

TEST(ApplyCentring, OnAndOffRestoreExactly) {
    PostingState state;
    state.code = "A B ";
    PostingOptions bb = Options(false);
    EXPECT_EQ(ApplyCentring(state, true, bb).shownText, "[CENTER]A B [/CENTER]");
    EXPECT_EQ(ApplyCentring(state, false, bb).shownText, "A B ");
    // Only an exactly wrapped text is unwrapped.
    state.code = "[CENTER]A B ";
    EXPECT_EQ(ApplyCentring(state, false, bb).shownText, "[CENTER]A B ");
    state.code = "[CENTER][/CENTER]";
    EXPECT_EQ(ApplyCentring(state, false, bb).shownText, "");
    state.code = "[CENTER]/CENTER]";
    EXPECT_EQ(ApplyCentring(state, false, bb).shownText, "[CENTER]/CENTER]");

    // HTML output uses the converted tags; a BBCode-wrapped text is then left alone.
    PostingOptions html = Options(false, true);
    state.code = "x";
    EXPECT_EQ(ApplyCentring(state, true, html).shownText, "<CENTER>x</CENTER>");
    EXPECT_EQ(ApplyCentring(state, false, html).shownText, "x");
    state.code = "[CENTER]x[/CENTER]";
    EXPECT_EQ(ApplyCentring(state, false, html).shownText, "[CENTER]x[/CENTER]");
}

TEST(ApplyCentring, WhileSplitChangesOnlyThePartsAndShowsTheSelectedOne) {
    std::vector<ImageEntry> rows = TenImages();
    PostingState state;
    BuildPosting(state, rows, TextBlocks{}, Options(false, false, true, "4"), {});
    const std::string whole = state.code;
    PostingOptions o = Options(false, false, true, "4");
    o.selectedPart = 1;
    const PostingView view = ApplyCentring(state, true, o);
    EXPECT_EQ(view.shownText, "[CENTER]C5 C6 C7 C8 [/CENTER]");
    EXPECT_EQ(state.parts[2], "[CENTER]C9 C10 [/CENTER]");
    EXPECT_EQ(state.code, whole);
    // Switching splitting off shows the whole posting in its own centring state.
    EXPECT_EQ(SwitchSplittingOff(state).shownText, whole);
    EXPECT_FALSE(state.isSplit);
}

TEST(ShowSelectedPart, PartWhileSplitWholeOtherwise) {
    std::vector<ImageEntry> rows = TenImages();
    PostingState state;
    BuildPosting(state, rows, TextBlocks{}, Options(false, false, true, "4"), {});
    EXPECT_EQ(ShowSelectedPart(state, 2).shownText, "C9 C10 ");
    // An index naming no part shows the whole posting rather than failing.
    EXPECT_EQ(ShowSelectedPart(state, 3).shownText, state.code);
    EXPECT_EQ(ShowSelectedPart(state, -1).shownText, state.code);
    SwitchSplittingOff(state);
    EXPECT_EQ(ShowSelectedPart(state, 1).shownText, state.code);
}

class ExportTextTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string ini = dir.file("Lumar.ini");
};

TEST_F(ExportTextTest, AdvertisingLineFollowsSettingAndCentring) {
    PostingState state;
    state.code = "A ";
    PostingOptions o = Options(false);
    const std::string plain = "[URL=http://www.lumar-tool.de][SIZE=1][FONT=Tahoma]>>Bilder wurden hochgeladen mit Lumar<<[/FONT][/SIZE][/URL]";

    // No settings file: Werbung defaults to 1.
    EXPECT_EQ(ExportText(state, o, {}, ini), "A \r\n\r\n" + plain);
    o.center = true;
    EXPECT_EQ(ExportText(state, o, {}, ini), "A \r\n\r\n[CENTER]" + plain + "[/CENTER]");

    // Read anew at every call.
    ASSERT_TRUE(WriteValue(ini, "Bilder", "Werbung", "0"));
    EXPECT_EQ(ExportText(state, o, {}, ini), "A ");
    ASSERT_TRUE(WriteValue(ini, "Bilder", "Werbung", "1"));
    // The line stays BBCode while HTML output is selected, and carries the loaded text.
    o.html = true;
    o.center = false;
    PostingTexts texts;
    texts.advertising = "uploaded with Lumar";
    EXPECT_EQ(ExportText(state, o, texts, ini),
              "A \r\n\r\n[URL=http://www.lumar-tool.de][SIZE=1][FONT=Tahoma]uploaded with Lumar[/FONT][/SIZE][/URL]");
}

TEST_F(ExportTextTest, ExportsSelectedPartOnlyWhileSplit) {
    ASSERT_TRUE(WriteValue(ini, "Bilder", "Werbung", "0"));
    std::vector<ImageEntry> rows = TenImages();
    PostingState state;
    PostingOptions o = Options(false, false, true, "4");
    BuildPosting(state, rows, TextBlocks{}, o, {});
    o.selectedPart = 1;
    EXPECT_EQ(ExportText(state, o, {}, ini), "C5 C6 C7 C8 ");
    // Split size 20 with five images shows and exports the whole posting.
    rows.resize(5);
    o.splitSizeText = "20";
    BuildPosting(state, rows, TextBlocks{}, o, {});
    EXPECT_EQ(ExportText(state, o, {}, ini), "C1 C2 C3 C4 C5 ");
}

TEST_F(ExportTextTest, TextsComeFromTheLanguageFile) {
    const std::string lang = dir.write("language.ini", "[STRINGS]\r\n005=Part\r\n013=made with Lumar\r\n");
    const PostingTexts texts = PostingTextsFrom(LoadUiStrings(lang, "VBCode einfügen"));
    EXPECT_EQ(texts.partLabel, "Part");
    EXPECT_EQ(texts.advertising, "made with Lumar");
    const PostingTexts defaults = PostingTextsFrom(LoadUiStrings(dir.file("none.ini"), ""));
    EXPECT_EQ(defaults.partLabel, kDefaultPartLabel);
    EXPECT_EQ(defaults.advertising, kDefaultAdvertisingText);
}

}  // namespace
}  // namespace lumar

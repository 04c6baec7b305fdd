#include "posting/posting_builder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <nlohmann/json.hpp>

#include "hosters/answer_code.h"
#include "shell/language_table.h"
#include "shell/plain_text.h"
#include "shell/settings_store.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace lumar {
namespace {

// An image row: uploaded when it has a code, else failed and still checked.
ImageEntry Row(const std::string& text, const std::string& code = "", bool image = true) {
    ImageEntry row;
    row.text = text;
    row.folder = image ? "/pics/" : "";
    row.upload = code;
    row.checked = image && code.empty();
    return row;
}
ImageEntry Marker(const std::string& text) {
    ImageEntry row = Row(text, "", false);
    row.kind = RowKind::kMarker;
    return row;
}

std::vector<ImageEntry> TenImages() {
    std::vector<ImageEntry> rows;
    for (int i = 1; i <= 10; ++i) rows.push_back(Row("p.jpg", "C" + std::to_string(i)));
    return rows;
}

PostingOptions Options(bool center, bool html = false, bool split = false, int size = 20,
                       int part = 0) {
    return PostingOptions{html ? PostingFormat::kHtml : PostingFormat::kBBCode, center, split, size,
                          part};
}

TEST(BuildPosting, WorkedExampleEmptyListAndUnknownBlocks) {
    TextBlocks blocks;
    blocks.Add("Hallo");
    std::vector<ImageEntry> rows = {Row("a.jpg", "A"), Row("b.jpg"),
                                    Marker(std::string(kBreakRowText)), Marker(TextBlockRowText(1)),
                                    Row("c.jpg", "C")};
    PostingState state;
    const PostingView view = BuildPosting(state, rows, blocks, Options(true), {});
    EXPECT_EQ(view.shownText, "[CENTER]A \r\nHalloC [/CENTER]");
    // Marker rows lose their marks; the failed image keeps its mark to be uploaded again.
    EXPECT_EQ(
        (std::vector<bool>{rows[0].checked, rows[1].checked, rows[2].checked, rows[3].checked}),
        (std::vector<bool>{false, true, false, false}));

    std::vector<ImageEntry> none;
    EXPECT_EQ(BuildPosting(state, none, blocks, Options(true), {}).shownText, "[CENTER][/CENTER]");

    // Rows naming no stored block, block 0, or no number add nothing; only the leading digits
    // after the first "_" count.
    rows = {Marker("*VBCode_7*"),
            Marker("*VBCode_0*"),
            Marker("*frei*"),
            Marker("*VBCode_1x*"),
            Marker("*VBCode_99999999999999999999*"),
            Row("a.jpg", "A"),
            Row("*UMBRUCH*", "U")};
    CollectPosting(state, rows, blocks);
    EXPECT_EQ(state.code, "HalloA U ");  // an image named like a marker is an image
}

TEST(ConvertToHtml, HostTagsBecomeElementsTextAndAddressesAreEscaped) {
    for (const auto& [bb, html] : std::vector<std::pair<std::string, std::string>>{
             {"[URL=http://h/p][IMG]http://h/i.jpg[/IMG][/URL] ",
              "<a href=http://h/p><img src=http://h/i.jpg border=0></a> "},
             {"[url=x][img]y[/img][/url]", "<url=x><img>y</img></url>"},  // upper-case tags only
             {"[CENTER][B]b[/B][SIZE=2]s[/SIZE][/CENTER]",
              "<CENTER><B>b</B><SIZE=2>s</SIZE></CENTER>"},
             // An address HTML would not read bare as written is quoted.
             {"[URL=http://h/?a=1&b=2][IMG] http://h/a b.jpg [/IMG][/URL]",
              "<a href=\"http://h/?a=1&amp;b=2\"><img src=\"http://h/a b.jpg\" border=0></a>"},
             {"[URL]http://h/p?q=\"x\"[/URL]",
              "<a href=\"http://h/p?q=&quot;x&quot;\">http://h/p?q=&quot;x&quot;</a>"},
             // "URL" in text or an address is no tag; brackets that hold no tag stay text.
             {"a/URLb URL=c [1] [d e] <b> & \"q\"",
              "a/URLb URL=c [1] [d e] &lt;b&gt; &amp; &quot;q&quot;"},
             // Tags that would be more than a harmless element stay text.
             {"[script]x[/script][COLOR=red onclick=x]y",
              "[script]x[/script][COLOR=red onclick=x]y"},
             // A link left open is closed; a closing tag without its link closes nothing.
             {"[URL=x]y[/URL]z[/URL][URL=w]v", "<a href=x>y</a>z<a href=w>v</a>"}})
        EXPECT_EQ(ConvertToHtml(bb), html) << bb;
}

// A link a host's answer holds reaches every format as one link or picture to exactly that
// address, and nothing of it becomes another element.
TEST(PostingFormats, HostileLinksRenderAsExactlyOneLinkToThatAddress) {
    const struct {
        std::string link;
        bool asClassicCode;  // also cut from an answer as written, between markers
    } links[] = {
        {"http://x.test/a.jpg\"><script>alert(1)</script>", true},
        {"http://x.test/URL=1/URL/a.jpg?u=[URL=http://y.test]x[/URL]", false},
        {"https://x.test/a b/c.jpg?q='1'&r=2&lt;3&amp;", true},
        {"http://x.test/<img src=x onerror=alert(1)>'b'.jpg", true},
        {"http://x.test/URL=1/URL/[IMG]b[/IMG].jpg", false},
        {"HTTP://x.test/a'", false},
    };
    // What each format (BBCode, HTML, Markdown) must render; L stands for the link, T for the
    // thumbnail. CommonMark puts the posting into a paragraph.
    const std::pair<CodeStyle, std::array<std::string, 3>> styles[] = {
        {CodeStyle::kLinkedThumbnail,
         {"a href=L\n img src=T\n", "a href=L\n img border=0 src=T\n",
          "p\n a href=L\n  img alt=p src=T\n"}},
        {CodeStyle::kFullImage, {"img src=L\n", "img border=0 src=L\n", "p\n img alt=p src=L\n"}},
        {CodeStyle::kLinkOnly, {"a href=L\n", "a href=L\n", "p\n a href=L\n"}}};
    const AnswerFields fields = ParseAnswerFields("{json:u}", "{json:t}", "", "").fields;
    // With "decoded" the renderer compares addresses percent-decoded, as a server reads them.
    nlohmann::json postings = nlohmann::json::array();
    std::vector<std::string> expected;
    for (const auto& [link, asClassicCode] : links) {
        const std::string thumbnail = link + "/t";
        const auto post = [&](const std::string& code, int format, const std::string& shape,
                              bool decoded) {
            std::vector<ImageEntry> rows = {Row("p.jpg", code)};
            PostingState state;
            BuildPosting(state, rows, TextBlocks{}, {.format = PostingFormat(format)}, {});
            postings.push_back({{"format", format}, {"text", state.code}, {"decoded", decoded}});
            expected.push_back(
                ReplaceAll(ReplaceAll(shape, "=L", "=" + link), "=T", "=" + thumbnail));
        };
        AnswerContext answer;
        answer.body = nlohmann::json{{"u", link}, {"t", thumbnail}}.dump();
        for (const auto& [style, shapes] : styles) {
            const TextResult code = BuildCodeFromAnswer(fields, answer, style);
            ASSERT_TRUE(code.Ok()) << link << ": " << code.failure;
            for (int format = 0; format < 3; ++format)
                post(code.text, format, shapes[format], true);
        }
        if (asClassicCode)
            post("[URL=" + link + "][IMG]" + thumbnail + "[/IMG][/URL]", 1, styles[0].second[1],
                 false);
    }
    // Real renderers (tests/net/parsers/render.mjs: the HTML standard's parser, a BBCode
    // renderer and the CommonMark reference implementation) list the elements they made.
    const std::string parsers = LUMAR_SOURCE_DIR "/tests/net/parsers";
    ASSERT_EQ(::access((parsers + "/node_modules/parse5").c_str(), F_OK), 0)
        << "the Node renderers are missing: run scripts/setup.sh";
    test::TempDir dir;
    const std::string file = dir.write("postings.json", postings.dump());
    const nlohmann::json rendered = nlohmann::json::parse(
        test::RunShell("node " + parsers + "/render.mjs " + file).out, nullptr, false);
    ASSERT_EQ(rendered.size(), postings.size());
    for (size_t i = 0; i < postings.size(); ++i)
        EXPECT_EQ(rendered[i], expected[i]) << postings[i].dump();
}

TEST(BuildPostingParts, TenBySizeFourWithBreakMarkerAndFailedImage) {
    std::vector<ImageEntry> rows = TenImages();
    // A break after image 4 ends part 1; a marker above the first image goes to part 1.
    rows.insert(rows.begin() + 4, Marker(std::string(kBreakRowText)));
    rows.insert(rows.begin(), Marker(TextBlockRowText(1)));
    rows.insert(rows.begin() + 3, Row("failed.jpg"));
    TextBlocks blocks;
    blocks.Add("T");
    PostingState state;
    PostingTexts texts;  // the selector carries the loaded label
    texts.partLabel = "Part";
    const PostingView view =
        BuildPosting(state, rows, blocks, Options(false, false, true, 4), texts);
    ASSERT_TRUE(state.isSplit);
    EXPECT_EQ(state.parts,
              (std::vector<std::string>{"TC1 C2 C3 C4 \r\n", "C5 C6 C7 C8 ", "C9 C10 "}));
    EXPECT_EQ(*view.partEntries, (std::vector<std::string>{"Part #1", "Part #2", "Part #3"}));
}

TEST(BuildPostingParts, NoSplitKeepsEarlierPartsAndSelector) {
    std::vector<ImageEntry> rows = TenImages();
    rows.push_back(Marker(std::string(kBreakRowText)));
    PostingState state;
    // A size that divides the count leaves no empty last part; the trailing break row goes
    // with the last image.
    const PostingView split =
        BuildPosting(state, rows, TextBlocks{}, Options(false, false, true, 5), {});
    const std::vector<std::string> earlier = {"C1 C2 C3 C4 C5 ", "C6 C7 C8 C9 C10 \r\n"};
    EXPECT_EQ(state.parts, earlier);
    EXPECT_EQ(split.partEntries->size(), 2u);
    // Size equal to the count, larger, zero, and too large for a 16-bit count.
    for (const int size : {10, 20, 0, 40000, -1}) {
        state.isSplit = true;
        const PostingView view =
            BuildPostingParts(state, rows, TextBlocks{}, Options(false, false, true, size), {});
        EXPECT_FALSE(state.isSplit) << size;
        EXPECT_EQ(view.shownText, "C1 C2 C3 C4 C5 C6 C7 C8 C9 C10 \r\n") << size;
        EXPECT_FALSE(view.partEntries || view.selectedPart) << size;
        EXPECT_EQ(state.parts, earlier) << size;
    }
    const std::pair<const char*, int> texts[] = {
        {"32767", 32767}, {"4 Bilder", 4}, {"", 0}, {"x4", 0}, {"99999999999999999999", 0}};
    for (const auto& [text, size] : texts) EXPECT_EQ(SplitSizeFromText(text), size) << text;
}

TEST(ApplyCentring, OnAndOffRestoreExactly) {
    struct Case {
        std::string code;
        bool html, on;
        std::string shown;
    };
    for (const Case& c :
         std::vector<Case>{{"A B ", false, true, "[CENTER]A B [/CENTER]"},
                           {"[CENTER]A B ", false, false, "[CENTER]A B "},  // not exactly wrapped
                           {"[CENTER][/CENTER]", false, false, ""},
                           {"x", true, true, "<CENTER>x</CENTER>"},
                           {"<CENTER>x</CENTER>", true, false, "x"},
                           {"[CENTER]x[/CENTER]", true, false, "[CENTER]x[/CENTER]"}}) {
        PostingState state;
        state.code = c.code;
        EXPECT_EQ(ApplyCentring(state, c.on, Options(false, c.html)).shownText, c.shown) << c.code;
        if (c.on) {
            EXPECT_EQ(ApplyCentring(state, false, Options(false, c.html)).shownText, c.code)
                << c.code;
        }
    }
}

TEST(ApplyCentring, WhileSplitPartsAndWholeFollowAndSelectionShowsPartOrWhole) {
    std::vector<ImageEntry> rows = TenImages();
    PostingState state;
    BuildPosting(state, rows, TextBlocks{}, Options(false, false, true, 4), {});
    const std::string plain = "C1 C2 C3 C4 C5 C6 C7 C8 C9 C10 ";
    EXPECT_EQ(ApplyCentring(state, true, Options(false, false, true, 4, 1)).shownText,
              "[CENTER]C5 C6 C7 C8 [/CENTER]");
    EXPECT_EQ(state.parts[2], "[CENTER]C9 C10 [/CENTER]");
    const std::string whole = "[CENTER]" + plain + "[/CENTER]";
    EXPECT_EQ(state.code, whole);
    // An index naming no part shows the whole posting rather than failing.
    for (int index : {3, -1}) EXPECT_EQ(ShowSelectedPart(state, index).shownText, whole);
    EXPECT_EQ(SwitchSplittingOff(state).shownText, whole);
    EXPECT_FALSE(state.isSplit);
    EXPECT_EQ(ShowSelectedPart(state, 1).shownText, whole);
    state.isSplit = true;
    EXPECT_EQ(ApplyCentring(state, false, Options(false)).shownText, "C1 C2 C3 C4 ");
    EXPECT_EQ(SwitchSplittingOff(state).shownText, plain);
}

TEST(ExportText, AdvertisingLineReadAnewSelectedPartAndLoadedTexts) {
    test::TempDir dir;
    const std::string ini = dir.file("Lumar.ini");
    PostingState state;
    state.code = "A ";
    const std::string plain =
        "[SIZE=1][FONT=Tahoma]>>Bilder wurden hochgeladen mit Lumar<<[/FONT][/SIZE]";
    // No settings file: Werbung defaults to 1; no language file: the built-in texts; no
    // address built in: the line carries no link.
    PostingTexts defaults = PostingTextsFrom(LoadUiStrings(dir.file("none.ini"), ""));
    defaults.homePageUrl = "";
    EXPECT_EQ(ExportText(state, Options(true), defaults, ini),
              "A \r\n\r\n[CENTER]" + plain + "[/CENTER]");
    ASSERT_TRUE(WriteValue(ini, "Bilder", "Werbung", "0"));
    EXPECT_EQ(ExportText(state, Options(true), {}, ini), "A ");
    // The line follows the posting's format and carries the loaded text and the address.
    ASSERT_TRUE(WriteValue(ini, "Bilder", "Werbung", "1"));
    dir.write("language.ini", "[STRINGS]\r\n005=Part\r\n013=made with Lumar & <Qt>\r\n");
    PostingTexts texts = PostingTextsFrom(LoadUiStrings(dir.file("language.ini"), ""));
    texts.homePageUrl = "http://lumar.example";
    EXPECT_EQ(texts.partLabel, "Part");
    EXPECT_EQ(ExportText(state, Options(false), texts, ini),
              "A \r\n\r\n[URL=http://lumar.example][SIZE=1][FONT=Tahoma]made with Lumar & "
              "<Qt>[/FONT][/SIZE][/URL]");
    EXPECT_EQ(ExportText(state, Options(true, true), texts, ini),
              "A \r\n\r\n<CENTER><a href=http://lumar.example><font size=1 face=Tahoma>"
              "made with Lumar &amp; &lt;Qt&gt;</font></a></CENTER>");
    EXPECT_EQ(ExportText(state, {.format = PostingFormat::kMarkdown, .center = true}, texts, ini),
              "A \r\n\r\n[made with Lumar \\& \\<Qt\\>](http://lumar.example)");
}

TEST(BuildPosting, MarkdownAndImagesPerLine) {
    TextBlocks blocks;
    blocks.Add(
        "[B]fett[/B] [i]schief[/i] [COLOR=red]rot[/COLOR] [URL=http://x]Link[/URL]"
        "[QUOTE]Zitat\r\nzwei[/QUOTE]");
    blocks.Add("T");
    const ImageEntry lineBreak = Marker(std::string(kBreakRowText));
    const std::vector<ImageEntry> hosts = {
        Row("a[1] (2)\\b.x.jpg", "[URL=http://h/p][IMG]http://h/t.jpg[/IMG][/URL]"),
        Row("c.jpeg", "[IMG]http://h/c.jpg[/IMG]"),
        lineBreak,
        Row("d.jpg", "[URL]http://h/d(1)[/URL]"),
        Marker(TextBlockRowText(1)),
        Row("e", "[url=http://h/e][img]http://h/e t.jpg[/img][/url]"),
        lineBreak,
        lineBreak};
    std::vector<ImageEntry> tenWithMarkers = TenImages();
    tenWithMarkers.insert(tenWithMarkers.begin() + 8, Marker(TextBlockRowText(2)));
    tenWithMarkers.insert(tenWithMarkers.begin() + 5, lineBreak);
    const auto md = PostingFormat::kMarkdown;
    struct Case {
        std::vector<ImageEntry> rows;
        PostingOptions options;
        int part;  // the selector entry whose text is compared
        std::string shown;
    };
    for (const Case& c : std::vector<Case>{
             {hosts,
              {.format = md, .center = true},
              0,
              "[![a\\[1\\] \\(2\\)\\\\b.x](http://h/t.jpg)](http://h/p) ![c](http://h/c.jpg)\\\r\n"
              "[d](http://h/d%281%29) **fett** *schief* rot [Link](http://x)\r\n> Zitat\r\n"
              "> zwei\r\n> \r\n[![e](http://h/e%20t.jpg)](http://h/e)\r\n"},
             // Every part starts a line of its own: part 2 breaks after C7, not after C6.
             {TenImages(),
              {.format = md, .split = true, .splitSize = 4, .imagesPerLine = 3},
              1,
              "C5 C6 C7\\\r\nC8"},
             // Break and text-block rows start the count again.
             {tenWithMarkers,
              {.imagesPerLine = 2},
              0,
              "C1 C2 \r\nC3 C4 \r\nC5 \r\nC6 C7 \r\nC8 TC9 C10 "},
         }) {
        std::vector<ImageEntry> rows = c.rows;
        PostingState state;
        BuildPosting(state, rows, blocks, c.options, {});
        EXPECT_EQ(SelectedText(state, c.part), c.shown) << c.shown;
    }
}

}  // namespace
}  // namespace lumar

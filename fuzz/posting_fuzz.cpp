// Random rows, text blocks and options through the posting builder. Input: the first line
// holds the option flags (byte 0: bit 0 HTML, bit 7 Markdown, bits 5-6 images per line) and
// the split-size text; every further line is a row or a
// block: "b<text>" stores a block, "r" a break row, "m<text>" a marker row "*<text>",
// "i<code>" an uploaded image, anything else an image without code.

#include "fuzz_check.h"
#include "posting/posting_builder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> lines = Fields(Text(data, size), '\n');
    const std::string_view head = lines.front();
    const uint8_t flags = head.empty() ? 0 : static_cast<uint8_t>(head[0]);
    lumar::PostingOptions options;
    options.format = (flags & 1)      ? lumar::PostingFormat::kHtml
                     : (flags & 0x80) ? lumar::PostingFormat::kMarkdown
                                      : lumar::PostingFormat::kBBCode;
    options.imagesPerLine = (flags >> 5) & 3;
    options.center = flags & 2;
    options.split = flags & 4;
    options.selectedPart = (flags >> 3) - 2;
    options.splitSize = lumar::SplitSizeFromText(head.substr(head.empty() ? 0 : 1));

    lumar::TextBlocks blocks;
    std::vector<lumar::ImageEntry> rows;
    for (size_t i = 1; i < lines.size(); ++i) {
        const char kind = lines[i].empty() ? '\0' : lines[i][0];
        const std::string rest = lines[i].substr(std::min<size_t>(1, lines[i].size()));
        if (kind == 'b') {
            blocks.Add(rest);
        } else if (kind == 'r' || kind == 'm') {
            rows.push_back(
                lumar::MarkerRow(kind == 'r' ? std::string(lumar::kBreakRowText) : "*" + rest));
        } else {
            // "n": an image named like a marker, "i": an uploaded image, else one without code.
            lumar::ImageEntry row;
            row.text = kind == 'n' ? "*" + rest : kind == 'i' ? "x.jpg" : "y.jpg";
            if (kind == 'n' || kind == 'i') row.upload = rest;
            rows.push_back(std::move(row));
        }
    }

    lumar::PostingState state;
    const lumar::PostingView view = lumar::BuildPosting(state, rows, blocks, options, {});
    for (const lumar::ImageEntry& row : rows) Check(row.IsImage() || !row.checked);
    if (state.isSplit) {
        Check(view.partEntries && view.partEntries->size() == state.parts.size());
        Check(view.shownText == state.parts.front());
        // Without centring, conversion and line lengths the parts put together are the whole
        // posting.
        if (!options.center && options.format == lumar::PostingFormat::kBBCode &&
            options.imagesPerLine == 0) {
            std::string joined;
            for (const std::string& part : state.parts) joined += part;
            Check(joined == state.code);
        }
    } else {
        Check(view.shownText == state.code);
    }
    // Every "<" of an HTML posting opens one of the harmless elements the writer writes.
    for (size_t at = 0; options.format == lumar::PostingFormat::kHtml &&
                        (at = state.code.find('<', at)) != std::string::npos;) {
        const size_t name = state.code.find_first_not_of('/', ++at);
        std::string tag = state.code.substr(name, state.code.find_first_of(" =>", name) - name);
        for (char& c : tag) c = static_cast<char>(c | 0x20);
        Check(std::string_view(" a img b i u s strike center left right hr quote font size color "
                               "indent list code sub sup url ")
                  .find(" " + tag + " ") != std::string_view::npos);
    }

    // Centring on and off again restores every text exactly.
    const lumar::PostingState before = state;
    lumar::ApplyCentring(state, true, options);
    const lumar::PostingView shown = lumar::ApplyCentring(state, false, options);
    Check(state.code == before.code && state.parts == before.parts);
    Check(shown.shownText == lumar::SelectedText(state, options.selectedPart));
    Check(lumar::ShowSelectedPart(state, options.selectedPart).shownText == shown.shownText);
    return 0;
}

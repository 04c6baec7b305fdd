// Random rows, text blocks and options through the posting builder. Input: the first line
// holds the option flags (byte 0: bit 0 HTML, bit 7 Markdown, bits 5-6 images per line) and
// the split-size text; every further line is a row or a
// block: "b<text>" stores a block, "r" a break row, "m<text>" a marker row "*<text>",
// "i<code>" an uploaded image, anything else an image without code.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "posting/posting_builder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= input.size();) {
        const size_t end = std::min(input.find('\n', start), input.size());
        lines.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    const std::string_view head = lines.front();
    const uint8_t flags = head.empty() ? 0 : static_cast<uint8_t>(head[0]);
    lumar::PostingOptions options;
    options.format = (flags & 1)      ? lumar::PostingFormat::Html
                     : (flags & 0x80) ? lumar::PostingFormat::Markdown
                                      : lumar::PostingFormat::BBCode;
    options.imagesPerLine = (flags >> 5) & 3;
    options.center = flags & 2;
    options.split = flags & 4;
    options.selectedPart = (flags >> 3) - 2;
    options.splitSizeText = std::string(head.substr(head.empty() ? 0 : 1));

    lumar::TextBlocks blocks;
    std::vector<lumar::ImageEntry> rows;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::string rest(line.substr(line.empty() ? 0 : 1));
        lumar::ImageEntry row;
        switch (line.empty() ? '\0' : line[0]) {
            case 'b':
                blocks.Add(rest);
                continue;
            case 'r':
                row = lumar::MarkerRow(std::string(lumar::kBreakRowText));
                break;
            case 'm':
                row = lumar::MarkerRow("*" + rest);
                break;
            case 'n':
                row.text = "*" + rest;
                row.upload = rest;
                break;  // an image named like a marker
            case 'i':
                row.text = "x.jpg";
                row.upload = rest;
                break;
            default:
                row.text = "y.jpg";
                break;
        }
        rows.push_back(std::move(row));
    }

    lumar::PostingState state;
    const lumar::PostingView view = lumar::BuildPosting(state, rows, blocks, options, {});
    for (const lumar::ImageEntry& row : rows) Check(row.IsImage() || !row.checked);
    if (state.isSplit) {
        Check(view.partEntries && view.partEntries->size() == state.parts.size());
        Check(view.shownText == state.parts.front());
        // Without centring, conversion and line lengths the parts put together are the whole
        // posting.
        if (!options.center && options.format == lumar::PostingFormat::BBCode &&
            options.imagesPerLine == 0) {
            std::string joined;
            for (const std::string& part : state.parts) joined += part;
            Check(joined == state.code);
        }
    } else {
        Check(view.shownText == state.code);
    }
    if (options.format == lumar::PostingFormat::Html)
        Check(state.code.find_first_of("[]") == std::string::npos);

    // Centring on and off again restores every text exactly.
    const lumar::PostingState before = state;
    lumar::ApplyCentring(state, true, options);
    const lumar::PostingView shown = lumar::ApplyCentring(state, false, options);
    Check(state.code == before.code && state.parts == before.parts);
    Check(shown.shownText == lumar::SelectedText(state, options.selectedPart));
    Check(lumar::ShowSelectedPart(state, options.selectedPart).shownText == shown.shownText);
    return 0;
}

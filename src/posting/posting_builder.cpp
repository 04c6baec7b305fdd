#include "posting/posting_builder.h"

#include <climits>

#include "posting/markdown_posting.h"
#include "shell/language_table.h"
#include "shell/settings_keys.h"

namespace lumar {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kCenterOpen = "[CENTER]";
constexpr std::string_view kCenterClose = "[/CENTER]";
// Counts and part numbers have always been 16-bit; a larger split size cannot be meant.
constexpr long kMaxSplitSize = 32767;

// Value of the leading decimal digits of `text`, or -1 when it exceeds `limit`.
long LeadingNumber(std::string_view text, long limit) {
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > limit) return -1;
    }
    return value;
}

// The block a text-block row names: the leading digits after the first "_" ("*VBCode_3*" -> 3).
// Rows naming no stored block (no "_", block 0, a number too large) name nothing.
std::optional<std::string> BlockOfRow(const ImageEntry& row, const TextBlocks& blocks) {
    const size_t underscore = row.text.find('_');
    if (underscore == std::string::npos) return std::nullopt;
    const long number =
        LeadingNumber(std::string_view(row.text).substr(underscore + 1), INT_MAX / 10);
    return number > 0 ? blocks.Get(static_cast<int>(number)) : std::nullopt;
}

bool IsBreakRow(const ImageEntry& row) {
    return row.IsMarker() && row.text == kBreakRowText;
}

// Writes rows into a posting text in one format, starting a new line after every
// `imagesPerLine` images of a line.
class RowWriter {
  public:
    RowWriter(const TextBlocks& blocks, const PostingOptions& options)
        : blocks_(blocks),
          markdown_(options.format == PostingFormat::kMarkdown),
          imagesPerLine_(options.imagesPerLine) {}

    void Add(std::string& out, const ImageEntry& row) {
        if (row.IsImage()) {
            if (!row.upload.empty()) AddImage(out, row);
            return;
        }
        imagesOnLine_ = 0;
        if (IsBreakRow(row)) {
            LineBreak(out);
        } else if (const std::optional<std::string> block = BlockOfRow(row, blocks_)) {
            out += markdown_ ? MarkdownFromBBCode(*block) : *block;
        }
    }
    // A new part starts a new line.
    void StartPart() { imagesOnLine_ = 0; }

  private:
    void AddImage(std::string& out, const ImageEntry& row) {
        if (imagesPerLine_ > 0 && imagesOnLine_ == imagesPerLine_) {
            LineBreak(out);
            imagesOnLine_ = 0;
        }
        ++imagesOnLine_;
        out += markdown_ ? MarkdownFromBBCode(row.upload, MarkdownImageName(row.text)) : row.upload;
        out += ' ';
    }
    void LineBreak(std::string& out) const {
        if (!markdown_) {
            out += kCrLf;
            return;
        }
        // The blank after the line's last image would only stand before the break.
        if (out.ends_with(' ')) out.pop_back();
        out += kMarkdownLineBreak;
    }

    const TextBlocks& blocks_;
    bool markdown_;
    int imagesPerLine_;
    int imagesOnLine_ = 0;
};

std::string Assemble(std::span<const ImageEntry> rows, const TextBlocks& blocks,
                     const PostingOptions& options) {
    std::string out;
    RowWriter writer(blocks, options);
    for (const ImageEntry& row : rows) writer.Add(out, row);
    return out;
}

std::string Wrap(std::string_view open, const std::string& text, std::string_view close) {
    std::string out;
    out.reserve(open.size() + text.size() + close.size());
    out += open;
    out += text;
    out += close;
    return out;
}

// Centring and conversion, as applied to the whole posting and to every part.
void Finish(std::string& text, const PostingOptions& options) {
    if (options.format == PostingFormat::kMarkdown) {
        // A backslash ending the text would be shown rather than break a line; nothing follows
        // the last line anyway.
        bool trailingBreak = false;
        while (text.ends_with(kMarkdownLineBreak)) {
            text.resize(text.size() - kMarkdownLineBreak.size());
            trailingBreak = true;
        }
        // Images are separated by a blank; nothing follows the last one.
        if (text.ends_with(' ')) text.pop_back();
        if (trailingBreak) text += kCrLf;
        return;
    }
    if (options.center) text = Wrap(kCenterOpen, text, kCenterClose);
    if (options.format == PostingFormat::kHtml) text = ConvertToHtml(text);
}

PostingView ShowWhole(const PostingState& state) {
    return PostingView{state.code, std::nullopt, std::nullopt};
}

}  // namespace

PostingTexts PostingTextsFrom(const UiStrings& strings) {
    PostingTexts texts;
    texts.partLabel = strings.Get(kStrPostingPart);
    texts.advertising = strings.Get(kStrAdvertising);
    return texts;
}

void CollectPosting(PostingState& state, std::span<ImageEntry> rows, const TextBlocks& blocks) {
    state.code = Assemble(rows, blocks, PostingOptions{});
    for (ImageEntry& row : rows)
        if (row.IsMarker()) row.checked = false;
}

PostingView FinishPosting(PostingState& state, std::span<const ImageEntry> rows,
                          const TextBlocks& blocks, const PostingOptions& options,
                          const PostingTexts& texts) {
    state.code = Assemble(rows, blocks, options);
    Finish(state.code, options);
    if (options.split) return BuildPostingParts(state, rows, blocks, options, texts);
    return ShowWhole(state);
}

PostingView BuildPosting(PostingState& state, std::span<ImageEntry> rows, const TextBlocks& blocks,
                         const PostingOptions& options, const PostingTexts& texts) {
    CollectPosting(state, rows, blocks);
    return FinishPosting(state, rows, blocks, options, texts);
}

int SplitSizeFromText(std::string_view text) {
    const long size = LeadingNumber(text, kMaxSplitSize);
    return size < 0 ? 0 : static_cast<int>(size);
}

PostingView BuildPostingParts(PostingState& state, std::span<const ImageEntry> rows,
                              const TextBlocks& blocks, const PostingOptions& options,
                              const PostingTexts& texts) {
    size_t count = 0;
    for (const ImageEntry& row : rows)
        if (row.IsImage() && !row.upload.empty()) ++count;
    const bool sizeFits = options.splitSize > 0 && options.splitSize <= kMaxSplitSize;
    const size_t size = sizeFits ? static_cast<size_t>(options.splitSize) : 0;
    if (size == 0 || size >= count) {
        state.isSplit = false;
        return ShowWhole(state);
    }

    const size_t partCount = (count + size - 1) / size;
    state.parts.assign(partCount, std::string());
    state.isSplit = true;
    std::vector<std::string> entries;
    entries.reserve(partCount);
    for (size_t n = 1; n <= partCount; ++n)
        entries.push_back(texts.partLabel + " #" + std::to_string(n));

    // A marker row goes into the part of the image before it; markers above the first image
    // into part 1.
    size_t k = 0;
    size_t part = 0;
    RowWriter writer(blocks, options);
    for (const ImageEntry& row : rows) {
        if (row.IsImage() && !row.upload.empty() && ++k > size) {
            k = 1;
            ++part;
            writer.StartPart();
        }
        writer.Add(state.parts[part], row);
    }
    for (std::string& text : state.parts) Finish(text, options);
    return PostingView{state.parts.front(), std::move(entries), 0};
}

PostingView ApplyCentring(PostingState& state, bool on, const PostingOptions& options) {
    if (options.format == PostingFormat::kMarkdown)
        return ShowSelectedPart(state, options.selectedPart);
    const bool html = options.format == PostingFormat::kHtml;
    const std::string open = html ? ConvertToHtml(kCenterOpen) : std::string(kCenterOpen);
    const std::string close = html ? ConvertToHtml(kCenterClose) : std::string(kCenterClose);
    auto apply = [&](std::string& text) {
        if (on) {
            text = Wrap(open, text, close);
        } else if (text.size() >= open.size() + close.size() && text.starts_with(open) &&
                   text.ends_with(close)) {
            text = text.substr(open.size(), text.size() - open.size() - close.size());
        }
    };
    // The whole posting follows the box while a part is shown too, or switching splitting
    // off would show it centred under an unchecked box.
    if (state.isSplit)
        for (std::string& part : state.parts) apply(part);
    apply(state.code);
    return PostingView{SelectedText(state, options.selectedPart), std::nullopt, std::nullopt};
}

PostingView SwitchSplittingOff(PostingState& state) {
    state.isSplit = false;
    return ShowWhole(state);
}

const std::string& SelectedText(const PostingState& state, int selectedPart) {
    if (state.isSplit && selectedPart >= 0 &&
        static_cast<size_t>(selectedPart) < state.parts.size())
        return state.parts[static_cast<size_t>(selectedPart)];
    return state.code;
}

PostingView ShowSelectedPart(const PostingState& state, int selectedPart) {
    return PostingView{SelectedText(state, selectedPart), std::nullopt, std::nullopt};
}

std::string AdvertisingLine(bool centred, PostingFormat format, std::string_view text,
                            std::string_view homePageUrl) {
    if (format == PostingFormat::kMarkdown) {
        const std::string literal = MarkdownLiteral(text);
        return homePageUrl.empty() ? literal : MarkdownLink(literal, homePageUrl);
    }
    std::string line;
    if (format == PostingFormat::kHtml) {
        const bool link = !homePageUrl.empty();
        if (centred) line += "<CENTER>";
        if (link) line += "<a" + HtmlAttribute("href", homePageUrl) + ">";
        line += "<font size=1 face=Tahoma>" + HtmlText(text) + "</font>";
        if (link) line += "</a>";
        if (centred) line += "</CENTER>";
        return line;
    }
    if (centred) line += kCenterOpen;
    if (!homePageUrl.empty()) line.append("[URL=").append(homePageUrl).append("]");
    line += "[SIZE=1][FONT=Tahoma]";
    line += text;
    line += "[/FONT][/SIZE]";
    if (!homePageUrl.empty()) line += "[/URL]";
    if (centred) line += kCenterClose;
    return line;
}

std::string ExportText(const PostingState& state, const PostingOptions& options,
                       const PostingTexts& texts, const std::string& settingsFile) {
    std::string out = SelectedText(state, options.selectedPart);
    if (ReadIntSetting(settingsFile, keys::Werbung) == 1) {
        out += kCrLf;
        out += kCrLf;
        out +=
            AdvertisingLine(options.center, options.format, texts.advertising, texts.homePageUrl);
    }
    return out;
}

}  // namespace lumar

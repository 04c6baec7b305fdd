#pragma once
// The posting builder: turns the rows of the image list into the text the user pastes into a
// forum. The codes of the uploaded images in list order, each followed by one blank, with the
// line breaks and own text blocks of the marker rows, and a line break after every so many
// images when asked; optionally centred, converted to HTML or Markdown and split into parts of
// a fixed number of images. The advertising line is added only when
// the text leaves the program (ExportText).
//
// The builder owns no controls. What the code panel's controls hold comes in as
// PostingOptions; what would be written into them comes back as a PostingView. The posting
// itself lives in a PostingState that the caller keeps for the whole run of the program.
//
// Texts are UTF-8; line breaks inside the posting are CR LF.
//
// Errors in this room: the builder cannot fail, it builds from whatever the rows hold. File
// work (.vbc) reports failure as a reason text for the user, empty on success, and nothing
// throws.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imagelist/image_entry.h"
#include "imagelist/text_blocks.h"
#include "posting/html_posting.h"
#include "shell/project_addresses.h"

namespace lumar {

class UiStrings;

// Default texts of the two message entries the builder uses (entries 5 and 13 of the
// language file's STRINGS section); callers pass the loaded ones in PostingTexts.
inline constexpr std::string_view kDefaultPartLabel = "Postingteilstück";
inline constexpr std::string_view kDefaultAdvertisingText =
    ">>Bilder wurden hochgeladen mit Lumar<<";

struct PostingTexts {
    std::string partLabel{kDefaultPartLabel};  // "Postingteilstück" -> "Postingteilstück #1"
    std::string advertising{kDefaultAdvertisingText};  // the advertising line's text
    // The page the advertising line links to; empty: the line carries no link.
    std::string homePageUrl{kBuiltInAddresses.homePage};
};

// The two texts as loaded into the program's message table.
PostingTexts PostingTextsFrom(const UiStrings& strings);

// The output formats, numbered as Posting/Code stores them.
enum class PostingFormat { kBBCode = 0, kHtml = 1, kMarkdown = 2 };

// The state of the code panel's controls at the moment of the call.
struct PostingOptions {
    PostingFormat format = PostingFormat::kBBCode;  // the selected opCode option
    bool center = false;                            // ckCenter checked; Markdown is never centred
    bool split = false;                             // ckSplit checked
    int splitSize = 0;     // images per part; 0 or beyond a 16-bit count: do not split
    int selectedPart = 0;  // selected entry index of cbSplit (0 = part 1)
    // Images per line: after that many images a line break follows as if a break row stood
    // there. The count starts again after break and text-block rows and in every part; 0
    // (or less) leaves lines to the break rows.
    int imagesPerLine = 0;
};

// The posting as last built; lives for the whole run of the program.
struct PostingState {
    std::string code;                // PostingCode: the whole posting
    std::vector<std::string> parts;  // PostingParts: part n at index n - 1
    bool isSplit = false;            // PostingIsSplit: a part, not the whole posting, is shown
};

// What an operation puts into the code panel's controls.
struct PostingView {
    std::string shownText;  // new content of txcode
    // New entries of cbSplit when the operation refilled it ("Postingteilstück #1", ...);
    // nullopt leaves the selector as it is.
    std::optional<std::vector<std::string>> partEntries;
    // New selected entry index of cbSplit; nullopt leaves the selection as it is.
    std::optional<int> selectedPart;
};

// Rebuilds state.code from the rows, without centring or conversion. Clears the check marks
// of break and text-block rows; image rows keep theirs. A text-block row whose number names
// no stored block contributes nothing.
void CollectPosting(PostingState& state, std::span<ImageEntry> rows, const TextBlocks& blocks);

// Rebuilds state.code from the rows in the options' format and line length, centres it, then
// splits it (when splitting is on) or shows it whole. Called after CollectPosting.
PostingView FinishPosting(PostingState& state, std::span<const ImageEntry> rows,
                          const TextBlocks& blocks, const PostingOptions& options,
                          const PostingTexts& texts);

// CollectPosting followed by FinishPosting (a click on an output-format option).
PostingView BuildPosting(PostingState& state, std::span<ImageEntry> rows, const TextBlocks& blocks,
                         const PostingOptions& options, const PostingTexts& texts);

// Images per part as the code panel's size field gives it: the value of the leading digits of
// the text; 0 when there are none or the value does not fit a 16-bit count (do not split).
int SplitSizeFromText(std::string_view text);

// Splits the posting into parts of options.splitSize images, built
// from the rows (not cut from state.code), centred and converted like the whole posting.
// When the size is 0 or at least the number of uploaded images, the whole posting is shown,
// state.isSplit becomes false and state.parts and the selector are left as they were.
// Otherwise the selector is refilled and part 1 selected and shown.
PostingView BuildPostingParts(PostingState& state, std::span<const ImageEntry> rows,
                              const TextBlocks& blocks, const PostingOptions& options,
                              const PostingTexts& texts);

// Adds (on) or removes (off) the centring tags of the current output format, on the whole
// posting and, while split, on every part; Markdown has none, so it only shows the text. Removing
// unwraps only a text that starts with the opening and ends with the closing tag. Shows the
// selected part or the whole posting.
PostingView ApplyCentring(PostingState& state, bool on, const PostingOptions& options);

// Splitting switched off: the whole posting is shown again (state.code unchanged).
PostingView SwitchSplittingOff(PostingState& state);

// The text shown for a selector entry: that part while split, the whole posting otherwise
// (also for an entry index that names no part).
const std::string& SelectedText(const PostingState& state, int selectedPart);

// A click on the part selector.
PostingView ShowSelectedPart(const PostingState& state, int selectedPart);

// The advertising line as appended on export (without the two leading CR LF), in the
// posting's format: small Tahoma text linked to the home page ([URL], <a> or a Markdown link),
// without the link when there is no address. In HTML and Markdown the text is escaped, so a
// text like ">>...<<" stays text.
std::string AdvertisingLine(bool centred, PostingFormat format, std::string_view text,
                            std::string_view homePageUrl);

// The shown text (selected part while split, else the whole posting) followed, when the
// setting Bilder/Werbung of `settingsFile` is 1 (read anew at every call), by two CR LF and
// the advertising line, centred when options.center is on, in the options' format.
std::string ExportText(const PostingState& state, const PostingOptions& options,
                       const PostingTexts& texts, const std::string& settingsFile);

}  // namespace lumar

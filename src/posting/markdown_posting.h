#pragma once
// Markdown (CommonMark) postings. Hosts deliver their codes as BBCode, and text blocks are
// written in BBCode, so Markdown is converted from BBCode: the tags CommonMark can express
// become its syntax, the purely visual ones (colour, size, font, centring, underline) are
// dropped with their content kept, and any other text passes unchanged, so Markdown typed
// into a text block survives.
#include <string>
#include <string_view>

namespace lumar {

// Ends a line inside a paragraph. The backslash form, not two trailing blanks: it stays
// visible, survives editors and forums that trim line ends, and a line holding only the
// backslash still breaks, so consecutive break rows give empty lines.
inline constexpr std::string_view kMarkdownLineBreak = "\\\r\n";

// The picture's description: the file name without its extension, with the characters that
// would end or escape the brackets ( [ ] ( ) \ ) escaped.
std::string MarkdownImageName(std::string_view fileName);

// `bbcode` in Markdown. [IMG] becomes an image described by `imageName` (already escaped),
// [URL]address[/URL] a link titled `imageName`, or the address when the name is empty.
std::string MarkdownFromBBCode(std::string_view bbcode, std::string_view imageName = {});

// "[label](address)", the address made safe inside the parentheses.
std::string MarkdownLink(std::string_view label, std::string_view address);

// Plain text that must read as written: every character Markdown could take for syntax is
// escaped.
std::string MarkdownLiteral(std::string_view text);

}  // namespace lumar

#pragma once
// HTML postings, written from the BBCode the hosts deliver and text blocks are written in.
// The tags hosts build their codes from become links and images, [URL=address]...[/URL],
// [URL]address[/URL] and [IMG]address[/IMG], when written in upper case as hosts write them.
// The tags of text blocks and the centring tags keep their form with angle brackets
// ([CENTER] -> <CENTER>); any other bracket text, and every tag that would give the HTML
// something else than a harmless element, stays text. Text and addresses are escaped, so
// nothing a host puts into an address can become markup; an address is quoted only where it
// needs it, so ordinary codes come out as they always have.
#include <string>
#include <string_view>

namespace lumar {

// `text` (BBCode) as HTML.
[[nodiscard]] std::string ConvertToHtml(std::string_view text);

// Text with "&", "<", ">" and '"' as character references.
[[nodiscard]] std::string HtmlText(std::string_view text);

// " name=value": the value bare when HTML reads a bare value as written, else quoted.
[[nodiscard]] std::string HtmlAttribute(std::string_view name, std::string_view value);

}  // namespace lumar

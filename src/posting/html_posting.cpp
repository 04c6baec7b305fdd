#include "posting/html_posting.h"

#include <optional>

#include "posting/bbcode_tags.h"
#include "shell/plain_text.h"

namespace lumar {
namespace {

constexpr std::string_view kAddressBlanks = " \t\r\n";

void AppendEscaped(std::string& out, char c) {
    switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
    }
}

// The tags whose bracketed form is a harmless HTML element: those the editor writes, the
// visual ones forums know, and the lower-case spellings of the host tags, which are not links.
bool KeepsItsForm(std::string_view name) {
    for (std::string_view tag :
         {"b",    "i",    "u",     "s",      "strike", "center", "left", "right", "hr",  "quote",
          "font", "size", "color", "indent", "list",   "code",   "sub",  "sup",   "url", "img"})
        if (name == tag) return true;
    return false;
}

// Whether the bracket's content can stand between angle brackets as one element with nothing
// read as an attribute: no blank, slash, quote, angle bracket or "&" in its argument.
bool IsPlainInner(std::string_view inner) {
    if (inner.starts_with('/')) inner.remove_prefix(1);
    for (char c : inner) {
        const bool alphanumeric =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alphanumeric &&
            std::string_view("#.,%+-_:;!?*~@$()=").find(c) == std::string_view::npos)
            return false;
    }
    return true;
}

class HtmlWriter {
  public:
    std::string Run(std::string_view text) {
        size_t pos = 0;
        while (pos < text.size()) {
            if (text[pos] == '[' && Element(text, pos)) continue;
            AppendEscaped(out_, text[pos++]);
        }
        // An anchor left open would make the rest of the page it is pasted into a link.
        for (; openLinks_ > 0; --openLinks_) out_ += "</a>";
        return std::move(out_);
    }

  private:
    // Writes the tag at text[pos] and moves pos past it; false leaves it to be written as text.
    bool Element(std::string_view text, size_t& pos) {
        const std::optional<BBCodeTag> tag = ReadBBCodeTag(text, pos);
        if (!tag) return false;
        size_t next = pos + tag->length;
        const bool bare = !tag->closing && tag->inner == tag->spelling;
        if (bare && tag->spelling == "IMG") {
            const size_t close = imgClose_.Find(text, next);
            if (close == std::string_view::npos) return Other(*tag, pos);
            const std::string_view address = Trim(text.substr(next, close - next), kAddressBlanks);
            out_ += "<img" + HtmlAttribute("src", address) + " border=0>";
            next = close + imgClose_.TagLength();
        } else if (bare && tag->spelling == "URL") {
            const size_t close = urlClose_.Find(text, next);
            if (close == std::string_view::npos) return Other(*tag, pos);
            const std::string_view address = Trim(text.substr(next, close - next), kAddressBlanks);
            out_ += "<a" + HtmlAttribute("href", address) + ">" + HtmlText(address) + "</a>";
            next = close + urlClose_.TagLength();
        } else if (tag->spelling == "URL" && !tag->closing) {
            out_ += "<a" + HtmlAttribute("href", tag->arg) + ">";
            ++openLinks_;
        } else if (tag->spelling == "URL") {
            // A closing tag without its opening one would close an anchor of the page.
            if (openLinks_ > 0) {
                out_ += "</a>";
                --openLinks_;
            }
        } else {
            return Other(*tag, pos);
        }
        pos = next;
        return true;
    }

    bool Other(const BBCodeTag& tag, size_t& pos) {
        if (!KeepsItsForm(tag.name) || !IsPlainInner(tag.inner)) return false;
        out_ += '<';
        out_ += tag.inner;
        out_ += '>';
        pos += tag.length;
        return true;
    }

    BBCodeCloseFinder imgClose_{"[/IMG]", false};
    BBCodeCloseFinder urlClose_{"[/URL]", false};
    std::string out_;
    int openLinks_ = 0;
};

}  // namespace

std::string ConvertToHtml(std::string_view text) {
    return HtmlWriter().Run(text);
}

std::string HtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) AppendEscaped(out, c);
    return out;
}

std::string HtmlAttribute(std::string_view name, std::string_view value) {
    // What ends a bare value or makes HTML take it for something else.
    const bool bare =
        !value.empty() && value.find_first_of(" \t\r\n\f\"'=<>`") == std::string_view::npos;
    std::string out = " ";
    out += name;
    out += '=';
    if (!bare) out += '"';
    out += HtmlText(value);
    if (!bare) out += '"';
    return out;
}

}  // namespace lumar

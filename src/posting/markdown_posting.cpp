#include "posting/markdown_posting.h"

#include <optional>
#include <vector>

#include "posting/bbcode_tags.h"
#include "shell/plain_text.h"

namespace lumar {
namespace {

constexpr std::string_view kNewline = "\r\n";
constexpr std::string_view kQuoteMark = "> ";
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

// Tags that only change the look; Markdown has no way to say them.
bool IsVisualOnly(std::string_view name) {
    for (std::string_view tag :
         {"center", "left", "right", "color", "size", "font", "u", "s", "strike", "indent"})
        if (name == tag) return true;
    return false;
}

bool IsAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Whether `rest` (what follows an "&") reads as a character reference ("amp;", "#39;").
bool NamesCharacter(std::string_view rest) {
    size_t i = rest.starts_with('#') ? 1 : 0;
    const size_t first = i;
    while (i < rest.size() && IsAlphanumeric(rest[i])) ++i;
    return i > first && i < rest.size() && rest[i] == ';';
}

// A link or image address that cannot end the parentheses around it early or be cut at a
// blank: those characters are percent-encoded, which leaves the address meaning the same. An
// "&" that would start a character reference is escaped instead, so "&lt;" stays those four
// characters; the "&" between query parameters needs nothing.
std::string Destination(std::string_view address) {
    std::string out;
    const std::string_view trimmed = Trim(address, " \t\r\n");
    for (size_t i = 0; i < trimmed.size(); ++i) {
        const char c = trimmed[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == '(' || c == ')' || c == '<' || c == '>' ||
            c == '\\') {
            out += '%';
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xf];
        } else {
            if (c == '&' && NamesCharacter(trimmed.substr(i + 1))) out += '\\';
            out += c;
        }
    }
    return out;
}

class Converter {
  public:
    explicit Converter(std::string_view imageName) : imageName_(imageName) {}

    std::string Run(std::string_view text) {
        size_t pos = 0;
        while (pos < text.size()) {
            if (text[pos] == '[' && Element(text, pos)) continue;
            Put(text[pos++]);
        }
        while (!links_.empty()) CloseLink();
        return std::move(out_);
    }

  private:
    // Handles a recognised tag at text[pos] and moves pos past it; false leaves it as text.
    bool Element(std::string_view text, size_t& pos) {
        const std::optional<BBCodeTag> tag = ReadBBCodeTag(text, pos);
        if (!tag) return false;
        size_t next = pos + tag->length;
        if (tag->name == "img" && !tag->closing) {
            const size_t close = imgClose_.Find(text, next);
            if (close == std::string_view::npos) return false;
            Emit("![" + std::string(imageName_) + "](" +
                 Destination(text.substr(next, close - next)) + ")");
            next = close + imgClose_.TagLength();
        } else if (tag->name == "url" && !tag->closing && tag->arg.empty()) {
            const size_t close = urlClose_.Find(text, next);
            if (close == std::string_view::npos) return false;
            const std::string_view address = text.substr(next, close - next);
            const std::string label = imageName_.empty() ? MarkdownLiteral(Trim(address, " \t\r\n"))
                                                         : std::string(imageName_);
            Emit(MarkdownLink(label, address));
            next = close + urlClose_.TagLength();
        } else if (tag->name == "url") {
            if (!tag->closing) {
                links_.push_back(tag->arg);
                Emit("[");
            } else if (!links_.empty()) {
                CloseLink();
            }
        } else if (tag->name == "b") {
            Emit("**");
        } else if (tag->name == "i") {
            Emit("*");
        } else if (tag->name == "quote") {
            tag->closing ? EndQuote() : StartQuote();
        } else if (tag->name == "hr") {
            if (!tag->closing) Rule();
        } else if (tag->name != "img" && !IsVisualOnly(tag->name)) {
            return false;
        }
        pos = next;
        return true;
    }

    void Put(char c) {
        out_ += c;
        atLineStart_ = c == '\n';
        if (atLineStart_)
            for (int i = 0; i < quoteDepth_; ++i) out_ += kQuoteMark;
    }
    void Emit(std::string_view text) {
        for (char c : text) Put(c);
    }
    void StartLine() {
        if (!atLineStart_) Emit(kNewline);
    }
    void CloseLink() {
        Emit("](" + Destination(links_.back()) + ")");
        links_.pop_back();
    }
    void StartQuote() {
        StartLine();
        ++quoteDepth_;
        out_ += kQuoteMark;
    }
    // A blank line after the quote, or the next line would continue it.
    void EndQuote() {
        if (quoteDepth_ == 0) return;
        StartLine();
        --quoteDepth_;
        Emit(kNewline);
    }
    // Its own line: "***" right below text cannot turn that text into a heading, as "---" can.
    void Rule() {
        StartLine();
        Emit("***");
        Emit(kNewline);
    }

    std::string_view imageName_;
    BBCodeCloseFinder imgClose_{"[/img]", true};
    BBCodeCloseFinder urlClose_{"[/url]", true};
    std::string out_;
    std::vector<std::string> links_;  // addresses of the open [URL=...] tags
    int quoteDepth_ = 0;
    bool atLineStart_ = true;
};

}  // namespace

std::string MarkdownImageName(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    if (dot != std::string_view::npos && dot > 0) fileName = fileName.substr(0, dot);
    std::string out;
    for (char c : fileName) {
        if (c == '[' || c == ']' || c == '(' || c == ')' || c == '\\') out += '\\';
        // A line end in a file name would break the description apart.
        out += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return out;
}

std::string MarkdownFromBBCode(std::string_view bbcode, std::string_view imageName) {
    return Converter(imageName).Run(bbcode);
}

std::string MarkdownLink(std::string_view label, std::string_view address) {
    return "[" + std::string(label) + "](" + Destination(address) + ")";
}

std::string MarkdownLiteral(std::string_view text) {
    constexpr std::string_view kSyntax = "\\`*_[]()<>#!&~|";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        // At the start of a line, these begin a list item.
        const bool listMark = i == 0 && (c == '-' || c == '+');
        if (listMark || kSyntax.find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return out;
}

}  // namespace lumar

#include "hosters/answer_code.h"

#include <cctype>

#include "shell/plain_text.h"

namespace lumar {
namespace {

constexpr size_t kMaxLinkBytes = 8 * 1024;

std::string_view Trimmed(std::string_view text) {
    return Trim(text, " \t\r\n");
}

bool IsWebAddress(std::string_view link) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (!StartsWithNoCase(link, scheme)) continue;
        // A host must follow; "http:///x" names none.
        const std::string_view rest = link.substr(scheme.size());
        return !rest.empty() && rest.front() != '/' && rest.front() != '?' && rest.front() != '#';
    }
    return false;
}

// The link as it may stand in a code, or empty when it is no web address or holds control
// characters.
std::string PostableLink(std::string_view link) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    if (!IsWebAddress(link)) return {};
    std::string out;
    for (char c : link) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) return {};
        if (std::string_view("[]<>\"' ").find(c) != std::string_view::npos) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

std::string Shortened(std::string_view text) {
    text = Trimmed(text);
    return text.size() <= 200 ? std::string(text) : std::string(text.substr(0, 200)) + "...";
}

AnswerLinks LinksFailure(std::string reason) {
    AnswerLinks links;
    links.failure = std::move(reason);
    return links;
}

}  // namespace

AnswerFieldsParse ParseAnswerFields(std::string_view url, std::string_view thumbnailUrl,
                                    std::string_view deletionUrl, std::string_view errorMessage) {
    AnswerFieldsParse result;
    const struct {
        const char* name;
        std::string_view source;
        AnswerTemplate& target;
    } fields[] = {{"URL", url, result.fields.url},
                  {"ThumbnailURL", thumbnailUrl, result.fields.thumbnailUrl},
                  {"DeletionURL", deletionUrl, result.fields.deletionUrl},
                  {"ErrorMessage", errorMessage, result.fields.errorMessage}};
    for (const auto& field : fields) {
        TemplateParse parsed = AnswerTemplate::Parse(field.source);
        if (!parsed.failure.empty()) return {{}, std::string(field.name) + ": " + parsed.failure};
        field.target = std::move(parsed.parsed);
    }
    return result;
}

AnswerLinks ReadAnswerLinks(const AnswerFields& fields, const AnswerContext& answer) {
    // One allowance for all of the answer's templates.
    TemplateBudget budget;
    if (answer.status < 200 || answer.status > 299) {
        std::string reason = "the host answered with status " + std::to_string(answer.status);
        const TextResult message = fields.errorMessage.Evaluate(answer, budget);
        if (message.Ok() && !Trimmed(message.text).empty())
            reason += ": " + Shortened(message.text);
        return LinksFailure(reason);
    }
    AnswerLinks links;
    const struct {
        const char* name;
        const AnswerTemplate& source;
        std::string& target;
    } wanted[] = {{"URL", fields.url, links.url},
                  {"ThumbnailURL", fields.thumbnailUrl, links.thumbnailUrl},
                  {"DeletionURL", fields.deletionUrl, links.deletionUrl}};
    for (const auto& field : wanted) {
        const TextResult value = field.source.Evaluate(answer, budget);
        if (!value.Ok()) return LinksFailure(std::string(field.name) + ": " + value.failure);
        field.target = std::string(Trimmed(value.text));
    }
    if (fields.url.Empty()) links.url = std::string(Trimmed(answer.body));
    if (links.url.empty()) {
        AnswerLinks none = LinksFailure("the answer holds no URL");
        none.noUrl = true;
        return none;
    }
    for (const auto& field : wanted) {
        if (field.target.empty()) continue;
        std::string postable = PostableLink(field.target);
        // A link goes into the posting and the history; no address is this long.
        if (postable.size() > kMaxLinkBytes)
            return LinksFailure(std::string(field.name) +
                                " is longer than 8 KiB: " + Shortened(field.target));
        if (postable.empty()) {
            AnswerLinks refusal = LinksFailure(std::string(field.name) +
                                               " is no web address: " + Shortened(field.target));
            refusal.refused = RefusedLink{field.name, Shortened(field.target)};
            return refusal;
        }
        field.target = std::move(postable);
    }
    return links;
}

std::string CodeFromLinks(const AnswerLinks& links, CodeStyle style) {
    if (style == CodeStyle::kLinkOnly) return "[URL]" + links.url + "[/URL]";
    if (style == CodeStyle::kLinkedThumbnail && !links.thumbnailUrl.empty())
        return "[URL=" + links.url + "][IMG]" + links.thumbnailUrl + "[/IMG][/URL]";
    return "[IMG]" + links.url + "[/IMG]";
}

TextResult BuildCodeFromAnswer(const AnswerFields& fields, const AnswerContext& answer,
                               CodeStyle style) {
    const AnswerLinks links = ReadAnswerLinks(fields, answer);
    if (!links.failure.empty()) return TextResult::Failure(links.failure);
    return TextResult::Text(CodeFromLinks(links, style));
}

}  // namespace lumar

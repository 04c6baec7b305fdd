#include "hosters/hoster_standard_keys.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "hosters/answer_code.h"
#include "hosters/hoster_accepts.h"
#include "net/header_text.h"
#include "net/http_url.h"
#include "shell/plain_text.h"
#include "shell/settings_keys.h"

namespace lumar {
namespace {

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

// "Name: value|Name: value" or "name=value|name=value"; the value may hold the separator.
std::string ReadPairs(const std::string& text, char separator, bool headers, NamedValues& out) {
    NamedValues pairs;
    for (const std::string& item : SplitFormList(text)) {
        const size_t at = item.find(separator);
        if (at == std::string::npos) return "\"" + item + "\" has no " + separator;
        std::string name(Trim(std::string_view(item).substr(0, at)));
        std::string value(Trim(std::string_view(item).substr(at + 1)));
        if (!net::IsSafeHeaderText(name) || !net::IsSafeHeaderText(value))
            return "\"" + name + "\" holds a control character";
        if (headers && !net::IsHttpToken(name)) return "\"" + name + "\" is no header name";
        if (name.empty()) return "an item has no name";
        pairs.emplace_back(std::move(name), std::move(value));
    }
    out = std::move(pairs);
    return {};
}

template <typename Choice>
struct Named {
    std::string_view word;
    Choice choice;
};

template <typename Choice, size_t N>
std::string Choose(const std::array<Named<Choice>, N>& words, std::string_view key,
                   std::string_view value, Choice& out) {
    for (const Named<Choice>& named : words) {
        if (!SameWord(value, named.word)) continue;
        out = named.choice;
        return {};
    }
    std::string allowed;
    for (const Named<Choice>& named : words)
        allowed += (allowed.empty() ? "" : "|") + std::string(named.word);
    return std::string(key) + " takes " + allowed;
}

constexpr std::array<Named<RequestKind>, 2> kRequests = {
    {{"classic", RequestKind::kClassic}, {"standard", RequestKind::kStandard}}};
constexpr std::array<Named<BodyKind>, 2> kBodies = {
    {{"multipart", BodyKind::kMultipart}, {"binary", BodyKind::kBinary}}};
constexpr std::array<Named<CodeStyle>, 3> kStyles = {{{"thumbnail", CodeStyle::kLinkedThumbnail},
                                                      {"image", CodeStyle::kFullImage},
                                                      {"link", CodeStyle::kLinkOnly}}};

}  // namespace

std::optional<std::uint64_t> ParseByteSize(std::string_view text) {
    text = Trim(text);
    std::uint64_t unit = 1;
    for (const auto& [suffix, factor] : {std::pair{"kb", 1024u}, {"mb", 1024u * 1024u}}) {
        if (text.size() > 2 && StartsWithNoCase(text.substr(text.size() - 2), suffix)) {
            unit = factor;
            text = Trim(text.substr(0, text.size() - 2));
        }
    }
    long long number = 0;
    if (!ParseInteger(text, number) || number < 0 ||
        static_cast<std::uint64_t>(number) > std::numeric_limits<std::uint64_t>::max() / unit)
        return std::nullopt;
    return static_cast<std::uint64_t>(number) * unit;
}

std::string ApplyStandardKey(HosterDef& row, std::string_view key, const std::string& value) {
    if (key == "Request") return Choose(kRequests, key, value, row.Request);
    if (key == "Body") return Choose(kBodies, key, value, row.Body);
    if (key == "CodeStyle") return Choose(kStyles, key, value, row.Style);
    if (key == "Headers") return ReadPairs(value, ':', true, row.Headers);
    if (key == "Parameters") return ReadPairs(value, '=', false, row.Parameters);
    if (key == "Secrets") {
        row.SecretNames.clear();
        for (const std::string& name : SplitFormList(value))
            if (!Trim(name).empty()) row.SecretNames.emplace_back(Trim(name));
        return {};
    }
    if (key == "Method") {
        if (!net::IsHttpToken(value)) return "Method is no HTTP method";
        row.Method = value;
    } else if (key == "Connections" || key == "Retries") {
        long long number = 0;
        const long long low = key == "Connections" ? 1 : 0;
        if (!ParseInteger(value, number) || number < low || number > 99)
            return std::string(key) + " takes a number from " + std::to_string(low) + " to 99";
        (key == "Connections" ? row.Connections : row.Retries) = static_cast<int>(number);
    } else if (key == "Accepts") {
        const std::optional<std::string> types = ParseAcceptedTypes(value);
        if (!types) return "Accepts takes jpeg|png|gif|webp";
        row.Accepts = *types;
    } else if (key == "DeletionConfirm") {
        if (const std::string problem = DeletionConfirmProblem(value); !problem.empty())
            return "DeletionConfirm: " + problem;
        row.DeletionConfirm = value;
    } else if (key == "MaxFileSize") {
        const std::optional<std::uint64_t> bytes = ParseByteSize(value);
        if (!bytes) return "MaxFileSize is no size";
        row.MaxBytes = *bytes;
    } else {
        std::string* text = key == "CaFile"         ? &row.CaFile
                            : key == "URL"          ? &row.UrlTemplate
                            : key == "ThumbnailURL" ? &row.ThumbnailTemplate
                            : key == "DeletionURL"  ? &row.DeletionTemplate
                                                    : &row.ErrorTemplate;
        *text = value;
    }
    return {};
}

std::vector<std::string> StandardRowProblems(const HosterDef& row) {
    std::vector<std::string> problems;
    if (row.Request != RequestKind::kStandard) return problems;
    if (const Outcome<net::HttpUrl> url = net::ParseHttpUrl(row.UploadUrl); !url)
        problems.push_back("UploadUrl: " + std::string(net::UrlProblemText(url.Why())));
    if (row.Body == BodyKind::kMultipart && row.FileField.empty())
        problems.push_back("FileField is missing");
    const AnswerFieldsParse fields = ParseAnswerFields(row.UrlTemplate, row.ThumbnailTemplate,
                                                       row.DeletionTemplate, row.ErrorTemplate);
    if (!fields.failure.empty()) problems.push_back(fields.failure);
    return problems;
}

}  // namespace lumar

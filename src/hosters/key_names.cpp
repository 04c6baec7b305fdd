#include "hosters/key_names.h"

#include <algorithm>
#include <array>

#include "shell/plain_text.h"

namespace lumar {
namespace {

// Lower case; run together when a name writes two words as one ("clientid"). Words ending in
// one of kKeyEndings need no entry.
constexpr std::array<std::string_view, 16> kKeyWords{
    "keys",       "auth",        "authorization", "authentication",
    "pass",       "passwd",      "passphrase",    "pwd",
    "cookie",     "sid",         "session",       "sessionid",
    "credential", "credentials", "userhash",      "clientid"};

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
char Lowered(char c) {
    return IsUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

// "X-APIKey" -> x, api, key; "userHash" -> user, hash.
std::vector<std::string> Words(std::string_view name) {
    std::vector<std::string> words;
    std::string word;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (!IsAsciiLetter(c)) {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
            continue;
        }
        const bool afterLower = i > 0 && IsAsciiLetter(name[i - 1]) && !IsUpper(name[i - 1]);
        // The last capital of a run of capitals starts the next word: "APIKey" is api, key.
        const bool endsCapitals = i > 0 && IsUpper(name[i - 1]) && i + 1 < name.size() &&
                                  IsAsciiLetter(name[i + 1]) && !IsUpper(name[i + 1]);
        if (IsUpper(c) && (afterLower || endsCapitals) && !word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
        word += Lowered(c);
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

// Lower-case names often run a key word onto another ("uploadkey", "apitoken"); no name ends
// in these without naming a key.
constexpr std::array<std::string_view, 4> kKeyEndings{"key", "token", "secret", "password"};

bool IsKeyWord(std::string_view word) {
    if (std::find(kKeyWords.begin(), kKeyWords.end(), word) != kKeyWords.end()) return true;
    return std::any_of(kKeyEndings.begin(), kKeyEndings.end(),
                       [&](std::string_view end) { return word.ends_with(end); });
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool Listed(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& listed) { return SameNoCase(listed, name); });
}

bool SendsSomething(std::string_view value) {
    return !Trim(value).empty();
}

}  // namespace

bool IsKeyName(std::string_view name) {
    const std::vector<std::string> words = Words(name);
    for (size_t i = 0; i < words.size(); ++i) {
        if (IsKeyWord(words[i])) return true;
        if (i + 1 < words.size() && IsKeyWord(words[i] + words[i + 1])) return true;
    }
    return false;
}

bool IsKeyValue(std::string_view value) {
    value = Trim(value);
    for (std::string_view scheme : {"client-id ", "bearer ", "basic "})
        if (value.size() > scheme.size() && StartsWithNoCase(value, scheme)) return true;
    return false;
}

bool IsRowKey(const HosterDef& row, std::string_view name, std::string_view value) {
    return IsKeyName(name) || IsKeyValue(value) || Listed(row.SecretNames, name);
}

bool RowSendsKey(const HosterDef& row) {
    for (const NamedValues* list : {&row.Headers, &row.Parameters, &row.Arguments})
        for (const auto& [name, value] : *list)
            if (SendsSomething(value) && IsRowKey(row, name, value)) return true;
    for (const FormField& field : FormFields(row))
        if (SendsSomething(field.value) && IsRowKey(row, field.name, field.value)) return true;
    return BlankKeyQuery(row.UploadUrl, row.SecretNames) != row.UploadUrl;
}

std::string BlankKeyQuery(const std::string& url, const std::vector<std::string>& extraNames,
                          std::vector<std::string>* blanked) {
    const size_t query = url.find('?');
    if (query == std::string::npos) return url;
    const size_t end = std::min(url.find('#', query), url.size());
    std::string out = url.substr(0, query + 1);
    size_t at = query + 1;
    while (at <= end) {
        const size_t next = std::min(url.find('&', at), end);
        const std::string_view item(url.data() + at, next - at);
        const size_t equals = item.find('=');
        const std::string_view name = item.substr(0, equals);
        const bool key = equals != std::string_view::npos && equals + 1 < item.size() &&
                         (IsKeyName(name) || Listed(extraNames, name));
        out += key ? item.substr(0, equals + 1) : item;
        if (key && blanked) blanked->emplace_back(name);
        if (next < end) out += '&';
        at = next + 1;
    }
    return out + url.substr(end);
}

}  // namespace lumar

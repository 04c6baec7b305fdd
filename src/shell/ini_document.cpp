#include "shell/ini_document.h"

#include <algorithm>
#include <limits>

#include "shell/plain_text.h"
#include "shell/settings_store.h"

namespace lumar {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A line's blanks, and the CR a Windows line end leaves behind.
std::string_view TrimLine(std::string_view s) {
    return Trim(s, " \t\r");
}

unsigned char FoldCase(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool NameBefore(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return FoldCase(x) < FoldCase(y); });
}

std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimLine(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return TrimLine(line.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
    line = TrimLine(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// Rule 4: at most 1023 characters (code points of the UTF-8 text), cut at the first NUL.
std::string LimitValue(std::string_view value) {
    value = value.substr(0, value.find('\0'));
    size_t chars = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if ((byte & 0xC0) == 0x80) continue;
        if (++chars > kMaxValueChars) return std::string(value.substr(0, i));
    }
    return std::string(value);
}

std::string StoredValueRule(std::string_view raw) {
    std::string_view value = TrimLine(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return LimitValue(value);
}

std::string DefaultRule(std::string_view value) {
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
    return LimitValue(value);
}

std::string_view LineEndingOf(std::string_view text) {
    const size_t nl = text.find('\n');
    if (nl == std::string_view::npos || (nl > 0 && text[nl - 1] == '\r')) return "\r\n";
    return "\n";
}

uint32_t Offset(std::string_view whole, std::string_view part) {
    return static_cast<uint32_t>(part.data() - whole.data());
}

}  // namespace

IniDocument::IniDocument(std::string text) : text_(std::move(text)) {
    std::string_view all(text_);
    all = all.substr(0, std::numeric_limits<uint32_t>::max() - 1);
    size_t pos = 0;
    std::optional<size_t> current;  // the section the lines belong to; keys before any are ignored
    while (pos < all.size()) {
        const size_t nl = all.find('\n', pos);
        const size_t stop = nl == std::string_view::npos ? all.size() : nl;
        const size_t next = nl == std::string_view::npos ? all.size() : nl + 1;
        size_t end = stop;
        if (end > pos && all[end - 1] == '\r') --end;
        const std::string_view line = all.substr(pos, end - pos);
        if (const auto name = SectionName(line)) {
            current = sections_.size();
            sections_.push_back({Offset(all, *name), static_cast<uint32_t>(name->size()),
                                 static_cast<uint32_t>(keys_.size()), 0,
                                 static_cast<uint32_t>(next)});
        } else if (current) {
            Section& section = sections_[*current];
            if (!TrimLine(line).empty()) section.contentEnd = static_cast<uint32_t>(next);
            const size_t eq = line.find('=');
            if (eq != std::string_view::npos && !IsComment(line)) {
                const std::string_view keyName = TrimLine(line.substr(0, eq));
                keys_.push_back({Offset(all, keyName), static_cast<uint32_t>(keyName.size()),
                                 static_cast<uint32_t>(pos + eq + 1), static_cast<uint32_t>(end)});
                ++section.keyCount;
            }
        }
        pos = next;
    }
    byName_.resize(sections_.size());
    for (size_t i = 0; i < byName_.size(); ++i) byName_[i] = static_cast<uint32_t>(i);
    std::stable_sort(byName_.begin(), byName_.end(), [this](uint32_t a, uint32_t b) {
        return NameBefore(View(sections_[a].nameBegin, sections_[a].nameSize),
                          View(sections_[b].nameBegin, sections_[b].nameSize));
    });
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
    const auto it = std::lower_bound(
        byName_.begin(), byName_.end(), name, [this](uint32_t index, std::string_view n) {
            return NameBefore(View(sections_[index].nameBegin, sections_[index].nameSize), n);
        });
    if (it == byName_.end()) return nullptr;
    const Section& section = sections_[*it];
    return SameName(View(section.nameBegin, section.nameSize), name) ? &section : nullptr;
}

const IniDocument::Key* IniDocument::FindKey(const Section& section, std::string_view name) const {
    for (uint32_t i = section.firstKey; i < section.firstKey + section.keyCount; ++i)
        if (SameName(View(keys_[i].nameBegin, keys_[i].nameSize), name)) return &keys_[i];
    return nullptr;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    const Key* k = s ? FindKey(*s, key) : nullptr;
    if (!k) return std::nullopt;
    return StoredValueRule(View(k->valueBegin, k->valueEnd - k->valueBegin));
}

std::string IniDocument::Read(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
    std::optional<std::string> value = Find(section, key);
    return value ? std::move(*value) : DefaultRule(defaultValue);
}

std::string IniDocument::WithValue(std::string_view section, std::string_view key,
                                   std::string_view value) const {
    const std::string_view text(text_);
    const std::string_view eol = LineEndingOf(text);
    const Section* s = FindSection(section);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    if (const Key* k = s ? FindKey(*s, key) : nullptr) {
        out.append(text.substr(0, k->valueBegin)).append(value).append(text.substr(k->valueEnd));
        return out;
    }
    if (s) {
        // After the section's last non-blank line, so blank separators stay below it.
        out.append(text.substr(0, s->contentEnd));
        if (s->contentEnd == text.size() && !text.ends_with('\n')) out.append(eol);
        out.append(key).append("=").append(value).append(eol);
        out.append(text.substr(s->contentEnd));
        return out;
    }
    out.append(text);
    if (!out.empty() && out.back() != '\n') out.append(eol);
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
    return out;
}

}  // namespace lumar

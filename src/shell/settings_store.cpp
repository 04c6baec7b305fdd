#include "shell/settings_store.h"

#include <optional>
#include <vector>

#include "shell/file_io.h"
#include "shell/text_codec.h"

namespace lumar {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

// One line of INI text, without its line ending.
struct Line {
    size_t begin;  // offset of the first character
    size_t end;    // offset just past the last character before the line ending
    size_t next;   // offset of the following line
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        const size_t stop = nl == std::string_view::npos ? text.size() : nl;
        size_t end = stop;
        if (end > pos && text[end - 1] == '\r') --end;
        lines.push_back({pos, end, nl == std::string_view::npos ? text.size() : nl + 1});
        pos = lines.back().next;
    }
    return lines;
}

std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
    line = Trim(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// The key of a "key=value" line, or nullopt for anything else.
std::optional<std::string_view> KeyName(std::string_view line) {
    if (IsComment(line) || SectionName(line)) return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

struct Location {
    std::vector<Line> lines;
    std::optional<size_t> section;   // index of the section header line
    std::optional<size_t> key;       // index of the key line
    size_t sectionEnd = 0;           // index of the line after the section's last line
};

Location Locate(std::string_view text, std::string_view section, std::string_view key) {
    Location loc;
    loc.lines = SplitLines(text);
    for (size_t i = 0; i < loc.lines.size(); ++i) {
        const std::string_view line = text.substr(loc.lines[i].begin, loc.lines[i].end - loc.lines[i].begin);
        if (const auto name = SectionName(line)) {
            if (loc.section) {
                loc.sectionEnd = i;
                return loc;
            }
            if (SameName(*name, section)) loc.section = i;
            continue;
        }
        if (loc.section && !loc.key) {
            const auto name = KeyName(line);
            if (name && SameName(*name, key)) loc.key = i;
        }
    }
    loc.sectionEnd = loc.lines.size();
    return loc;
}

std::string_view LineText(std::string_view text, const Line& line) {
    return text.substr(line.begin, line.end - line.begin);
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
    std::string_view value = Trim(raw);
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

}  // namespace

bool IsWritableName(std::string_view name) {
    return !name.empty() && name.find_first_of(std::string_view("\r\n\0[]=", 6)) == std::string_view::npos &&
           Trim(name) == name;
}

bool IsWritableValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string ReadValueFromText(std::string_view text, std::string_view section,
                              std::string_view key, std::string_view defaultValue) {
    const Location loc = Locate(text, section, key);
    if (!loc.key) return DefaultRule(defaultValue);
    const std::string_view line = LineText(text, loc.lines[*loc.key]);
    return StoredValueRule(line.substr(line.find('=') + 1));
}

std::string SetValueInText(std::string_view text, std::string_view section, std::string_view key,
                           std::string_view value) {
    const std::string_view eol = LineEndingOf(text);
    const Location loc = Locate(text, section, key);
    std::string out;
    if (loc.key) {
        const Line& line = loc.lines[*loc.key];
        const std::string_view old = LineText(text, line);
        const size_t eq = old.find('=');
        out.append(text.substr(0, line.begin));
        out.append(old.substr(0, eq + 1));
        out.append(value);
        out.append(text.substr(line.end));
        return out;
    }
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    if (loc.section) {
        // After the section's last non-blank line, so blank separators stay below it.
        size_t last = *loc.section;
        for (size_t i = *loc.section + 1; i < loc.sectionEnd; ++i)
            if (!Trim(LineText(text, loc.lines[i])).empty()) last = i;
        const Line& anchor = loc.lines[last];
        out.append(text.substr(0, anchor.next));
        const bool endsWithoutNewline = anchor.next == text.size() && !text.ends_with('\n');
        if (endsWithoutNewline) out.append(eol);
        out.append(keyLine).append(eol);
        out.append(text.substr(anchor.next));
        return out;
    }
    out.append(text);
    if (!out.empty() && out.back() != '\n') out.append(eol);
    out.append("[").append(section).append("]").append(eol);
    out.append(keyLine).append(eol);
    return out;
}

std::string ReadValue(const std::string& file, std::string_view section, std::string_view key,
                      std::string_view defaultValue) {
    const auto bytes = ReadFileBytes(file);
    if (!bytes) return DefaultRule(defaultValue);
    return ReadValueFromText(DecodeFileText(*bytes).text, section, key, defaultValue);
}

std::string ReadValue(const std::string& file, std::string_view section, std::string_view key,
                      long long defaultNumber) {
    return ReadValue(file, section, key, std::to_string(defaultNumber));
}

bool WriteValue(const std::string& file, std::string_view section, std::string_view key,
                std::string_view value) {
    if (!IsWritableName(section) || !IsWritableName(key) || !IsWritableValue(value)) return false;
    DecodedText current{"", TextEncoding::Windows1252};
    if (PathExists(file)) {
        const auto bytes = ReadFileBytes(file);
        if (!bytes) return false;  // unreadable: rewriting it would lose what is there
        current = DecodeFileText(*bytes);
    }
    const std::string updated = SetValueInText(current.text, section, key, value);
    const EncodedText encoded = EncodeFileText(updated, current.encoding);
    return WriteFileAtomically(file, encoded.bytes, Flush::No).empty();
}

}  // namespace lumar

#include "shell/settings_store.h"

#include <optional>

#include "shell/file_io.h"
#include "shell/locked_file.h"
#include "shell/parsed_file_cache.h"

namespace lumar {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

bool IsWritableName(std::string_view name) {
    return !name.empty() &&
           name.find_first_of(std::string_view("\r\n\0[]=", 6)) == std::string_view::npos &&
           !IsBlank(name.front()) && !IsBlank(name.back());
}

bool IsWritableValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string ReadValueFromText(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view defaultValue) {
    return IniDocument(std::string(text)).Read(section, key, defaultValue);
}

std::string SetValueInText(std::string_view text, std::string_view section, std::string_view key,
                           std::string_view value) {
    return IniDocument(std::string(text)).WithValue(section, key, value);
}

IniFile LoadIniFile(const std::string& file) {
    IniFile ini;
    bool tooLarge = false;
    std::optional<std::string> bytes = ReadFileBytesUpTo(file, kMaxIniFileBytes, &tooLarge);
    if (tooLarge) ini.problem = TooLargeReason(kMaxIniFileBytes) + ", not read";
    if (!bytes) return ini;
    DecodedText decoded = DecodeFileText(*bytes);
    bytes.reset();
    ini.encoding = decoded.encoding;
    ini.document = IniDocument(std::move(decoded.text));
    return ini;
}

std::string ReadValue(const std::string& file, std::string_view section, std::string_view key,
                      std::string_view defaultValue) {
    const std::shared_ptr<const IniDocument> document = CachedIniDocument(file);
    if (!document) return IniDocument().Read(section, key, defaultValue);
    return document->Read(section, key, defaultValue);
}

std::string ReadValue(const std::string& file, std::string_view section, std::string_view key,
                      long long defaultNumber) {
    return ReadValue(file, section, key, std::to_string(defaultNumber));
}

std::string UpdateIniFile(const std::string& file,
                          const std::function<std::string(const IniDocument&)>& change,
                          IniWrite how) {
    LockedWriteOptions options;
    options.maxCurrentBytes = kMaxIniFileBytes;
    // An INI file Lumar writes lies in its settings folder.
    options.lockFile = SharedLockFile(FolderOf(file));
    options.throughSpare = how == IniWrite::kThroughSpare;
    return UpdateFileLocked(
        file,
        [&change](const std::optional<std::string>& current, std::string& replacement) {
            DecodedText decoded{"", TextEncoding::kWindows1252};
            if (current) decoded = DecodeFileText(*current);
            const std::string updated = change(IniDocument(std::move(decoded.text)));
            replacement = EncodeFileText(updated, decoded.encoding).bytes;
            return std::string();
        },
        options);
}

std::string WriteValueOrReason(const std::string& file, std::string_view section,
                               std::string_view key, std::string_view value) {
    if (!IsWritableName(section) || !IsWritableName(key) || !IsWritableValue(value))
        return "a name or the value holds a line break, NUL or a character that ends a name";
    return UpdateIniFile(
        file, [&](const IniDocument& ini) { return ini.WithValue(section, key, value); });
}

bool WriteValue(const std::string& file, std::string_view section, std::string_view key,
                std::string_view value) {
    return WriteValueOrReason(file, section, key, value).empty();
}

}  // namespace lumar

#include "posting/vbc_file.h"

#include <cerrno>
#include <cstring>

#include "shell/file_io.h"
#include "shell/locked_file.h"
#include "shell/text_codec.h"

namespace lumar {

std::string VbcFileBytes(std::string_view text) {
    std::string withEnd(text);
    withEnd += "\r\n";
    return EncodeFileText(withEnd, TextEncoding::kWindows1252).bytes;
}

std::string VbcTextFromBytes(std::string_view bytes) {
    return DecodeFileText(bytes).text;
}

std::string SaveVbcFile(const std::string& path, std::string_view text) {
    if (path.empty()) return "no file name";
    return WriteFileAtomically(path, VbcFileBytes(text));
}

std::optional<std::string> LoadVbcFile(const std::string& path, std::string* error) {
    errno = 0;
    bool tooLarge = false;
    std::optional<std::string> bytes = ReadFileBytesUpTo(path, kMaxVbcBytes, &tooLarge);
    if (!bytes) {
        if (error)
            *error = tooLarge     ? TooLargeReason(kMaxVbcBytes)
                     : errno != 0 ? std::strerror(errno)
                                  : "cannot be read";
        return std::nullopt;
    }
    return VbcTextFromBytes(*bytes);
}

void RememberSaveFolder(const std::string& settingsFile, const SettingKey& key,
                        const std::string& savedPath) {
    const std::string folder = FolderOf(savedPath);
    if (!folder.empty()) WriteSetting(settingsFile, key, folder);
}

}  // namespace lumar

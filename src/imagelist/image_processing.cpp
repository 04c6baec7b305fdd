#include "imagelist/image_processing.h"

#include <optional>
#include <utility>

#include "shell/file_io.h"

namespace lumar {

std::string ProcessingOptions::Key() const {
    if (!Changes()) return "";
    std::string key;
    if (maxSide > 0) key = "max=" + std::to_string(maxSide) + ";q=" + std::to_string(quality);
    if (strip) key += key.empty() ? "strip" : ";strip";
    return key;
}

ProcessedImage ProcessImage(const std::string& path, const ProcessingOptions& options) {
    ProcessedImage out;
    if (options.Changes()) {
        out.error = "resizing and stripping are not available in this build";
        return out;
    }
    std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes) {
        out.error = "file unreadable";
        return out;
    }
    out.bytes = std::move(*bytes);
    return out;
}

}  // namespace lumar

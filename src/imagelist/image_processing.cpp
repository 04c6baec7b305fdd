#include "imagelist/image_processing.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "imagelist/image_info.h"
#include "imagelist/image_resize.h"
#include "imagelist/metadata_strip.h"
#include "shell/file_io.h"
#include "shell/settings_keys.h"

namespace lumar {

std::string ProcessingOptions::Key() const {
    if (!Changes()) return "";
    std::string key;
    if (maxSide > 0) key = "max=" + std::to_string(maxSide) + ";q=" + std::to_string(quality);
    if (strip) key += key.empty() ? "strip" : ";strip";
    return key;
}

ProcessingOptions ProcessingFor(const std::string& settingsFile, bool standardRow,
                                const ProcessingChoice& choice) {
    ProcessingOptions options;
    std::string strip;
    if (!settingsFile.empty()) {
        options.maxSide = ReadIntSetting(settingsFile, keys::MaxSide);
        options.quality = ReadIntSetting(settingsFile, keys::Quality);
        strip = ReadTextSetting(settingsFile, keys::Strip);
    }
    options.strip = strip == "1" || (strip != "0" && standardRow);
    options.maxSide = choice.maxSide.value_or(options.maxSide);
    options.quality = choice.quality.value_or(options.quality);
    options.strip = choice.strip.value_or(options.strip);
    return options;
}

namespace {

StripResult StripLossless(ImageType type, std::string_view bytes) {
    switch (type) {
        case ImageType::kJpeg:
            return StripJpegMetadata(bytes);
        case ImageType::kPng:
            return StripPngMetadata(bytes);
        case ImageType::kWebP:
            return StripWebPMetadata(bytes);
        default:
            return std::string(bytes);
    }
}

}  // namespace

ProcessedImage ProcessImage(const std::string& path, const ProcessingOptions& options) {
    std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes) {
        ProcessedImage out;
        out.error = Reason(ReasonCode::kFileUnreadable, {path});
        return out;
    }
    return ProcessImageBytes(std::move(*bytes), options);
}

ProcessedImage ProcessImageBytes(std::string bytes, const ProcessingOptions& options) {
    ProcessedImage out;
    const ImageInfo info = ReadImageInfoFromBytes(bytes);
    out.width = info.Width;
    out.height = info.Height;
    if (!options.Changes() || info.Type == ImageType::kGif) {
        out.bytes = std::move(bytes);
        return out;
    }
    if (info.Type == ImageType::kNone) {
        out.error = Reason(ReasonCode::kNotAPicture);
        return out;
    }
    // A size the header does not tell (a progressive JPEG) is left to the library, which
    // never enlarges.
    const bool tooLarge = info.Width == 0 || std::max(info.Width, info.Height) > options.maxSide;
    // Shrinking keeps only the first frame of an animation; such a picture is only stripped.
    if (options.maxSide > 0 && tooLarge && !IsAnimation(bytes)) {
        ResizeRequest request{options.maxSide, options.quality, options.strip, info.Type};
        ResizeResult resized = ResizeImage(bytes, request);
        if (resized.error) out.error = resized.error;
        out.bytes = std::move(resized.bytes);
        out.width = resized.width;
        out.height = resized.height;
        return out;
    }
    if (!options.strip) {
        out.bytes = std::move(bytes);
        return out;
    }
    StripResult stripped = StripLossless(info.Type, bytes);
    if (stripped)
        out.bytes = std::move(stripped).Value();
    else
        out.error = stripped.Why();
    return out;
}

}  // namespace lumar

#include "hosters/hoster_accepts.h"

#include <array>

#include "shell/plain_text.h"

namespace lumar {
namespace {

struct TypeWord {
    std::string_view word;
    ImageType type;
};
constexpr std::array<TypeWord, 5> kWords = {{{"jpeg", ImageType::kJpeg},
                                             {"jpg", ImageType::kJpeg},
                                             {"png", ImageType::kPng},
                                             {"gif", ImageType::kGif},
                                             {"webp", ImageType::kWebP}}};

std::optional<ImageType> TypeOf(std::string_view word) {
    for (const TypeWord& known : kWords)
        if (word.size() == known.word.size() && StartsWithNoCase(word, known.word))
            return known.type;
    return std::nullopt;
}

std::string_view WordOf(ImageType type) {
    for (const TypeWord& known : kWords)
        if (known.type == type) return known.word;
    return {};
}

}  // namespace

std::optional<std::string> ParseAcceptedTypes(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const size_t end = text.find_first_of(",|");
        const std::string_view item = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (item.empty()) continue;
        const std::optional<ImageType> type = TypeOf(item);
        if (!type) return std::nullopt;
        const std::string_view word = WordOf(*type);
        if (("," + out + ",").find("," + std::string(word) + ",") != std::string::npos) continue;
        out += (out.empty() ? "" : ",") + std::string(word);
    }
    return out;
}

bool RowAccepts(const HosterDef& row, ImageType type) {
    if (row.Accepts.empty())
        return type == ImageType::kJpeg || row.Request == RequestKind::kStandard;
    const std::string list = "," + row.Accepts + ",";
    return list.find("," + std::string(WordOf(type)) + ",") != std::string::npos;
}

bool RowTakesJpegOnly(const HosterDef& row) {
    for (ImageType type : {ImageType::kPng, ImageType::kGif, ImageType::kWebP})
        if (RowAccepts(row, type)) return false;
    return RowAccepts(row, ImageType::kJpeg);
}

std::string_view ImageTypeName(ImageType type) {
    switch (type) {
        case ImageType::kJpeg:
            return "JPEG";
        case ImageType::kPng:
            return "PNG";
        case ImageType::kGif:
            return "GIF";
        case ImageType::kWebP:
            return "WebP";
        case ImageType::kNone:
            break;
    }
    return "";
}

}  // namespace lumar

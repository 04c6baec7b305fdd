#include "cli/cli_piped_picture.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <iostream>
#include <optional>

#include "imagelist/captures.h"
#include "shell/file_io.h"

namespace lumar::cli {
namespace {

bool Refuse(const std::string& why) {
    std::cerr << "lumar-cli: standard input: " << why << "\n";
    return false;
}

}  // namespace

PipedPicture::~PipedPicture() {
    if (!path_.empty()) RemovePipedCapture(path_);
}

bool PipedPicture::Read(const std::string& name, const std::string& capturesFolder,
                        const std::string& prefix) {
    bool tooLarge = false;
    const std::optional<std::string> bytes =
        ReadStreamUpTo(STDIN_FILENO, kMaxCaptureBytes, &tooLarge);
    if (tooLarge) return Refuse("larger than 200 MB");
    if (!bytes) return Refuse(std::strerror(errno));
    const ImageType type = ReadImageInfoFromBytes(*bytes).Type;
    if (type == ImageType::kNone) return Refuse("not a JPEG, PNG, GIF or WebP picture");
    const std::string fileName =
        name.empty() ? CaptureFileName(prefix, std::time(nullptr), ImageExtension(type)) : name;
    const CaptureResult kept = StorePipedCapture(capturesFolder, fileName, *bytes);
    if (kept.problem == CaptureProblem::kBadName)
        return Refuse("--name takes a file name without folders");
    if (!kept.Ok())
        return Refuse("cannot be kept in " + capturesFolder + " (" + std::strerror(kept.error) +
                      ")");
    path_ = kept.path;
    return true;
}

}  // namespace lumar::cli

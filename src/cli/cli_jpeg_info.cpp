#include <iostream>

#include "cli/cli_command.h"
#include "imagelist/jpeg_info.h"

namespace lumar::cli {

// One line per file: is_jpeg, width, height, size in bytes, path; tab-separated.
int RunJpegInfo(const Args& args) {
    if (args.empty()) return UsageError("jpeg-info takes one or more files");
    for (const std::string& path : args) {
        const JpegInfo info = ReadJpegInfo(path);
        std::cout << (info.IsJpeg ? 1 : 0) << '\t' << info.Width << '\t' << info.Height << '\t'
                  << info.FileSize << '\t' << path << '\n';
    }
    return 0;
}

}  // namespace lumar::cli

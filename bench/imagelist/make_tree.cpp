// Writes COUNT small JPEG files into FOLDER, 100 to a subfolder, for the add-folder benchmark.
//   make_tree FOLDER COUNT
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/jpeg_maker.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_tree FOLDER COUNT\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const int count = std::atoi(argv[2]);
    lumar::test::JpegOptions exif;
    exif.app1Bytes = 2000;  // a camera-like header in front of the frame
    const std::string bytes = lumar::test::MakeJpeg(640, 480, exif);
    for (int i = 0; i < count; ++i) {
        const std::filesystem::path folder = root / ("sub" + std::to_string(i / 100));
        if (i % 100 == 0) std::filesystem::create_directories(folder);
        std::ofstream(folder / ("img" + std::to_string(i) + ".jpg"), std::ios::binary) << bytes;
    }
    return 0;
}

// Shrinks every file named on the command line as an upload run would (longest side at most
// MAX, quality 85, metadata stripped) and writes the result beside it as <file>.small.jpg,
// then prints the seconds per photo and the process's peak resident memory.
//   resize_bench MAX FILE...
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "imagelist/image_processing.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: resize_bench MAX FILE...\n");
        return 2;
    }
    const lumar::ProcessingOptions options{std::atoi(argv[1]), 85, true};
    const auto start = std::chrono::steady_clock::now();
    for (int i = 2; i < argc; ++i) {
        const lumar::ProcessedImage out = lumar::ProcessImage(argv[i], options);
        if (!out.error.empty()) {
            std::fprintf(stderr, "%s: %s\n", argv[i], out.error.c_str());
            return 1;
        }
        std::ofstream(std::string(argv[i]) + ".small.jpg", std::ios::binary) << out.bytes;
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f %ld\n", seconds.count() / (argc - 2), usage.ru_maxrss);
    return 0;
}

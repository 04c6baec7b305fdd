// Shrinks every file named on the command line as an upload run would (longest side at most
// MAX, quality 85, metadata stripped) and writes the result beside it as <file>.small.jpg,
// then prints the seconds per photo and the process's peak resident memory.
//   resize_bench [--run] MAX FILE...
// Without --run the photos are made one after the other on this thread; with it they go
// through the run's own preparer, which makes them on its worker threads while the loop
// thread only collects them — the way an upload run gets its pictures.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "imagelist/image_processing.h"
#include "shell/reason_text.h"
#include "upload/image_preparer.h"

namespace {

bool Save(const std::string& path, const lumar::ProcessedImage& made) {
    if (made.error) {
        const std::string why = lumar::ReasonText(*made.error, lumar::LoadUiStrings("", ""));
        std::fprintf(stderr, "%s: %s\n", path.c_str(), why.c_str());
        return false;
    }
    std::ofstream(path + ".small.jpg", std::ios::binary) << made.bytes;
    return true;
}

bool OneAfterTheOther(const std::vector<std::string>& paths,
                      const lumar::ProcessingOptions& options) {
    for (const std::string& path : paths)
        if (!Save(path, lumar::ProcessImage(path, options))) return false;
    return true;
}

bool AsTheRunDoes(const std::vector<std::string>& paths, const lumar::ProcessingOptions& options) {
    lumar::ImagePreparer preparer(lumar::PreparerThreads());
    lumar::PrepareRequest request;
    request.processing = options;
    for (size_t i = 0; i < paths.size(); ++i)
        preparer.Add(static_cast<int>(i + 1), paths[i], request);
    for (size_t done = 0; done < paths.size();) {
        preparer.WaitReady(std::chrono::milliseconds(100));
        while (std::optional<lumar::PreparedImage> ready = preparer.TakeReady()) {
            if (!Save(ready->path, ready->processed)) return false;
            ++done;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool run = argc > 1 && std::strcmp(argv[1], "--run") == 0;
    const int first = run ? 2 : 1;
    if (argc < first + 2) {
        std::fprintf(stderr, "usage: resize_bench [--run] MAX FILE...\n");
        return 2;
    }
    const lumar::ProcessingOptions options{std::atoi(argv[first]), 85, true};
    const std::vector<std::string> paths(argv + first + 1, argv + argc);
    const auto start = std::chrono::steady_clock::now();
    if (!(run ? AsTheRunDoes(paths, options) : OneAfterTheOther(paths, options))) return 1;
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f %ld\n", seconds.count() / static_cast<double>(paths.size()), usage.ru_maxrss);
    return 0;
}

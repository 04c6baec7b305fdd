// Figures for the upload history with many entries: the reuse lookup a run makes before every
// image, and the whole list the history window opens with.
//   history_lookup [ENTRIES]   (default: 100000; the file is made in a new folder under /tmp)
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "history/history_store.h"

using Clock = std::chrono::steady_clock;

namespace {

// Wall time, and the process's CPU time beside it: on a shared machine the wall time also
// counts the other programs' turns.
struct Timer {
    Clock::time_point wall = Clock::now();
    std::clock_t cpu = std::clock();
    double Ms() const {
        return std::chrono::duration<double, std::milli>(Clock::now() - wall).count();
    }
    double CpuMs() const {
        return 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    }
};

const char* const kHosters[] = {"Hoster1", "Hoster6", "catbox", "imgbb", "own-host"};

// Where each row's pictures go, as the run keys them.
std::string ReuseKeyOf(const std::string& hoster) {
    return "https://" + hoster + ".example/upload|file";
}

lumar::HistoryEntry EntryNumber(int i) {
    lumar::HistoryEntry e;
    e.uploadedAt = 1700000000 + i * 60LL;
    e.hosterId = kHosters[i % 5];
    e.hosterName = e.hosterId + " Name";
    e.uploadUrl = "https://" + e.hosterId + ".example/upload";
    e.filePath = "/home/user/Bilder/2024/Urlaub/IMG_" + std::to_string(i) + ".jpg";
    e.fileBytes = 2000000 + i;
    e.originalSha256 = lumar::Sha256Hex(std::to_string(i));
    e.processing = i % 3 == 0 ? "1600x1200-q85-strip" : "";
    e.sentSha256 = e.processing.empty() ? e.originalSha256 : lumar::Sha256Hex(e.filePath);
    e.width = 4000;
    e.height = 3000;
    e.url = "https://i." + e.hosterId + ".example/" + std::to_string(i) + ".jpg";
    e.thumbnailUrl = "https://t." + e.hosterId + ".example/" + std::to_string(i) + ".jpg";
    e.code = "[URL=" + e.url + "][IMG]" + e.thumbnailUrl + "[/IMG][/URL]";
    e.deletionUrl = "https://" + e.hosterId + ".example/delete/" + std::to_string(i);
    e.reuseKey = ReuseKeyOf(e.hosterId);
    return e;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::string folder = "/tmp/lumar-history-bench-XXXXXX";
    if (!mkdtemp(folder.data())) return 1;
    lumar::HistoryStore store;
    if (store.Open(lumar::HistoryFile(folder)) == lumar::HistoryOpening::kFailed) {
        std::fprintf(stderr, "%s\n", store.LastError().c_str());
        return 1;
    }

    Timer start;
    for (int i = 0; i < count; ++i) {
        lumar::HistoryEntry e = EntryNumber(i);
        if (!store.Record(e)) return std::fprintf(stderr, "%s\n", store.LastError().c_str()), 1;
    }
    std::printf("record %d entries, each committed: %.0f ms (%.3f ms each, CPU %.3f ms)\n", count,
                start.Ms(), start.Ms() / count, start.CpuMs() / count);

    // Half of the keys were uploaded before, half were not.
    std::mt19937 random(17);
    std::uniform_int_distribution<int> pick(0, 2 * count - 1);
    int found = 0;
    constexpr int kLookups = 1000;
    start = Timer();
    for (int n = 0; n < kLookups; ++n) {
        const int i = pick(random);
        const std::string processing = i % 3 == 0 ? "1600x1200-q85-strip" : "";
        found += store.FindReusable(lumar::Sha256Hex(std::to_string(i)), processing,
                                    kHosters[i % 5], ReuseKeyOf(kHosters[i % 5]))
                     ? 1
                     : 0;
    }
    std::printf("FindReusable, %d random keys (%d found): %.4f ms per lookup (CPU %.4f ms)\n",
                kLookups, found, start.Ms() / kLookups, start.CpuMs() / kLookups);

    start = Timer();
    const size_t all = store.List({}).size();
    std::printf("List of all %zu entries, newest first: %.1f ms (CPU %.1f ms)\n", all, start.Ms(),
                start.CpuMs());
    start = Timer();
    lumar::HistoryQuery search;
    search.text = "img_4242";
    const size_t hits = store.List(search).size();
    std::printf("List searching a file name (%zu found): %.1f ms (CPU %.1f ms)\n", hits, start.Ms(),
                start.CpuMs());
    std::filesystem::remove_all(folder);
    return 0;
}

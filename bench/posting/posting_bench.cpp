// Figures for building the posting from large lists, as the end of an upload run and the
// code panel's controls do it.
//   posting_bench [ROWS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "posting/posting_builder.h"

using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    lumar::TextBlocks blocks;
    for (int i = 0; i < 50; ++i)
        blocks.Add("[B]Block " + std::to_string(i) + "[/B] mit etwas Text\r\n");
    std::vector<lumar::ImageEntry> rows;
    for (int i = 0; i < count; ++i) {
        lumar::ImageEntry row;
        if (i % 10 == 9) {
            row = lumar::MarkerRow(std::string(lumar::kBreakRowText));
        } else if (i % 25 == 24) {
            row = lumar::MarkerRow(lumar::TextBlockRowText(1 + i % 50));
        } else {
            row.text = "img" + std::to_string(i) + ".jpg";
            row.folder = "/home/user/Bilder/";
            if (i % 13 != 0)
                row.upload = "[URL=http://img.example.net/view/" + std::to_string(i) +
                             "][IMG]http://img.example.net/thumbs/" + std::to_string(i) +
                             ".jpg[/IMG][/URL]";
        }
        rows.push_back(std::move(row));
    }
    lumar::PostingOptions options;
    options.center = true;
    options.format = lumar::PostingFormat::kHtml;
    options.split = true;
    options.splitSize = 20;
    lumar::PostingState state;

    auto start = Clock::now();
    lumar::CollectPosting(state, rows, blocks);
    const double collect = Ms(start);
    start = Clock::now();
    lumar::PostingView view = lumar::FinishPosting(state, rows, blocks, options, {});
    const double finish = Ms(start);
    const size_t parts = view.partEntries ? view.partEntries->size() : 0;
    start = Clock::now();
    lumar::ApplyCentring(state, false, options);
    lumar::ApplyCentring(state, true, options);
    const double centring = Ms(start);
    options.split = false;
    start = Clock::now();
    view = lumar::BuildPosting(state, rows, blocks, options, {});
    const double whole = Ms(start);
    start = Clock::now();
    const std::string html = lumar::ConvertToHtml(state.code);
    const double convert = Ms(start);

    std::printf("rows %d, posting %zu bytes, %zu parts of 20\n", count, state.code.size(), parts);
    std::printf("CollectPosting                  %8.2f ms\n", collect);
    std::printf("FinishPosting (centre+HTML+split)%7.2f ms\n", finish);
    std::printf("ApplyCentring off+on (parts)    %8.2f ms\n", centring);
    std::printf("BuildPosting (centre+HTML, whole)%7.2f ms\n", whole);
    std::printf("ConvertToHtml of the posting    %8.2f ms (%zu bytes)\n", convert, html.size());
    return 0;
}

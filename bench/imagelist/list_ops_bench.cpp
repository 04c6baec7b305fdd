// Figures for the list operations the window runs on large lists.
//   list_ops_bench [ROWS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imagelist/image_list.h"
#include "imagelist/row_text.h"

using Clock = std::chrono::steady_clock;

namespace {

std::vector<lumar::ImageEntry> Rows(int count) {
    std::vector<lumar::ImageEntry> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        lumar::ImageEntry row;
        row.text = "img" + std::to_string((i * 7919) % count) + ".jpg";
        row.folder = "/home/user/Bilder/sub" + std::to_string(i / 100) + "/";
        row.width = 100 + (i * 31) % 4000;
        row.height = 100 + (i * 17) % 3000;
        row.bytes = 1000 + (i * 4099) % 5000000;
        row.padded = true;
        rows.push_back(std::move(row));
    }
    return rows;
}

double Ms(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    lumar::ImageList list;

    auto start = Clock::now();
    list.AppendRows(Rows(count));
    std::printf("append %d rows            %8.2f ms\n", count, Ms(start));

    start = Clock::now();
    list.SortByColumn(lumar::kColumnText);
    std::printf("sort by name              %8.2f ms\n", Ms(start));
    start = Clock::now();
    list.SortByColumn(lumar::kColumnText);
    std::printf("sort by name, reversed    %8.2f ms\n", Ms(start));
    start = Clock::now();
    list.SortByColumn(lumar::kColumnKb);
    std::printf("sort by kB                %8.2f ms\n", Ms(start));

    start = Clock::now();
    for (int i = 0; i < 100; ++i) list.Append(Rows(1).front());
    std::printf("100 appends while sorted  %8.2f ms\n", Ms(start));

    start = Clock::now();
    for (int i = 0; i < 100; ++i) list.InsertMarkerRow(1, "*UMBRUCH*");
    std::printf("100 breaks at the top     %8.2f ms\n", Ms(start));

    start = Clock::now();
    const lumar::ListSummary summary = lumar::SummarizeList(list.Rows());
    const std::string text = lumar::ListSummaryText(summary, "Bilder:", "Uploadgrösse:");
    std::printf("summary                   %8.2f ms  (%s)\n", Ms(start), text.c_str());

    list.SelectAll();
    for (int p = 1; p <= list.Count(); p += 3) list.SetSelected(p, false);
    start = Clock::now();
    const int scattered = list.RemoveSelected();
    std::printf("remove %d scattered     %8.2f ms\n", scattered, Ms(start));

    list.SelectAll();
    start = Clock::now();
    const int all = list.RemoveSelected();
    std::printf("select all + remove %d  %8.2f ms\n", all, Ms(start));
    return list.Empty() ? 0 : 1;
}

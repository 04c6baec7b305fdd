#include <iostream>

#include "cli/cli_command.h"
#include "cli/cli_scan_report.h"
#include "imagelist/add_images.h"

namespace lumar::cli {

// Adds the paths as a drop onto the list would and prints the rows in list order:
// text, folder, width, height, kB; tab-separated, padding kept.
int RunList(const Args& args) {
    if (args.empty()) return UsageError("list takes one or more files or folders");
    ImageList list;
    bool leftOut = false;
    AddOptions options;
    options.report = StderrScanReporter(leftOut);
    AddDroppedPaths(list, args, options);
    std::string out;
    for (const ImageEntry& row : list.Rows()) {
        out += row.text + '\t' + row.folder + '\t' + ColumnText(row, kColumnWidth) + '\t' +
               ColumnText(row, kColumnHeight) + '\t' + ColumnText(row, kColumnKb) + '\n';
        if (out.size() > 1 << 16) {
            std::cout << out;
            out.clear();
        }
    }
    std::cout << out << std::flush;
    return std::cout && !leftOut ? 0 : 1;
}

}  // namespace lumar::cli

#include "cli/cli_scan_report.h"

#include <cstring>
#include <iostream>

namespace lumar::cli {

ReportScanProblem StderrScanReporter(bool& anyProblem) {
    return [&anyProblem](const ScanProblem& problem) {
        anyProblem = true;
        std::cerr << "lumar-cli: " << problem.path << ": ";
        if (problem.kind == ScanProblem::Kind::kPathTooLong)
            std::cerr << "path too long to open, left out\n";
        else
            std::cerr << "folder cannot be read (" << std::strerror(problem.error)
                      << "), left out\n";
    };
}

}  // namespace lumar::cli

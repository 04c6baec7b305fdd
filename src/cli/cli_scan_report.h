#pragma once
// What a folder scan left out, named on stderr: a script must not take a list with missing
// images for a complete one.
#include "imagelist/add_images.h"

namespace lumar::cli {

// A reporter that prints every problem as one line on stderr and sets `anyProblem`.
ReportScanProblem StderrScanReporter(bool& anyProblem);

}  // namespace lumar::cli

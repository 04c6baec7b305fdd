#pragma once
// Pieces shared by the upload commands of lumar-cli.
#include <string>

#include "upload/hoster_table.h"

namespace lumar::cli {

// The hoster row named by the text (1..Count()), or 0 when the text names none.
int ParseHosterNumber(const std::string& text, const HosterTable& table);

// Names every problem of hosters.ini on stderr.
void PrintHosterProblems(const HosterTable& table);

// A path relative to the working folder made absolute (the upload sends the full path).
std::string AbsolutePath(const std::string& path);

}  // namespace lumar::cli

#pragma once
// Pieces shared by the upload commands of lumar-cli.
#include <string>

#include "upload/hoster_table.h"

namespace lumar::cli {

// The whole hoster table (hosters.ini, own definitions, presets), its problems named on
// stderr.
HosterTable LoadCliHosters();

// The hoster row named by the text (a number 1..Count() or a row ID), or 0 when it names none.
int ParseHosterNumber(const std::string& text, const HosterTable& table);

// Names every problem of hosters.ini and the definitions on stderr.
void PrintHosterProblems(const HosterTable& table);

// A path relative to the working folder made absolute (the upload sends the full path).
std::string AbsolutePath(const std::string& path);

}  // namespace lumar::cli

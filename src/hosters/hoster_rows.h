#pragma once
// The hoster table both front ends show. In this order: the built-in rows and hosters.ini's
// (numbered as ever, so remembered numbers stay valid), then the user's own definitions from
// <settings folder>/hosters.d/, then the presets from <data folder>/hosters.d/, each group
// sorted by ID.
//
// A definition is one .sxcu file (UTF-8 JSON); its ID is the file name without ".sxcu". An
// own definition with a preset's ID replaces the preset, and an empty own file of that name
// hides it. A file that cannot be used is skipped with its reason among the table's problems.
// Problem lines start with the file they are about.
#include <string>
#include <string_view>

#include "hosters/hoster_table.h"

namespace lumar {

inline constexpr const char* kDefinitionFolder = "hosters.d";

HosterTable LoadHosterRows(const std::string& settingsFolder, const std::string& dataFolder);

// The number of the first row with that ID, else 0.
int FindHosterRow(const HosterTable& table, std::string_view id);
// A row number 1..Count() or a row's ID, else 0.
int HosterRowFromText(const HosterTable& table, std::string_view text);

struct DefinitionImport {
    std::string id;
    std::string failure;  // why the file was not taken; empty on success
};

// Copies a .sxcu file, byte for byte, into <settings folder>/hosters.d/ once it reads as a
// usable definition; the folder is made 0700 and the file 0600, since definitions may hold
// API keys. The ID is the file name without ".sxcu", letters, digits, '.', '-' and '_' kept
// and anything else turned into '-', leading '.', '-' and '_' dropped, and "host-" put before
// a name that does not start with a letter (an ID is never taken for a row number or option). An
// import never replaces a file: when an own definition or a hosters.ini row holds the ID already,
// "-2", "-3",
// ... is appended. A preset's ID is taken as it is, so the import replaces the preset.
DefinitionImport ImportDefinition(const std::string& settingsFolder, const std::string& file,
                                  const HosterTable& table);

// Writes an own definition (a .sxcu text) under the ID, replacing the file of that ID; a new
// file is made 0600. "" when done, else the reason.
std::string SaveDefinition(const std::string& settingsFolder, const std::string& id,
                           const std::string& text);

// Removes an own definition's file; "" when done, else the reason.
std::string DeleteDefinition(const std::string& settingsFolder, const HosterDef& row);

}  // namespace lumar

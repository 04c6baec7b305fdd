#pragma once
// Which hoster row a session starts on and how the choice is kept in Lumar.ini: by ID
// (AnbieterId), so a row keeps being chosen when rows before it come or go, and by list index
// (Anbieter) as older versions read it.
#include <string>

#include "hosters/hoster_table.h"

namespace lumar {

// The row (1..Count()) of the remembered ID, else of the remembered index (past the end =
// the last row).
int RememberedHosterRow(const HosterTable& table, const std::string& settingsFile);

void RememberHosterRow(const HosterTable& table, int row, const std::string& settingsFile);

}  // namespace lumar

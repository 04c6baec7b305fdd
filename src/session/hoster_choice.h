#pragma once
// Which hoster row a session starts on and how the choice is kept in Lumar.ini: by ID
// (AnbieterId), so a row keeps being chosen when rows before it come or go, and by list index
// (Anbieter) as older versions read it.
#include <string>

#include "hosters/hoster_table.h"

namespace lumar {

// The host a first start chooses: one of today that needs no key and gives linked thumbnails.
// The built-in rows' hosts are all gone, so starting on the first of them would make a
// newcomer's first upload fail.
inline constexpr const char* kFirstStartHosterId = "pixhost";

// The row (1..Count()) of the remembered ID, else of the remembered index (past the end =
// the last row). With neither stored (a first start), the row of kFirstStartHosterId, else
// the first row.
int RememberedHosterRow(const HosterTable& table, const std::string& settingsFile);

void RememberHosterRow(const HosterTable& table, int row, const std::string& settingsFile);

}  // namespace lumar

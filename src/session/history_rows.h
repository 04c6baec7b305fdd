#pragma once
// Past uploads as rows of the list, so a posting can be built from the history exactly as the
// end of a run builds it (the window's history and lumar-cli history posting share this).
#include <vector>

#include "history/history_store.h"
#include "imagelist/image_entry.h"

namespace lumar {

// Image rows as a run leaves them: file, size and code in place, the check mark cleared.
std::vector<ImageEntry> RowsOfHistory(const std::vector<HistoryEntry>& entries);

}  // namespace lumar

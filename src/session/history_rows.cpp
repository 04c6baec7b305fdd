#include "session/history_rows.h"

#include "shell/file_io.h"

namespace lumar {

std::vector<ImageEntry> RowsOfHistory(const std::vector<HistoryEntry>& entries) {
    std::vector<ImageEntry> rows;
    rows.reserve(entries.size());
    for (const HistoryEntry& entry : entries) {
        ImageEntry row;
        row.folder = FolderOf(entry.filePath);
        row.text = entry.filePath.substr(row.folder.size());
        row.width = entry.width;
        row.height = entry.height;
        row.bytes = entry.fileBytes;
        row.upload = entry.code;
        row.checked = false;
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace lumar

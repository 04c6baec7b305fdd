#pragma once
// Read-change-write of a whole file as one step, safe against a second program doing the
// same (the window and lumar-cli share Lumar.ini), against a kill at any moment and against
// a full disk.
//
// How: an advisory lock (flock) on "<file>.lock" beside the file is held from before the
// read until after the rename. The lock cannot live on the file itself, since the rename
// replaces that file and a waiting writer would then hold a lock on the old one. The new
// content goes to an unnamed temporary file (O_TMPFILE) that the kernel removes with the
// process; it gets a name only for the rename. Where the file system has no unnamed files,
// a named temporary file is used, and leftovers of our own pattern ("<file>.tmpNNNNNN") from
// a killed writer are removed by the next writer, which holds the lock, so none is in use.
//
// A file without write permission is refused, as the classic profile write did; a writable
// file in a folder that refuses new files (a portable program folder) is rewritten in place
// under a lock on the file itself, since then nothing is renamed.
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "shell/file_io.h"

namespace lumar {

// Turns the current bytes (nullopt: there is no file, or they were not asked for) into the
// bytes to write. Returns "" to go on, else the reason to write nothing.
using FileChange =
    std::function<std::string(const std::optional<std::string>& current, std::string& replacement)>;

struct LockedWriteOptions {
    bool readCurrent = true;  // false: the change does not look at the old content
    size_t maxCurrentBytes = std::numeric_limits<size_t>::max();  // a larger file is refused
    Flush flush = Flush::No;
    // The file is left readable by its owner only (0600), whatever mode it had.
    bool ownerOnly = false;
};

// Returns "" when the new content is in place, else a short reason; the old file is then
// untouched. A symbolic link is followed and the file it points to is replaced; an existing
// file keeps its permission bits.
std::string UpdateFileLocked(const std::string& path, const FileChange& change,
                             const LockedWriteOptions& options);

// The reason text for a file refused because it is larger than `maxBytes`.
std::string TooLargeReason(size_t maxBytes);

}  // namespace lumar

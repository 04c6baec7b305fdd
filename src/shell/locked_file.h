#pragma once
// Read-change-write of a whole file as one step, safe against a second program doing the
// same (the window and lumar-cli share Lumar.ini), against a kill at any moment and against
// a full disk.
//
// How: an advisory lock (flock) on a lock file is held from before the read until after the
// rename. The lock cannot live on the file itself, since the rename replaces that file and a
// waiting writer would then hold a lock on the old one. Lumar's own files (Lumar.ini,
// hosters.ini, hosters.d) share one lock file in the settings folder, which stays there: a
// writer that removed it would let the next one lock a new file while a third still waits on
// the old. A file the user chose (a posting, an export) is only ever replaced whole, so it
// takes no lock and leaves nothing beside it.
// The new content goes to an unnamed temporary file (O_TMPFILE) that the kernel removes with
// the process; it gets a name only for the rename. Where the file system has no unnamed
// files, a named temporary file is used, and leftovers of our own pattern ("<file>.tmpNNNNNN")
// from a killed writer are removed by the next writer that holds the lock, so none is in use.
//
// A file written after every upload (Lumar.ini's totals) may go through a spare instead
// (throughSpare): "<file>.spare" in the same folder is overwritten with the new content and the
// two names are swapped in one step (renameat2 RENAME_EXCHANGE), so the spare then holds the
// content before. Nothing is allocated or freed, which a file system that discards every freed
// block makes slow. A kill leaves the file whole as a rename does; a power cut before the disk
// has the new content may leave an earlier one, as a rename without a flush may. Where the
// names cannot be swapped, or the spare is not a plain file of this user with one name, the
// file is replaced.
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
    Flush flush = Flush::kNo;
    // The file is left readable by its owner only (0600), whatever mode it had.
    bool ownerOnly = false;
    // The lock all writers of the file take (SharedLockFile); "" takes none.
    std::string lockFile;
    // An existing file is written through its spare (see above); only with a lock.
    bool throughSpare = false;
};

// The one lock file of the files Lumar keeps in `settingsFolder`.
[[nodiscard]] std::string SharedLockFile(const std::string& settingsFolder);

// Returns "" when the new content is in place, else a short reason; the old file is then
// untouched. A symbolic link is followed and the file it points to is replaced; an existing
// file keeps its permission bits.
[[nodiscard]] std::string UpdateFileLocked(const std::string& path, const FileChange& change,
                                           const LockedWriteOptions& options);

// WriteFileAtomically for a file of Lumar's own, under `lockFile`.
[[nodiscard]] std::string WriteOwnFile(const std::string& path, const std::string& bytes,
                                       const std::string& lockFile);

// The reason text for a file refused because it is larger than `maxBytes`.
std::string TooLargeReason(size_t maxBytes);

}  // namespace lumar

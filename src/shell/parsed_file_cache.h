#pragma once
// Settings files kept parsed between reads.
//
// Every settings read asks its file, but a run reads Lumar.ini many times per image: parsing
// it each time costs more than the upload's own work on a fast host. A file is parsed again
// only when its identity changed (device, inode, size, modification and change times to the
// nanosecond), and always when it was modified less than a second ago, since a rewrite in
// place within one clock tick keeps every one of those. A change by another program is seen at
// the next read; writes go to the file as always and change its identity.
#include <memory>
#include <string>

#include "shell/ini_document.h"

namespace lumar {

// The parsed text of `file`, as LoadIniFile reads it; nullptr when the file cannot be
// looked at (a missing file is no document, as the store reads it). Safe from any thread.
std::shared_ptr<const IniDocument> CachedIniDocument(const std::string& file);

}  // namespace lumar

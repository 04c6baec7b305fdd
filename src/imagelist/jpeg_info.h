#pragma once
// Reads the little a list row needs from a JPEG file: whether it is one, its pixel size from
// the baseline frame header, and its length. The reader walks the segments from the start and
// stops at the first baseline frame header; it never decodes image data.
#include <sys/stat.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "shell/file_io.h"

namespace lumar {

struct JpegInfo {
    bool IsJpeg = false;        // a start-of-image marker (FF D8) was met in marker position
    int Width = 0;              // from the first FF C0 segment; 0 when none was met
    int Height = 0;             // from the first FF C0 segment; 0 when none was met
    std::int64_t FileSize = 0;  // length of the file in bytes (64-bit: files past 2 GiB stay right)

    friend bool operator==(const JpegInfo&, const JpegInfo&) = default;
};

// Never fails: a missing, empty, unreadable or non-regular file (folder, FIFO, device) gives
// IsJpeg = false and FileSize = 0; a read error keeps what was found up to that point. Only the
// segments up to the frame header are read, never the whole file. The file is always closed.
JpegInfo ReadJpegInfo(const std::string& path);

// The same walk over bytes held in memory; FileSize is bytes.size().
JpegInfo ReadJpegInfoFromBytes(std::string_view bytes);

// Opens a file for the header readers, with its status taken from the descriptor; an invalid
// descriptor when the path names no regular file or cannot be opened. Only a regular file is
// opened, as opening a FIFO or a device could block or act: without `knownRegular` the path is
// looked at first; with it (a directory listing said so) that look is spared, and an empty
// file is opened too.
FileDescriptor OpenForHeader(const std::string& path, bool knownRegular, struct stat& opened);

// The walk over a file opened by OpenForHeader whose first `have` bytes are in `buffer`
// already, the descriptor just past them: a frame header among them costs no further read, and
// past them the walk reads on through the same buffer, never beyond `opened.st_size`.
JpegInfo ReadJpegInfoFrom(int fd, const struct stat& opened, std::span<char> buffer,
                          std::size_t have);

}  // namespace lumar

#pragma once
// What a run does to a picture before it is sent: shrink it (longest side at most maxSide
// pixels, re-encoded as JPEG at `quality`, its orientation applied to the pixels) and strip
// what it says about its owner (EXIF, GPS, XMP, comments). Originals are never changed; the
// bytes sent live in memory.
//
// Errors in this room: nothing throws; ProcessImage leaves the reason in `error`, a code with its
// arguments (shell/outcome.h).
#include <optional>
#include <string>

#include "shell/outcome.h"

namespace lumar {

struct ProcessingOptions {
    int maxSide = 0;     // 0 = keep the size
    int quality = 85;    // JPEG quality of a re-encoded picture (1..100)
    bool strip = false;  // drop metadata; without resizing this never re-encodes

    [[nodiscard]] bool Changes() const { return maxSide > 0 || strip; }
    // What the history keys a picture on beside its bytes: "" when the bytes go as they are,
    // else e.g. "max=1600;q=85;strip".
    [[nodiscard]] std::string Key() const;
};

struct ProcessedImage {
    std::string bytes;  // what to send
    int width = 0;      // of the bytes sent (0 when unknown)
    int height = 0;
    std::optional<Reason> error;  // none on success
};

// What one run was asked for (the command line); what is left unset comes from the settings.
struct ProcessingChoice {
    std::optional<int> maxSide, quality;
    std::optional<bool> strip;
};

// The run's processing from Bilder/MaxSide, Bilder/Quality and Bilder/Strip of
// `settingsFile` ("" reads nothing), overridden by `choice`. Stripping left to the program
// ("" in the file) is on for standard rows, whose hosts are reached today by anyone, and off
// for classic rows, which send the file's bytes as they always did.
ProcessingOptions ProcessingFor(const std::string& settingsFile, bool standardRow,
                                const ProcessingChoice& choice = {});

// The bytes to send for `path`: the file as it is when options.Changes() is false. A picture
// larger than maxSide is decoded, turned upright and shrunk: a JPEG becomes a JPEG at
// `quality`, PNG and WebP stay PNG and WebP. One that already fits is only stripped, and
// stripping alone never re-encodes (see metadata_strip.h). GIF files go as they are: they hold
// no location data, and shrinking would cost an animation its frames; an animated WebP or PNG is
// only stripped for the same reason.
ProcessedImage ProcessImage(const std::string& path, const ProcessingOptions& options);
// The same for a file's bytes already read.
ProcessedImage ProcessImageBytes(std::string bytes, const ProcessingOptions& options);

}  // namespace lumar

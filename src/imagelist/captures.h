#pragma once
// Pictures that come from no file of the user's: screenshots, picture data from the clipboard
// and pictures piped into lumar-cli. Each becomes a file of its own in Lumar's captures folder,
// named after the moment it was taken, so that it can be an ordinary list row; the folder is
// kept tidy by removing what is older than a number of days.
#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "imagelist/image_info.h"

namespace lumar {

// The largest picture taken from the clipboard, a pipe or another program's file. Larger data
// is no picture anyone posts, and holding it twice in memory would hurt.
inline constexpr std::size_t kMaxCaptureBytes = 200u * 1024u * 1024u;

// $XDG_CACHE_HOME/lumar/captures/, else ~/.cache/lumar/captures/ (with trailing separator).
std::string CapturesFolderFor(const std::string& xdgCacheHome, const std::string& home);
// The same for this process's environment.
std::string CapturesFolder();

// "jpg", "png", "gif", "webp"; "" for None.
std::string_view ImageExtension(ImageType type);

// "<prefix> 2026-12-07 14-03-12.<extension>" in local time.
std::string CaptureFileName(std::string_view prefix, std::time_t when, std::string_view extension);

enum class CaptureProblem {
    kNone,
    kNotAPicture,     // the bytes are none of the picture types the list takes
    kTooLarge,        // over kMaxCaptureBytes
    kSourceUnusable,  // the file to copy cannot be read; `error` says why
    kFolderUnusable,  // the captures folder cannot be made or written; `error` says why
    kWriteFailed,     // `error` says why; nothing is left behind
    kBadName,         // a given file name that is empty, "." or "..", or holds a "/"
};

struct [[nodiscard]] CaptureResult {
    std::string path;  // the new file, when there is no problem
    CaptureProblem problem = CaptureProblem::kNone;
    int error = 0;  // errno of the failed step

    [[nodiscard]] bool Ok() const { return problem == CaptureProblem::kNone; }
};

// Writes the picture `bytes` as a new file in `folder` (made, private to the user, when
// missing), named by CaptureFileName with the extension of the picture's type; a name already
// taken gets " (2)", " (3)", ... before the extension. Never replaces a file.
CaptureResult StoreCapture(const std::string& folder, std::string_view prefix,
                           std::string_view bytes, std::time_t when);

// The same with the picture another program wrote (a screenshot), which stays where it is.
CaptureResult CopyIntoCaptures(const std::string& folder, std::string_view prefix,
                               const std::string& source, std::time_t when);

// Writes the picture `bytes` under exactly `name` into a new folder of its own below `folder`
// (a run's piped picture must reach the host under the name the user gave, whatever else the
// captures folder holds). RemovePipedCapture takes both away again.
CaptureResult StorePipedCapture(const std::string& folder, const std::string& name,
                                std::string_view bytes);
void RemovePipedCapture(const std::string& path);

// Removes the captures in `folder` last changed more than `days` days before `now`, except the
// files named in `keep`, and the folders StorePipedCapture left behind when a run was killed
// that are as old. Only what this file's functions make is touched: regular files and those
// folders, never links, other folders or anything outside `folder`. `days` 0 keeps everything.
// Returns the number of captures removed.
int TidyCaptures(const std::string& folder, int days, const std::vector<std::string>& keep,
                 std::time_t now);

}  // namespace lumar

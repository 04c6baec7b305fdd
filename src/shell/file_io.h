#pragma once
// Whole-file reads and crash-safe whole-file writes.
#include <optional>
#include <string>

namespace lumar {

// The whole file as bytes, or nullopt when it cannot be opened or read or is no regular file
// (folder, FIFO, device); never waits for a writer.
std::optional<std::string> ReadFileBytes(const std::string& path);

// Writes the bytes to a temporary file beside `path` and renames it over `path`, so a reader
// sees either the old or the new content, never a torn file. A symbolic link is followed and
// the file it points to is replaced. An existing file keeps its permission bits.
// Returns an empty string on success, else a short reason (errno text) and leaves the old
// file untouched.
// With Flush::Yes the data reaches the disk before the rename (user documents); settings,
// rewritten after every upload, skip that wait: the rename still never exposes a torn file.
enum class Flush { Yes, No };
std::string WriteFileAtomically(const std::string& path, const std::string& bytes,
                                Flush flush = Flush::Yes);

// True when something (file or folder) exists at the path.
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// True for a regular file (a symbolic link is followed).
bool IsRegularFile(const std::string& path);

// The folder part of a path including its trailing separator ("/a/b.ini" -> "/a/"),
// or "" when the path has no separator.
std::string FolderOf(const std::string& path);

// Joins a folder and a name with exactly one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// The folder with a trailing separator added when it has none.
std::string WithTrailingSeparator(const std::string& folder);

// The native separator of this platform.
inline constexpr char kPathSeparator = '/';

}  // namespace lumar

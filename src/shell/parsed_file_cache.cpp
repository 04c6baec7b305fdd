#include "shell/parsed_file_cache.h"

#include <sys/stat.h>

#include <ctime>
#include <map>
#include <mutex>

#include "shell/settings_store.h"

namespace lumar {
namespace {

// Lumar reads a handful of INI files; more than this many are a caller's loop over files,
// which gains nothing from keeping them.
constexpr std::size_t kMaxCachedFiles = 16;

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{}, changed{};

    bool operator==(const Identity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               Same(modified, other.modified) && Same(changed, other.changed);
    }
    static bool Same(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
};

struct Entry {
    Identity identity;
    std::shared_ptr<const IniDocument> document;
};

// Modified within the last second (or in the future, as a clock set back leaves it).
bool RecentlyModified(const timespec& modified) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return modified.tv_sec >= now.tv_sec - 1;
}

}  // namespace

std::shared_ptr<const IniDocument> CachedIniDocument(const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return nullptr;
    const Identity identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};

    static std::mutex mutex;
    static std::map<std::string, Entry> entries;
    {
        const std::lock_guard lock(mutex);
        const auto found = entries.find(file);
        if (found != entries.end() && found->second.identity == identity &&
            !RecentlyModified(identity.modified))
            return found->second.document;
    }
    auto document = std::make_shared<const IniDocument>(LoadIniFile(file).document);
    const std::lock_guard lock(mutex);
    if (entries.size() >= kMaxCachedFiles && !entries.contains(file)) entries.clear();
    entries[file] = {identity, document};
    return document;
}

}  // namespace lumar

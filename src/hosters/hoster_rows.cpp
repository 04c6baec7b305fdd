#include "hosters/hoster_rows.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <set>

#include "hosters/hoster_definition.h"
#include "hosters/sxcu_file.h"
#include "shell/file_io.h"
#include "shell/locked_file.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"

namespace lumar {
namespace {

constexpr std::string_view kExtension = ".sxcu";
// As ReadSxcu's own cap: a larger file is refused before it is read whole.
constexpr size_t kMaxDefinitionBytes = 1 << 20;

std::string DefinitionFolder(const std::string& base) {
    return JoinPath(base, kDefinitionFolder);
}

// The IDs of the folder's .sxcu files, sorted.
std::vector<std::string> DefinitionIds(const std::string& folder) {
    std::vector<std::string> ids;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return ids;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() > kExtension.size() && name.ends_with(kExtension) && name[0] != '.')
            ids.emplace_back(name.substr(0, name.size() - kExtension.size()));
    }
    ::closedir(dir);
    std::sort(ids.begin(), ids.end());
    return ids;
}

struct FolderRows {
    std::vector<HosterDef> rows;
    std::set<std::string> empty;  // IDs of empty files: hidden presets
};

FolderRows ReadDefinitions(const std::string& folder, RowOrigin origin,
                           std::vector<std::string>& problems) {
    FolderRows result;
    for (const std::string& id : DefinitionIds(folder)) {
        const std::string path = JoinPath(folder, id + std::string(kExtension));
        bool tooLarge = false;
        const std::optional<std::string> text =
            ReadFileBytesUpTo(path, kMaxDefinitionBytes, &tooLarge);
        if (!text) {
            problems.push_back(path + (tooLarge ? ": larger than 1 MiB" : ": cannot be read") +
                               "; skipped");
            continue;
        }
        if (text->find_first_not_of(" \t\r\n") == std::string::npos) {
            result.empty.insert(id);
            continue;
        }
        const SxcuRead read = ReadSxcu(*text);
        if (!read.failure.empty()) {
            problems.push_back(path + ": " + read.failure + "; skipped");
            continue;
        }
        HosterDef row = HosterFromSxcu(read.uploader);
        row.Id = id;
        row.Origin = origin;
        result.rows.push_back(std::move(row));
    }
    return result;
}

// Keeps the letters, digits and '.-_' of a file name's stem; "" when nothing usable is left.
std::string IdFromFileName(const std::string& file) {
    std::string stem = file.substr(file.find_last_of('/') + 1);
    if (stem.size() > kExtension.size() && stem.ends_with(kExtension))
        stem.resize(stem.size() - kExtension.size());
    for (char& c : stem)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            c = '-';
    // A leading dot would hide the file from the listing, and an ID must start with a letter
    // to be told from a row number and an option.
    stem.erase(0, std::min(stem.size(), stem.find_first_not_of(".-_")));
    if (stem.empty()) return "host";
    if (!std::isalpha(static_cast<unsigned char>(stem[0]))) stem = "host-" + stem;
    return stem;
}

bool TakenByOwnRow(const HosterTable& table, const std::string& id) {
    return std::any_of(table.Hosters.begin() + 1, table.Hosters.end(), [&](const HosterDef& row) {
        return row.Origin != RowOrigin::kPreset && row.Id == id;
    });
}

// Writes a new file with owner-only access; never replaces one. 0 or the errno value.
int WriteNewPrivateFile(const std::string& path, const std::string& bytes) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd) return errno;
    size_t done = 0;
    int error = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? EIO : errno;
    }
    if (error == 0 && (::fsync(fd.Get()) != 0 || !fd.Close())) error = errno;
    if (error != 0) ::unlink(path.c_str());
    return error;
}

}  // namespace

HosterTable LoadHosterRows(const std::string& settingsFolder, const std::string& dataFolder) {
    const std::string hostersFile = JoinPath(settingsFolder, "hosters.ini");
    HosterTable table = LoadHosters(hostersFile);
    for (std::string& problem : table.problems) problem = hostersFile + ": " + problem;

    FolderRows own =
        ReadDefinitions(DefinitionFolder(settingsFolder), RowOrigin::kDefinition, table.problems);
    FolderRows presets = dataFolder.empty() ? FolderRows{}
                                            : ReadDefinitions(DefinitionFolder(dataFolder),
                                                              RowOrigin::kPreset, table.problems);
    for (HosterDef& row : own.rows) {
        // Choosing by ID could never reach a second row of the same ID.
        if (FindHosterRow(table, row.Id) > 0) {
            table.problems.push_back(
                JoinPath(DefinitionFolder(settingsFolder), row.Id + std::string(kExtension)) +
                ": ID taken by a built-in or hosters.ini row; skipped");
            continue;
        }
        table.Hosters.push_back(std::move(row));
    }
    for (HosterDef& preset : presets.rows) {
        if (own.empty.contains(preset.Id) || FindHosterRow(table, preset.Id) > 0) continue;
        table.Hosters.push_back(std::move(preset));
    }
    return table;
}

int FindHosterRow(const HosterTable& table, std::string_view id) {
    for (int row = 1; row <= table.Count(); ++row)
        if (table.Row(row).Id == id) return row;
    return 0;
}

int HosterRowFromText(const HosterTable& table, std::string_view text) {
    long long number = 0;
    if (ParseInteger(text, number))
        return number >= 1 && number <= table.Count() ? static_cast<int>(number) : 0;
    return FindHosterRow(table, text);
}

DefinitionImport ImportDefinition(const std::string& settingsFolder, const std::string& file,
                                  const HosterTable& table) {
    bool tooLarge = false;
    const std::optional<std::string> text = ReadFileBytesUpTo(file, kMaxDefinitionBytes, &tooLarge);
    if (!text) return {{}, tooLarge ? "larger than 1 MiB" : "cannot be read"};
    const SxcuRead read = ReadSxcu(*text);
    if (!read.failure.empty()) return {{}, read.failure};

    const std::string stem = IdFromFileName(file);
    const std::string folder = DefinitionFolder(settingsFolder);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {{}, std::strerror(errno)};
    for (int suffix = 1; suffix < 1000; ++suffix) {
        const std::string id = suffix == 1 ? stem : stem + "-" + std::to_string(suffix);
        if (TakenByOwnRow(table, id)) continue;
        const int error =
            WriteNewPrivateFile(JoinPath(folder, id + std::string(kExtension)), *text);
        if (error == 0) return {id, {}};
        if (error != EEXIST) return {{}, std::strerror(error)};
    }
    return {{}, "no free ID for " + stem};
}

std::string SaveDefinition(const std::string& settingsFolder, const std::string& id,
                           const std::string& text) {
    const std::string folder = DefinitionFolder(settingsFolder);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
    const std::string path = JoinPath(folder, id + std::string(kExtension));
    // The atomic write keeps an existing file's mode, so a new one is made private first.
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) return std::strerror(errno);
    fd.Close();
    return WriteOwnFile(path, text, SharedLockFile(settingsFolder));
}

std::string DeleteDefinition(const std::string& settingsFolder, const HosterDef& row) {
    if (row.Origin != RowOrigin::kDefinition) return row.Id + " is no definition of your own";
    const std::string path =
        JoinPath(DefinitionFolder(settingsFolder), row.Id + std::string(kExtension));
    if (::unlink(path.c_str()) != 0) return std::strerror(errno);
    return {};
}

}  // namespace lumar

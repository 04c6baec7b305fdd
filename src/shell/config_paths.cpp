#include "shell/config_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "shell/file_io.h"
#include "shell/interface_language.h"
#include "shell/plain_text.h"
#include "shell/settings_keys.h"

#ifndef LUMAR_DATA_DIR
#define LUMAR_DATA_DIR "/usr/share/lumar"
#endif

namespace lumar {
namespace {

std::optional<std::string> g_folder;

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

void MakeFolders(const std::string& folder) {
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == kPathSeparator)
            ::mkdir(folder.substr(0, pos).c_str(), 0755);
    }
}

// The folders packages install programs into. A program there is never portable, even when
// the folder happens to be writable (as it is for root): its settings belong to the user.
bool IsSystemProgramFolder(const std::string& folder) {
    static constexpr std::string_view kSystemFolders[] = {
        "/usr/bin/", "/usr/local/bin/", "/bin/", "/usr/sbin/", "/usr/games/", "/sbin/"};
    for (std::string_view system : kSystemFolders)
        if (folder == system) return true;
    // <prefix>/bin/ of the prefix this build installs to (data folder <prefix>/share/lumar).
    const std::string_view data = LUMAR_DATA_DIR;
    constexpr std::string_view kDataTail = "/share/lumar";
    if (data.ends_with(kDataTail))
        return folder == std::string(data.substr(0, data.size() - kDataTail.size())) + "/bin/";
    return false;
}

}  // namespace

std::string ChooseConfigFolder(const ConfigSources& sources) {
    if (!sources.commandLineDir.empty()) return WithTrailingSeparator(sources.commandLineDir);
    if (!sources.environmentDir.empty()) return WithTrailingSeparator(sources.environmentDir);
    if (!sources.programDir.empty()) {
        std::string program = WithTrailingSeparator(sources.programDir);
        const bool portable = !sources.buildTree && ::access(program.c_str(), W_OK) == 0;
        if (!IsSystemProgramFolder(program) && (PathExists(program + "Lumar.ini") || portable))
            return program;
    }
    if (!sources.xdgConfigHome.empty())
        return WithTrailingSeparator(JoinPath(sources.xdgConfigHome, "lumar"));
    const std::string home = sources.home.empty() ? "/tmp" : sources.home;
    return WithTrailingSeparator(JoinPath(home, ".config/lumar"));
}

ConfigSources CurrentConfigSources(const std::string& commandLineDir) {
    const std::string program = ProgramFolder();
    return {commandLineDir,
            EnvOrEmpty("LUMAR_CONFIG_DIR"),
            program,
            EnvOrEmpty("XDG_CONFIG_HOME"),
            EnvOrEmpty("HOME"),
            !BuildTreeDataFolder(program).empty()};
}

void InitConfigFolder(const std::string& commandLineDir) {
    g_folder = ChooseConfigFolder(CurrentConfigSources(commandLineDir));
    MakeFolders(*g_folder);
}

const std::string& ConfigFolder() {
    if (!g_folder) InitConfigFolder("");
    return *g_folder;
}

std::string SettingsFile() {
    return ConfigFolder() + "Lumar.ini";
}

std::string HostersFile() {
    return ConfigFolder() + "hosters.ini";
}

std::string LanguageFile() {
    const std::string data = DataFolder();
    const std::string language =
        ChooseLanguage(CurrentLocaleVariables(), ReadTextSetting(SettingsFile(), keys::Sprache),
                       ShippedLanguages(data));
    return LanguageFileFor(ConfigFolder(), data, language);
}

std::string DataFolder() {
    if (std::string chosen = EnvOrEmpty("LUMAR_DATA_DIR"); !chosen.empty()) return chosen;
    if (std::string checkout = BuildTreeDataFolder(ProgramFolder()); !checkout.empty())
        return checkout;
    return LUMAR_DATA_DIR;
}

std::string BuildTreeDataFolder(const std::string& programFolder) {
#ifdef LUMAR_BUILD_BIN_DIR
    // Only the folder the build put its programs in: a copy of the file that went anywhere
    // else (an install, a packaged tree) must never point a program at a checkout.
    char built[PATH_MAX];
    char program[PATH_MAX];
    if (!::realpath(LUMAR_BUILD_BIN_DIR, built) || !::realpath(programFolder.c_str(), program) ||
        std::string_view(built) != std::string_view(program))
        return "";
    const std::optional<std::string> bytes =
        ReadFileBytesUpTo(JoinPath(program, kBuildTreeDataFile), PATH_MAX, nullptr);
    return bytes ? std::string(Trim(*bytes, " \t\r\n")) : "";
#else
    (void)programFolder;
    return "";
#endif
}

std::string SettingsFolderProblem(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return std::strerror(ENOTDIR);
    if (::access(folder.c_str(), W_OK | X_OK) == 0) return "";
    const int error = errno;
    // A folder that takes no new files still keeps settings when Lumar.ini itself may be
    // written: it is then rewritten in place.
    const std::string settings = WithTrailingSeparator(folder) + "Lumar.ini";
    if (IsRegularFile(settings) && ::access(settings.c_str(), W_OK) == 0) return "";
    return std::strerror(error);
}

std::string ProgramFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    return FolderOf(std::string(buffer, static_cast<size_t>(n)));
}

}  // namespace lumar

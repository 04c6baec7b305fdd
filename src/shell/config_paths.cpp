#include "shell/config_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <optional>

#include "shell/file_io.h"

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

}  // namespace

std::string ChooseConfigFolder(const ConfigSources& sources) {
    if (!sources.commandLineDir.empty()) return WithTrailingSeparator(sources.commandLineDir);
    if (!sources.environmentDir.empty()) return WithTrailingSeparator(sources.environmentDir);
    if (!sources.programDir.empty()) {
        const std::string program = WithTrailingSeparator(sources.programDir);
        if (PathExists(program + "Lumar.ini") || ::access(program.c_str(), W_OK) == 0) return program;
    }
    if (!sources.xdgConfigHome.empty()) return WithTrailingSeparator(JoinPath(sources.xdgConfigHome, "lumar"));
    const std::string home = sources.home.empty() ? "/tmp" : sources.home;
    return WithTrailingSeparator(JoinPath(home, ".config/lumar"));
}

ConfigSources CurrentConfigSources(const std::string& commandLineDir) {
    return {commandLineDir, EnvOrEmpty("LUMAR_CONFIG_DIR"), ProgramFolder(),
            EnvOrEmpty("XDG_CONFIG_HOME"), EnvOrEmpty("HOME")};
}

void InitConfigFolder(const std::string& commandLineDir) {
    g_folder = ChooseConfigFolder(CurrentConfigSources(commandLineDir));
    MakeFolders(*g_folder);
}

const std::string& ConfigFolder() {
    if (!g_folder) InitConfigFolder("");
    return *g_folder;
}

std::string SettingsFile() { return ConfigFolder() + "Lumar.ini"; }

std::string HostersFile() { return ConfigFolder() + "hosters.ini"; }

std::string LanguageFile() {
    const std::string local = ConfigFolder() + "language.ini";
    if (PathExists(local)) return local;
    const std::string installed = JoinPath(LUMAR_DATA_DIR, "language.ini");
    if (PathExists(installed)) return installed;
    return local;
}

std::string ProgramFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    return FolderOf(std::string(buffer, static_cast<size_t>(n)));
}

}  // namespace lumar

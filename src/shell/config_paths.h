#pragma once
// Where Lumar keeps Lumar.ini and finds language.ini and hosters.ini.
//
// The folder is chosen once at start-up, in this order:
//  1. the folder given with --config-dir, then the environment variable LUMAR_CONFIG_DIR;
//  2. the program's own folder when Lumar.ini already exists there or the folder is
//     writable (portable use, as on Windows) - never a system program folder such as
//     /usr/bin or the install prefix's bin folder, and a build's own output folder only when
//     Lumar.ini is already there (keys, definitions and history must outlive the build);
//  3. $XDG_CONFIG_HOME/lumar, else ~/.config/lumar.
// The folder is created when missing. language.ini is looked up in that folder first, then
// in the data folder (see interface_language.h).
//
// The data folder (presets, texts) is $LUMAR_DATA_DIR when set; for a program started from the
// build's output folder, the checkout's data folder that the build wrote beside it
// (kBuildTreeDataFile); else the folder the build installs to.
#include <string>

namespace lumar {

struct ConfigSources {
    std::string commandLineDir;  // --config-dir, empty when not given
    std::string environmentDir;  // LUMAR_CONFIG_DIR, empty when unset
    std::string programDir;      // folder of the running program
    std::string xdgConfigHome;   // XDG_CONFIG_HOME, empty when unset
    std::string home;            // HOME
    bool buildTree = false;      // the program runs from the build's own output folder
};

// The file the build writes into its output folder, naming the checkout's data folder.
inline constexpr const char* kBuildTreeDataFile = "lumar-data-dir";

// The settings folder for the given sources, with a trailing separator. Pure apart from
// asking whether Lumar.ini exists in, and whether it may write to, the program folder.
std::string ChooseConfigFolder(const ConfigSources& sources);

// The sources of this process (environment, /proc/self/exe) with the --config-dir value.
ConfigSources CurrentConfigSources(const std::string& commandLineDir);

// Chooses the folder for this run (creating it when missing) and remembers it.
void InitConfigFolder(const std::string& commandLineDir);
// The remembered folder; chooses one from the environment when InitConfigFolder was not called.
const std::string& ConfigFolder();

std::string SettingsFile();  // <folder>/Lumar.ini
std::string HostersFile();   // <folder>/hosters.ini
// The texts of the interface's language (Bilder/Sprache, else the locale), see
// LanguageFileFor.
std::string LanguageFile();

// The data folder of this process (see above), without trailing separator.
std::string DataFolder();
// The data folder a build wrote beside the program in `programFolder`, or "" when the program
// is not in the build's output folder.
std::string BuildTreeDataFolder(const std::string& programFolder);

// "" when settings can be kept in `folder` (an existing folder this process may create files
// in, or one holding a Lumar.ini this process may write), else the reason they cannot (the
// system's error text), so start-up can name the folder instead of losing every change
// silently.
std::string SettingsFolderProblem(const std::string& folder);

// The folder of the running program, with a trailing separator.
std::string ProgramFolder();

}  // namespace lumar

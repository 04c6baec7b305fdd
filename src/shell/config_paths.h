#pragma once
// Where Lumar keeps Lumar.ini and finds language.ini and hosters.ini.
//
// The folder is chosen once at start-up, in this order:
//  1. the folder given with --config-dir, then the environment variable LUMAR_CONFIG_DIR;
//  2. the program's own folder when Lumar.ini already exists there or the folder is
//     writable (portable use, as on Windows) - never a system program folder such as
//     /usr/bin or the install prefix's bin folder;
//  3. $XDG_CONFIG_HOME/lumar, else ~/.config/lumar.
// The folder is created when missing. language.ini is looked up in that folder first, then
// in the installed data folder.
#include <string>

namespace lumar {

struct ConfigSources {
    std::string commandLineDir;  // --config-dir, empty when not given
    std::string environmentDir;  // LUMAR_CONFIG_DIR, empty when unset
    std::string programDir;      // folder of the running program
    std::string xdgConfigHome;   // XDG_CONFIG_HOME, empty when unset
    std::string home;            // HOME
};

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
std::string LanguageFile();  // <folder>/language.ini, else the installed one, else the former

// "" when settings can be kept in `folder` (an existing folder this process may create files
// in, or one holding a Lumar.ini this process may write), else the reason they cannot (the
// system's error text), so start-up can name the folder instead of losing every change
// silently.
std::string SettingsFolderProblem(const std::string& folder);

// The folder of the running program, with a trailing separator.
std::string ProgramFolder();

}  // namespace lumar

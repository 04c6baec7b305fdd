#include "cli/cli_upload_support.h"

#include <unistd.h>

#include <climits>
#include <iostream>

#include "shell/config_paths.h"
#include "shell/settings_keys.h"

namespace lumar::cli {

int ParseHosterNumber(const std::string& text, const HosterTable& table) {
    long long number = 0;
    if (!ParseInteger(text, number) || number < 1 || number > table.Count()) return 0;
    return static_cast<int>(number);
}

void PrintHosterProblems(const HosterTable& table) {
    for (const std::string& problem : table.problems)
        std::cerr << "lumar-cli: " << HostersFile() << ": " << problem << "\n";
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    std::string folder = cwd;
    if (folder.empty() || folder.back() != '/') folder += '/';
    std::string rest = path;
    while (rest.rfind("./", 0) == 0) rest = rest.substr(2);
    return folder + rest;
}

}  // namespace lumar::cli

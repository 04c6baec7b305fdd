#include "cli/cli_upload_support.h"

#include <unistd.h>

#include <climits>
#include <iostream>

#include "session/session.h"
#include "shell/config_paths.h"
#include "upload/hoster_rows.h"

namespace lumar::cli {

HosterTable LoadCliHosters() {
    HosterTable table = LoadHosterRows(ConfigFolder(), DataFolder());
    PrintHosterProblems(table);
    return table;
}

int ParseHosterNumber(const std::string& text, const HosterTable& table) {
    return HosterRowFromText(table, text);
}

void PrintHosterProblems(const HosterTable& table) {
    for (const std::string& problem : table.problems) std::cerr << "lumar-cli: " << problem << "\n";
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

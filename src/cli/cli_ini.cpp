#include <iostream>

#include "cli/cli_command.h"
#include "shell/settings_store.h"

namespace lumar::cli {

int RunIni(const Args& args) {
    if (args.size() >= 4 && args.size() <= 5 && args[0] == "get") {
        const std::string defaultValue = args.size() == 5 ? args[4] : "";
        const IniFile ini = LoadIniFile(args[1]);
        if (!ini.problem.empty())
            std::cerr << "lumar-cli: " << args[1] << ": " << ini.problem << "\n";
        std::cout << ini.document.Read(args[2], args[3], defaultValue) << "\n";
        return 0;
    }
    if (args.size() == 5 && args[0] == "set") {
        const std::string problem = WriteValueOrReason(args[1], args[2], args[3], args[4]);
        if (problem.empty()) return 0;
        std::cerr << "lumar-cli: could not write " << args[3] << " to " << args[1] << " ("
                  << problem << ")\n";
        return 1;
    }
    return UsageError(CommandUsage("ini"));
}

}  // namespace lumar::cli

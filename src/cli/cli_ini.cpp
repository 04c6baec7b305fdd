#include <iostream>

#include "cli/cli_command.h"
#include "shell/settings_store.h"

namespace lumar::cli {

int RunIni(const Args& args) {
    if (args.size() >= 4 && args.size() <= 5 && args[0] == "get") {
        const std::string defaultValue = args.size() == 5 ? args[4] : "";
        std::cout << ReadValue(args[1], args[2], args[3], defaultValue) << "\n";
        return 0;
    }
    if (args.size() == 5 && args[0] == "set") {
        if (WriteValue(args[1], args[2], args[3], args[4])) return 0;
        std::cerr << "lumar-cli: could not write " << args[3] << " to " << args[1] << "\n";
        return 1;
    }
    return UsageError("ini takes: get FILE SECTION KEY [DEFAULT] | set FILE SECTION KEY VALUE");
}

}  // namespace lumar::cli

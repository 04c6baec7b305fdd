#pragma once
// The subcommands of lumar-cli. Each gets its arguments after the subcommand name, with the
// global options (--config-dir) already taken out and the settings folder chosen, and
// returns the exit code: 0 success, 1 failure, 2 bad usage.
#include <string>
#include <vector>

namespace lumar::cli {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* synopsis;     // arguments, as shown in the usage
    const char* description;  // one line
    int (*run)(const Args& args);
};

const std::vector<Command>& Commands();

// "NAME takes: SYNOPSIS", from the one table of the commands.
std::string CommandUsage(const std::string& name);

// Prints the usage to stderr and returns 2, for commands that got bad arguments.
int UsageError(const std::string& message);

int RunIni(const Args& args);
int RunRequest(const Args& args);
int RunUpload(const Args& args);
int RunJpegInfo(const Args& args);
int RunList(const Args& args);
int RunHoster(const Args& args);
int RunProbe(const Args& args);
int RunHistory(const Args& args);

}  // namespace lumar::cli

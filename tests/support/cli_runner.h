#pragma once
// Runs lumar-cli (or any command line) through the shell, as a script would.
#include <string>

namespace lumar::test {

struct CliRun {
    int status = -1;  // exit code, -1 when the command did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error, when the command line sent it to `errFile`
};

// Runs `commandLine` with /bin/sh and collects its standard output. When `errFile` is given,
// the command line is expected to redirect standard error there; it is read afterwards.
CliRun RunShell(const std::string& commandLine, const std::string& errFile = "");

}  // namespace lumar::test

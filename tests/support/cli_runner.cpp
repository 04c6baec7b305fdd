#include "support/cli_runner.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace lumar::test {

CliRun RunShell(const std::string& commandLine, const std::string& errFile) {
    CliRun run;
    FILE* pipe = ::popen(commandLine.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        run.out.append(buffer, n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (!errFile.empty()) {
        std::ifstream in(errFile, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        run.err = text.str();
    }
    return run;
}

}  // namespace lumar::test

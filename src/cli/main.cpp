// lumar-cli: Lumar's work without the window, for scripts, tests and the demo.
#include <cstring>
#include <iostream>
#include <string>

#include "cli/cli_command.h"
#include "shell/config_paths.h"
#include "upload/socket_layer.h"

namespace lumar::cli {

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"ini", "get FILE SECTION KEY [DEFAULT] | set FILE SECTION KEY VALUE",
         "read or write one key of an INI file with Lumar's rules", RunIni},
        {"request",
         "--hoster N [--input TITLE=VALUE]... [--ca-file FILE] "
         "[--connect-to HOST:PORT:ADDR:PORT]... FILE",
         "print the exact upload request for FILE to hoster row N", RunRequest},
        {"upload",
         "[--hoster N] [--html|--markdown] [--center|--no-center] [--split N [--part K]] "
         "[--timeout S] [--connections N] [--no-reuse] [--own-thumbs|--no-own-thumbs] "
         "[--fallback ID] [--max-size N] [--quality Q] [--strip|--no-strip] [--input "
         "TITLE=VALUE]... [--ca-file FILE] "
         "[--connect-to HOST:PORT:ADDR:PORT]... [--name NAME] PATH... (- for standard input)",
         "upload the pictures under PATH (- reads one from standard input) and print the "
         "posting (log on stderr)",
         RunUpload},
        {"jpeg-info", "FILE...",
         "is_jpeg, width, height, bytes and path of each file, tab-separated", RunJpegInfo},
        {"list", "PATH...",
         "add files and folders as a drop would; print text, folder, width, height, kB of each row",
         RunList},
        {"hoster", "list | import FILE... | export ROW [FILE] [--with-secrets] | delete ROW",
         "list the hoster rows (number, ID, origin, name); take in, write out or remove .sxcu "
         "host definitions",
         RunHoster},
        {"probe",
         "--hoster N|ID [--input TITLE=VALUE]... [--ca-file FILE] "
         "[--connect-to HOST:PORT:ADDR:PORT]... [FILE]",
         "upload FILE (or a small generated JPEG) to one row and show the request "
         "head, the answer, the fields read from it and the code",
         RunProbe},
        {"history",
         "list [--since YYYY-MM-DD] [--hoster N|ID] [--json] | search TEXT [--json] | "
         "posting ID... [--html|--markdown] [--center|--no-center] [--split N [--part K]] | "
         "forget ID... | delete ID...",
         "past uploads (ID, date, hoster, file, code), newest first; a posting from some of "
         "them; remove entries from the history (the images stay on the host); delete images "
         "on their hosts (or print the deletion page to open)",
         RunHistory},
    };
    return commands;
}

namespace {

void PrintUsage(std::ostream& out) {
    out << "Usage: lumar-cli [--config-dir DIR] COMMAND [ARGS...]\n"
           "       lumar-cli --help | --version\n\n"
           "Commands:\n";
    for (const Command& c : Commands()) {
        out << "  " << c.name << " " << c.synopsis << "\n      " << c.description << "\n";
    }
    out << "\nOptions:\n"
           "  --config-dir DIR  folder holding Lumar.ini, language.ini and hosters.ini\n"
           "                    (default: $LUMAR_CONFIG_DIR, the program folder when it is\n"
           "                    writable and no system folder like /usr/bin, else\n"
           "                    ~/.config/lumar)\n"
           "  --help            show this text\n"
           "  --version         show the version\n";
}

}  // namespace

std::string CommandUsage(const std::string& name) {
    for (const Command& c : Commands())
        if (name == c.name) return name + " takes: " + c.synopsis;
    return name;
}

int UsageError(const std::string& message) {
    if (!message.empty()) std::cerr << "lumar-cli: " << message << "\n";
    PrintUsage(std::cerr);
    return 2;
}

}  // namespace lumar::cli

int main(int argc, char** argv) {
    using namespace lumar::cli;
    lumar::ReserveStandardDescriptors();
    std::string configDir;
    Args rest;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(std::cout);
            return 0;
        }
        if (arg == "--version") {
            std::cout << "lumar-cli " << LUMAR_VERSION << "\n";
            return 0;
        }
        if (arg == "--config-dir") {
            if (i + 1 >= argc) return UsageError("--config-dir needs a folder");
            configDir = argv[++i];
        } else if (arg.rfind("--config-dir=", 0) == 0) {
            configDir = arg.substr(std::strlen("--config-dir="));
        } else {
            rest.push_back(arg);
        }
    }
    if (rest.empty()) return UsageError("no command given");
    for (const Command& c : Commands()) {
        if (rest.front() == c.name) {
            lumar::InitConfigFolder(configDir);
            // Said once up front: otherwise the upload totals and other settings would be
            // dropped without a word.
            if (const std::string problem = lumar::SettingsFolderProblem(lumar::ConfigFolder());
                !problem.empty())
                std::cerr << "lumar-cli: settings cannot be saved in " << lumar::ConfigFolder()
                          << " (" << problem << ")\n";
            return c.run(Args(rest.begin() + 1, rest.end()));
        }
    }
    return UsageError("unknown command '" + rest.front() + "'");
}

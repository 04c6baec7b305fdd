// lumar-cli hoster: the rows of the hoster table, and host definitions (.sxcu) taken in,
// written out and removed.
#include <iostream>

#include "cli/cli_command.h"
#include "cli/cli_upload_support.h"
#include "hosters/hoster_definition.h"
#include "hosters/hoster_rows.h"
#include "shell/config_paths.h"
#include "shell/file_io.h"
#include "shell/plain_text.h"

namespace lumar::cli {
namespace {

const std::string kHosterUsage = CommandUsage("hoster");
const char* OriginName(RowOrigin origin) {
    switch (origin) {
        case RowOrigin::kBuiltIn:
            return "built-in";
        case RowOrigin::kHostersIni:
            return "hosters.ini";
        case RowOrigin::kDefinition:
            return "own";
        case RowOrigin::kPreset:
            return "preset";
    }
    return "";
}

int List(const HosterTable& table) {
    for (int row = 1; row <= table.Count(); ++row) {
        const HosterDef& h = table.Row(row);
        std::cout << row << "\t" << Printable(h.Id) << "\t" << OriginName(h.Origin) << "\t"
                  << Printable(h.Name) << "\n";
    }
    return 0;
}

int Import(HosterTable table, const Args& files) {
    if (files.empty()) return UsageError(kHosterUsage);
    int status = 0;
    for (const std::string& file : files) {
        const DefinitionImport done = ImportDefinition(ConfigFolder(), AbsolutePath(file), table);
        if (!done.failure.empty()) {
            std::cerr << "lumar-cli: " << file << ": refused: " << done.failure << "\n";
            status = 1;
            continue;
        }
        std::cout << file << "\t" << done.id << "\n";
        // Later files of the same name must not take this one's ID.
        HosterDef taken;
        taken.Id = done.id;
        taken.Origin = RowOrigin::kDefinition;
        table.Hosters.push_back(std::move(taken));
    }
    return status;
}

int Export(const HosterTable& table, const Args& args) {
    std::vector<std::string> positional;
    Secrets secrets = Secrets::kOmit;
    for (const std::string& a : args) {
        if (a == "--with-secrets")
            secrets = Secrets::kKeep;
        else if (!a.empty() && a[0] == '-')
            return UsageError(kHosterUsage);
        else
            positional.push_back(a);
    }
    if (positional.empty() || positional.size() > 2) return UsageError(kHosterUsage);
    const int row = HosterRowFromText(table, positional[0]);
    if (row < 1) return UsageError("no hoster row " + positional[0]);
    const SharedDefinition shared = ShareDefinition(table.Row(row), secrets);
    if (!shared.blanked.empty()) {
        std::string names;
        for (const std::string& name : shared.blanked) names += (names.empty() ? "" : ", ") + name;
        std::cerr << "lumar-cli: keys left empty (--with-secrets keeps them): " << Printable(names)
                  << "\n";
    }
    if (positional.size() == 1) {
        std::cout << shared.text << std::flush;
        return std::cout ? 0 : 1;
    }
    const std::string path = AbsolutePath(positional[1]);
    if (const std::string problem = WriteFileAtomically(path, shared.text, Flush::kYes, true);
        !problem.empty()) {
        std::cerr << "lumar-cli: " << path << ": " << problem << "\n";
        return 1;
    }
    return 0;
}

int Delete(const HosterTable& table, const Args& args) {
    if (args.size() != 1) return UsageError(kHosterUsage);
    const int row = HosterRowFromText(table, args[0]);
    if (row < 1) return UsageError("no hoster row " + args[0]);
    if (const std::string problem = DeleteDefinition(ConfigFolder(), table.Row(row));
        !problem.empty()) {
        std::cerr << "lumar-cli: " << args[0] << ": " << problem << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int RunHoster(const Args& args) {
    if (args.empty()) return UsageError(kHosterUsage);
    const Args rest(args.begin() + 1, args.end());
    const std::string& action = args[0];
    if (action == "list" && rest.empty()) return List(LoadCliHosters());
    if (action == "import") return Import(LoadCliHosters(), rest);
    if (action == "export") return Export(LoadCliHosters(), rest);
    if (action == "delete") return Delete(LoadCliHosters(), rest);
    return UsageError(kHosterUsage);
}

}  // namespace lumar::cli

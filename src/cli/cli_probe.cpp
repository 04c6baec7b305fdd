// lumar-cli probe: one upload to a row with everything shown, for writing and checking host
// definitions.
#include <atomic>
#include <iostream>

#include "cli/cli_command.h"
#include "cli/cli_upload_support.h"
#include "shell/config_paths.h"
#include "shell/settings_keys.h"
#include "upload/probe.h"

namespace lumar::cli {

constexpr const char* kProbeUsage =
    "probe takes: --hoster N|ID [--ca-file FILE] [--connect-to HOST:PORT:ADDR:PORT]... [FILE]";

int RunProbe(const Args& args) {
    std::string hosterText;
    std::string file;
    StandardUploadOptions options;
    options.transport = TransportFromSettings(SettingsFile());
    options.timeout = std::chrono::seconds(ReadIntSetting(SettingsFile(), keys::Timeout));
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionTaken transport = TakeTransportOption(args, i, options.transport);
        if (transport == OptionTaken::Bad) return 2;
        if (transport == OptionTaken::Yes) continue;
        if (args[i] == "--hoster" && i + 1 < args.size()) {
            hosterText = args[++i];
        } else if (file.empty() && !args[i].empty() && args[i][0] != '-') {
            file = args[i];
        } else {
            return UsageError(kProbeUsage);
        }
    }
    if (hosterText.empty()) return UsageError(kProbeUsage);
    const HosterTable table = LoadCliHosters();
    const int hoster = ParseHosterNumber(hosterText, table);
    if (hoster < 1)
        return UsageError("--hoster takes a row number from 1 to " + std::to_string(table.Count()) +
                          " or a row ID");

    // Ctrl+C cancels the exchange, so the generated image's folder is still removed.
    std::atomic<bool> interrupted{false};
    const InterruptToFlag interrupt(interrupted);
    options.control.abortFlag = &interrupted;
    const ProbeResult result =
        Probe(table.Row(hoster), file.empty() ? "" : AbsolutePath(file), options);
    std::cout << ProbeReportText(result) << std::flush;
    return result.Ok() && std::cout ? 0 : 1;
}

}  // namespace lumar::cli

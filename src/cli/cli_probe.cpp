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

const std::string kProbeUsage = CommandUsage("probe");
int RunProbe(const Args& args) {
    StandardUploadOptions options = ExchangeOptionsFromSettings(SettingsFile());
    RowAndFile chosen;
    if (const int usage =
            ParseRowAndFile(args, kProbeUsage.c_str(), false, options.transport, chosen))
        return usage;

    // Ctrl+C cancels the exchange, so the generated image's folder is still removed.
    std::atomic<bool> interrupted{false};
    const InterruptToFlag interrupt(interrupted);
    options.control.abortFlag = &interrupted;
    options.answers = chosen.answers;
    const ProbeResult result = Probe(chosen.table.Row(chosen.hoster),
                                     chosen.file.empty() ? "" : AbsolutePath(chosen.file), options);
    std::cout << ProbeReportText(result) << std::flush;
    return result.Ok() && std::cout ? 0 : 1;
}

}  // namespace lumar::cli

#include "session/run_setup.h"

#include <utility>

#include "shell/settings_keys.h"

namespace lumar {

TransportOptions TransportFromSettings(const std::string& settingsFile) {
    TransportOptions out;
    out.proxy = ProxyFromSetting(ReadTextSetting(settingsFile, keys::Proxy),
                                 ReadTextSetting(settingsFile, keys::NoProxy));
    return out;
}

PostingOptions PostingOptionsFromSettings(const std::string& settingsFile,
                                          const PostingChoice& choice) {
    PostingOptions posting;
    posting.format = choice.format.value_or(
        static_cast<PostingFormat>(ReadIntSetting(settingsFile, keys::Code)));
    posting.imagesPerLine = ReadIntSetting(settingsFile, keys::ImagesPerLine);
    posting.center = choice.center.value_or(ReadIntSetting(settingsFile, keys::Center) == 1);
    posting.split = choice.split || ReadIntSetting(settingsFile, keys::Split) == 1;
    posting.splitSize = choice.split.value_or(ReadIntSetting(settingsFile, keys::SplitSize));
    posting.selectedPart = choice.part.value_or(1) - 1;
    return posting;
}

StandardUploadOptions ExchangeOptionsFromSettings(const std::string& settingsFile) {
    StandardUploadOptions options;
    options.transport = TransportFromSettings(settingsFile);
    options.timeout = std::chrono::seconds(ReadTimeoutSeconds(settingsFile));
    return options;
}

RunSetup::RunSetup(const Session& session, int hosterIndex, RunOverrides overrides)
    : settings_(session.SettingsFile()) {
    const std::string& file = session.SettingsFile();
    options_.hosterIndex = hosterIndex;
    options_.settings = &settings_;
    if (overrides.timeoutSeconds)
        options_.timeoutSeconds = ClampTimeoutSeconds(*overrides.timeoutSeconds);
    options_.connections = overrides.connections;
    options_.transport = TransportFromSettings(file);
    options_.transport.caFile = std::move(overrides.caFile);
    options_.transport.connectTo = std::move(overrides.connectTo);
    options_.reuse = !overrides.noReuse && ReadIntSetting(file, keys::Reuse) == 1;
    const bool standardRow = session.Hosters().Row(hosterIndex).Request == RequestKind::kStandard;
    options_.processing = ProcessingFor(file, standardRow, overrides.processing);
    options_.answers = std::move(overrides.answers);
    options_.ownThumbSide = OwnThumbSide(file, overrides.ownThumbs);
    options_.fallbackId = overrides.fallbackId.value_or(ReadTextSetting(file, keys::Ersatz));
    if (history_.Open(HistoryFile(session.Paths().configFolder)) == HistoryOpening::kReplacedBroken)
        options_.historySetAside = history_.SetAsidePath();
    options_.history = &history_;
}

}  // namespace lumar

#pragma once
// A run as both front ends set it up: the row, what Lumar.ini says, the history, and what the
// front end chose over them. The window and lumar-cli then differ only in what they show.
#include <optional>
#include <string>
#include <vector>

#include "hosters/answer_template.h"
#include "imagelist/image_processing.h"
#include "posting/posting_builder.h"
#include "session/session.h"
#include "upload/run_settings.h"
#include "upload/standard_upload.h"
#include "upload/transport_options.h"
#include "upload/upload_run.h"

namespace lumar {

// What a front end may choose over the settings for one run (lumar-cli's options, the
// window's answers to the row's questions).
struct RunOverrides {
    std::optional<int> timeoutSeconds;  // clamped to the key's range
    std::optional<int> connections;
    bool noReuse = false;
    ProcessingChoice processing;
    std::string caFile;
    std::vector<ConnectTo> connectTo;
    PromptAnswers answers;
    std::optional<bool> ownThumbs;          // over Posting/OwnThumbs
    std::optional<std::string> fallbackId;  // over Bilder/Ersatz, checked by the front end
};

// The posting options a front end may choose; what it leaves out comes from Lumar.ini.
struct PostingChoice {
    std::optional<PostingFormat> format;
    std::optional<bool> center;
    std::optional<int> split, part;  // images per part, the part shown (from 1)
};

// The transport Lumar.ini asks for: its proxy (Proxy, NoProxy), else the environment's.
TransportOptions TransportFromSettings(const std::string& settingsFile);

// The posting options as the code panel's controls would hold them: `choice` over Lumar.ini.
PostingOptions PostingOptionsFromSettings(const std::string& settingsFile,
                                          const PostingChoice& choice = {});

// One exchange with a host outside a run (a deletion on the host, a probe) over the settings'
// transport and time-out.
StandardUploadOptions ExchangeOptionsFromSettings(const std::string& settingsFile);

// One run's options and the history it records in. The history is opened per run, so the
// other program's uploads in between are seen; a damaged file is moved aside on its first
// opening, and the run's log says so first.
class RunSetup {
  public:
    RunSetup(const Session& session, int hosterIndex, RunOverrides overrides = {});
    RunSetup(const RunSetup&) = delete;
    RunSetup& operator=(const RunSetup&) = delete;

    // Ready to run; the front end adds only what it shows (the totals on display).
    UploadRunOptions& Options() { return options_; }

  private:
    SettingsFileForRun settings_;
    HistoryStore history_;
    UploadRunOptions options_;
};

}  // namespace lumar

#pragma once
// What one session of Lumar works on: the image list, the text blocks, the posting state, the
// hoster table, the interface texts and the settings paths. The entry point owns it and hands
// it to the window and the panels, which work on it rather than keep copies or read the
// settings folder from globals; lumar-cli's upload works on one as well.
#include <string>

#include "hosters/hoster_table.h"
#include "imagelist/image_list.h"
#include "imagelist/text_blocks.h"
#include "posting/posting_builder.h"
#include "shell/config_paths.h"
#include "shell/language_table.h"

namespace lumar {

// Where the session's settings live.
struct SessionPaths {
    std::string configFolder;
    std::string settingsFile;    // Lumar.ini
    std::string languageFile;    // the texts as found (the folder's language.ini, else shipped)
    std::string hostersFile;     // hosters.ini
    std::string dataFolder;      // the data folder (presets, texts), see DataFolder()
    std::string capturesFolder;  // screenshots and pasted pictures, see CapturesFolder()

    // The folder chosen at start-up (InitConfigFolder).
    static SessionPaths FromConfigFolder();
};

class Session {
  public:
    explicit Session(SessionPaths paths) : paths_(std::move(paths)) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    [[nodiscard]] const SessionPaths& Paths() const { return paths_; }
    [[nodiscard]] const std::string& SettingsFile() const { return paths_.settingsFile; }
    [[nodiscard]] const std::string& LanguageFile() const { return paths_.languageFile; }

    ImageList& List() { return list_; }
    TextBlocks& Blocks() { return blocks_; }
    PostingState& Posting() { return posting_; }
    HosterTable& Hosters() { return hosters_; }
    [[nodiscard]] const HosterTable& Hosters() const { return hosters_; }
    UiStrings& Strings() { return strings_; }
    [[nodiscard]] const UiStrings& Strings() const { return strings_; }

  private:
    SessionPaths paths_;
    ImageList list_;
    TextBlocks blocks_;
    PostingState posting_;
    HosterTable hosters_;
    UiStrings strings_;
};

}  // namespace lumar

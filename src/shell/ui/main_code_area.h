#pragma once
// The code panel's place in the main window: the area where `picCode` shows the finished
// posting after a run. The window talks to the posting's panel only through this class.
#include <QWidget>
#include <span>

#include "imagelist/image_entry.h"
#include "imagelist/text_blocks.h"
#include "posting/posting_builder.h"
#include "shell/language_table.h"

class QPlainTextEdit;
class QPushButton;

namespace lumar::ui {

class CodeArea : public QWidget {
    Q_OBJECT
public:
    CodeArea(PostingState& posting, TextBlocks& blocks, QWidget* parent = nullptr);

    // Start-up: the panel's options from the settings file, with the handlers a click runs.
    void RestoreSettings(const std::string& settingsFile);
    void SetStrings(const UiStrings* strings) { strings_ = strings; }
    // After CollectPosting: centre, convert and split the posting as the options say, show it.
    void FinishPosting(std::span<const ImageEntry> rows);
    // The button that stops the end-of-upload sound.
    void SetStopVisible(bool visible);
    QString ShownText() const;

signals:
    // "Schliessen": the list comes back.
    void closeRequested();

private:
    PostingState& posting_;
    TextBlocks& blocks_;
    const UiStrings* strings_ = nullptr;
    std::string settingsFile_;
    QPlainTextEdit* txcode_;
    QPushButton* cmClose_;
    QPushButton* cmStop_;
};

}  // namespace lumar::ui

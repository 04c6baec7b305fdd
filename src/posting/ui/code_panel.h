#pragma once
// picCode: the panel of the main window that shows the finished posting. It offers BBCode,
// HTML or Markdown output, centring, images per line and splitting into parts, copies the text
// to the clipboard (on request, or at the end of every run) or saves it as a .vbc file, and
// closes again, storing its options. All text work is the posting builder's; this panel wires
// its controls to it.
//
// The main window embeds the panel in the area the image list and the upload panel share,
// calls RestoreSettings once at start-up and ShowFinishedPosting at the end of every upload
// run, and shows the list again on closeRequested.
#include <QWidget>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "imagelist/image_entry.h"
#include "imagelist/text_blocks.h"
#include "posting/posting_builder.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace lumar {
class ImageList;
class UiStrings;
}  // namespace lumar

namespace lumar::ui {

class Dialogs;

class CodePanel : public QWidget {
    Q_OBJECT
  public:
    // The state and the blocks must outlive the panel.
    // `settingsFile` holds the panel's options until RestoreSettings names it again.
    CodePanel(PostingState& posting, const TextBlocks& blocks, std::string settingsFile,
              QWidget* parent = nullptr);
    ~CodePanel() override;

    // The image list whose rows a click on an output option rebuilds the posting from, and
    // that the split controls split. Without a list the posting is built from no rows.
    void SetImageList(ImageList* list) { list_ = list; }
    // Message texts (part label, advertising line, save-dialog title); the German defaults
    // while none are set. The table must outlive the panel.
    void SetStrings(const UiStrings* strings) { strings_ = strings; }
    void SetDialogs(std::shared_ptr<Dialogs> dialogs);
    // Stops the end-of-upload sound ("Schliessen" and the stop button).
    void SetStopSound(std::function<void()> stop) { stopSound_ = std::move(stop); }
    void SetStopVisible(bool visible);
    // Captions of section Frame2 of the language file.
    void ApplyLanguage(const std::string& languageFile);
    // The two texts of the panel that are messages, not Frame2 captions: the label before the
    // output formats and the stop button's tool tip.
    void ApplyMessageTexts(const UiStrings& strings);

    // Start-up: the options from the settings file (also the file the panel writes to and
    // exports with), each assignment running the handler a user's click would run.
    void RestoreSettings(const std::string& settingsFile);

    // The end of an upload run: the posting FinishPosting built with this panel's Options(),
    // copied as "Clipboard" would copy it when the auto-copy box is checked.
    void ShowFinishedPosting(const PostingView& view);
    // Whether ShowFinishedPosting puts the posting into the clipboard.
    [[nodiscard]] bool AutoCopy() const;

    // The state of the option controls, as the builder takes it.
    [[nodiscard]] PostingOptions Options() const;
    [[nodiscard]] QString ShownText() const;
    // ExportText for the shown text, as "Clipboard" and "Speichern...." take it.
    [[nodiscard]] std::string ExportedText() const;

  signals:
    // "Schliessen": the panel is hidden and the image list is to come back.
    void CloseRequested();
    // A rebuild from the rows cleared the check marks of marker rows.
    void RowChecksChanged();
    // What a copy or a save did, for the status line.
    void StatusMessage(const QString& text);

  private:
    void BuildControls();
    void BuildOptionsBox();
    void BuildCodeBox();
    QHBoxLayout* BuildButtons();
    void ConnectControls();
    void Show(const PostingView& view);
    [[nodiscard]] PostingTexts Texts() const;
    std::span<const ImageEntry> RowsView();
    void OnOutputFormat();
    [[nodiscard]] int SelectedFormat() const;
    void OnCenterToggled(bool on);
    void OnSplitToggled(bool on);
    void OnSplitSizeEdited(const QString& text);
    void OnSplitSizeEnter();
    void OnPartActivated(int index);
    // The status text after `text` was copied or saved: its characters, with the number
    // grouping of the interface's locale, and the part when a part is shown.
    [[nodiscard]] QString ExportedSummary(int wholeEntry, int partEntry,
                                          const std::string& text) const;
    void OnClipboard();
    void OnSave();
    void OnClose();
    bool eventFilter(QObject* watched, QEvent* event) override;

    PostingState& posting_;
    const TextBlocks& blocks_;
    ImageList* list_ = nullptr;
    std::vector<ImageEntry> rowsCopy_;  // the list's rows while the builder walks them
    const UiStrings* strings_ = nullptr;
    std::shared_ptr<Dialogs> dialogs_;
    std::function<void()> stopSound_;
    std::string settingsFile_;

    QGroupBox* fSplit_;
    QRadioButton* opCode_[3];  // indexes as Posting/Code stores them
    QButtonGroup* opCodeGroup_;
    QCheckBox* ckCenter_;
    QCheckBox* ckSplit_;
    QLabel* lbPic2_;
    QLabel* lbPic3_;
    QLineEdit* txSplitSize_;
    QComboBox* cbSplit_;
    QLabel* lbPerLine_;
    QSpinBox* spPerLine_;
    QCheckBox* ckAutoCopy_;
    QPlainTextEdit* txcode_;
    QLineEdit* txdummy_;
    QPushButton* cmCode_[3];
    QPushButton* cmStop_;
};

}  // namespace lumar::ui

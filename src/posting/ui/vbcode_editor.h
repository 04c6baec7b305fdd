#pragma once
// frmVBCode: the small modal editor for the user's own text blocks. Buttons insert BBCode tags
// or wrap them around the selection; the text can be saved to and loaded from .vbc files;
// "Übernehmen" stores it as a new text block or over the block being changed and remembers
// the font, size, colour and placement choices. Closing the window any other way stores
// nothing.
//
// Inside the text box line breaks are single "\n"; stored blocks and .vbc files carry CR LF
// like the rest of the posting.
#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "imagelist/text_blocks.h"
#include "posting/text_block_editing.h"

class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace lumar {
class UiStrings;
}

namespace lumar::ui {

class Dialogs;

// What the editor needs from the program: the session's settings and language files; empty
// further members fall back to German texts and modal dialogs.
struct VbCodeEditorEnv {
    std::string settingsFile;
    std::string languageFile;
    const UiStrings* strings = nullptr;
    std::shared_ptr<Dialogs> dialogs;
};

class VbCodeEditor : public QDialog {
    Q_OBJECT
  public:
    // New: an empty text becomes a new block. Change: the text of block `editIndex` is shown
    // and "Übernehmen" replaces it. The blocks must outlive the editor.
    VbCodeEditor(TextBlocks& blocks, TextBlockEditMode mode, int editIndex, VbCodeEditorEnv env,
                 QWidget* parent = nullptr);
    ~VbCodeEditor() override;

    // The number of the block "Übernehmen" stored, nullopt while nothing was stored.
    [[nodiscard]] std::optional<int> StoredBlock() const { return stored_; }
    // The placement option as chosen ("davor" / "danach").
    [[nodiscard]] TextBlockPlacement Placement() const;

  private:
    void BuildControls();
    QGroupBox* BuildFontBox();
    QHBoxLayout* BuildStyleRow(QGroupBox* frameFont);
    QGroupBox* BuildInsertBox();
    void BuildTextBox();
    QHBoxLayout* BuildBottomRow();
    void FillLists();
    [[nodiscard]] EditorText Current() const;
    void Apply(const EditorText& edit);
    void OnStyle(int index);
    void OnInsert(int index);
    void OnSave();
    void OnLoad();
    void OnTakeOver();
    QString String(int entry, const char* fallback) const;
    void ReportFileError(const QString& path, const std::string& reason, bool saving);

    TextBlocks& blocks_;
    TextBlockEditMode mode_;
    int editIndex_;
    VbCodeEditorEnv env_;
    std::optional<int> stored_;

    QPushButton* cmdFont_[4];
    QPushButton* cmdPaste_[5];
    QComboBox* cbFont_;
    QComboBox* cbSize_;
    QComboBox* cbColor_;
    QPlainTextEdit* txInfo_;
    QRadioButton* opAusrichung_[2];
    QPushButton* cmOK_[3];
};

// Line breaks of stored text (CR LF) as the text box holds them ("\n"), and back.
std::string TextForBox(std::string_view stored);
std::string TextFromBox(std::string_view boxText);

// The outcome of one opening of the editor for the image list's text-block command.
struct TextBlockEditOutcome {
    std::optional<int> storedBlock;  // the block stored by "Übernehmen", else nullopt
    TextBlockPlacement placement = TextBlockPlacement::kBefore;  // valid when a block was stored
};

// Opens the editor modally over `owner`: New writes a new block (its row goes before or after
// the current row as the outcome's placement says); Change edits block `editIndex`.
TextBlockEditOutcome EditTextBlock(QWidget* owner, TextBlocks& blocks, TextBlockEditMode mode,
                                   int editIndex, VbCodeEditorEnv env = {});

}  // namespace lumar::ui

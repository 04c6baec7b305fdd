#pragma once
// The frame "-> Bilder" of the main window: the image list `lvBilder`, the six list commands
// `cmBilder_0`..`cmBilder_5`, the preview switch `ckBilder` and the preview `picPreview`, and
// the list's context menu `mnBilder`.
//
// The panel works on the core ImageList and TextBlocks of the main window. The dialogs it
// opens (file choice, folder browser, text-block editor) and its message boxes come in as
// functions, so the window wires the real ones and tests answer them directly.
#include <QGroupBox>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imagelist/add_images.h"
#include "imagelist/image_list.h"
#include "imagelist/text_blocks.h"
#include "shell/language_table.h"

class QAction;
class QCheckBox;
class QMenu;
class QPushButton;

namespace lumar::ui {

class ImageListModel;
class ImageListView;
class Dialogs;
class PreviewBox;

struct ImageListPanelEnv {
    ImageList* list = nullptr;
    TextBlocks* blocks = nullptr;
    const UiStrings* strings = nullptr;
    std::string settingsFile;
    char decimalSeparator = '.';
    // Message boxes and the file dialog of command 0.
    std::shared_ptr<Dialogs> dialogs;
    // Command 1: the folder browser, modal; it appends the rows of the chosen folder itself.
    std::function<void(QWidget* owner)> browseFolder;
    // Command 4: the text-block editor, modal. Change mode edits block `editIndex`. Returns
    // true when the user took the text over ("Übernehmen"); `placement` then holds the choice.
    std::function<bool(QWidget* owner, TextBlockEditMode mode, int editIndex,
                       TextBlockPlacement* placement)>
        editTextBlock;
    // Where pasted picture data is kept (see CapturesFolder()).
    std::string capturesFolder;
};

class ImageListPanel : public QGroupBox {
    Q_OBJECT
  public:
    explicit ImageListPanel(ImageListPanelEnv env, QWidget* parent = nullptr);
    ~ImageListPanel() override;

    // The click handler of the button array `cmBilder` (0..5).
    void Command(int index);

    // Start-up: sets `ckBilder` from the Preview setting, running its click handler when the
    // state changes, as a user's click would.
    void RestorePreviewSetting();
    // Start-up: the caption `cmBilder_4` carries now is the insert-mode caption (entry 19).
    void SetStrings(const UiStrings* strings) { env_.strings = strings; }

    [[nodiscard]] int PreviewRowIndex() const { return previewRowIndex_; }
    void ResetPreviewRowIndex() { previewRowIndex_ = -1; }

    // Buttons 2 to 5 follow the row count; with rows the summary is refreshed.
    void EnableListButtons();
    // The status-bar summary of the list (emits summaryChanged).
    void UpdateListSummary();
    // Shows the rows' latest fields after the upload run edited them.
    void RowsEdited(int firstPosition, int lastPosition);
    // Adds the paths as a drop onto the list would.
    void AddDroppedPaths(const QStringList& paths);
    // Repaints the row bands (after the window was activated or the list changed).
    void StripeList();
    // Ctrl+V and the menu's "Einfügen": copied files as a drop, picture data as a new file.
    void Paste();
    // The captions taken from the message table (after it was loaded).
    void ApplyMessageTexts();

    // Remembers what a folder scan left out; named on the status line once the rows are in.
    void NoteScanProblem(const ScanProblem& problem) { scanProblems_.push_back(problem); }

    [[nodiscard]] ImageListView* ListView() const { return lvBilder_; }

    // The entries of the context menu, in their order; a window adds its own with
    // AddContextEntry (they come after the list's own entries, behind a separator).
    void AddContextEntry(QAction* action);
    [[nodiscard]] PreviewBox* Preview() const { return picPreview_; }

  signals:
    void SummaryChanged(const QString& text);
    // The folders and files the last scan left out, for the status line.
    void ScanProblemsFound(const QString& text);
    // Any other news for the status line (what a paste added, or why it added nothing).
    void StatusMessage(const QString& text);
    // The button "Bildschirmfoto…" or its menu entry; the window asks the desktop.
    void ScreenshotRequested();

  private:
    [[nodiscard]] QString Str(int entry) const;
    void RefreshPreview(int position);
    void DrawRow(int position);
    void ClearPreview();
    void AfterRowsAdded();
    // With the preview on and nothing shown yet, shows the current row when it is an image.
    void PreviewFirstImage();
    // Buttons 2 to 5 by the row count alone (no summary, no view refresh).
    void EnableButtonsForRowCount();
    void SetTextBlockCaption(bool changeMode);
    void OnPreviewClicked();
    void OnListClicked();
    void OnListKey(int key, Qt::KeyboardModifiers modifiers);
    void OnHeaderClicked(int column);
    void OnPreviewDoubleClicked();
    void AddImages();
    void AddFolder();
    void ClearList();
    void RemoveSelected();
    void TextBlock();
    void InsertBreak();
    void MoveRows(int before);
    void MoveRowsBy(int step);
    void AfterRowsMoved(bool moved);
    // Fills `mnBilder` anew for the present rows and shows it at `pos` of the list.
    void ShowContextMenu(const QPoint& pos);
    void FocusList();
    void ShowScanProblems();

    ImageListPanelEnv env_;
    ImageList& list_;
    ImageListModel* model_;
    ImageListView* lvBilder_;
    PreviewBox* picPreview_;
    QCheckBox* ckBilder_;
    std::array<QPushButton*, 6> cmBilder_{};
    QMenu* mnBilder_;
    std::vector<QPointer<QAction>> extraEntries_;
    QPushButton* cmScreenshot_;
    QAction* pasteAction_;
    QAction* screenshotAction_;
    int previewRowIndex_ = -1;
    // While files are added with events pumped: list commands and further drops wait, and
    // the cursor shows the window is busy.
    bool adding_ = false;
    QStringList pendingDrops_;
    std::vector<ScanProblem> scanProblems_;
    class AddingRows {
      public:
        explicit AddingRows(ImageListPanel& panel);
        ~AddingRows();
        AddingRows(const AddingRows&) = delete;
        AddingRows& operator=(const AddingRows&) = delete;

      private:
        ImageListPanel& panel_;
    };
};

}  // namespace lumar::ui

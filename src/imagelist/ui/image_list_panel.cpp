#include "imagelist/ui/image_list_panel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <utility>

#include "imagelist/add_images.h"
#include "imagelist/ui/image_list_delegate.h"
#include "imagelist/ui/image_list_model.h"
#include "imagelist/ui/image_list_view.h"
#include "imagelist/ui/pasted_pictures.h"
#include "imagelist/ui/preview.h"
#include "shell/language_table.h"
#include "shell/multi_file_name.h"
#include "shell/settings_keys.h"
#include "shell/ui/desktop_services.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

const char* const kButtonCaptions[6] = {"Bild(er) hinzufügen", "Verzeichnis hinzufügen",
                                        "Liste löschen",       "Bild(er) entfernen",
                                        "VBCode einfügen",     "Umbruch einfügen"};

bool NoShiftCtrlAlt(Qt::KeyboardModifiers m) {
    return !(m & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
}

void PumpWindowEvents() {
    QCoreApplication::processEvents();
}

}  // namespace

ImageListPanel::ImageListPanel(ImageListPanelEnv env, QWidget* parent)
    : QGroupBox(parent), env_(std::move(env)), list_(*env_.list) {
    setObjectName("Frame_0");
    setTitle("-> Bilder");

    model_ = new ImageListModel(list_, env_.decimalSeparator, this);
    lvBilder_ = new ImageListView(this);
    lvBilder_->SetListModel(model_);
    lvBilder_->setItemDelegate(new ImageListDelegate(list_, env_.strings, lvBilder_));
    picPreview_ = new PreviewBox(this);
    picPreview_->setFixedSize(200, 150);
    ckBilder_ = new QCheckBox("Vorschau", this);
    ckBilder_->setObjectName("ckBilder");

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setSpacing(4);
    grid->addWidget(lvBilder_, 0, 0, 3, 1);
    grid->addWidget(ckBilder_, 0, 1);
    grid->addWidget(picPreview_, 1, 1, Qt::AlignTop);
    auto* buttons = new QGridLayout;
    buttons->setSpacing(3);
    for (int i = 0; i < 6; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(kButtonCaptions[i]), this);
        cmBilder_[static_cast<size_t>(i)] = button;
        button->setObjectName(QStringLiteral("cmBilder_%1").arg(i));
        button->setAutoDefault(false);
        buttons->addWidget(button, i / 3, i % 3);
        connect(button, &QPushButton::clicked, this, [this, i] { Command(i); });
    }
    grid->addLayout(buttons, 3, 0, 1, 2);
    cmScreenshot_ = new QPushButton(this);
    cmScreenshot_->setObjectName("cmScreenshot");
    cmScreenshot_->setAutoDefault(false);
    grid->addWidget(cmScreenshot_, 2, 1, Qt::AlignBottom);
    connect(cmScreenshot_, &QPushButton::clicked, this, &ImageListPanel::ScreenshotRequested);
    pasteAction_ = new QAction(lvBilder_);
    pasteAction_->setObjectName("actPaste");
    connect(pasteAction_, &QAction::triggered, this, &ImageListPanel::Paste);
    screenshotAction_ = new QAction(lvBilder_);
    screenshotAction_->setObjectName("actScreenshot");
    connect(screenshotAction_, &QAction::triggered, this, &ImageListPanel::ScreenshotRequested);
    AddContextEntry(pasteAction_);
    AddContextEntry(screenshotAction_);
    ApplyMessageTexts();
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(2, 1);

    connect(ckBilder_, &QCheckBox::clicked, this, &ImageListPanel::OnPreviewClicked);
    connect(lvBilder_, &QAbstractItemView::clicked, this, &ImageListPanel::OnListClicked);
    connect(lvBilder_, &ImageListView::KeyAboutToBeHandled, this, &ImageListPanel::OnListKey);
    connect(lvBilder_, &ImageListView::PasteRequested, this, &ImageListPanel::Paste);
    // Queued: the rows are added once the drop has been answered, so the program the files
    // came from is not kept waiting while a large folder is read.
    connect(lvBilder_, &ImageListView::PathsDropped, this, &ImageListPanel::AddDroppedPaths,
            Qt::QueuedConnection);
    connect(lvBilder_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &ImageListPanel::OnHeaderClicked);
    connect(picPreview_, &PreviewBox::DoubleClicked, this, &ImageListPanel::OnPreviewDoubleClicked);
    connect(lvBilder_, &ImageListView::RowsDropped, this, &ImageListPanel::MoveRows);
    connect(lvBilder_, &ImageListView::RowsStepRequested, this, &ImageListPanel::MoveRowsBy);
    mnBilder_ = new QMenu(this);
    mnBilder_->setObjectName("mnBilder");
    lvBilder_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvBilder_, &QWidget::customContextMenuRequested, this,
            &ImageListPanel::ShowContextMenu);

    StripeList();
    for (size_t i = 2; i < 6; ++i) cmBilder_[i]->setEnabled(false);
}

ImageListPanel::~ImageListPanel() = default;

QString ImageListPanel::Str(int entry) const {
    return env_.strings ? ToQ(env_.strings->Get(entry)) : QString();
}

void ImageListPanel::Command(int index) {
    // Adding many files lets the window handle events; the list commands wait until it ends.
    if (adding_) return;
    switch (index) {
        case 0:
            AddImages();
            break;
        case 1:
            AddFolder();
            break;
        case 2:
            ClearList();
            break;
        case 3:
            RemoveSelected();
            break;
        case 4:
            TextBlock();
            break;
        case 5:
            InsertBreak();
            break;
        default:
            break;
    }
}

void ImageListPanel::RestorePreviewSetting() {
    const bool on = ReadIntSetting(env_.settingsFile, keys::Preview) != 0;
    if (ckBilder_->isChecked() == on) return;
    ckBilder_->setChecked(on);
    OnPreviewClicked();
}

void ImageListPanel::EnableListButtons() {
    lvBilder_->SyncFromList();
    if (!list_.Empty()) UpdateListSummary();
    EnableButtonsForRowCount();
}

void ImageListPanel::EnableButtonsForRowCount() {
    const std::array<bool, 6> enabled = ListButtonsEnabled(list_.Count());
    for (size_t i = 2; i < 6; ++i) cmBilder_[i]->setEnabled(enabled[i]);
}

void ImageListPanel::UpdateListSummary() {
    const ListSummary summary = SummarizeList(list_.Rows());
    emit SummaryChanged(ToQ(ListSummaryText(summary, FromQ(Str(kStrImages)),
                                            FromQ(Str(kStrUploadSize)), env_.decimalSeparator)));
}

void ImageListPanel::RowsEdited(int firstPosition, int lastPosition) {
    model_->RowsEdited(firstPosition, lastPosition);
}

void ImageListPanel::StripeList() {
    StripeListBackground(lvBilder_, ListStripeColor());
}

void ImageListPanel::ApplyMessageTexts() {
    cmScreenshot_->setText(Str(kStrScreenshotButton));
    screenshotAction_->setText(Str(kStrScreenshotButton));
    // The menu shows the key beside the entry; the list takes the key itself (see the view).
    pasteAction_->setText(Str(kStrPaste) + '\t' +
                          QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText));
}

void ImageListPanel::Paste() {
    if (adding_ || !env_.strings) return;
    const PastedPictures pasted =
        TakePastedPictures(QGuiApplication::clipboard()->mimeData(), env_.capturesFolder,
                           *env_.strings, std::time(nullptr));
    if (!pasted.status.isEmpty()) emit StatusMessage(pasted.status);
    if (!pasted.paths.isEmpty()) AddDroppedPaths(pasted.paths);
}

void ImageListPanel::ClearPreview() {
    picPreview_->Clear();
    previewRowIndex_ = -1;
}

void ImageListPanel::RefreshPreview(int position) {
    if (position < 1 || position > list_.Count()) return;
    if (list_.Row(position).IsMarker()) {
        ClearPreview();
        return;
    }
    if (position != previewRowIndex_) DrawRow(position);
}

void ImageListPanel::DrawRow(int position) {
    const std::string file = list_.Row(position).FullPath();
    const QString path = ToQ(file);
    // The position is taken even when drawing fails, so clicking the row again does not
    // repeat the message.
    previewRowIndex_ = position;
    if (!picPreview_->ShowFile(file) && env_.dialogs) {
        const UiStrings german = LoadUiStrings("", "");
        const UiStrings& strings = env_.strings ? *env_.strings : german;
        env_.dialogs->Warn(window(), ToQ(strings.Get(kStrNotAnImageTitle)),
                           ToQ(strings.Get(kStrNotAnImageBefore)) + " " + path + " " +
                               ToQ(strings.Get(kStrNotAnImageAfter)));
    }
}

void ImageListPanel::AfterRowsAdded() {
    lvBilder_->SyncFromList();
    PreviewFirstImage();
    EnableListButtons();
}

void ImageListPanel::PreviewFirstImage() {
    const int current = list_.CurrentRow();
    if (ckBilder_->isChecked() && previewRowIndex_ == -1 && !list_.Empty() && current >= 1 &&
        list_.Row(current).IsImage()) {
        RefreshPreview(current);
        previewRowIndex_ = current;
        FocusList();
    }
}

void ImageListPanel::SetTextBlockCaption(bool changeMode) {
    cmBilder_[4]->setText(Str(changeMode ? kStrChangeTextBlock : kStrInsertTextBlock));
}

void ImageListPanel::FocusList() {
    lvBilder_->setFocus(Qt::OtherFocusReason);
}

void ImageListPanel::OnPreviewClicked() {
    if (ckBilder_->isChecked()) {
        if (!list_.Empty()) RefreshPreview(list_.CurrentRow());
    } else {
        ClearPreview();
    }
    WriteSetting(env_.settingsFile, keys::Preview, ckBilder_->isChecked() ? 1LL : 0LL);
}

void ImageListPanel::OnListClicked() {
    SetTextBlockCaption(false);
    const int current = list_.CurrentRow();
    if (ckBilder_->isChecked() && !list_.Empty()) RefreshPreview(current);
    if (!list_.Empty() && current >= 1 && IsTextBlockRow(list_.Row(current)))
        SetTextBlockCaption(true);
}

void ImageListPanel::OnListKey(int key, Qt::KeyboardModifiers modifiers) {
    if (!NoShiftCtrlAlt(modifiers)) return;
    if (key == Qt::Key_Delete) {
        Command(3);
        return;
    }
    if (key != Qt::Key_Up && key != Qt::Key_Down) return;
    const int target = list_.CurrentRow() + (key == Qt::Key_Up ? -1 : 1);
    if (target < 1 || target > list_.Count()) return;
    SetTextBlockCaption(false);
    if (ckBilder_->isChecked()) {
        if (list_.Row(target).IsMarker())
            ClearPreview();
        else
            DrawRow(target);
    }
    if (IsTextBlockRow(list_.Row(target))) SetTextBlockCaption(true);
}

void ImageListPanel::OnHeaderClicked(int column) {
    list_.SortByColumn(column);
    lvBilder_->SyncFromList();
}

void ImageListPanel::OnPreviewDoubleClicked() {
    const int current = list_.CurrentRow();
    // A marker row names no file; its text would only reach the program chooser as a title.
    if (current < 1 || current > list_.Count() || list_.Row(current).IsMarker()) return;
    OpenWithChooser(ToQ(list_.Row(current).FullPath()));
}

void ImageListPanel::AddImages() {
    if (!env_.dialogs) return;
    FileQuestion question;
    question.title = Str(kStrChooseImages);
    question.folder = ToQ(ReadLastAddDir(env_.settingsFile));
    question.filter = QStringLiteral(
        "JPEG, PNG, GIF, WebP (*.jpg;*.jpeg;*.png;*.gif;*.webp)|*.jpg;*.jpeg;*.png;*.gif;*.webp");
    question.several = true;
    const std::string chosen = FromQ(env_.dialogs->ChooseOpenFile(window(), question));
    if (chosen.empty()) return;
    const MultiFileSelection selection = ParseMultiFileName(chosen);
    {
        // Thousands of chosen files: the view follows the list by itself at a few refreshes a
        // second and the window keeps handling events between files; the summary, which reads
        // every row, is made once at the end rather than after each file.
        AddingRows adding(*this);
        AddingAction action;
        for (const std::string& path : selection.FullPaths()) {
            if (AddImageFile(list_, path, &action)) {
                PreviewFirstImage();
                EnableButtonsForRowCount();
            }
            PumpWindowEvents();
        }
    }
    AfterRowsAdded();
    if (!selection.names.empty()) StoreLastAddDir(env_.settingsFile, selection.folder);
    AddDroppedPaths({});
}

void ImageListPanel::AddFolder() {
    if (env_.browseFolder) env_.browseFolder(window());
    lvBilder_->SyncFromList();
    StripeList();
    if (ckBilder_->isChecked() && !list_.Empty()) RefreshPreview(list_.CurrentRow());
    EnableListButtons();
    ShowScanProblems();
}

void ImageListPanel::ShowScanProblems() {
    if (scanProblems_.empty()) return;
    QStringList named;
    for (const ScanProblem& problem : std::exchange(scanProblems_, {})) {
        const bool tooLong = problem.kind == ScanProblem::Kind::kPathTooLong;
        named << Str(tooLong ? kStrPathTooLong : kStrFolderUnreadable) + " " + ToQ(problem.path);
    }
    emit ScanProblemsFound(named.join(QStringLiteral("; ")));
}

void ImageListPanel::AddDroppedPaths(const QStringList& paths) {
    // A drop that arrives while files are being added is taken once they are in.
    pendingDrops_ << paths;
    if (adding_ || pendingDrops_.isEmpty()) return;
    AddOptions options;
    // A dropped folder may hold thousands of files; the window stays alive while it is read.
    options.pump = PumpWindowEvents;
    options.report = [this](const ScanProblem& problem) { NoteScanProblem(problem); };
    {
        AddingRows adding(*this);
        while (!pendingDrops_.isEmpty()) {
            std::vector<std::string> dropped;
            for (const QString& p : std::exchange(pendingDrops_, {})) dropped.push_back(FromQ(p));
            lumar::AddDroppedPaths(list_, dropped, options);
        }
    }
    AfterRowsAdded();
    ShowScanProblems();
}

ImageListPanel::AddingRows::AddingRows(ImageListPanel& panel) : panel_(panel) {
    panel_.adding_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

ImageListPanel::AddingRows::~AddingRows() {
    QApplication::restoreOverrideCursor();
    panel_.adding_ = false;
}

void ImageListPanel::ClearList() {
    if (env_.dialogs &&
        !env_.dialogs->AskYesNo(window(), QStringLiteral("Lumar"), Str(kStrClearList)))
        return;
    list_.Clear();
    lvBilder_->SyncFromList();
    picPreview_->Clear();
    for (size_t i = 2; i < 6; ++i) cmBilder_[i]->setEnabled(false);
    UpdateListSummary();
    previewRowIndex_ = -1;
}

void ImageListPanel::RemoveSelected() {
    list_.RemoveSelected();
    lvBilder_->SyncFromList();
    UpdateListSummary();
    if (ckBilder_->isChecked() && !list_.Empty()) RefreshPreview(list_.CurrentRow());
    if (list_.Empty()) {
        for (size_t i = 2; i < 6; ++i) cmBilder_[i]->setEnabled(false);
        previewRowIndex_ = -1;
    } else {
        for (size_t i = 2; i < 6; ++i) cmBilder_[i]->setEnabled(true);
    }
    FocusList();
}

void ImageListPanel::TextBlock() {
    const int current = list_.CurrentRow();
    if (current < 1 || current > list_.Count() || !env_.editTextBlock || !env_.blocks) return;
    TextBlockPlacement placement = TextBlockPlacement::kBefore;
    if (cmBilder_[4]->text() != Str(kStrInsertTextBlock)) {
        const int editIndex = TextBlockEditIndexOf(list_.Row(current).text);
        env_.editTextBlock(window(), TextBlockEditMode::kChange, editIndex, &placement);
        // Editing a block means its text must go into the next posting again.
        if (current <= list_.Count()) {
            list_.Row(current).checked = true;
            model_->RowsEdited(current, current);
        }
        return;
    }
    const int countBefore = env_.blocks->Count();
    env_.editTextBlock(window(), TextBlockEditMode::kNew, 0, &placement);
    if (env_.blocks->Count() == countBefore) return;
    const int position = placement == TextBlockPlacement::kBefore ? current : current + 1;
    list_.InsertMarkerRow(position, TextBlockRowText(env_.blocks->Count()));
    lvBilder_->SyncFromList();
    SetTextBlockCaption(placement == TextBlockPlacement::kBefore);
    FocusList();
}

void ImageListPanel::AddContextEntry(QAction* action) {
    extraEntries_.push_back(action);
}

void ImageListPanel::ShowContextMenu(const QPoint& pos) {
    mnBilder_->clear();
    const auto entry = [this](const char* name, const QString& text, bool enabled, auto run) {
        QAction* action = mnBilder_->addAction(text);
        connect(action, &QAction::triggered, this, run);
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(enabled && !adding_);
    };
    const std::vector<int> selected = list_.SelectedRows();
    const bool rows = !list_.Empty();
    const bool current = list_.CurrentRow() >= 1;
    entry("mnMoveUp", Str(kStrMoveUp), !selected.empty() && selected.front() > 1,
          [this] { MoveRowsBy(-1); });
    entry("mnMoveDown", Str(kStrMoveDown), !selected.empty() && selected.back() < list_.Count(),
          [this] { MoveRowsBy(1); });
    mnBilder_->addSeparator();
    // The list's own buttons, with their present captions ("VBCode ändern" on a text block).
    entry("mnRemove", cmBilder_[3]->text(), rows && !selected.empty(), [this] { Command(3); });
    entry("mnTextBlock", cmBilder_[4]->text(), rows && current, [this] { Command(4); });
    entry("mnBreak", cmBilder_[5]->text(), rows && current, [this] { Command(5); });
    if (!extraEntries_.empty()) mnBilder_->addSeparator();
    for (QAction* action : extraEntries_)
        if (action) mnBilder_->addAction(action);
    mnBilder_->popup(lvBilder_->viewport()->mapToGlobal(pos));
}

void ImageListPanel::MoveRows(int before) {
    if (!adding_) AfterRowsMoved(list_.MoveSelected(before));
}

void ImageListPanel::MoveRowsBy(int step) {
    if (!adding_) AfterRowsMoved(list_.MoveSelectedBy(step));
}

void ImageListPanel::AfterRowsMoved(bool moved) {
    if (!moved) return;
    lvBilder_->SyncFromList();
    // The preview shows the current row, which moved with the others.
    previewRowIndex_ = -1;
    if (ckBilder_->isChecked()) RefreshPreview(list_.CurrentRow());
    FocusList();
}

void ImageListPanel::InsertBreak() {
    const int current = list_.CurrentRow();
    if (current < 1 || current > list_.Count()) return;
    list_.InsertMarkerRow(current, std::string(kBreakRowText));
    lvBilder_->SyncFromList();
    ClearPreview();
    FocusList();
}

}  // namespace lumar::ui

#include "history/ui/history_window.h"

#include <QClipboard>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "history/ui/history_model.h"
#include "history/ui/history_posting_box.h"
#include "shell/reason_text.h"
#include "shell/ui/desktop_services.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/named_widget.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

// STRINGS entries of this window.
constexpr int kStrHistoryTitle = 151;
constexpr int kStrSearch = 152;
constexpr int kStrColumnDate = 153;  // 153 to 156: the four column headers
constexpr int kStrCopyCodes = 157;
constexpr int kStrMakePosting = 158;
constexpr int kStrOpenLink = 159;
constexpr int kStrDeleteOnHost = 160;
constexpr int kStrForget = 161;
constexpr int kStrAskDeleteOnHost = 162;
constexpr int kStrDeletedOnHost = 163;
constexpr int kStrDeletionFailed = 164;
constexpr int kStrAskForget = 165;
constexpr int kStrHistoryNotOpened = 166;
constexpr int kStrEntryCount = 168;

constexpr QSize kPreviewSize(200, 150);
// Entries read before the window shows; the rest follow from a worker, so a long history
// never holds the window up.
constexpr int kFirstEntries = 500;

}  // namespace

HistoryWindow::HistoryWindow(HistoryWindowEnv env, const UiStrings& strings, Dialogs& dialogs,
                             QWidget* parent)
    : QDialog(parent), env_(std::move(env)), strings_(strings), dialogs_(dialogs) {
    setObjectName("frmHistory");
    setWindowTitle(Str(kStrHistoryTitle));
    model_ = new HistoryModel(this);
    QStringList headers;
    for (int column = 0; column < HistoryModel::kColumnCount; ++column)
        headers << Str(kStrColumnDate + column);
    model_->SetHeaders(headers);

    txSearch_ = new QLineEdit(this);
    txSearch_->setObjectName("txSearch");
    txSearch_->setClearButtonEnabled(true);
    lbCount_ = new QLabel(this);
    lbCount_->setObjectName("lbCount");
    lvHistory_ = new QTableView(this);
    lvHistory_->setObjectName("lvHistory");
    lvHistory_->setModel(model_);
    lvHistory_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvHistory_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvHistory_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvHistory_->setWordWrap(false);
    lvHistory_->verticalHeader()->hide();
    // Fixed heights and widths: measuring the contents of 100,000 rows would stall the window.
    lvHistory_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvHistory_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    lvHistory_->horizontalHeader()->setStretchLastSection(true);
    lvHistory_->setColumnWidth(HistoryModel::kDate, 120);
    lvHistory_->setColumnWidth(HistoryModel::kHoster, 120);
    lvHistory_->setColumnWidth(HistoryModel::kFile, 180);
    lbPreview_ = new QLabel(this);
    lbPreview_->setObjectName("lbPreview");
    lbPreview_->setFixedSize(kPreviewSize);
    lbPreview_->setAlignment(Qt::AlignCenter);
    lbPreview_->setFrameShape(QFrame::StyledPanel);
    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(60);  // moving through the list decodes only where it stops

    cmCopyCodes_ = Named(new QPushButton(Str(kStrCopyCodes), this), "cmCopyCodes");
    cmPosting_ = Named(new QPushButton(Str(kStrMakePosting), this), "cmPosting");
    cmOpenLink_ = Named(new QPushButton(Str(kStrOpenLink), this), "cmOpenLink");
    cmDeleteOnHost_ = Named(new QPushButton(Str(kStrDeleteOnHost), this), "cmDeleteOnHost");
    cmForget_ = Named(new QPushButton(Str(kStrForget), this), "cmForget");

    auto* search = new QHBoxLayout;
    search->addWidget(new QLabel(Str(kStrSearch), this));
    search->addWidget(txSearch_, 1);
    search->addWidget(lbCount_);
    auto* side = new QVBoxLayout;
    side->addWidget(lbPreview_);
    for (QPushButton* button : {cmCopyCodes_, cmPosting_, cmOpenLink_, cmDeleteOnHost_, cmForget_})
        side->addWidget(button);
    side->addStretch(1);
    auto* body = new QHBoxLayout;
    body->addWidget(lvHistory_, 1);
    body->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addLayout(body, 1);
    posting_ = new HistoryPostingBox(Str(kStrCopyPosting), this);
    layout->addWidget(posting_);
    resize(860, 480);

    connect(txSearch_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->Filter(text);
        CurrentChanged();
    });
    connect(lvHistory_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::CurrentChanged);
    connect(lvHistory_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &HistoryWindow::CurrentChanged);
    connect(previewTimer_, &QTimer::timeout, this, &HistoryWindow::ShowPreview);
    connect(cmCopyCodes_, &QPushButton::clicked, this, &HistoryWindow::CopyCodes);
    connect(cmPosting_, &QPushButton::clicked, this, &HistoryWindow::MakePosting);
    connect(cmOpenLink_, &QPushButton::clicked, this, &HistoryWindow::OpenLink);
    connect(cmDeleteOnHost_, &QPushButton::clicked, this, &HistoryWindow::DeleteOnHost);
    connect(cmForget_, &QPushButton::clicked, this, &HistoryWindow::Forget);
    Load();
}

// A worker still reading holds nothing of the window; its result is dropped when it ends.
HistoryWindow::~HistoryWindow() = default;

QString HistoryWindow::Str(int entry) const {
    return ToQ(strings_.Get(entry));
}

void HistoryWindow::Load() {
    if (store_.Open(env_.historyFile) == HistoryOpening::kFailed) {
        lbCount_->setText(Str(kStrHistoryNotOpened) + " " + ToQ(store_.LastError()));
        CurrentChanged();
        return;
    }
    HistoryQuery first;
    first.limit = kFirstEntries;
    model_->SetEntries(store_.List(first));
    CurrentChanged();
    if (model_->AllCount() < kFirstEntries) return;
    // The worker reads through a connection of its own; the store is safe across processes,
    // and so across connections.
    rest_ = new QFutureWatcher<std::vector<HistoryEntry>>(this);
    connect(rest_, &QFutureWatcherBase::finished, this, [this] {
        model_->Append(rest_->result());
        CurrentChanged();
    });
    rest_->setFuture(QtConcurrent::run([file = env_.historyFile] {
        HistoryStore store;
        store.Open(file);
        return store.List({});
    }));
}

bool HistoryWindow::Loading() const {
    return rest_ && !rest_->isFinished();
}

std::vector<int> HistoryWindow::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : lvHistory_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void HistoryWindow::CurrentChanged() {
    if (store_.IsOpen())
        lbCount_->setText(Str(kStrEntryCount)
                              .replace("%1", QString::number(model_->rowCount()))
                              .replace("%2", QString::number(model_->AllCount())));
    const bool any = lvHistory_->selectionModel()->hasSelection();
    const QModelIndex current = lvHistory_->currentIndex();
    const HistoryEntry* entry = current.isValid() ? &model_->EntryAt(current.row()) : nullptr;
    cmCopyCodes_->setEnabled(any);
    cmPosting_->setEnabled(any);
    cmForget_->setEnabled(any);
    cmOpenLink_->setEnabled(entry && !entry->url.empty());
    cmDeleteOnHost_->setEnabled(entry && !entry->deletionUrl.empty() && !entry->deletedOnHost &&
                                env_.deleteOnHost);
    lbPreview_->clear();
    previewTimer_->start();
}

void HistoryWindow::ShowPreview() {
    const QModelIndex current = lvHistory_->currentIndex();
    if (!current.isValid()) return;
    QImageReader reader(ToQ(model_->EntryAt(current.row()).filePath));
    if (!reader.canRead()) return;  // gone, or no picture any more
    // Decoding at the preview's size: a JPEG reader skips most of a large photo's work.
    reader.setScaledSize(reader.size().scaled(kPreviewSize, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (!image.isNull()) lbPreview_->setPixmap(QPixmap::fromImage(image));
}

void HistoryWindow::CopyCodes() {
    QStringList codes;
    for (int row : SelectedRows()) codes << ToQ(model_->EntryAt(row).code);
    QGuiApplication::clipboard()->setText(codes.join('\n'));
}

void HistoryWindow::MakePosting() {
    if (!env_.makePosting) return;
    // In the order they were uploaded, as the run that made them would have posted them.
    std::vector<HistoryEntry> entries;
    const std::vector<int> rows = SelectedRows();
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        entries.push_back(model_->EntryAt(*row));
    posting_->Show(ToQ(env_.makePosting(entries)));
}

void HistoryWindow::OpenLink() {
    const QModelIndex current = lvHistory_->currentIndex();
    if (current.isValid()) OpenInShell(this, ToQ(model_->EntryAt(current.row()).url));
}

void HistoryWindow::DeleteOnHost() {
    const QModelIndex current = lvHistory_->currentIndex();
    if (!current.isValid() || !env_.deleteOnHost) return;
    const HistoryEntry entry = model_->EntryAt(current.row());
    const std::int64_t id = entry.id;
    if (entry.deletionConfirm.empty()) {
        // The row does not say how its host confirms a deletion, and many deletion addresses
        // are pages with a confirm step: the user finishes it there. Whether that happened is
        // not known, so the code is never handed out again.
        OpenInShell(this, ToQ(entry.deletionUrl));
        store_.MarkDeletionOpened(id);
        model_->MarkDeletedOnHost(id, false);
        dialogs_.Inform(this, windowTitle(), Str(kStrDeletionPageOpened));
        CurrentChanged();
        return;
    }
    if (!dialogs_.AskYesNo(this, windowTitle(),
                           Str(kStrAskDeleteOnHost) + "\n" + HistoryFileName(entry.filePath)))
        return;
    cmDeleteOnHost_->setEnabled(false);
    busy_ = true;
    const QPointer<HistoryWindow> self(this);
    env_.deleteOnHost(entry.deletionUrl, entry.deletionConfirm, [self, id](const Status& deleted) {
        if (self) self->DeletionEnded(id, deleted);
    });
}

void HistoryWindow::DeletionEnded(std::int64_t id, const Status& deleted) {
    busy_ = false;
    // The list may have been searched or changed while the host was asked.
    if (!deleted) {
        dialogs_.Warn(this, windowTitle(),
                      Str(kStrDeletionFailed) + " " + ToQ(ReasonText(deleted.Why(), strings_)));
    } else {
        store_.MarkDeletedOnHost(id);
        model_->MarkDeletedOnHost(id);
        dialogs_.Inform(this, windowTitle(), Str(kStrDeletedOnHost));
    }
    CurrentChanged();
}

void HistoryWindow::Forget() {
    std::vector<std::int64_t> ids;
    for (int row : SelectedRows()) ids.push_back(model_->EntryAt(row).id);
    if (ids.empty() || !dialogs_.AskYesNo(this, windowTitle(), Str(kStrAskForget))) return;
    if (store_.Forget(ids)) model_->Remove(ids);
    CurrentChanged();
}

}  // namespace lumar::ui

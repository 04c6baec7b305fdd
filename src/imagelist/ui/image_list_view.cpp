#include "imagelist/ui/image_list_view.h"

#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include "imagelist/ui/image_list_model.h"
#include "shell/ui/dropped_paths.h"

namespace lumar::ui {
namespace {

// Column widths at 96 dots per inch; the last three columns are never seen.
constexpr int kColumnWidths[kImageColumnCount] = {120, 103, 47, 47, 47, 0, 0, 0};

// A drag of rows carries only which view it came from: the rows it moves are the selection.
const QString kRowDragFormat = QString::fromLatin1(ImageListModel::kRowDragFormat);

QByteArray DragToken(const void* view) {
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(reinterpret_cast<quintptr>(view));
}

}  // namespace

ImageListView::ImageListView(QWidget* parent) : QTableView(parent), dragToken_(DragToken(this)) {
    setObjectName("lvBilder");
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setAcceptDrops(true);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    // Fixed row heights keep scrolling and resets cheap with many thousand rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(false);
}

void ImageListView::SetListModel(ImageListModel* model) {
    model_ = model;
    setModel(model);
    for (int c = 0; c < kImageColumnCount; ++c) {
        setColumnWidth(c, kColumnWidths[c]);
        setColumnHidden(c, kColumnWidths[c] == 0);
    }
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ImageListView::TakeSelection);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { TakeCurrent(current); });
    connect(model, &ImageListModel::ListReset, this, &ImageListView::ShowListSelection);
}

void ImageListView::SyncFromList() {
    if (!model_) return;
    model_->Refresh();
    ShowListSelection();
}

void ImageListView::ShowListSelection() {
    if (!model_) return;
    ImageList& list = model_->List();
    syncing_ = true;
    QItemSelection selection;
    const std::vector<int> rows = list.SelectedRows();
    for (size_t i = 0; i < rows.size();) {
        size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
        selection.select(model_->index(rows[i] - 1, 0),
                         model_->index(rows[j] - 1, kImageColumnCount - 1));
        i = j + 1;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    // The arrow shows whether new rows are sorted in; inserting a marker row or clearing the
    // list switches that off.
    const SortState& sort = list.Sort();
    horizontalHeader()->setSortIndicatorShown(sort.on);
    if (sort.on)
        horizontalHeader()->setSortIndicator(
            sort.column, sort.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    const int current = list.CurrentRow();
    if (current >= 1) {
        selectionModel()->setCurrentIndex(model_->index(current - 1, 0),
                                          QItemSelectionModel::NoUpdate);
        scrollTo(model_->index(current - 1, 0));
    } else {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    syncing_ = false;
}

void ImageListView::TakeSelection(const QItemSelection& selected,
                                  const QItemSelection& deselected) {
    if (syncing_ || !model_) return;
    ImageList& list = model_->List();
    auto apply = [&list](const QItemSelection& ranges, bool on) {
        for (const QItemSelectionRange& range : ranges)
            for (int r = range.top(); r <= range.bottom(); ++r)
                if (r + 1 <= list.Count()) list.SetSelected(r + 1, on);
    };
    apply(deselected, false);
    apply(selected, true);
}

void ImageListView::TakeCurrent(const QModelIndex& current) {
    if (syncing_ || !model_) return;
    ImageList& list = model_->List();
    const int position = current.isValid() ? current.row() + 1 : 0;
    list.SetCurrentRow(position <= list.Count() ? position : 0);
}

void ImageListView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::AltModifier && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        event->accept();
        emit RowsStepRequested(event->key() == Qt::Key_Up ? -1 : 1);
        return;
    }
    emit KeyAboutToBeHandled(event->key(), event->modifiers());
    if (event->matches(QKeySequence::Paste)) {
        emit PasteRequested();
        event->accept();
        return;
    }
    if (MoveToEnd(event)) return;
    QTableView::keyPressEvent(event);
}

bool ImageListView::MoveToEnd(QKeyEvent* event) {
    // A table moves only the focus frame on Home and End (to another column of the same row,
    // or with Ctrl to another row without selecting it). The list has rows, not cells, and
    // its commands act where the highlight is, so both keys select the first or last row.
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if ((key != Qt::Key_Home && key != Qt::Key_End) ||
        (mods != Qt::NoModifier && mods != Qt::ControlModifier))
        return false;
    if (!model_ || model_->rowCount() == 0) return false;
    const int row = key == Qt::Key_Home ? 0 : model_->rowCount() - 1;
    const QModelIndex target =
        model_->index(row, currentIndex().isValid() ? currentIndex().column() : 0);
    selectionModel()->setCurrentIndex(
        target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(target);
    event->accept();
    return true;
}

bool ImageListView::IsOwnRowDrag(const QMimeData* mime) const {
    return mime && mime->data(kRowDragFormat) == dragToken_;
}

int ImageListView::DropPosition(const QPoint& pos) const {
    const int row = rowAt(pos.y());
    if (row < 0) return model_ ? model_->rowCount() + 1 : 1;
    const bool lowerHalf = pos.y() > rowViewportPosition(row) + rowHeight(row) / 2;
    return row + 1 + (lowerHalf ? 1 : 0);
}

QMimeData* ImageListView::RowDragData() const {
    auto* mime = new QMimeData;
    mime->setData(kRowDragFormat, dragToken_);
    return mime;
}

void ImageListView::startDrag(Qt::DropActions) {
    if (!model_ || selectionModel()->selectedRows().isEmpty()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(RowDragData());
    // The drop moves the rows in the list itself, so nothing is removed after the drag.
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void ImageListView::dragEnterEvent(QDragEnterEvent* event) {
    if (IsOwnRowDrag(event->mimeData()) || !LocalPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ImageListView::dragMoveEvent(QDragMoveEvent* event) {
    if (IsOwnRowDrag(event->mimeData())) {
        QTableView::dragMoveEvent(event);  // draws the drop indicator
        event->acceptProposedAction();
    } else if (!LocalPaths(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void ImageListView::dropEvent(QDropEvent* event) {
    if (IsOwnRowDrag(event->mimeData())) {
        setState(NoState);  // ends the indicator
        viewport()->update();
        event->acceptProposedAction();
        emit RowsDropped(DropPosition(event->position().toPoint()));
        return;
    }
    const QStringList paths = LocalPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit PathsDropped(paths);
}

}  // namespace lumar::ui

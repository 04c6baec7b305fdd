#pragma once
// The list widget `lvBilder`: a report view over ImageListModel with check boxes, several
// selected rows, hidden columns 5 to 7, sorting by header click, dropping of files and
// folders, and moving the selected rows by dragging them or with Alt+Up and Alt+Down. The selection
// and the current row are kept in step with the core list, which is where the list commands read
// them.
#include <QByteArray>
#include <QMimeData>
#include <QStringList>
#include <QTableView>

namespace lumar::ui {

class ImageListModel;

class ImageListView : public QTableView {
    Q_OBJECT
  public:
    explicit ImageListView(QWidget* parent = nullptr);

    void SetListModel(ImageListModel* model);
    // Brings rows, selection and current row up to date with the core list now.
    void SyncFromList();
    // Copies the core list's selection and current row into the view.
    void ShowListSelection();
    // What a drag of the selected rows carries; a drop of it on this view moves them.
    [[nodiscard]] QMimeData* RowDragData() const;

  signals:
    // Before the view handles a key press itself (arrow keys move the selection after this).
    void KeyAboutToBeHandled(int key, Qt::KeyboardModifiers modifiers);
    // Local paths dropped onto the list, in the order given.
    void PathsDropped(const QStringList& paths);
    // The selected rows are to go before position `before` (Count()+1: the end) or one
    // place up (-1) or down (+1).
    void RowsDropped(int before);
    void RowsStepRequested(int step);
    // Ctrl+V (the platform's paste key).
    void PasteRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

  private:
    bool MoveToEnd(QKeyEvent* event);
    // True for a drag of this view's own rows (not of another program or window).
    bool IsOwnRowDrag(const QMimeData* mime) const;
    // The position a drop at `pos` puts rows before: the row under it, or the next one when
    // the lower half of a row is hit; the end below the last row.
    [[nodiscard]] int DropPosition(const QPoint& pos) const;
    void TakeSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void TakeCurrent(const QModelIndex& current);

    ImageListModel* model_ = nullptr;
    bool syncing_ = false;
    const QByteArray dragToken_;
};

}  // namespace lumar::ui

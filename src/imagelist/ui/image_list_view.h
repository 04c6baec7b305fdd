#pragma once
// The list widget `lvBilder`: a report view over ImageListModel with check boxes, several
// selected rows, hidden columns 5 to 7, sorting by header click and dropping of files and
// folders. The selection and the current row are kept in step with the core list, which is
// where the list commands read them.
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

  signals:
    // Before the view handles a key press itself (arrow keys move the selection after this).
    void keyAboutToBeHandled(int key, Qt::KeyboardModifiers modifiers);
    // Local paths dropped onto the list, in the order given.
    void pathsDropped(const QStringList& paths);
    // Ctrl+V (the platform's paste key).
    void pasteRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    bool MoveToEnd(QKeyEvent* event);
    void TakeSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void TakeCurrent(const QModelIndex& current);

    ImageListModel* model_ = nullptr;
    bool syncing_ = false;
};

}  // namespace lumar::ui

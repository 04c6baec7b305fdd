#pragma once
// The Qt model of the image list: eight columns over the core ImageList, a check box in the
// first column. The model holds no rows of its own, so 10,000 rows cost nothing beyond the
// list itself.
//
// Changes of the list's rows are announced by the list's observer; the model coalesces them
// into at most one reset per 100 ms (a folder scan appends row by row while events are
// pumped) and resets at once when Refresh() is called. Between a change and the reset, data()
// reads the live list and answers nothing for rows that are gone.
#include <QAbstractTableModel>
#include <QElapsedTimer>

#include "imagelist/image_list.h"

namespace lumar::ui {

class ImageListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // `decimalSeparator` is the user's locale's, for the kB column.
    ImageListModel(ImageList& list, char decimalSeparator, QObject* parent = nullptr);
    ~ImageListModel() override;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role) override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A drag of the list's own rows, so the view shows where they would go; the view moves
    // them itself.
    static constexpr const char* kRowDragFormat = "application/x-lumar-list-rows";
    [[nodiscard]] QStringList mimeTypes() const override {
        return {QString::fromLatin1(kRowDragFormat)};
    }
    [[nodiscard]] Qt::DropActions supportedDropActions() const override {
        return Qt::CopyAction | Qt::MoveAction;
    }

    // Brings the model up to date with the list now (no-op when nothing changed).
    void Refresh();
    // Tells views that row fields changed in place (upload code, check marks).
    void RowsEdited(int firstPosition, int lastPosition);

    ImageList& List() { return list_; }

  signals:
    // After every reset, so the view can restore the list's selection and current row.
    void ListReset();

  private:
    void ListChanged();

    static constexpr qint64 kResetIntervalMs = 100;

    ImageList& list_;
    char decimalSeparator_;
    QElapsedTimer sinceReset_;
    int shownRows_ = 0;
    bool pending_ = false;
    QString headers_[kImageColumnCount];
};

}  // namespace lumar::ui

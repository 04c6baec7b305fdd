#include "imagelist/ui/image_list_model.h"

#include <QApplication>
#include <QStyle>
#include <QTimer>

#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

// The tool tip of a row the last run could not upload: its name, and below it why.
QString FailedRowTip(const QString& name, const std::string& reason) {
    return name + QStringLiteral("\n") + ToQ(reason);
}

QIcon FailedRowIcon() {
    return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
}

}  // namespace

ImageListModel::ImageListModel(ImageList& list, char decimalSeparator, QObject* parent)
    : QAbstractTableModel(parent),
      list_(list),
      decimalSeparator_(decimalSeparator),
      shownRows_(list.Count()) {
    const char* captions[kImageColumnCount] = {"Bildname", "Pfad des Bildes", "Breite", "Höhe",
                                               "kB",       "thumb",           "copy",   "upload"};
    for (int c = 0; c < kImageColumnCount; ++c) headers_[c] = QString::fromUtf8(captions[c]);
    list_.SetObserver([this] { ListChanged(); });
}

ImageListModel::~ImageListModel() {
    list_.SetObserver({});
}

int ImageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int ImageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kImageColumnCount;
}

QVariant ImageListModel::data(const QModelIndex& index, int role) const {
    const int position = index.row() + 1;
    if (!index.isValid() || position > list_.Count()) return {};
    const ImageEntry& row = list_.Row(position);
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return ToQ(ColumnText(row, index.column(), decimalSeparator_));
        case Qt::ToolTipRole:
            if (index.column() != kColumnText) return {};
            if (!row.failure.empty())
                return FailedRowTip(ToQ(ColumnText(row, kColumnText, decimalSeparator_)),
                                    row.failure);
            return ToQ(ColumnText(row, kColumnText, decimalSeparator_));
        case Qt::DecorationRole:
            if (index.column() != kColumnText || row.failure.empty()) return {};
            return FailedRowIcon();
        case Qt::CheckStateRole:
            if (index.column() != kColumnText) return {};
            return row.checked ? Qt::Checked : Qt::Unchecked;
        case Qt::TextAlignmentRole:
            if (index.column() >= kColumnWidth && index.column() <= kColumnKb)
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

bool ImageListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int position = index.row() + 1;
    if (!index.isValid() || position > list_.Count() || role != Qt::CheckStateRole ||
        index.column() != kColumnText)
        return false;
    list_.Row(position).checked = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QVariant ImageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kImageColumnCount) return {};
    if (role == Qt::DisplayRole) return headers_[section];
    if (role == Qt::TextAlignmentRole && section >= kColumnWidth && section <= kColumnKb)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool ImageListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                   int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= kImageColumnCount ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return false;
    headers_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags ImageListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (index.column() == kColumnText) f |= Qt::ItemIsUserCheckable;
    return f;
}

void ImageListModel::Refresh() {
    if (!pending_ && shownRows_ == list_.Count()) return;
    pending_ = false;
    sinceReset_.start();
    beginResetModel();
    shownRows_ = list_.Count();
    endResetModel();
    emit ListReset();
}

void ImageListModel::RowsEdited(int firstPosition, int lastPosition) {
    if (firstPosition < 1 || lastPosition < firstPosition || lastPosition > shownRows_) return;
    emit dataChanged(index(firstPosition - 1, 0), index(lastPosition - 1, kImageColumnCount - 1));
}

void ImageListModel::ListChanged() {
    if (pending_) return;
    pending_ = true;
    // A folder scan appends a row and pumps events for every file; refreshing the view for
    // each of them would cost a reset and a repaint per row. At most one reset per interval.
    const qint64 sinceReset = sinceReset_.isValid() ? sinceReset_.elapsed() : kResetIntervalMs;
    const int delay = sinceReset >= kResetIntervalMs ? 0 : int(kResetIntervalMs - sinceReset);
    QTimer::singleShot(delay, this, [this] {
        if (pending_) Refresh();
    });
}

}  // namespace lumar::ui

#include "history/ui/history_model.h"

#include <QFont>
#include <algorithm>
#include <unordered_set>

#include "shell/ui/qt_text.h"

namespace lumar::ui {

QString HistoryDateText(std::int64_t secondsSince1970) {
    // The C library's conversion: QDateTime's costs too much for a search over every entry.
    return QString::fromLatin1(LocalTimeText(secondsSince1970));
}

QString HistoryFileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return ToQ(slash == std::string::npos ? path : path.substr(slash + 1));
}

HistoryModel::HistoryModel(QObject* parent) : QAbstractTableModel(parent) {}

void HistoryModel::SetEntries(std::vector<HistoryEntry> entries) {
    // One reset that replaces both, so no view ever sees rows pointing past the new entries.
    beginResetModel();
    entries_ = std::move(entries);
    shown_.clear();
    ShowMatching(0, shown_);
    endResetModel();
}

void HistoryModel::Append(std::vector<HistoryEntry> older) {
    std::unordered_set<std::int64_t> there;
    for (const HistoryEntry& entry : entries_) there.insert(entry.id);
    const size_t first = entries_.size();
    for (HistoryEntry& entry : older)
        if (!there.contains(entry.id)) entries_.push_back(std::move(entry));
    std::vector<int> added;
    ShowMatching(first, added);
    if (added.empty()) return;
    const int row = static_cast<int>(shown_.size());
    beginInsertRows({}, row, row + static_cast<int>(added.size()) - 1);
    shown_.insert(shown_.end(), added.begin(), added.end());
    endInsertRows();
}

void HistoryModel::Filter(const QString& text) {
    beginResetModel();
    filter_ = text.trimmed();
    shown_.clear();
    ShowMatching(0, shown_);
    endResetModel();
}

void HistoryModel::ShowMatching(size_t from, std::vector<int>& out) const {
    const bool mayBeDate =
        std::any_of(filter_.begin(), filter_.end(), [](QChar c) { return c.isDigit(); });
    out.reserve(out.size() + entries_.size() - from);
    for (size_t i = from; i < entries_.size(); ++i) {
        const HistoryEntry& entry = entries_[i];
        if (filter_.isEmpty() ||
            HistoryFileName(entry.filePath).contains(filter_, Qt::CaseInsensitive) ||
            ToQ(entry.hosterName).contains(filter_, Qt::CaseInsensitive) ||
            (mayBeDate && HistoryDateText(entry.uploadedAt).contains(filter_)))
            out.push_back(static_cast<int>(i));
    }
}

void HistoryModel::SetHeaders(const QStringList& headers) {
    headers_ = headers;
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

const HistoryEntry& HistoryModel::EntryAt(int row) const {
    return entries_[static_cast<size_t>(shown_[static_cast<size_t>(row)])];
}

void HistoryModel::Remove(const std::vector<std::int64_t>& ids) {
    const std::unordered_set<std::int64_t> gone(ids.begin(), ids.end());
    std::vector<HistoryEntry> kept;
    kept.reserve(entries_.size());
    for (HistoryEntry& entry : entries_)
        if (!gone.contains(entry.id)) kept.push_back(std::move(entry));
    SetEntries(std::move(kept));
}

void HistoryModel::MarkDeletedOnHost(std::int64_t id, bool confirmed) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].id != id) continue;
        (confirmed ? entries_[i].deletedOnHost : entries_[i].deletionOpened) = true;
        const auto shown = std::find(shown_.begin(), shown_.end(), static_cast<int>(i));
        if (shown == shown_.end()) return;
        const int row = static_cast<int>(shown - shown_.begin());
        emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
        return;
    }
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const HistoryEntry& entry = EntryAt(index.row());
    if (role == Qt::FontRole && entry.deletedOnHost) {
        QFont struck;
        struck.setStrikeOut(true);
        return struck;
    }
    if (role == Qt::ToolTipRole && index.column() == kFile) return ToQ(entry.filePath);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case kDate:
            return HistoryDateText(entry.uploadedAt);
        case kHoster:
            return ToQ(entry.hosterName);
        case kFile:
            return HistoryFileName(entry.filePath);
        case kCode:
            return ToQ(entry.code);
        default:
            return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section < headers_.size() ? headers_[section] : QVariant();
}

}  // namespace lumar::ui

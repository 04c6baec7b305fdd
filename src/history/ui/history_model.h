#pragma once
// The entries of the history window as a table: date, hoster, file, code. The model keeps the
// entries once and shows those the search lets through as a list of positions, so a search
// over 100,000 entries changes a vector of numbers, and a cell's text is made only when the
// view paints it.
#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace lumar::ui {

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kDate, kHoster, kFile, kCode, kColumnCount };

    explicit HistoryModel(QObject* parent = nullptr);

    // Newest first, as the store lists them.
    void SetEntries(std::vector<HistoryEntry> entries);
    // Adds older entries after those there are, keeping the rows shown and the selection;
    // entries already there (by id) are left out.
    void Append(std::vector<HistoryEntry> older);
    // Shows the entries whose file name, hoster name or date ("YYYY-MM-DD") holds `text`,
    // regardless of case; "" shows all.
    void Filter(const QString& text);
    // Headers in column order.
    void SetHeaders(const QStringList& headers);

    [[nodiscard]] int AllCount() const { return static_cast<int>(entries_.size()); }
    [[nodiscard]] const HistoryEntry& EntryAt(int row) const;
    // Drops the entries with these ids (forgotten).
    void Remove(const std::vector<std::int64_t>& ids);
    // Marks the entry as deleted at its host (`confirmed`) or as one whose deletion page was
    // opened, whether or not the search shows it now.
    void MarkDeletedOnHost(std::int64_t id, bool confirmed = true);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

  private:
    // Adds the positions from `from` on that the filter lets through to `out`.
    void ShowMatching(size_t from, std::vector<int>& out) const;

    std::vector<HistoryEntry> entries_;
    std::vector<int> shown_;  // positions in entries_, in display order
    QString filter_;
    QStringList headers_;
};

// "2026-12-06 21:05" in local time.
QString HistoryDateText(std::int64_t secondsSince1970);
// The file name without its folder.
QString HistoryFileName(const std::string& path);

}  // namespace lumar::ui

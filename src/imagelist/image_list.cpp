#include "imagelist/image_list.h"

#include <algorithm>
#include <numeric>

#include "imagelist/row_text.h"
#include "shell/number_text.h"

namespace lumar {

namespace {

// A number column: nothing on marker rows, right-aligned on rows from a folder scan.
std::string NumberText(const ImageEntry& row, const std::string& text, std::size_t paddedWidth) {
    if (row.IsMarker()) return {};
    return row.padded ? AlignRight(text, paddedWidth) : text;
}

unsigned char Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

}  // namespace

std::string ColumnText(const ImageEntry& row, int column, char decimalSeparator) {
    switch (column) {
        case kColumnText:
            return row.text;
        case kColumnFolder:
            return row.folder;
        case kColumnWidth:
            return NumberText(row, std::to_string(row.width), kFolderSizeWidth);
        case kColumnHeight:
            return NumberText(row, std::to_string(row.height), kFolderSizeWidth);
        case kColumnKb:
            return NumberText(row, KilobyteText(row.bytes, decimalSeparator), kFolderKbWidth);
        case kColumnThumb:
            return row.thumb;
        case kColumnCopy:
            return row.copy;
        case kColumnUpload:
            return row.upload;
        default:
            return {};
    }
}

int CompareColumnText(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = Fold(a[i]);
        const unsigned char y = Fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

void ImageList::Append(ImageEntry row) {
    std::vector<ImageEntry> one;
    one.push_back(std::move(row));
    AppendRows(std::move(one));
}

void ImageList::AppendRows(std::vector<ImageEntry> rows) {
    if (rows.empty()) return;
    const bool wasEmpty = rows_.empty();
    if (sort_.on && !wasEmpty && rows.size() <= 4) {
        // A few rows (single files, drops) go straight to their place after their equals.
        for (ImageEntry& row : rows) SortIn(std::move(row));
        Changed();
        return;
    }
    // insert() grows the storage geometrically; an exact reserve per call would reallocate the
    // whole list for every single file added.
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                 std::make_move_iterator(rows.end()));
    selected_.resize(rows_.size(), 0);
    if (wasEmpty) {
        current_ = 1;
        selected_[0] = 1;
    }
    // The rows before were in order already; the new ones are merged in after their equals,
    // as sorting them in one at a time would.
    if (sort_.on) ApplySort(rows_.size() - rows.size());
    Changed();
}

void ImageList::SortIn(ImageEntry row) {
    const std::string key = ColumnText(row, sort_.column);
    const bool descending = sort_.descending;
    const auto at = std::upper_bound(
        rows_.begin(), rows_.end(), key, [&](const std::string& k, const ImageEntry& r) {
            const int c = CompareColumnText(k, ColumnText(r, sort_.column));
            return descending ? c > 0 : c < 0;
        });
    const auto index = at - rows_.begin();
    rows_.insert(at, std::move(row));
    selected_.insert(selected_.begin() + index, 0);
    if (current_ > index) ++current_;
}

bool ImageList::InsertMarkerRow(int position, std::string text) {
    if (position < 1 || position > Count() + 1) return false;
    sort_.on = false;
    ImageEntry marker = MarkerRow(std::move(text));
    // Rows move down; the selection flags stay where they are, like the current-row mark.
    rows_.insert(rows_.begin() + (position - 1), std::move(marker));
    selected_.push_back(0);
    if (current_ == 0) {  // a list that had no rows now has one
        current_ = 1;
        selected_[0] = 1;
    }
    Changed();
    return true;
}

int ImageList::RemoveSelected() {
    std::size_t write = 0;
    int newCurrent = 0;         // position of the surviving current row
    int firstAfterCurrent = 0;  // position of the first survivor after a removed current row
    for (std::size_t read = 0; read < rows_.size(); ++read) {
        const int position = static_cast<int>(read) + 1;
        if (selected_[read]) continue;
        if (position == current_) newCurrent = static_cast<int>(write) + 1;
        if (current_ != 0 && position > current_ && firstAfterCurrent == 0)
            firstAfterCurrent = static_cast<int>(write) + 1;
        if (write != read) rows_[write] = std::move(rows_[read]);
        selected_[write] = 0;
        ++write;
    }
    const int removed = static_cast<int>(rows_.size() - write);
    rows_.resize(write);
    selected_.resize(write);
    if (removed == 0) return 0;
    if (rows_.empty()) {
        current_ = 0;
    } else if (newCurrent != 0) {
        current_ = newCurrent;
    } else {
        current_ = firstAfterCurrent != 0 ? firstAfterCurrent : Count();
        selected_[Index(current_)] = 1;
    }
    Changed();
    return removed;
}

bool ImageList::MoveSelected(int before) {
    if (before < 1 || before > Count() + 1) return false;
    std::vector<std::size_t> moved, kept;
    std::size_t insertAt = 0;  // index in `kept` the moved rows go to
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (selected_[i]) {
            moved.push_back(i);
        } else {
            kept.push_back(i);
            if (static_cast<int>(i) + 1 < before) insertAt = kept.size();
        }
    }
    if (moved.empty()) return false;
    std::vector<std::size_t> order(kept.begin(), kept.begin() + static_cast<long>(insertAt));
    order.insert(order.end(), moved.begin(), moved.end());
    order.insert(order.end(), kept.begin() + static_cast<long>(insertAt), kept.end());
    bool same = true;
    for (std::size_t i = 0; i < order.size(); ++i) same = same && order[i] == i;
    if (same) return false;
    Reorder(order);
    return true;
}

bool ImageList::MoveSelectedBy(int step) {
    if (step != -1 && step != 1) return false;
    const std::vector<int> selected = SelectedRows();
    if (selected.empty() || selected.front() + (step < 0 ? -1 : 0) < 1 ||
        selected.back() + (step > 0 ? 1 : 0) > Count())
        return false;
    std::vector<std::size_t> order(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // Each selected row trades places with the unselected row beside it, from the edge it
    // moves towards, so a block of selected rows moves as one.
    const auto swapPast = [&](std::size_t at, std::size_t neighbour) {
        if (selected_[order[at]] && !selected_[order[neighbour]])
            std::swap(order[at], order[neighbour]);
    };
    if (step < 0)
        for (std::size_t i = 1; i < order.size(); ++i) swapPast(i, i - 1);
    else
        for (std::size_t i = order.size() - 1; i > 0; --i) swapPast(i - 1, i);
    Reorder(order);
    return true;
}

void ImageList::Reorder(const std::vector<std::size_t>& order) {
    std::vector<ImageEntry> rows;
    std::vector<char> selected;
    rows.reserve(order.size());
    selected.reserve(order.size());
    int current = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        rows.push_back(std::move(rows_[order[i]]));
        selected.push_back(selected_[order[i]]);
        if (static_cast<int>(order[i]) + 1 == current_) current = static_cast<int>(i) + 1;
    }
    rows_ = std::move(rows);
    selected_ = std::move(selected);
    current_ = current;
    sort_.on = false;
    Changed();
}

void ImageList::Clear() {
    rows_.clear();
    selected_.clear();
    current_ = 0;
    // An empty list has no order to keep up; rows added next come in as they are added.
    sort_.on = false;
    Changed();
}

void ImageList::SetCurrentRow(int position) {
    current_ = (position >= 1 && position <= Count()) ? position : 0;
}

void ImageList::SelectOnly(int position) {
    std::fill(selected_.begin(), selected_.end(), 0);
    SetCurrentRow(position);
    if (current_ != 0) selected_[Index(current_)] = 1;
}

void ImageList::SetSelected(int position, bool selected) {
    if (position >= 1 && position <= Count()) selected_[Index(position)] = selected ? 1 : 0;
}

void ImageList::SelectAll() {
    std::fill(selected_.begin(), selected_.end(), 1);
}

void ImageList::ClearSelection() {
    std::fill(selected_.begin(), selected_.end(), 0);
}

std::vector<int> ImageList::SelectedRows() const {
    std::vector<int> out;
    for (std::size_t i = 0; i < selected_.size(); ++i)
        if (selected_[i]) out.push_back(static_cast<int>(i) + 1);
    return out;
}

void ImageList::SortByColumn(int column) {
    if (column < 0 || column >= kImageColumnCount) return;
    if (sort_.column == column) {
        sort_.descending = !sort_.descending;
    } else {
        sort_.column = column;
        sort_.descending = false;
    }
    sort_.on = true;
    ApplySort();
    Changed();
}

void ImageList::SetSortState(const SortState& state) {
    sort_ = state;
    if (sort_.column < 0 || sort_.column >= kImageColumnCount) {
        sort_.column = -1;
        sort_.on = false;
    }
    if (sort_.on) {
        ApplySort();
        Changed();
    }
}

void ImageList::ApplySort(std::size_t sortedPrefix) {
    std::vector<std::size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const int column = sort_.column;
    const bool descending = sort_.descending;
    // The texts once per row, not once per comparison. The locale's separator ("," or ".")
    // sorts between the blank and the digits as "." does, so the order is the one shown.
    std::vector<std::string> keys;
    keys.reserve(rows_.size());
    for (const ImageEntry& row : rows_) keys.push_back(ColumnText(row, column));
    const auto before = [&](std::size_t a, std::size_t b) {
        const int c = CompareColumnText(keys[a], keys[b]);
        return descending ? c > 0 : c < 0;
    };
    const auto middle = order.begin() + static_cast<std::ptrdiff_t>(sortedPrefix);
    std::stable_sort(middle, order.end(), before);
    // Merging keeps rows of the first part ahead of equal rows of the second.
    if (sortedPrefix > 0) std::inplace_merge(order.begin(), middle, order.end(), before);
    std::vector<ImageEntry> rows;
    std::vector<char> selected;
    rows.reserve(rows_.size());
    selected.reserve(rows_.size());
    int current = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        rows.push_back(std::move(rows_[order[i]]));
        selected.push_back(selected_[order[i]]);
        if (static_cast<int>(order[i]) + 1 == current_) current = static_cast<int>(i) + 1;
    }
    rows_ = std::move(rows);
    selected_ = std::move(selected);
    current_ = current;
}

ListSummary SummarizeList(const std::vector<ImageEntry>& rows) {
    ListSummary summary;
    for (const ImageEntry& row : rows) {
        if (!row.IsImage()) continue;
        ++summary.imageCount;
        summary.totalKb += Kilobytes(row.bytes);
    }
    return summary;
}

std::string ListSummaryText(const ListSummary& summary, std::string_view imagesLabel,
                            std::string_view sizeLabel, char decimalSeparator) {
    const std::string mbText =
        FormatFixed(summary.totalKb / 1024.0, 2, std::string(1, decimalSeparator));
    std::string out(imagesLabel);
    out += ' ';
    out += std::to_string(summary.imageCount);
    out += " - ";
    out += sizeLabel;
    out += ' ';
    out += mbText;
    out += " MB";
    return out;
}

std::array<bool, 6> ListButtonsEnabled(int rowCount) {
    const bool rows = rowCount > 0;
    return {true, true, rows, rows, rows, rows};
}

bool IsTextBlockRow(const ImageEntry& row) {
    return row.IsMarker() && row.text.find("*VBCode_") != std::string::npos;
}

int TextBlockEditIndexOf(std::string_view rowText) {
    const std::size_t underscore = rowText.find('_');
    if (underscore == std::string_view::npos) return 0;
    long long value = 0;
    for (std::size_t i = underscore + 1;
         i < rowText.size() && rowText[i] >= '0' && rowText[i] <= '9'; ++i) {
        value = value * 10 + (rowText[i] - '0');
        if (value > 2147483647) return 0;
    }
    return static_cast<int>(value);
}

}  // namespace lumar

#pragma once
// The work list of the main window without its widget: image rows and marker rows in posting
// order, the current row, the selection and the sort state. The list widget shows this model;
// every command of the list works on it, so the rules hold without a window (tests, lumar-cli).
//
// Row positions are 1-based, as the user counts them. 0 stands for "no row".
//
// Errors in this room: nothing throws. An operation says whether it did its work (false, or
// the number of rows it added); a file that is no readable picture reads as an ImageInfo of
// Type None; what a user should hear of (an unreadable folder) goes to the scan's report hook.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "imagelist/image_entry.h"

namespace lumar {

// The eight columns: the row text and the seven fields in column order.
enum ImageColumn : int {
    kColumnText = 0,
    kColumnFolder = 1,
    kColumnWidth = 2,
    kColumnHeight = 3,
    kColumnKb = 4,
    kColumnThumb = 5,
    kColumnCopy = 6,
    kColumnUpload = 7,
};
inline constexpr int kImageColumnCount = 8;

// The text a row shows in a column (0..7); an empty text for any other column. Marker rows
// show no numbers; image rows show kB with `decimalSeparator`, padded when `padded` is set.
std::string ColumnText(const ImageEntry& row, int column, char decimalSeparator = '.');

struct SortState {
    bool on = false;  // while on, appended rows are sorted in
    int column = -1;  // 0..7; -1 before the first header click, so that click sorts ascending
    bool descending = false;

    friend bool operator==(const SortState&, const SortState&) = default;
};

// The order of two texts under the list's column sort: character by character, letters without
// regard to case, so " 800" (padded) < "1024" < "800" and "" comes first.
int CompareColumnText(std::string_view a, std::string_view b);

class ImageList {
  public:
    // Called after every change of rows or their order (append, insert, remove, clear, sort), so
    // a view can refresh. Not called for changes made through Row() or the selection calls.
    using Observer = std::function<void()>;
    void SetObserver(Observer observer) { observer_ = std::move(observer); }

    [[nodiscard]] int Count() const { return static_cast<int>(rows_.size()); }
    [[nodiscard]] bool Empty() const { return rows_.empty(); }
    // position in 1..Count()
    [[nodiscard]] const ImageEntry& Row(int position) const { return rows_[Index(position)]; }
    // Field edits in place (upload code, check mark). They do not re-sort the list.
    ImageEntry& Row(int position) { return rows_[Index(position)]; }
    [[nodiscard]] const std::vector<ImageEntry>& Rows() const { return rows_; }

    // Adds a row at the end, or at its sorted place while sorting is on (after rows with an
    // equal sort text). When the list was empty, the first row becomes current.
    void Append(ImageEntry row);
    // The same for many rows at once, in their order, with a single sort.
    void AppendRows(std::vector<ImageEntry> rows);

    // Inserts a checked marker row with empty fields at `position` (1..Count()+1); the rows
    // from there on move down by one. Sorting is switched off first so the order stays. The
    // current-row mark and the selection stay at their positions: after inserting at the
    // current position, the new row is the current one. False (nothing done) for a position
    // outside the range.
    bool InsertMarkerRow(int position, std::string text);

    // Removes every selected row, image and marker rows alike, keeping the order of the rest.
    // A current row that stays remains current; when it was removed, the row that moved into
    // its position (else the last row) becomes current and selected. Returns how many went.
    int RemoveSelected();

    // Removes every row and switches sorting off.
    void Clear();

    // Reordering by hand. The selected rows keep their order among themselves, their
    // selection and the current-row mark go with them, and sorting is switched off so the
    // order the user made stays. Both return false (nothing done) when nothing would move.
    // MoveSelected puts them before the row that is at `before` now (1..Count()+1; Count()+1
    // is the end), as a drag does. MoveSelectedBy moves each selected row one place up (step
    // -1) or down (+1) past its unselected neighbour; a selection already at that edge stays.
    bool MoveSelected(int before);
    bool MoveSelectedBy(int step);

    // The current row (the one with the focus), 0 when there is none.
    [[nodiscard]] int CurrentRow() const { return current_; }
    // Makes `position` current without touching the selection; 0 or out of range clears it.
    void SetCurrentRow(int position);
    // Makes `position` current and the only selected row (a plain click).
    void SelectOnly(int position);
    void SetSelected(int position, bool selected);
    void SelectAll();
    void ClearSelection();
    [[nodiscard]] std::vector<int> SelectedRows() const;  // ascending positions

    // The header click: the current sort column again reverses the direction, another column
    // sorts ascending by it; sorting is switched on. Rows with equal text keep their order. The
    // current row and the selection follow their rows.
    void SortByColumn(int column);
    [[nodiscard]] const SortState& Sort() const { return sort_; }
    // Sets the state without reordering (start-up state); switching on sorts the rows.
    void SetSortState(const SortState& state);

  private:
    [[nodiscard]] std::size_t Index(int position) const {
        return static_cast<std::size_t>(position - 1);
    }
    // Sorts by the sort state; the first `sortedPrefix` rows are known to be in order already.
    void ApplySort(std::size_t sortedPrefix = 0);
    // Inserts one row at its sorted place while sorting is on.
    void SortIn(ImageEntry row);
    // Puts old row order[i] at index i; rows, selection and current row move together.
    void Reorder(const std::vector<std::size_t>& order);
    void Changed() const {
        if (observer_) observer_();
    }

    std::vector<ImageEntry> rows_;
    std::vector<char> selected_;  // parallel to rows_
    int current_ = 0;
    SortState sort_;
    Observer observer_;
};

// The image rows and their size in kB, each row counted as the kB column shows it.
struct ListSummary {
    int imageCount = 0;
    double totalKb = 0;
};
ListSummary SummarizeList(const std::vector<ImageEntry>& rows);

// The status-bar text: imagesLabel + " " + count + " - " + sizeLabel + " " + MB + " MB", MB with
// exactly two decimals, e.g. "Bilder: 12 - Uploadgrösse: 3.47 MB".
std::string ListSummaryText(const ListSummary& summary, std::string_view imagesLabel,
                            std::string_view sizeLabel, char decimalSeparator = '.');

// Enabled state of the six list buttons (add files, add folder, clear, remove, text block,
// break): the first two always, the others only while the list has rows.
std::array<bool, 6> ListButtonsEnabled(int rowCount);

// A row that switches the text-block button to "change": a marker row whose text contains
// "*VBCode_".
bool IsTextBlockRow(const ImageEntry& row);
// The block number the text-block button edits for a row: the leading digits after the first
// "_" ("*VBCode_3*" -> 3); 0 when there are none.
int TextBlockEditIndexOf(std::string_view rowText);

}  // namespace lumar

#include "imagelist/image_list.h"

#include <gtest/gtest.h>

#include <tuple>

namespace lumar {
namespace {

using Strings = std::vector<std::string>;

ImageEntry Image(const std::string& name, int width = 640, bool padded = false,
                 std::int64_t bytes = 1024) {
    return ImageEntry{name, "/p/", width, 480, bytes, padded, "t-" + name, "c-" + name, "", true};
}

Strings Texts(const ImageList& list) {
    Strings out;
    for (const ImageEntry& row : list.Rows()) out.push_back(row.text);
    return out;
}

ImageList ListOf(std::initializer_list<const char*> names) {
    ImageList list;
    for (const char* name : names) list.Append(Image(name));
    return list;
}

TEST(ImageListMarkers, InsertShiftsWholeRowsAndLeavesMarksInPlace) {
    ImageList list = ListOf({"a.jpg", "b.jpg", "c.jpg"});
    list.Row(2).checked = false;
    list.Row(2).upload = "[img]b[/img]";
    list.SelectOnly(2);
    ASSERT_TRUE(list.InsertMarkerRow(2, std::string(kBreakRowText)));
    EXPECT_EQ(Texts(list), (Strings{"a.jpg", "*UMBRUCH*", "b.jpg", "c.jpg"}));
    EXPECT_TRUE(list.Row(2).checked && list.Row(2).IsMarker());
    // The moved rows took their check mark and all fields with them.
    EXPECT_FALSE(list.Row(3).checked);
    EXPECT_EQ(list.Row(3).upload + list.Row(3).thumb + list.Row(4).copy,
              "[img]b[/img]t-b.jpgc-c.jpg");
    // Current mark and selection stay at position 2, which now holds the marker.
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{2});

    // After the last row, and outside the list.
    ASSERT_TRUE(list.InsertMarkerRow(list.Count() + 1, TextBlockRowText(4)));
    EXPECT_FALSE(list.InsertMarkerRow(0, "*UMBRUCH*"));
    EXPECT_FALSE(list.InsertMarkerRow(7, "*UMBRUCH*"));
    EXPECT_EQ(Texts(list), (Strings{"a.jpg", "*UMBRUCH*", "b.jpg", "c.jpg", "*VBCode_4*"}));
}

TEST(ImageListRemove, ScatteredSelectionGoesAndCurrentRowFollows) {
    ImageList list = ListOf({"1", "2", "3", "4", "5", "6"});
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{1});  // the first row added
    list.InsertMarkerRow(4, "*UMBRUCH*");                 // rows: 1 2 3 * 4 5 6
    list.ClearSelection();
    for (int p : {2, 3, 4, 6}) list.SetSelected(p, true);
    EXPECT_EQ(list.RemoveSelected(), 4);
    EXPECT_EQ(Texts(list), (Strings{"1", "4", "6"}));
    EXPECT_TRUE(list.SelectedRows().empty());

    // The current row moves to its successor, or stays with its row.
    list.AppendRows({Image("7")});  // rows: 1 4 6 7
    list.SelectOnly(2);
    list.RemoveSelected();
    EXPECT_EQ(list.Row(list.CurrentRow()).text, "6");
    list.SelectOnly(3);  // the last row
    list.RemoveSelected();
    EXPECT_EQ(list.Row(list.CurrentRow()).text, "6");
    list.SetCurrentRow(2);  // "6" is current but only "1" is selected
    list.ClearSelection();
    list.SetSelected(1, true);
    list.RemoveSelected();
    EXPECT_EQ(list.Row(list.CurrentRow()).text, "6");
    list.SelectAll();
    list.RemoveSelected();
    EXPECT_EQ(list.CurrentRow(), 0);
    // The first row added to an empty list becomes current.
    list.AppendRows({Image("c.jpg"), Image("d.jpg")});
    EXPECT_EQ(list.CurrentRow(), 1);
}

// Moving by hand takes whole rows with their selection and current mark, keeps the moved rows'
// order, switches sorting off, and does nothing where nothing would move.
TEST(ImageListMove, SelectedRowsMoveAsOneWithTheirMarks) {
    ImageList list = ListOf({"a", "b", "c", "d", "e"});
    list.SortByColumn(kColumnText);
    list.Row(4).upload = "[img]d[/img]";
    list.SelectOnly(4);  // d current, b and d selected
    list.SetSelected(2, true);
    // a drag before `before`, else a key step `by`; then whether it moved, the order, the
    // selected rows and the current row
    const std::tuple<int, int, bool, const char*, std::vector<int>, int> steps[] = {
        {1, 0, true, "bdace", {1, 2}, 2},  {0, -1, false, "bdace", {1, 2}, 2},
        {0, 1, true, "abdce", {2, 3}, 3},  {6, 0, true, "acebd", {4, 5}, 5},
        {4, 0, false, "acebd", {4, 5}, 5}, {0, 1, false, "acebd", {4, 5}, 5},
        {3, 0, true, "acbde", {3, 4}, 4}};
    for (const auto& [before, by, moved, order, selected, current] : steps) {
        SCOPED_TRACE(testing::Message() << before << " " << by);
        EXPECT_EQ(by == 0 ? list.MoveSelected(before) : list.MoveSelectedBy(by), moved);
        std::string texts;
        for (const std::string& text : Texts(list)) texts += text;
        EXPECT_EQ(texts, order);
        EXPECT_EQ(list.SelectedRows(), selected);
        EXPECT_EQ(list.CurrentRow(), current);
    }
    EXPECT_TRUE(list.Row(4).upload == "[img]d[/img]" && !list.Sort().on);
    list.SelectOnly(1);
    list.SetSelected(3, true);  // scattered: each row steps past its neighbour
    ASSERT_TRUE(list.MoveSelectedBy(1));
    EXPECT_EQ(Texts(list), (Strings{"c", "a", "d", "b", "e"}));
}

TEST(ImageListSort, ColumnTextIsComparedAsText) {
    ImageList list;
    list.AppendRows({Image("unpadded800", 800), Image("padded1024", 1024, true),
                     Image("padded800", 800, true), Image("unpadded90", 90)});
    list.InsertMarkerRow(3, "*UMBRUCH*");
    list.SortByColumn(kColumnWidth);
    EXPECT_EQ(Texts(list),
              (Strings{"*UMBRUCH*", "padded800", "padded1024", "unpadded800", "unpadded90"}));
    // The same header again reverses.
    list.SortByColumn(kColumnWidth);
    EXPECT_EQ(Texts(list).front(), "unpadded90");
    // Letters ignore case; equal rows keep their order; selection and current follow their rows.
    ImageList names = ListOf({"B.jpg", "a.jpg", "b.jpg"});
    names.SetSelected(3, true);
    names.SortByColumn(kColumnText);
    EXPECT_EQ(Texts(names), (Strings{"a.jpg", "B.jpg", "b.jpg"}));
    EXPECT_EQ(names.Row(names.CurrentRow()).text, "B.jpg");
    EXPECT_EQ(names.SelectedRows(), (std::vector<int>{2, 3}));
}

TEST(ImageListSort, AMarkerEndsSortingAndLaterRowsGoToTheEnd) {
    ImageList list = ListOf({"b", "d"});
    list.SortByColumn(kColumnText);
    list.SelectOnly(2);
    list.InsertMarkerRow(2, "*UMBRUCH*");
    EXPECT_FALSE(list.Sort().on);
    list.Append(Image("a"));
    EXPECT_EQ(Texts(list), (Strings{"b", "*UMBRUCH*", "d", "a"}));
}

TEST(ImageListSort, SortingInBatchesEqualsSortingOnce) {
    // Equal widths in many rows: equal rows must stay in the order they were added.
    std::vector<ImageEntry> all;
    for (int i = 0; i < 300; ++i) all.push_back(Image("r" + std::to_string(i), (i * 37) % 11));
    ImageList batched;
    batched.SetSortState({true, kColumnWidth, true});  // descending
    for (std::size_t i = 0, n = 1; i < all.size(); i += n, n = 1 + i % 7)
        batched.AppendRows({all.begin() + static_cast<long>(i),
                            all.begin() + static_cast<long>(std::min(i + n, all.size()))});
    // The first row added stayed current through all the inserts.
    EXPECT_EQ(batched.Row(batched.CurrentRow()).text, "r0");
    ImageList once;
    once.AppendRows(all);
    once.SetSortState({true, kColumnWidth, true});
    EXPECT_EQ(Texts(batched), Texts(once));
}

TEST(ImageListSummary, CountsImageRowsAndAddsTheirSizes) {
    const std::vector<ImageEntry> rows{Image("a", 1, true, 1 << 20), Image("b", 1, false, 1572864),
                                       MarkerRow("*UMBRUCH*")};
    EXPECT_EQ(ListSummaryText(SummarizeList(rows), "Bilder:", "Uploadgrösse:"),
              "Bilder: 2 - Uploadgrösse: 2.50 MB");
}

TEST(ImageListTextBlocks, RowTextNamesTheBlockToChange) {
    ImageEntry row = MarkerRow(TextBlockRowText(12));
    EXPECT_TRUE(IsTextBlockRow(row));
    EXPECT_EQ(TextBlockEditIndexOf(row.text), 12);
    row.text = TextBlockRowText(1);
    row.kind = RowKind::kImage;  // a file may be named like a marker
    EXPECT_FALSE(IsTextBlockRow(row));
    EXPECT_EQ(TextBlockEditIndexOf("*UMBRUCH*") + TextBlockEditIndexOf("*VBCode_*"), 0);
}

}  // namespace
}  // namespace lumar

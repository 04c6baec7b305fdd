#include "imagelist/image_list.h"

#include <gtest/gtest.h>

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

TEST(ImageListRows, FirstRowOfAnEmptyListBecomesCurrent) {
    ImageList list = ListOf({"a.jpg", "b.jpg"});
    EXPECT_EQ(list.CurrentRow(), 1);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{1});
    list.Clear();
    EXPECT_EQ(list.CurrentRow(), 0);
    list.AppendRows({Image("c.jpg"), Image("d.jpg")});
    EXPECT_EQ(list.CurrentRow(), 1);
}

TEST(ImageListMarkers, InsertShiftsWholeRowsAndLeavesMarksInPlace) {
    ImageList list = ListOf({"a.jpg", "b.jpg", "c.jpg"});
    list.Row(2).checked = false;
    list.Row(2).upload = "[img]b[/img]";
    list.SelectOnly(2);
    ASSERT_TRUE(list.InsertMarkerRow(2, std::string(kBreakRowText)));
    EXPECT_EQ(Texts(list), (Strings{"a.jpg", "*UMBRUCH*", "b.jpg", "c.jpg"}));
    // The new row: checked, every field empty.
    const ImageEntry& marker = list.Row(2);
    EXPECT_TRUE(marker.checked && marker.IsMarker());
    std::string fields;
    for (int column = kColumnFolder; column < kImageColumnCount; ++column)
        fields += ColumnText(marker, column);
    EXPECT_EQ(fields, "");
    // The moved rows took their check mark and all fields with them.
    EXPECT_FALSE(list.Row(3).checked);
    EXPECT_EQ(list.Row(3).upload + list.Row(3).thumb + list.Row(4).copy,
              "[img]b[/img]t-b.jpgc-c.jpg");
    // Current mark and selection stay at position 2, which now holds the marker.
    EXPECT_EQ(list.CurrentRow(), 2);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{2});

    // Before the first row, after the last, and outside the list.
    ASSERT_TRUE(list.InsertMarkerRow(1, std::string(kBreakRowText)));
    ASSERT_TRUE(list.InsertMarkerRow(list.Count() + 1, TextBlockRowText(4)));
    EXPECT_EQ(Texts(list),
              (Strings{"*UMBRUCH*", "a.jpg", "*UMBRUCH*", "b.jpg", "c.jpg", "*VBCode_4*"}));
    EXPECT_FALSE(list.InsertMarkerRow(0, "*UMBRUCH*"));
    EXPECT_FALSE(list.InsertMarkerRow(8, "*UMBRUCH*"));
    EXPECT_EQ(list.Count(), 6);
}

TEST(ImageListRemove, ScatteredSelectionGoesAndOrderStays) {
    ImageList list = ListOf({"1", "2", "3", "4", "5", "6"});
    list.InsertMarkerRow(4, "*UMBRUCH*");  // rows: 1 2 3 * 4 5 6
    list.ClearSelection();
    int changes = 0;
    list.SetObserver([&] { ++changes; });
    EXPECT_EQ(list.RemoveSelected(), 0);  // nothing selected: nothing changes
    EXPECT_EQ(changes, 0);
    for (int p : {2, 3, 4, 6}) list.SetSelected(p, true);
    EXPECT_EQ(list.RemoveSelected(), 4);
    EXPECT_EQ(Texts(list), (Strings{"1", "4", "6"}));
    EXPECT_TRUE(list.SelectedRows().empty());
}

TEST(ImageListRemove, CurrentRowMovesToItsSuccessorOrStaysWithItsRow) {
    ImageList list = ListOf({"1", "2", "3", "4"});
    list.SelectOnly(2);
    list.RemoveSelected();
    EXPECT_EQ(list.CurrentRow(), 2);
    EXPECT_EQ(list.Row(list.CurrentRow()).text, "3");
    list.SelectOnly(3);  // the last row
    list.RemoveSelected();
    EXPECT_EQ(list.Row(list.CurrentRow()).text, "3");
    list.SetCurrentRow(2);  // "3" is current but only "1" is selected
    list.ClearSelection();
    list.SetSelected(1, true);
    list.RemoveSelected();
    EXPECT_EQ(list.Row(list.CurrentRow()).text, "3");
    list.SelectAll();
    list.RemoveSelected();
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.CurrentRow(), 0);
}

TEST(ImageListSort, ColumnTextIsComparedAsText) {
    EXPECT_LT(CompareColumnText("", " "), 0);
    ImageList list;
    list.AppendRows({Image("unpadded800", 800), Image("padded1024", 1024, true),
                     Image("padded800", 800, true), Image("unpadded90", 90)});
    list.InsertMarkerRow(3, "*UMBRUCH*");
    list.SortByColumn(kColumnWidth);
    EXPECT_EQ(Texts(list),
              (Strings{"*UMBRUCH*", "padded800", "padded1024", "unpadded800", "unpadded90"}));
    EXPECT_EQ(list.Sort(), (SortState{true, kColumnWidth, false}));
    // The same header again reverses; another header sorts ascending by it.
    list.SortByColumn(kColumnWidth);
    EXPECT_EQ(Texts(list),
              (Strings{"unpadded90", "unpadded800", "padded1024", "padded800", "*UMBRUCH*"}));
    list.SortByColumn(kColumnText);
    EXPECT_EQ(list.Sort(), (SortState{true, kColumnText, false}));
    EXPECT_EQ(Texts(list).front(), "*UMBRUCH*");
    // Letters ignore case; equal rows keep their order.
    ImageList names = ListOf({"B.jpg", "a.jpg", "b.jpg"});
    names.SortByColumn(kColumnText);
    EXPECT_EQ(Texts(names), (Strings{"a.jpg", "B.jpg", "b.jpg"}));
}

TEST(ImageListSort, SelectionAndCurrentFollowTheirRows) {
    ImageList list = ListOf({"c", "a", "b"});
    list.SelectOnly(1);         // "c"
    list.SetSelected(3, true);  // "b"
    list.SortByColumn(kColumnText);
    EXPECT_EQ(list.Row(list.CurrentRow()).text, "c");
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{2, 3}));
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
    batched.SortByColumn(kColumnWidth);
    batched.SortByColumn(kColumnWidth);  // descending
    for (std::size_t i = 0; i < all.size();) {
        const std::size_t n = std::min<std::size_t>(1 + i % 7, all.size() - i);
        batched.AppendRows(std::vector<ImageEntry>(all.begin() + static_cast<long>(i),
                                                   all.begin() + static_cast<long>(i + n)));
        i += n;
    }
    // The first row added stayed current through all the inserts.
    EXPECT_EQ(batched.Row(batched.CurrentRow()).text, "r0");
    ImageList once;
    once.AppendRows(all);
    once.SetSortState({true, kColumnWidth, true});
    EXPECT_EQ(Texts(batched), Texts(once));
}

TEST(ImageListSort, StartStateTakesEffectOnlyWhenOn) {
    ImageList list = ListOf({"b", "a"});
    list.SetSortState({false, kColumnText, false});
    EXPECT_EQ(Texts(list), (Strings{"b", "a"}));
    // With column 0 as the start column, the first click on it sorts descending.
    list.SortByColumn(kColumnText);
    EXPECT_EQ(list.Sort(), (SortState{true, kColumnText, true}));
    EXPECT_EQ(Texts(list), (Strings{"b", "a"}));
}

TEST(ImageListSummary, CountsImageRowsAndAddsTheirSizes) {
    const ImageEntry marker = MarkerRow("*UMBRUCH*");
    const std::vector<ImageEntry> rows{Image("a", 1, true, 1 << 20), Image("b", 1, false, 512),
                                       Image("c", 1, false, 1572352), marker};
    EXPECT_EQ(ListSummaryText(SummarizeList(rows), "Bilder:", "Uploadgrösse:"),
              "Bilder: 3 - Uploadgrösse: 2.50 MB");
    EXPECT_EQ(ListSummaryText({}, "Bilder:", "Uploadgrösse:", ','),
              "Bilder: 0 - Uploadgrösse: 0,00 MB");
}

TEST(ImageListTextBlocks, RowTextNamesTheBlockToChange) {
    ImageEntry row = MarkerRow(TextBlockRowText(12));
    EXPECT_TRUE(IsTextBlockRow(row));
    EXPECT_EQ(TextBlockEditIndexOf(row.text), 12);
    row.text = "*vbcode_1*";
    EXPECT_FALSE(IsTextBlockRow(row));
    row.text = TextBlockRowText(1);
    row.kind = RowKind::Image;  // a file may be named like a marker
    EXPECT_FALSE(IsTextBlockRow(row));
    EXPECT_EQ(TextBlockEditIndexOf("*UMBRUCH*") + TextBlockEditIndexOf("*VBCode_*"), 0);
}

}  // namespace
}  // namespace lumar

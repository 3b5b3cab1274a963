// Filling and renumbering the view's list with redrawing off: the list counts the new
// items at once, the table view learns of them in one step when redrawing is back on.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "controls/ListCtrl.h"
#include "controls/ListModel.h"

namespace {

void AddColumns(CListCtrl& list, int count) {
    for (int i = 0; i < count; ++i) list.InsertColumn(i, "C" + std::to_string(i), LVCFMT_LEFT, 40);
}

TEST(ListRedraw, ItemsAddedWhileOffAreAnnouncedTogether) {
    CListCtrl list;
    AddColumns(list, 3);
    list.InsertItem(0, "1");
    QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(list.model(), &QAbstractItemModel::dataChanged);
    list.SetRedraw(false);
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(list.InsertItem(i, std::to_string(i + 1)), i);
        EXPECT_TRUE(list.SetItemText(i, 2, "x" + std::to_string(i)));
    }
    EXPECT_TRUE(list.SetItemText(0, 1, "changed"));
    // The list has them; the table view does not yet.
    EXPECT_EQ(list.GetItemCount(), 5);
    EXPECT_EQ(list.GetItemText(4, 2), "x4");
    EXPECT_EQ(list.model()->rowCount(), 1);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(changed.count(), 0);
    list.SetRedraw(false);  // already off: no second hold
    list.SetRedraw(true);
    EXPECT_EQ(list.model()->rowCount(), 5);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);
    EXPECT_EQ(inserted[0][2].toInt(), 4);
    ASSERT_EQ(changed.count(), 1);  // the announced row whose text changed
    EXPECT_EQ(list.model()->data(list.model()->index(0, 1)).toString(), QStringLiteral("changed"));
    EXPECT_EQ(list.model()->data(list.model()->index(4, 2)).toString(), QStringLiteral("x4"));
}

TEST(ListRedraw, OperationsOnNewItemsWorkWhileOff) {
    CListCtrl list;
    AddColumns(list, 2);
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    list.SetRedraw(false);
    for (int i = 0; i < 4; ++i) list.InsertItem(i, std::to_string(i));
    // Inserting before the end, selecting and sorting take the new items along.
    EXPECT_EQ(list.InsertItem(1, "a"), 1);
    EXPECT_EQ(list.model()->rowCount(), 5);
    EXPECT_TRUE(list.SetItemSelected(4, true));
    list.InsertItem(5, "b");
    EXPECT_TRUE(list.SetItemSelected(5, true));
    EXPECT_EQ(list.GetSelectedCount(), 2);
    for (int i = 0; i < list.GetItemCount(); ++i) list.SetItemData(i, static_cast<uintptr_t>(i));
    EXPECT_TRUE(list.SortItems([](uintptr_t a, uintptr_t b, uintptr_t) { return a > b ? -1 : a < b ? 1 : 0; }, 0));
    EXPECT_EQ(list.GetItemText(0, 0), "b");
    EXPECT_EQ(list.GetNextSelectedItem(), 0);
    list.DeleteAllItems();
    list.InsertItem(0, "again");
    list.SetRedraw(true);
    EXPECT_EQ(list.model()->rowCount(), 1);
    EXPECT_EQ(list.GetItemCount(), 1);
    EXPECT_EQ(list.GetSelectedCount(), 0);
}

}  // namespace

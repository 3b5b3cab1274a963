// The report list: items and sub-items, hidden columns, selection queries, sorting with a
// comparison of parameter values (as the views sort by column), held notifications, and
// large lists. Except for the large list, every change runs under Qt's own model checker,
// which stops the program at the first signal or count that a view could not follow.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <chrono>
#include <cstring>
#include <memory>

#include "controls/ListCtrl.h"

namespace {

CListCtrl* g_sortList = nullptr;
int g_sortColumn = 0;

// Descending by the text of the sort column, the items found by their parameter values.
int CompareDescending(uintptr_t first, uintptr_t second, uintptr_t) {
    std::string a = g_sortList->GetItemText(static_cast<int>(first), g_sortColumn);
    std::string b = g_sortList->GetItemText(static_cast<int>(second), g_sortColumn);
    int c = std::strcmp(b.c_str(), a.c_str());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::unique_ptr<QAbstractItemModelTester> Checked(CListCtrl& list) {
    return std::make_unique<QAbstractItemModelTester>(list.model(),
                                                      QAbstractItemModelTester::FailureReportingMode::Fatal);
}

void AddColumns(CListCtrl& list, int count) {
    for (int i = 0; i < count; ++i) list.InsertColumn(i, "C" + std::to_string(i), LVCFMT_LEFT, i == 1 ? 0 : 60);
}

TEST(ListCtrl, ItemsAndSubItems) {
    CListCtrl list;
    const auto checker = Checked(list);
    AddColumns(list, 3);
    EXPECT_EQ(list.InsertItem(0, "1"), 0);
    EXPECT_EQ(list.InsertItem(1, "2"), 1);
    EXPECT_EQ(list.InsertItem(0, "0"), 0);  // before the others
    EXPECT_EQ(list.InsertItem(9, "x"), 3);  // past the end: appended
    EXPECT_EQ(list.GetItemCount(), 4);
    EXPECT_EQ(list.GetItemText(1, 0), "1");
    EXPECT_TRUE(list.SetItemText(1, 2, "b"));
    EXPECT_EQ(list.GetItemText(1, 2), "b");
    EXPECT_EQ(list.GetItemText(1, 1), "");
    // No text beyond the last column or the last item.
    EXPECT_FALSE(list.SetItemText(1, 3, "none"));
    EXPECT_FALSE(list.SetItemText(4, 0, "none"));
    EXPECT_EQ(list.GetItemText(7, 0), "");
    EXPECT_EQ(list.model()->data(list.model()->index(1, 2)).toString(), QStringLiteral("b"));
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetItemText(0, 2), "b");
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
    // Deleting the rows keeps the column widths.
    EXPECT_EQ(list.GetColumnWidth(0), 60);
}

TEST(ListCtrl, ZeroWidthColumnsStayHiddenAndColumnsCanBeRebuilt) {
    CListCtrl list;
    const auto checker = Checked(list);
    AddColumns(list, 4);
    EXPECT_EQ(list.GetColumnWidth(1), 0);
    EXPECT_EQ(list.horizontalHeader()->sectionSize(1), 0);
    list.InsertItem(0, "a");
    list.SetItemText(0, 3, "d");
    list.DeleteAllColumns();
    EXPECT_EQ(list.GetColumnCount(), 0);
    AddColumns(list, 2);
    EXPECT_EQ(list.GetColumnCount(), 2);
    EXPECT_EQ(list.GetColumnHeading(1), "C1");
}

TEST(ListCtrl, SelectionQueries) {
    CListCtrl list;
    const auto checker = Checked(list);
    AddColumns(list, 2);
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int i = 0; i < 6; ++i) list.InsertItem(i, std::to_string(i));
    EXPECT_EQ(list.GetSelectedCount(), 0);
    EXPECT_EQ(list.GetNextSelectedItem(), -1);
    std::vector<std::pair<int, bool>> changes;
    QObject::connect(&list, &CListCtrl::itemStateChanged, [&](int item, bool on) { changes.emplace_back(item, on); });
    list.SetItemSelected(4, true);
    list.SetItemSelected(1, true);
    EXPECT_EQ(list.GetSelectedCount(), 2);
    EXPECT_EQ(list.GetNextSelectedItem(), 1);
    EXPECT_EQ(list.GetNextSelectedItem(1), 4);
    EXPECT_EQ(list.GetNextSelectedItem(4), -1);
    EXPECT_TRUE(list.IsItemSelected(4));
    list.SetItemSelected(4, false);
    EXPECT_EQ(changes, (std::vector<std::pair<int, bool>>{{4, true}, {1, true}, {4, false}}));
    list.SelectAllItems(true);
    EXPECT_EQ(list.GetSelectedCount(), 6);
    list.SelectAllItems(false);
    EXPECT_EQ(list.GetSelectedCount(), 0);
}

TEST(ListCtrl, SortByParameterValuesKeepsTheSelectionWithItsRows) {
    CListCtrl list;
    const auto checker = Checked(list);
    AddColumns(list, 3);
    const char* texts[] = {"9", "10", "2", "10", "1"};
    for (int i = 0; i < 5; ++i) {
        list.InsertItem(i, std::to_string(i + 1));
        list.SetItemText(i, 2, texts[i]);
        list.SetItemData(i, static_cast<uintptr_t>(i));
    }
    list.SetItemSelected(2, true);  // "2"
    g_sortList = &list;
    g_sortColumn = 2;
    EXPECT_TRUE(list.SortItems(&CompareDescending, 0));
    std::vector<std::string> sorted;
    for (int i = 0; i < 5; ++i) sorted.push_back(list.GetItemText(i, 2));
    // Text order, descending: "9" above "2" above "10" above "1"; equal texts keep their order.
    EXPECT_EQ(sorted, (std::vector<std::string>{"9", "2", "10", "10", "1"}));
    EXPECT_EQ(list.GetItemText(2, 0), "2");
    EXPECT_EQ(list.GetItemText(3, 0), "4");
    EXPECT_EQ(list.GetNextSelectedItem(), 1);
    EXPECT_EQ(list.GetItemText(1, 2), "2");
    EXPECT_EQ(list.GetItemData(0), 0u);
}

// While redrawing is off, appended rows and changed texts reach the views only when it is
// back on; a row inserted, deleted or sorted meanwhile announces what was held first.
TEST(ListCtrl, HeldChangesReachTheViewsInOrder) {
    CListCtrl list;
    const auto checker = Checked(list);
    AddColumns(list, 3);
    list.InsertItem(0, "a");
    list.SetItemText(0, 2, "a2");
    list.SetRedraw(false);
    for (int i = 1; i < 5; ++i) list.InsertRecordRow(i, ("x:;" + std::to_string(i) + ":;").c_str());
    list.SetItemText(0, 1, "held");
    EXPECT_EQ(list.GetItemCount(), 5);
    EXPECT_EQ(list.model()->rowCount(), 1);
    EXPECT_EQ(list.model()->data(list.model()->index(0, 1)).toString(), QStringLiteral("held"));
    list.InsertItem(2, "mid");  // not an append: the held rows go first
    EXPECT_EQ(list.model()->rowCount(), 6);
    EXPECT_EQ(list.GetItemText(2, 0), "mid");
    list.InsertItem(6, "tail");
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.model()->rowCount(), 6);
    EXPECT_EQ(list.GetItemText(5, 0), "tail");
    list.SetItemText(5, 2, "t2");
    for (int i = 0; i < list.GetItemCount(); ++i) list.SetItemData(i, static_cast<uintptr_t>(i));
    g_sortList = &list;
    g_sortColumn = 0;
    EXPECT_TRUE(list.SortItems(&CompareDescending, 0));
    EXPECT_EQ(list.GetItemText(0, 0), "tail");
    EXPECT_EQ(list.GetItemText(0, 2), "t2");
    list.InsertItem(list.GetItemCount(), "last");
    EXPECT_EQ(list.model()->rowCount(), 6);
    list.SetRedraw(true);
    EXPECT_EQ(list.model()->rowCount(), 7);
    EXPECT_EQ(list.model()->data(list.model()->index(6, 0)).toString(), QStringLiteral("last"));
    // Columns added and taken away with rows in place.
    list.SetRedraw(false);
    list.InsertItem(list.GetItemCount(), "held again");
    EXPECT_EQ(list.InsertColumn(1, "new"), 1);
    EXPECT_EQ(list.model()->rowCount(), 8);
    EXPECT_EQ(list.GetItemText(0, 3), "t2");
    EXPECT_TRUE(list.DeleteColumn(0));
    EXPECT_EQ(list.GetItemText(0, 2), "t2");
    list.DeleteAllColumns();
    EXPECT_EQ(list.GetItemCount(), 8);
    list.InsertColumn(0, "only");
    EXPECT_EQ(list.GetItemText(0, 0), "");
    list.InsertItem(list.GetItemCount(), "end");
    list.DeleteAllItems();
    EXPECT_EQ(list.model()->rowCount(), 0);
    list.SetRedraw(true);
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_EQ(list.model()->rowCount(), 0);
}

TEST(ListCtrl, HundredThousandRowsFillAndSortQuickly) {
    CListCtrl list;
    AddColumns(list, 12);
    list.resize(800, 600);
    list.show();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100000; ++i) {
        list.InsertItem(i, std::to_string(i + 1));
        for (int c = 1; c < 12; ++c) list.SetItemText(i, c, "0212345678-" + std::to_string((i * 7919 + c) % 100000));
    }
    auto filled = std::chrono::steady_clock::now();
    for (int i = 0; i < list.GetItemCount(); ++i) list.SetItemData(i, static_cast<uintptr_t>(i));
    g_sortList = &list;
    g_sortColumn = 3;
    list.SortItems(&CompareDescending, 0);
    auto sorted = std::chrono::steady_clock::now();
    list.SelectAllItems(true);
    EXPECT_EQ(list.GetSelectedCount(), 100000);
    list.DeleteAllItems();
    auto done = std::chrono::steady_clock::now();
    auto ms = [](auto a, auto b) { return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count(); };
    std::printf("fill %lld ms, sort %lld ms, select+clear %lld ms\n", static_cast<long long>(ms(start, filled)),
                static_cast<long long>(ms(filled, sorted)), static_cast<long long>(ms(sorted, done)));
    // Generous bounds: sanitizer builds run several times slower.
    EXPECT_LT(ms(start, filled), 30000);
    EXPECT_LT(ms(filled, sorted), 30000);
}

}  // namespace

// The drop-down list: no selection of its own, a signal before the list opens, and the
// selection the user makes.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QTest>

#include "controls/ComboBox.h"

namespace {

TEST(ComboBox, AddingToAnEmptyListSelectsNothing) {
    CComboBox combo;
    EXPECT_EQ(combo.AddString("101.a"), 0);
    EXPECT_EQ(combo.AddString("102.b"), 1);
    EXPECT_EQ(combo.GetCurSel(), -1);
    EXPECT_EQ(combo.GetCount(), 2);
    EXPECT_EQ(combo.GetLBText(1), "102.b");
    EXPECT_EQ(combo.GetLBText(2), "");
    EXPECT_EQ(combo.SetCurSel(1), 1);
    EXPECT_EQ(combo.GetCurSel(), 1);
    combo.ResetContent();
    EXPECT_EQ(combo.GetCurSel(), -1);
    combo.AddString("x");
    EXPECT_EQ(combo.GetCurSel(), -1);
}

TEST(ComboBox, RefillsBeforeTheListOpensAndLosesTheSelection) {
    CComboBox combo;
    combo.AddString("old");
    combo.SetCurSel(0);
    int dropDowns = 0;
    int countWhenOpen = -1;
    QObject::connect(&combo, &CComboBox::dropDown, [&] {
        ++dropDowns;
        combo.ResetContent();
        combo.AddString("101.a");
        combo.AddString("102.b");
    });
    combo.show();
    combo.showPopup();
    countWhenOpen = combo.view()->model()->rowCount();
    combo.hidePopup();
    EXPECT_EQ(dropDowns, 1);
    EXPECT_EQ(countWhenOpen, 2);
    EXPECT_EQ(combo.GetCurSel(), -1);  // closed without a choice
}

TEST(ComboBox, UserChoiceIsReported) {
    CComboBox combo;
    combo.AddString("101.a");
    combo.AddString("102.b");
    int changes = 0;
    QObject::connect(&combo, &CComboBox::selChange, [&] { ++changes; });
    combo.SetCurSel(0);  // the program's choice is no notification
    EXPECT_EQ(changes, 0);
    combo.show();
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo.GetCurSel(), 1);
}

}  // namespace

// What the spreadsheet export reads from a report list: the columns with their captions,
// the items with their texts, and the selection. The views' list control implements it;
// tests use a plain table.
#pragma once

#include <string>

class IListSource {
public:
    virtual ~IListSource() = default;
    virtual int GetColumnCount() const = 0;
    virtual std::string GetColumnHeading(int nCol) const = 0;
    virtual int GetItemCount() const = 0;
    // The text of item nItem, column nSubItem (0 is the item's own text).
    virtual std::string GetItemText(int nItem, int nSubItem) const = 0;
    virtual int GetSelectedCount() const = 0;
    // The first selected item after nItem (from the top when nItem is -1); -1 when none.
    virtual int GetNextSelectedItem(int nItem = -1) const = 0;
};

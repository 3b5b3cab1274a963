// A plain table standing in for a view's report list.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "output/ListSource.h"

class TableList : public IListSource {
public:
    std::vector<std::string> headings;
    std::vector<std::vector<std::string>> rows;
    std::set<int> selected;

    // cols columns "H0".."Hn" and rows rows of "r<row>c<col>".
    static TableList Make(int cols, int rowCount) {
        TableList list;
        for (int c = 0; c < cols; ++c) list.headings.push_back(std::string("H").append(std::to_string(c)));
        for (int r = 0; r < rowCount; ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < cols; ++c) {
                row.push_back(std::string("r").append(std::to_string(r)).append("c").append(std::to_string(c)));
            }
            list.rows.push_back(row);
        }
        return list;
    }

    int GetColumnCount() const override { return static_cast<int>(headings.size()); }
    std::string GetColumnHeading(int nCol) const override { return headings.at(static_cast<size_t>(nCol)); }
    int GetItemCount() const override { return static_cast<int>(rows.size()); }
    std::string GetItemText(int nItem, int nSubItem) const override {
        return rows.at(static_cast<size_t>(nItem)).at(static_cast<size_t>(nSubItem));
    }
    int GetSelectedCount() const override { return static_cast<int>(selected.size()); }
    int GetNextSelectedItem(int nItem = -1) const override {
        auto it = selected.upper_bound(nItem);
        return it == selected.end() ? -1 : *it;
    }
};

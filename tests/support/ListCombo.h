// A combo box stand-in: a list of strings and a selection.
#pragma once

#include <string>
#include <vector>

#include "data/ComboBox.h"

class ListCombo : public IComboBox {
public:
    int AddString(const std::string& text) override {
        items.push_back(text);
        return static_cast<int>(items.size()) - 1;
    }
    void ResetContent() override {
        items.clear();
        selected = -1;
    }
    int GetCount() const override { return static_cast<int>(items.size()); }
    int GetCurSel() const override { return selected; }
    std::string GetLBText(int index) const override {
        return index >= 0 && index < GetCount() ? items[static_cast<size_t>(index)] : std::string();
    }

    std::vector<std::string> items;
    int selected = -1;
};

// What the data core needs of a drop-down list: the desktop program's combo box implements
// it, tests use a plain list.
#pragma once

#include <string>

class IComboBox {
public:
    virtual ~IComboBox() = default;
    virtual int AddString(const std::string& text) = 0;   // returns the new item's index
    virtual void ResetContent() = 0;
    virtual int GetCount() const = 0;
    virtual int GetCurSel() const = 0;                     // -1 when nothing is selected
    virtual std::string GetLBText(int index) const = 0;
};

// A drop-down list that tells its owner just before the list opens (so the owner can refill
// it) and reports selections the user makes. Unlike a plain combo box it does not select an
// item by itself: after ResetContent nothing is selected until the user or the program
// chooses.
#pragma once

#include <QComboBox>
#include <string>

#include "data/ComboBox.h"

class CComboBox : public QComboBox, public IComboBox {
    Q_OBJECT
public:
    explicit CComboBox(QWidget* parent = nullptr);

    int AddString(const std::string& text) override;
    void ResetContent() override;
    int GetCount() const override;
    int GetCurSel() const override;
    std::string GetLBText(int index) const override;
    int SetCurSel(int index);  // -1 clears the selection; returns the index or -1

    void showPopup() override;

signals:
    void dropDown();   // the list is about to open
    void selChange();  // the user chose an item
};

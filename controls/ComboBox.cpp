#include "controls/ComboBox.h"

CComboBox::CComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
    connect(this, &QComboBox::activated, this, [this](int) { emit selChange(); });
}

int CComboBox::AddString(const std::string& text) {
    int before = currentIndex();
    addItem(QString::fromStdString(text));
    // Adding to an empty list selects nothing.
    if (before < 0 && currentIndex() >= 0) setCurrentIndex(-1);
    return count() - 1;
}

void CComboBox::ResetContent() { clear(); }

int CComboBox::GetCount() const { return count(); }

int CComboBox::GetCurSel() const { return currentIndex(); }

std::string CComboBox::GetLBText(int index) const {
    if (index < 0 || index >= count()) return std::string();
    return itemText(index).toStdString();
}

int CComboBox::SetCurSel(int index) {
    if (index < -1 || index >= count()) {
        setCurrentIndex(-1);
        return -1;
    }
    setCurrentIndex(index);
    return index;
}

void CComboBox::showPopup() {
    emit dropDown();
    QComboBox::showPopup();
}

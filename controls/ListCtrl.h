// A report-style list with the operations of the classic list control: items addressed by
// index, sub-item texts, a parameter value per item, selection queries, sorting with a
// comparison of parameter values, zero-width (hidden) columns.
#pragma once

#include <QTableView>
#include <cstdint>
#include <string>

#include "output/ListSource.h"

class CListModel;

enum : int { LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1, LVCFMT_CENTER = 2 };
enum : unsigned { LVS_EX_GRIDLINES = 0x01, LVS_EX_FULLROWSELECT = 0x20, LVS_EX_FLATSB = 0x100 };

class CListCtrl : public QTableView, public IListSource {
    Q_OBJECT
public:
    // Comparison for SortItems: the two items' parameter values and the caller's value;
    // negative when the first item goes first.
    using CompareFunc = int (*)(uintptr_t lParam1, uintptr_t lParam2, uintptr_t lParamSort);

    explicit CListCtrl(QWidget* parent = nullptr, bool multipleSelection = true);
    ~CListCtrl() override;

    // Columns
    int InsertColumn(int nCol, const std::string& heading, int nFormat = LVCFMT_LEFT, int nWidth = -1);
    bool DeleteColumn(int nCol);
    void DeleteAllColumns();
    int GetColumnCount() const override;
    int GetColumnWidth(int nCol) const;
    bool SetColumnWidth(int nCol, int cx);
    std::string GetColumnHeading(int nCol) const override;

    // Items
    int InsertItem(int nItem, const std::string& text);  // index of the new item, -1 on failure
    bool DeleteItem(int nItem);
    bool DeleteAllItems();
    int GetItemCount() const override;
    bool SetItemText(int nItem, int nSubItem, const std::string& text);
    // What every row callback does: a new item at nItem numbered nItem + 1, then field i of
    // the delivered row in column i + 1 (fieldCount fields, empty where the row has fewer;
    // -1: as many as the row has). Returns the new item, -1 on failure.
    int InsertRecordRow(int nItem, const char* row, int fieldCount = -1);
    std::string GetItemText(int nItem, int nSubItem) const override;
    bool SetItemData(int nItem, uintptr_t data);
    uintptr_t GetItemData(int nItem) const;
    bool SortItems(CompareFunc compare, uintptr_t lParamSort);
    bool EnsureVisible(int nItem);

    // Selection
    int GetSelectedCount() const override;
    // The first selected item after nItem (from the top when nItem is -1); -1 when none.
    int GetNextSelectedItem(int nItem = -1) const override;
    bool IsItemSelected(int nItem) const;
    bool SetItemSelected(int nItem, bool selected);
    void SelectAllItems(bool selected);

    // Off: items added and texts changed are shown only when redrawing is switched on again
    // (in one step, which keeps filling and renumbering large lists fast).
    void SetRedraw(bool bRedraw);

    // Grid lines, full-row selection, flat scroll bars.
    void SetExtendedStyle(unsigned style);
    unsigned GetExtendedStyle() const { return m_nExtendedStyle; }

    CListModel* Model() const { return m_pModel; }

signals:
    void columnClicked(int nColumn);             // a click on a column heading
    void itemDoubleClicked(int nItem);           // a double click on an item (-1 on no item)
    void itemStateChanged(int nItem, bool selected);  // an item was selected or deselected

private:
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);

    CListModel* m_pModel;
    unsigned m_nExtendedStyle = 0;
    bool m_bRedrawOff = false;
};

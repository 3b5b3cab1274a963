#include "controls/ListCtrl.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>
#include <numeric>
#include <vector>

#include "controls/ListModel.h"
#include "data/RecordTokenizer.h"

CListCtrl::CListCtrl(QWidget* parent, bool multipleSelection) : QTableView(parent), m_pModel(new CListModel(this)) {
    setModel(m_pModel);
    setSelectionMode(multipleSelection ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setShowGrid(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // Every row is one line of the list font: uniform heights keep large lists fast.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);

    QHeaderView* columns = horizontalHeader();
    columns->setMinimumSectionSize(0);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(false);
    columns->setHighlightSections(false);
    columns->setSectionsClickable(true);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSortIndicatorShown(false);

    // The selection stays visible while the list does not have the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    connect(columns, &QHeaderView::sectionClicked, this, &CListCtrl::columnClicked);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit itemDoubleClicked(index.isValid() ? index.row() : -1); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CListCtrl::OnSelectionChanged);
}

CListCtrl::~CListCtrl() = default;

int CListCtrl::InsertColumn(int nCol, const std::string& heading, int nFormat, int nWidth) {
    int column = m_pModel->InsertColumn(nCol, CListModel::Column{heading, nFormat});
    if (column < 0) return -1;
    int width = nWidth >= 0 ? nWidth : fontMetrics().horizontalAdvance(QString::fromStdString(heading)) + 12;
    horizontalHeader()->resizeSection(column, width);
    return column;
}

bool CListCtrl::DeleteColumn(int nCol) { return m_pModel->DeleteColumn(nCol); }

void CListCtrl::DeleteAllColumns() {
    while (GetColumnCount() > 0) DeleteColumn(0);
}

int CListCtrl::GetColumnCount() const { return m_pModel->columnCount(); }

int CListCtrl::GetColumnWidth(int nCol) const {
    if (nCol < 0 || nCol >= GetColumnCount()) return 0;
    return horizontalHeader()->sectionSize(nCol);
}

bool CListCtrl::SetColumnWidth(int nCol, int cx) {
    if (nCol < 0 || nCol >= GetColumnCount()) return false;
    horizontalHeader()->resizeSection(nCol, cx);
    return true;
}

std::string CListCtrl::GetColumnHeading(int nCol) const {
    if (nCol < 0 || nCol >= GetColumnCount()) return std::string();
    return m_pModel->GetColumn(nCol).heading;
}

int CListCtrl::InsertItem(int nItem, const std::string& text) {
    if (nItem < 0) return -1;
    return m_pModel->InsertRow(nItem, text);
}

bool CListCtrl::DeleteItem(int nItem) { return m_pModel->DeleteRow(nItem); }

bool CListCtrl::DeleteAllItems() {
    m_pModel->DeleteAllRows();
    return true;
}

int CListCtrl::GetItemCount() const { return m_pModel->RowCount(); }

bool CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& text) {
    return m_pModel->SetText(nItem, nSubItem, text);
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const { return m_pModel->GetText(nItem, nSubItem); }

bool CListCtrl::SetItemData(int nItem, uintptr_t data) { return m_pModel->SetData(nItem, data); }

uintptr_t CListCtrl::GetItemData(int nItem) const { return m_pModel->GetData(nItem); }

bool CListCtrl::SortItems(CompareFunc compare, uintptr_t lParamSort) {
    if (compare == nullptr) return false;
    // The comparison sees the items where they were before the sort: items move only once
    // the new order is known.
    std::vector<int> order(static_cast<size_t>(GetItemCount()));
    std::iota(order.begin(), order.end(), 0);
    std::vector<uintptr_t> params(order.size());
    for (size_t i = 0; i < order.size(); ++i) params[i] = m_pModel->GetData(static_cast<int>(i));
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compare(params[static_cast<size_t>(a)], params[static_cast<size_t>(b)], lParamSort) < 0;
    });
    m_pModel->Reorder(order);
    return true;
}

bool CListCtrl::EnsureVisible(int nItem) {
    if (nItem < 0 || nItem >= GetItemCount()) return false;
    m_pModel->Flush();
    scrollTo(m_pModel->index(nItem, 0));
    return true;
}

int CListCtrl::GetSelectedCount() const {
    // Rows with any selected cell, each counted once.
    int count = GetItemCount();
    std::vector<char> marked(static_cast<size_t>(count), 0);
    int selected = 0;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = std::max(range.top(), 0); row <= range.bottom() && row < count; ++row) {
            if (!marked[static_cast<size_t>(row)]) {
                marked[static_cast<size_t>(row)] = 1;
                ++selected;
            }
        }
    }
    return selected;
}

int CListCtrl::GetNextSelectedItem(int nItem) const {
    int count = GetItemCount();
    const QItemSelection selection = selectionModel()->selection();
    int best = -1;
    for (const QItemSelectionRange& range : selection) {
        int candidate = std::max(range.top(), nItem + 1);
        if (candidate <= range.bottom() && candidate < count && (best < 0 || candidate < best)) best = candidate;
    }
    return best;
}

bool CListCtrl::IsItemSelected(int nItem) const {
    if (nItem < 0 || nItem >= GetItemCount()) return false;
    return selectionModel()->rowIntersectsSelection(nItem, QModelIndex());
}

bool CListCtrl::SetItemSelected(int nItem, bool selected) {
    if (nItem < 0 || nItem >= GetItemCount()) return false;
    m_pModel->Flush();
    QModelIndex index = m_pModel->index(nItem, 0);
    selectionModel()->select(index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                        QItemSelectionModel::Rows);
    return true;
}

void CListCtrl::SelectAllItems(bool selected) {
    if (GetItemCount() == 0 || GetColumnCount() == 0) return;
    m_pModel->Flush();
    QItemSelection all(m_pModel->index(0, 0), m_pModel->index(GetItemCount() - 1, GetColumnCount() - 1));
    selectionModel()->select(all, selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void CListCtrl::SetRedraw(bool bRedraw) {
    if (bRedraw == !m_bRedrawOff) return;
    m_bRedrawOff = !bRedraw;
    if (m_bRedrawOff) {
        m_pModel->HoldNotifications();
    } else {
        m_pModel->ReleaseNotifications();
    }
}

void CListCtrl::SetExtendedStyle(unsigned style) {
    m_nExtendedStyle = style;
    setShowGrid((style & LVS_EX_GRIDLINES) != 0);
    setSelectionBehavior((style & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                       : QAbstractItemView::SelectItems);
}

void CListCtrl::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    std::vector<int> on;
    std::vector<int> off;
    for (const QItemSelectionRange& range : selected) {
        for (int row = range.top(); row <= range.bottom(); ++row) on.push_back(row);
    }
    for (const QItemSelectionRange& range : deselected) {
        for (int row = range.top(); row <= range.bottom(); ++row) off.push_back(row);
    }
    std::sort(on.begin(), on.end());
    on.erase(std::unique(on.begin(), on.end()), on.end());
    std::sort(off.begin(), off.end());
    off.erase(std::unique(off.begin(), off.end()), off.end());
    for (int row : off) {
        if (!IsItemSelected(row)) emit itemStateChanged(row, false);
    }
    for (int row : on) emit itemStateChanged(row, true);
}

int CListCtrl::InsertRecordRow(int nItem, const char* row, int fieldCount) {
    CRecordTokenizer tokens(row);
    const int item = InsertItem(nItem, std::to_string(nItem + 1));
    if (item < 0) return item;
    const int count = fieldCount < 0 ? tokens.GetCount() : fieldCount;
    for (int i = 0; i < count; ++i) {
        const char* field = tokens.GetItem(i);
        SetItemText(item, i + 1, field != nullptr ? field : "");
    }
    return item;
}

#include "controls/ListModel.h"

#include <algorithm>
#include <limits>

namespace {

const std::string kEmpty;

}  // namespace

CListModel::CListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_nAnnounced; }

int CListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !Announced(index.row())) return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return QString::fromStdString(GetText(index.row(), index.column()));
    }
    if (role == Qt::TextAlignmentRole) {
        int format = m_columns[static_cast<size_t>(index.column())].format;
        Qt::Alignment align = format == 1 ? Qt::AlignRight : format == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
        return QVariant::fromValue(align | Qt::AlignVCenter);
    }
    return QVariant();
}

QVariant CListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(m_columns.size())) {
        return QVariant();
    }
    if (role == Qt::DisplayRole) return QString::fromStdString(m_columns[static_cast<size_t>(section)].heading);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}

int CListModel::InsertColumn(int column, const Column& info) {
    Flush();
    int count = static_cast<int>(m_columns.size());
    if (column < 0) return -1;
    if (column > count) column = count;
    beginInsertColumns(QModelIndex(), column, column);
    m_columns.insert(m_columns.begin() + column, info);
    for (Row& row : m_rows) {
        if (static_cast<int>(row.texts.size()) > column) row.texts.insert(row.texts.begin() + column, std::string());
    }
    endInsertColumns();
    return column;
}

bool CListModel::DeleteColumn(int column) {
    if (column < 0 || column >= static_cast<int>(m_columns.size())) return false;
    Flush();
    beginRemoveColumns(QModelIndex(), column, column);
    m_columns.erase(m_columns.begin() + column);
    for (Row& row : m_rows) {
        if (static_cast<int>(row.texts.size()) > column) row.texts.erase(row.texts.begin() + column);
    }
    endRemoveColumns();
    return true;
}

int CListModel::InsertRow(int row, const std::string& text) {
    int count = static_cast<int>(m_rows.size());
    if (row < 0 || row > count) row = count;
    Row item;
    item.texts.reserve(m_columns.size());
    item.texts.push_back(text);
    if (m_nHold > 0 && row == count) {
        // Appended during a hold: announced when the hold ends.
        m_rows.push_back(std::move(item));
        return row;
    }
    Flush();
    WidenChanged();
    beginInsertRows(QModelIndex(), row, row);
    m_rows.insert(m_rows.begin() + row, std::move(item));
    m_nAnnounced = static_cast<int>(m_rows.size());
    endInsertRows();
    return row;
}

bool CListModel::DeleteRow(int row) {
    if (!ValidRow(row)) return false;
    Flush();
    WidenChanged();
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    m_nAnnounced = static_cast<int>(m_rows.size());
    endRemoveRows();
    return true;
}

void CListModel::DeleteAllRows() {
    m_nChangedFirst = m_nChangedLast = -1;
    if (m_nAnnounced == 0) {
        m_rows.clear();
        return;
    }
    // Removal rather than a reset: a reset would also reset the header's column widths.
    beginRemoveRows(QModelIndex(), 0, m_nAnnounced - 1);
    m_rows.clear();
    m_nAnnounced = 0;
    endRemoveRows();
}

bool CListModel::SetText(int row, int column, const std::string& text) {
    // As with the list control, there is no text beyond the last column.
    if (!ValidRow(row) || column < 0 || column >= static_cast<int>(m_columns.size())) return false;
    std::vector<std::string>& texts = m_rows[static_cast<size_t>(row)].texts;
    if (static_cast<int>(texts.size()) <= column) texts.resize(static_cast<size_t>(column) + 1);
    texts[static_cast<size_t>(column)] = text;
    if (!Announced(row)) return true;  // announced with its row
    if (m_nHold > 0) {
        if (m_nChangedFirst < 0 || row < m_nChangedFirst) m_nChangedFirst = row;
        if (row > m_nChangedLast) m_nChangedLast = row;
        return true;
    }
    QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
    return true;
}

const std::string& CListModel::GetText(int row, int column) const {
    if (!ValidRow(row) || column < 0) return kEmpty;
    const std::vector<std::string>& texts = m_rows[static_cast<size_t>(row)].texts;
    return column < static_cast<int>(texts.size()) ? texts[static_cast<size_t>(column)] : kEmpty;
}

bool CListModel::SetData(int row, uintptr_t value) {
    if (!ValidRow(row)) return false;
    m_rows[static_cast<size_t>(row)].data = value;
    return true;
}

uintptr_t CListModel::GetData(int row) const {
    return ValidRow(row) ? m_rows[static_cast<size_t>(row)].data : 0;
}

void CListModel::Reorder(const std::vector<int>& order) {
    if (order.size() != m_rows.size()) return;
    Flush();
    WidenChanged();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newIndexOf(order.size());
    for (size_t i = 0; i < order.size(); ++i) newIndexOf[static_cast<size_t>(order[i])] = static_cast<int>(i);
    std::vector<Row> rows;
    rows.reserve(m_rows.size());
    for (int old : order) rows.push_back(std::move(m_rows[static_cast<size_t>(old)]));
    m_rows = std::move(rows);
    QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from) {
        to.append(this->index(newIndexOf[static_cast<size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CListModel::HoldNotifications() { ++m_nHold; }

void CListModel::ReleaseNotifications() {
    if (m_nHold == 0 || --m_nHold > 0) return;
    Flush();
    if (m_nChangedFirst >= 0 && !m_columns.empty()) {
        int last = std::min(m_nChangedLast, m_nAnnounced - 1);
        if (m_nChangedFirst <= last) {
            emit dataChanged(index(m_nChangedFirst, 0), index(last, static_cast<int>(m_columns.size()) - 1),
                             {Qt::DisplayRole});
        }
    }
    m_nChangedFirst = m_nChangedLast = -1;
}

void CListModel::Flush() {
    int count = static_cast<int>(m_rows.size());
    if (m_nAnnounced >= count) return;
    beginInsertRows(QModelIndex(), m_nAnnounced, count - 1);
    m_nAnnounced = count;
    endInsertRows();
}

void CListModel::WidenChanged() {
    // Rows move: the texts changed during the hold may now be anywhere.
    if (m_nChangedFirst < 0) return;
    m_nChangedFirst = 0;
    m_nChangedLast = std::numeric_limits<int>::max();
}

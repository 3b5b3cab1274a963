// The rows of a report list: per row one text per column and a parameter value. Texts are
// kept as UTF-8 and turned into display strings only for the cells on screen, so large
// lists stay cheap to fill and to sort.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <string>
#include <vector>

class CListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        std::string heading;
        int format = 0;  // alignment, see CListCtrl
    };

    explicit CListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int InsertColumn(int column, const Column& info);
    bool DeleteColumn(int column);
    const Column& GetColumn(int column) const { return m_columns[static_cast<size_t>(column)]; }

    int InsertRow(int row, const std::string& text);
    bool DeleteRow(int row);
    void DeleteAllRows();
    bool SetText(int row, int column, const std::string& text);
    const std::string& GetText(int row, int column) const;
    bool SetData(int row, uintptr_t value);
    uintptr_t GetData(int row) const;

    // Reorders the rows by the permutation given (order[i] = old index of new row i),
    // keeping persistent indexes (the selection) with their rows.
    void Reorder(const std::vector<int>& order);

private:
    struct Row {
        std::vector<std::string> texts;
        uintptr_t data = 0;
    };
    bool ValidRow(int row) const { return row >= 0 && row < static_cast<int>(m_rows.size()); }

    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
};

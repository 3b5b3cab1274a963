// The rows of a report list: per row one text per column and a parameter value. Texts are
// kept as UTF-8 and turned into display strings only for the cells on screen, so large
// lists stay cheap to fill and to sort. While notifications are held, rows appended and
// texts changed are announced to the views only when the hold ends, in one notice each.
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

    // Rows announced to the views; RowCount() also counts rows appended during a hold.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int InsertColumn(int column, const Column& info);
    bool DeleteColumn(int column);
    const Column& GetColumn(int column) const { return m_columns[static_cast<size_t>(column)]; }

    int RowCount() const { return static_cast<int>(m_rows.size()); }
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

    // Holds are counted; the last Release announces what changed meanwhile.
    void HoldNotifications();
    void ReleaseNotifications();
    // Announces the rows appended so far (a hold goes on).
    void Flush();

private:
    struct Row {
        std::vector<std::string> texts;
        uintptr_t data = 0;
    };
    bool ValidRow(int row) const { return row >= 0 && row < static_cast<int>(m_rows.size()); }
    bool Announced(int row) const { return row >= 0 && row < m_nAnnounced; }
    void WidenChanged();

    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    int m_nAnnounced = 0;     // rows the views know of
    int m_nHold = 0;          // nesting depth of HoldNotifications
    int m_nChangedFirst = -1; // announced rows whose texts changed during the hold
    int m_nChangedLast = -1;
};

#pragma once
// The table model of the main window's citation list, over the compact rows
// of store/CitationRows.
#include "store/CitationRows.h"

#include <QAbstractTableModel>

class CitationListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CitationListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Replaces every row in one reset; the rows count as unsorted.
    void setRows(CitationRows rows);
    void clear() { setRows(CitationRows()); }
    CitationRow row(int r) const { return m_rows.decoded(r); }
    int recNumAt(int r) const { return m_rows.at(r).recNum; }
    // The text of a cell, columns 0..5 (the record number as decimal text).
    QString cellText(int r, int column) const { return m_rows.cellText(r, column); }
    // The row of record (key) recNum, -1 when it is not listed. `near` is a
    // row it is likely at (the selected one): that row, its neighbours and
    // the row last placed or found are looked at before every row is.
    int rowOfRecord(int recNum, int near = -1) const;

    // Sorts every row by one column's text, ascending, without regard to
    // case; rows with equal keys stand in record order.
    void sortByColumn(int column);
    // The column of the last sort, -1 while the rows are in record order.
    int sortColumn() const { return m_sortColumn; }

    // One-row changes that leave the rows as a reload followed by the same
    // sort would: a new record at the end of the file, a record rewritten in
    // place, and a record removed (with laterKeysShift, as in the data file,
    // the records after it move up by one; a server's keys stay).
    // Each returns the row the record now holds (-1 for a removal).
    int insertRecord(const char* record, int recNum, bool withTime);
    int updateRecord(int r, const char* record, bool withTime);
    void removeRecord(int recNum, bool laterKeysShift = true);

    // Replaces one row's cells and keys where it stands.
    void setRow(int r, const char* record, bool withTime);

    static QColor shadeOfRow(int r); // white for the 1st, 3rd... row, light grey for the 2nd, 4th...

private:
    bool rowLess(const CitationRows::Packed& a, const CitationRows::Packed& b) const;
    int sortedPlace(const CitationRows::Packed& row, int first, int last) const;

    CitationRows m_rows;
    int m_sortColumn = -1;
    mutable int m_lastRow = -1; // the row last placed or found
};

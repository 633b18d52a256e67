#pragma once
// The citation list of the main window: one row per citation with the four
// cells the grid shows and two hidden key cells, read straight from the
// mapped data file, and the table model the grid draws.
#include <QAbstractTableModel>
#include <QList>
#include <QString>

class CitationFileView;
struct SearchSettings;

struct CitationRow {
    QString date;           // column 0: offense date, in the numeric date order
    QString citationNumber; // column 1
    QString offense;        // column 2: code section
    QString location;       // column 3: occurred on " / " occurred at
    int recNum = 0;         // column 4: the record number in the data file
    QString dateSort;       // column 5: "yyyymmdd", plus "hhnn" in a sub-list
};

namespace ListColumn {
constexpr int Date = 0;
constexpr int CitationNumber = 1;
constexpr int Offense = 2;
constexpr int Location = 3;
constexpr int RecNum = 4;
constexpr int DateSort = 5;
constexpr int Count = 6;
constexpr int Visible = 4; // columns 0..3 are shown, 4 and 5 are keys
} // namespace ListColumn

// The row of one record (3000 bytes). withTime adds the offense time to the
// date key as a 24-hour "hhnn" so that one day's citations sort in order.
CitationRow CitationRowOf(const char* record, int recNum, bool withTime);

// The rows of the whole file in record order: every citation, or with
// `search` only those whose searched text matches the search settings. Stops
// at a record the view cannot read (its lastError() says why).
QList<CitationRow> ReadCitationRows(CitationFileView& view, const SearchSettings* search);

class CitationListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CitationListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Replaces every row in one reset.
    void setRows(QList<CitationRow> rows);
    void clear() { setRows({}); }
    const CitationRow& row(int r) const { return m_rows.at(r); }
    // The record number of row r.
    int recNumAt(int r) const { return m_rows.at(r).recNum; }
    // The text of a cell, columns 0..5 (the record number as decimal text).
    QString cellText(int r, int column) const;
    // The row holding record number recNum, or -1.
    int rowOfRecord(int recNum) const;

    // Sorts every row by one column's text, ascending, without regard to
    // case; rows with equal keys keep their order.
    void sortByColumn(int column);

    // Replaces one row (after an edit saved in place), keys included.
    void setRow(int r, CitationRow row);

    static QColor shadeOfRow(int r); // white for the 1st, 3rd... row, light grey for the 2nd, 4th...

private:
    QList<CitationRow> m_rows;
};

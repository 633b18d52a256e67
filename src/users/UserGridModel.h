#pragma once
// The rows of the admin window's user grid: the three visible columns and the
// two key columns kept out of view ("NameSort" and "RecNum").
#include <QAbstractTableModel>
#include <QList>
#include <QString>

struct UserGridRow {
    QString name;      // "User List": display name
    QString level;     // "Access Level": level name
    QString created;   // "Date Created": in the numeric date order
    QString sortKey;   // "NameSort"
    int recordNumber;  // "RecNum": the user's record in "User.List"
};

class UserGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColName, ColLevel, ColCreated, ColNameSort, ColRecNum, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Replaces every row in one reset.
    void setRows(QList<UserGridRow> rows);
    // Sorts by "NameSort" as text, ascending, ignoring case.
    void sortByNameKey();
    // Row r counted from 0; cell text as the grid shows it (RecNum as decimal text).
    const UserGridRow& row(int r) const { return m_rows.at(r); }
    QString cell(int r, int column) const;

private:
    QList<UserGridRow> m_rows;
};

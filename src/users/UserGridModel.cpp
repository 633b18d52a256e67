#include "users/UserGridModel.h"

#include <QColor>
#include <algorithm>

namespace {
const char* const Headers[UserGridModel::ColumnCount] = {"User List", "Access Level", "Date Created", "NameSort",
                                                         "RecNum"};

Qt::Alignment alignmentOf(int column)
{
    return column == UserGridModel::ColCreated ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter);
}
} // namespace

int UserGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int UserGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString UserGridModel::cell(int r, int column) const
{
    const UserGridRow& row = m_rows.at(r);
    switch (column) {
    case ColName: return row.name;
    case ColLevel: return row.level;
    case ColCreated: return row.created;
    case ColNameSort: return row.sortKey;
    case ColRecNum: return QString::number(row.recordNumber);
    default: return QString();
    }
}

QVariant UserGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    switch (role) {
    case Qt::DisplayRole: return cell(index.row(), index.column());
    case Qt::TextAlignmentRole: return QVariant::fromValue(alignmentOf(index.column()));
    case Qt::BackgroundRole:
        // Every second user row (rows 2, 4, 6 ... under the heading) is shaded.
        if (index.row() % 2 == 1 && index.column() <= ColCreated)
            return QColor(240, 240, 240);
        return {};
    default: return {};
    }
}

QVariant UserGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(Headers[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignmentOf(section));
    return {};
}

void UserGridModel::setRows(QList<UserGridRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void UserGridModel::sortByNameKey()
{
    beginResetModel();
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const UserGridRow& a, const UserGridRow& b) {
        return QString::compare(a.sortKey, b.sortKey, Qt::CaseInsensitive) < 0;
    });
    endResetModel();
}

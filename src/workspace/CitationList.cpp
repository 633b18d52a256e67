#include "workspace/CitationList.h"

#include "store/CitationFile.h"
#include "store/CitationRecord.h"
#include "store/DateValue.h"
#include "workspace/ListDateText.h"
#include "workspace/SearchMatch.h"
#include "workspace/SearchSettings.h"

#include <QColor>
#include <algorithm>
#include <numeric>

namespace {

const QString WeekdayFormat = QStringLiteral(" dddd ");

} // namespace

CitationRow CitationRowOf(const char* record, int recNum, bool withTime)
{
    using F = CitationField;
    CitationRow row;
    const DateValue offenseDate = CitationBytes::date(record, F::OffenseDate);
    row.date = ListDateText::date(offenseDate);
    row.citationNumber = CitationBytes::text(record, F::CitationNumber);
    row.offense = CitationBytes::text(record, F::CodeSection);
    row.location = CitationBytes::text(record, F::OccurredOn) + QStringLiteral(" / ")
        + CitationBytes::text(record, F::OccurredAt);
    row.recNum = recNum;
    row.dateSort = ListDateText::dateKey(offenseDate);
    if (withTime)
        row.dateSort += ListDateText::timeKey(CitationBytes::date(record, F::OffenseTime));
    return row;
}

QList<CitationRow> ReadCitationRows(CitationFileView& view, const SearchSettings* search)
{
    QList<CitationRow> rows;
    const int count = view.count();
    if (!search) {
        rows.reserve(count);
        for (int n = 1; n <= count; ++n) {
            const char* record = view.record(n);
            if (!record)
                break; // the view says why; the rows read so far stand
            rows.append(CitationRowOf(record, n, false));
        }
        return rows;
    }
    const bool ignoreCase = search->ignoreCase == 1;
    const bool wholeWord = search->wholeWord == 1;
    for (int n = 1; n <= count; ++n) {
        const char* record = view.record(n);
        if (!record)
            break;
        if (MatchesSearch(SearchedText(record, search->scope), search->phrase, ignoreCase, wholeWord))
            rows.append(CitationRowOf(record, n, true));
    }
    return rows;
}

CitationListModel::CitationListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CitationListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int CitationListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ListColumn::Count; }

QString CitationListModel::cellText(int r, int column) const
{
    const CitationRow& row = m_rows.at(r);
    switch (column) {
    case ListColumn::Date: return row.date;
    case ListColumn::CitationNumber: return row.citationNumber;
    case ListColumn::Offense: return row.offense;
    case ListColumn::Location: return row.location;
    case ListColumn::RecNum: return QString::number(row.recNum);
    case ListColumn::DateSort: return row.dateSort;
    default: return QString();
    }
}

QColor CitationListModel::shadeOfRow(int r) { return r % 2 == 0 ? QColor(255, 255, 255) : QColor(240, 240, 240); }

QVariant CitationListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::BackgroundRole:
        if (index.column() < ListColumn::Visible)
            return shadeOfRow(index.row());
        return {};
    case Qt::ToolTipRole:
        // The weekday of the offense date, taken from the sort key, which
        // holds the date year first whatever order the column shows.
        if (index.column() == ListColumn::Date) {
            const QDate d = QDate::fromString(m_rows.at(index.row()).dateSort.left(8), QStringLiteral("yyyyMMdd"));
            if (d.isValid())
                return FormatDateValue(ToDateValue(d), WeekdayFormat);
        }
        return QString();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant CitationListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        static const char* const headings[ListColumn::Count] = {"Date",     "Citation#", "Offense",
                                                                "Location", "RecNum",    "DateSort"};
        return (section >= 0 && section < ListColumn::Count) ? QString::fromLatin1(headings[section]) : QString();
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void CitationListModel::setRows(QList<CitationRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int CitationListModel::rowOfRecord(int recNum) const
{
    for (int r = 0; r < m_rows.size(); ++r)
        if (m_rows.at(r).recNum == recNum)
            return r;
    return -1;
}

void CitationListModel::sortByColumn(int column)
{
    const int n = int(m_rows.size());
    QList<QString> keys;
    keys.reserve(n);
    for (int r = 0; r < n; ++r)
        keys.append(cellText(r, column).toCaseFolded());
    QList<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) { return keys.at(a) < keys.at(b); });

    QList<CitationRow> sorted;
    sorted.reserve(n);
    for (int r : order)
        sorted.append(std::move(m_rows[r]));
    setRows(std::move(sorted));
}

void CitationListModel::setRow(int r, CitationRow row)
{
    if (r < 0 || r >= m_rows.size())
        return;
    m_rows[r] = std::move(row);
    emit dataChanged(index(r, 0), index(r, ListColumn::Count - 1));
}

#include "workspace/CitationList.h"

#include "store/AnsiText.h"
#include "store/CitationRecord.h"
#include "store/DateValue.h"
#include "store/ListDateText.h"

#include <QColor>
#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>


namespace {

const QString WeekdayFormat = QStringLiteral(" dddd ");

} // namespace

// ---- Sorting

namespace {

// The date key text as a number that orders as the text does: each digit
// one nibble (digit + 1), left-aligned in 12 nibbles, so a shorter key that
// is a prefix of a longer one orders first.
quint64 dateKeyOf(const CitationRows::Packed& row)
{
    quint64 key = 0;
    int nibbles = 0;
    const auto put = [&](int value, int count) {
        int divisor = 1;
        for (int i = 1; i < count; ++i)
            divisor *= 10;
        for (; divisor > 0; divisor /= 10, ++nibbles)
            key |= quint64(value / divisor % 10 + 1) << (4 * (11 - nibbles));
    };
    if (row.day)
        put(int(row.day), 8);
    if (row.time >= 0)
        put(row.time, 4);
    return key;
}

// Compares two texts as their case-folded forms compare: <0, 0 or >0.
int compareFolded(const char* a, int aLength, const char* b, int bLength)
{
    const unsigned char* rank = AnsiFold::rankTable();
    const int n = qMin(aLength, bLength);
    for (int i = 0; i < n; ++i) {
        const int d = int(rank[static_cast<unsigned char>(a[i])]) - int(rank[static_cast<unsigned char>(b[i])]);
        if (d != 0)
            return d;
    }
    return aLength - bLength;
}

// The first eight folded characters as a number that orders as they do.
quint64 foldedPrefix(const char* text, int length)
{
    const unsigned char* rank = AnsiFold::rankTable();
    quint64 key = 0;
    for (int i = 0; i < 8; ++i)
        key = (key << 8) | (i < length ? rank[static_cast<unsigned char>(text[i])] : 0);
    return key;
}

// A full list's rows in date order when they come in record order: they have
// days and no times, so one counting pass over the days (as months of 31
// days from the earliest) places them, ties in record order. False when that
// does not apply (times, rows in another order, days too far apart to count).
bool sortByDay(const CitationRows::Blocks& rows, CitationRows::Blocks& sorted)
{
    using Packed = CitationRows::Packed;
    const auto ordinal = [](quint32 day) -> qint64 {
        return qint64(day / 10000) * 372 + (day / 100 % 100) * 31 + day % 100;
    };
    qint64 low = std::numeric_limits<qint64>::max(), high = 0;
    qint32 lastKey = std::numeric_limits<qint32>::min();
    bool applies = true;
    rows.forEach([&](const Packed& row) {
        applies = applies && row.time < 0 && row.recNum > lastKey;
        lastKey = row.recNum;
        if (row.day) {
            low = qMin(low, ordinal(row.day));
            high = qMax(high, ordinal(row.day));
        }
    });
    constexpr qint64 MostBuckets = 1 << 22;
    if (!applies || high - low >= MostBuckets)
        return false;
    // Bucket 0: no day (they come first, as their empty key does).
    const auto bucket = [&](const Packed& row) { return row.day ? size_t(ordinal(row.day) - low + 1) : size_t(0); };
    std::vector<quint32> at(size_t(qMax<qint64>(high - low + 2, 1)) + 1, 0);
    rows.forEach([&](const Packed& row) { ++at[bucket(row) + 1]; });
    for (size_t b = 1; b < at.size(); ++b)
        at[b] += at[b - 1];
    sorted.resizeFull(rows.size());
    rows.forEach([&](const Packed& row) { sorted[at[bucket(row)]++] = row; });
    return true;
}

// The rows' places in the order of their date keys (or with byDate false of
// their record numbers alone), ties in record order. A stable radix sort by
// sixteen bits at a time, record number first and the date key after it:
// no comparisons, a few passes over the rows whatever their number, and a
// pass whose sixteen bits are the same in every row is left out.
std::vector<int> dateOrder(const std::vector<CitationRows::Packed>& rows, bool byDate)
{
    struct Key {
        quint64 date;
        quint32 recNum;
        qint32 r;
    };
    const size_t n = rows.size();
    std::vector<Key> keys(n), other(n);
    for (size_t r = 0; r < n; ++r)
        keys[r] = {byDate ? dateKeyOf(rows[r]) : 0, quint32(rows[r].recNum), qint32(r)};
    const auto digit = [](const Key& k, int pass) -> size_t {
        return pass < 2 ? (k.recNum >> (16 * pass)) & 0xFFFF : (k.date >> (16 * (pass - 2))) & 0xFFFF;
    };
    constexpr int Passes = 5; // two of the record number, three of the 48-bit date key
    std::vector<quint32> counts(size_t(Passes) << 16);
    for (const Key& k : keys)
        for (int pass = 0; pass < Passes; ++pass)
            ++counts[(size_t(pass) << 16) + digit(k, pass)];
    // Rows already in record order (as a load reads them) need no record passes.
    bool inRecordOrder = true;
    for (size_t r = 1; r < n && inRecordOrder; ++r)
        inRecordOrder = keys[r - 1].recNum < keys[r].recNum;
    for (int pass = inRecordOrder ? 2 : 0; pass < Passes && n > 1; ++pass) {
        quint32* count = counts.data() + (size_t(pass) << 16);
        if (count[digit(keys[0], pass)] == n)
            continue;
        quint32 at = 0;
        for (size_t d = 0; d < 0x10000; ++d) {
            const quint32 c = count[d];
            count[d] = at;
            at += c;
        }
        for (const Key& k : keys)
            other[count[digit(k, pass)]++] = k;
        keys.swap(other);
    }
    std::vector<int> order(n);
    for (size_t r = 0; r < n; ++r)
        order[r] = keys[r].r;
    return order;
}

} // namespace


namespace {
// Record order and the three sort keys of the window are compared on the
// compact rows; other columns through their shown texts.
bool fastSortColumn(int column)
{
    return column < 0 || column == ListColumn::DateSort || column == ListColumn::CitationNumber
        || column == ListColumn::Offense;
}
} // namespace

CitationListModel::CitationListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CitationListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows.size(); }

int CitationListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ListColumn::Count; }

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
            const QDate d = QDate::fromString(cellText(index.row(), ListColumn::DateSort).left(8), QStringLiteral("yyyyMMdd"));
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

void CitationListModel::setRows(CitationRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_sortColumn = -1;
    endResetModel();
}

int CitationListModel::rowOfRecord(int recNum, int near) const
{
    // A save looks up the row it just changed, where it was or next to it.
    const int n = m_rows.size();
    for (int guess : {near, m_lastRow})
        for (int r = guess - 1; guess >= 0 && r <= guess + 1; ++r)
            if (r >= 0 && r < n && m_rows.at(r).recNum == recNum)
                return m_lastRow = r;
    const int r = int(m_rows.m_rows.indexOf([recNum](const CitationRows::Packed& row) { return row.recNum == recNum; }));
    if (r >= 0)
        m_lastRow = r;
    return r;
}

bool CitationListModel::rowLess(const CitationRows::Packed& a, const CitationRows::Packed& b) const
{
    int d = 0;
    switch (m_sortColumn) {
    case -1: break;
    case ListColumn::DateSort: {
        const quint64 ka = dateKeyOf(a), kb = dateKeyOf(b);
        d = ka < kb ? -1 : (ka > kb ? 1 : 0);
        break;
    }
    case ListColumn::CitationNumber:
    case ListColumn::Offense: {
        const int t = m_sortColumn == ListColumn::CitationNumber ? 0 : 1;
        int la = 0, lb = 0;
        const char* ta = m_rows.textOf(a, t, &la);
        const char* tb = m_rows.textOf(b, t, &lb);
        d = compareFolded(ta, la, tb, lb);
        break;
    }
    default: break; // other columns: see fastSortColumn
    }
    return d != 0 ? d < 0 : a.recNum < b.recNum;
}

int CitationListModel::sortedPlace(const CitationRows::Packed& row, int first, int last) const
{
    // The first of rows [first, last) that `row` goes before.
    while (first < last) {
        const int middle = first + (last - first) / 2;
        if (rowLess(row, m_rows.at(middle)))
            last = middle;
        else
            first = middle + 1;
    }
    return first;
}

void CitationListModel::sortByColumn(int column)
{
    // Ties keep record order, the order a reload reads the rows in.
    if (column == ListColumn::DateSort && m_rows.size() > 1) {
        CitationRows::Blocks sorted;
        if (sortByDay(m_rows.m_rows, sorted)) {
            beginResetModel();
            std::swap(m_rows.m_rows, sorted);
            m_sortColumn = column;
            endResetModel();
            return;
        }
    }
    const int n = m_rows.size();
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    const std::vector<CitationRows::Packed> rows = m_rows.m_rows.flat();
    if (column < 0 || column == ListColumn::DateSort) {
        order = dateOrder(rows, column == ListColumn::DateSort);
    } else if (fastSortColumn(column)) {
        // Texts are keyed by their first sixteen folded characters; only
        // longer ones that agree on those are compared in full.
        struct Key {
            quint64 key;
            quint64 more;
            int recNum;
            int r;
        };
        std::vector<Key> keys(static_cast<size_t>(n));
        const int t = column == ListColumn::CitationNumber ? 0 : 1;
        for (int r = 0; r < n; ++r) {
            const CitationRows::Packed& p = rows[size_t(r)];
            int length = 0;
            const char* text = m_rows.textOf(p, t, &length);
            const quint64 key = foldedPrefix(text, length);
            const quint64 more = length > 8 ? foldedPrefix(text + 8, length - 8) : 0;
            keys[size_t(r)] = {key, more, p.recNum, r};
        }
        std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
            if (a.key != b.key)
                return a.key < b.key;
            if (a.more != b.more)
                return a.more < b.more;
            int la = 0, lb = 0;
            const char* ta = m_rows.textOf(rows[size_t(a.r)], t, &la);
            const char* tb = m_rows.textOf(rows[size_t(b.r)], t, &lb);
            if (la > 16 || lb > 16) {
                const int d = compareFolded(ta, la, tb, lb);
                if (d != 0)
                    return d < 0;
            }
            return a.recNum < b.recNum;
        });
        for (int r = 0; r < n; ++r)
            order[size_t(r)] = keys[size_t(r)].r;
    } else {
        QList<QString> keys;
        keys.reserve(n);
        for (int r = 0; r < n; ++r)
            keys.append(cellText(r, column).toCaseFolded());
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const int d = keys.at(a).compare(keys.at(b));
            return d != 0 ? d < 0 : rows[size_t(a)].recNum < rows[size_t(b)].recNum;
        });
    }

    beginResetModel();
    std::vector<CitationRows::Packed> sorted;
    sorted.reserve(size_t(n));
    for (int r : order)
        sorted.push_back(rows[size_t(r)]);
    m_rows.m_rows.assign(sorted);
    m_sortColumn = column;
    endResetModel();
}

int CitationListModel::insertRecord(const char* record, int recNum, bool withTime)
{
    const CitationRows::Packed row = m_rows.packed(record, recNum, withTime);
    if (!fastSortColumn(m_sortColumn)) {
        // A column sorted through its shown texts: place the row by sorting again.
        beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size());
        m_rows.m_rows.push_back(row);
        endInsertRows();
        sortByColumn(m_sortColumn);
        return rowOfRecord(recNum);
    }
    const int r = m_sortColumn < 0 ? m_rows.size() : sortedPlace(row, 0, m_rows.size());
    beginInsertRows(QModelIndex(), r, r);
    m_rows.m_rows.insert(size_t(r), row);
    endInsertRows();
    return m_lastRow = r;
}

int CitationListModel::updateRecord(int r, const char* record, bool withTime)
{
    if (r < 0 || r >= m_rows.size())
        return -1;
    const CitationRows::Packed row = m_rows.packed(record, m_rows.at(r).recNum, withTime);
    auto& rows = m_rows.m_rows;
    if (!fastSortColumn(m_sortColumn)) {
        rows[size_t(r)] = row;
        sortByColumn(m_sortColumn);
        return rowOfRecord(row.recNum);
    }
    int to = r;
    if (m_sortColumn >= 0) {
        // The place among the other rows: where it is when it still fits
        // between its neighbours, else found by halving the rows before or
        // after it. Only the rows it passes move.
        const int n = int(rows.size());
        if (r > 0 && rowLess(row, rows[size_t(r - 1)]))
            to = sortedPlace(row, 0, r);
        else if (r + 1 < n && rowLess(rows[size_t(r + 1)], row))
            to = sortedPlace(row, r + 1, n) - 1;
    }
    if (to != r) {
        // beginMoveRows wants the destination as it is before the move.
        beginMoveRows(QModelIndex(), r, r, QModelIndex(), to > r ? to + 1 : to);
        rows.erase(size_t(r));
        rows.insert(size_t(to), row);
        endMoveRows();
    } else {
        rows[size_t(r)] = row;
    }
    emit dataChanged(index(to, 0), index(to, ListColumn::Count - 1));
    return m_lastRow = to;
}

void CitationListModel::removeRecord(int recNum, bool laterKeysShift)
{
    const int r = rowOfRecord(recNum);
    auto& rows = m_rows.m_rows;
    // Renumbered first: a view moving its selection off the removed row
    // already finds the other rows' records where the file now has them.
    if (laterKeysShift)
        rows.forEach([recNum](CitationRows::Packed& row) {
            if (row.recNum > recNum)
                --row.recNum;
        });
    if (laterKeysShift && !rows.empty())
        emit dataChanged(index(0, ListColumn::RecNum), index(m_rows.size() - 1, ListColumn::RecNum));
    if (r >= 0) {
        beginRemoveRows(QModelIndex(), r, r);
        rows.erase(size_t(r));
        endRemoveRows();
    }
}

void CitationListModel::setRow(int r, const char* record, bool withTime)
{
    if (r < 0 || r >= m_rows.size())
        return;
    m_rows.m_rows[size_t(r)] = m_rows.packed(record, m_rows.at(r).recNum, withTime);
    emit dataChanged(index(r, 0), index(r, ListColumn::Count - 1));
}

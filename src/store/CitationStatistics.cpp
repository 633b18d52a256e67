#include "store/CitationStatistics.h"

#include "store/CitationFile.h"
#include "store/CitationRecord.h"
#include "store/DateValue.h"

#include <QHash>
#include <algorithm>

namespace {

// Counts texts case-blind, showing each group by its first spelling.
class Tally {
public:
    void add(const QString& text)
    {
        const QString key = text.trimmed().toUpper();
        auto it = m_index.find(key);
        if (it == m_index.end()) {
            it = m_index.insert(key, int(m_counts.size()));
            m_counts.append({text.trimmed().isEmpty() ? StatisticsNoneKey() : text.trimmed(), 0});
        }
        ++m_counts[*it].count;
    }
    QList<StatisticsCount> byCount() const
    {
        QList<StatisticsCount> out = m_counts;
        std::stable_sort(out.begin(), out.end(), [](const StatisticsCount& a, const StatisticsCount& b) {
            if (a.count != b.count)
                return a.count > b.count;
            return QString::compare(a.key, b.key, Qt::CaseInsensitive) < 0;
        });
        return out;
    }
    QList<StatisticsCount> byKey() const
    {
        QList<StatisticsCount> out = m_counts;
        std::sort(out.begin(), out.end(),
                  [](const StatisticsCount& a, const StatisticsCount& b) { return a.key < b.key; });
        return out;
    }

private:
    QHash<QString, int> m_index;
    QList<StatisticsCount> m_counts;
};

QString place(const char* record)
{
    const QString county = CitationBytes::text(record, CitationField::County);
    const QString city = CitationBytes::text(record, CitationField::City);
    if (county.isEmpty() || city.isEmpty())
        return county + city;
    return county + QStringLiteral(" / ") + city;
}

} // namespace

QString StatisticsNoneKey() { return QStringLiteral("(none)"); }

QString StatisticsGroupTitle(StatisticsGroup g)
{
    switch (g) {
    case StatisticsGroup::Month: return QStringLiteral("By Month");
    case StatisticsGroup::CodeSection: return QStringLiteral("By Code Section");
    case StatisticsGroup::Officer: return QStringLiteral("By Issuing Officer");
    case StatisticsGroup::Place: return QStringLiteral("By County / City");
    case StatisticsGroup::Count: break;
    }
    return QString();
}

bool CountCitations(const CitationSource& source, const QList<int>& recNums, const QDate& from, const QDate& to,
                    CitationStatistics& out, FileError& error, const ProgressFn& progress)
{
    out = CitationStatistics();
    out.from = from;
    out.to = to;
    Tally months, sections, officers, places;
    qint64 looked = 0;
    bool stopped = false;
    const auto count = [&](int, const char* record) {
        const QDate date = DatePart(CitationBytes::date(record, CitationField::OffenseDate));
        // A damaged date has no place in a range; it counts only without one.
        if ((from.isValid() && (!date.isValid() || date < from)) || (to.isValid() && (!date.isValid() || date > to))) {
            ++out.outside;
        } else {
            ++out.total;
            if (date.isValid()) {
                if (!out.first.isValid() || date < out.first)
                    out.first = date;
                if (!out.last.isValid() || date > out.last)
                    out.last = date;
            }
            months.add(date.isValid() ? date.toString(QStringLiteral("yyyy-MM")) : QString());
            sections.add(CitationBytes::text(record, CitationField::CodeSection));
            officers.add(CitationBytes::text(record, CitationField::IssuingOfficer));
            places.add(place(record));
        }
        // Asked before the next citation is read.
        if (progress && ++looked < recNums.size() && !progress(looked, recNums.size())) {
            error.clear();
            stopped = true;
            return false;
        }
        return true;
    };
    if (progress && !recNums.isEmpty() && !progress(0, recNums.size())) {
        error.clear();
        return false;
    }
    if (!source(recNums, count, error) || stopped)
        return false;
    out.groups[size_t(StatisticsGroup::Month)] = months.byKey();
    out.groups[size_t(StatisticsGroup::CodeSection)] = sections.byCount();
    out.groups[size_t(StatisticsGroup::Officer)] = officers.byCount();
    out.groups[size_t(StatisticsGroup::Place)] = places.byCount();
    return true;
}

bool CountCitations(CitationFileView& reader, const QList<int>& recNums, const QDate& from, const QDate& to,
                    CitationStatistics& out, FileError& error, const ProgressFn& progress)
{
    return CountCitations(ViewSource(reader), recNums, from, to, out, error, progress);
}

#pragma once
// Counts of citations for an agency's reports: by month of the offense, by
// code section, by issuing officer and by county / city, within a range of
// offense dates.
#include "platform/Progress.h"
#include "store/CitationSource.h"
#include "store/FileError.h"

#include <QDate>
#include <QList>
#include <QString>

class CitationFileView;

struct StatisticsCount {
    QString key;
    int count = 0;
    friend bool operator==(const StatisticsCount&, const StatisticsCount&) = default;
};

enum class StatisticsGroup { Month, CodeSection, Officer, Place, Count };

struct CitationStatistics {
    QDate from, to;   // the range asked for; an invalid end is open
    int total = 0;    // citations counted (inside the range)
    int outside = 0;  // citations looked at but outside the range
    QDate first, last; // the earliest and latest offense dates counted
    // Months in calendar order ("2006-07"); the other groups by count, the
    // larger first, equal counts by name. Texts are grouped without regard to
    // case or surrounding blanks; an empty one counts under "(none)".
    QList<StatisticsCount> groups[size_t(StatisticsGroup::Count)];

    const QList<StatisticsCount>& group(StatisticsGroup g) const { return groups[size_t(g)]; }
};

QString StatisticsGroupTitle(StatisticsGroup g); // "By Month", "By Code Section"...
QString StatisticsNoneKey();                     // "(none)"

// Counts the given records (the list on display); an invalid `from` or `to`
// leaves that end of the range open. False when a record could not be read
// (error names the file), or when `progress` asked to stop (error empty).
bool CountCitations(CitationFileView& reader, const QList<int>& recNums, const QDate& from, const QDate& to,
                    CitationStatistics& out, FileError& error, const ProgressFn& progress = {});
// The same with the records taken from `source`.
bool CountCitations(const CitationSource& source, const QList<int>& recNums, const QDate& from, const QDate& to,
                    CitationStatistics& out, FileError& error, const ProgressFn& progress = {});

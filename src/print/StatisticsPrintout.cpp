#include "print/StatisticsPrintout.h"

#include "platform/Clock.h"
#include "platform/Printer.h"
#include "print/ListPrintout.h"
#include "print/PrintJob.h"
#include "store/DateValue.h"

namespace {

constexpr double LeftEdge = 1.0;
constexpr double TopEdge = 1.0;
constexpr int NameColumn = 13;   // print columns from the left edge of the paper
constexpr int CountColumn = 49;
constexpr int BarColumn = 56;
constexpr int NameWidth = 34;    // characters of a name before it is cut
constexpr int BarWidth = 30;     // characters of the longest bar
const QChar BarCharacter(0x2588); // a full block

QString cut(const QString& text, int width)
{
    return text.size() <= width ? text : text.left(width - 3) + QStringLiteral("...");
}

} // namespace

QString StatisticsRangeText(const QDate& from, const QDate& to)
{
    const auto shown = [](const QDate& d) { return FormatNumericDate(ToDateValue(d)); };
    if (from.isValid() && to.isValid())
        return QStringLiteral("offense dates from %1 to %2").arg(shown(from), shown(to));
    if (from.isValid())
        return QStringLiteral("offense dates from %1").arg(shown(from));
    if (to.isValid())
        return QStringLiteral("offense dates to %1").arg(shown(to));
    return QStringLiteral("all offense dates");
}

void PrintStatisticsPages(Printer& p, const CitationStatistics& stats, const QString& listCaption,
                          const QDateTime& printedOn)
{
    PrintFont heading;
    heading.size = 12;
    heading.bold = true;
    const PrintFont body;
    p.setFont(heading);
    p.setCurrentY(TopEdge);
    p.setCurrentX(LeftEdge);
    p.print(QStringLiteral("Citation Statistics"));
    p.setFont(body);
    p.setCurrentX(LeftEdge);
    p.print(listCaption.trimmed());
    p.setCurrentX(LeftEdge);
    p.print(QStringLiteral("%1 citation(s), %2")
                .arg(stats.total)
                .arg(StatisticsRangeText(stats.from, stats.to)));
    p.setCurrentX(LeftEdge);
    p.print(QStringLiteral("Printed ") + ListHeaderDateTime(printedOn));

    for (size_t g = 0; g < size_t(StatisticsGroup::Count); ++g) {
        const QList<StatisticsCount>& rows = stats.groups[g];
        // A group starts on a new page when its heading and first rows would
        // not fit at the foot of this one.
        if (p.currentY() + 6 * p.textHeight() > p.pageHeight() - 1.0) {
            p.newPage();
            p.setCurrentY(TopEdge);
        } else {
            p.endLine();
        }
        p.setFont(heading);
        p.setCurrentX(LeftEdge);
        p.print(StatisticsGroupTitle(StatisticsGroup(g)));
        p.setFont(body);
        int most = 1;
        for (const StatisticsCount& c : rows)
            most = qMax(most, c.count);
        if (rows.isEmpty()) {
            p.setCurrentX(LeftEdge);
            p.print(QStringLiteral("No citations."));
        }
        for (const StatisticsCount& c : rows) {
            p.setCurrentX(LeftEdge);
            p.tabToColumn(NameColumn);
            p.print(cut(c.key, NameWidth), false);
            const QString count = QString::number(c.count);
            p.tabToColumn(CountColumn);
            p.print(count, false);
            p.tabToColumn(BarColumn);
            const int bar = qMax(c.count > 0 ? 1 : 0, int(qint64(BarWidth) * c.count / most));
            p.print(QString(bar, BarCharacter));
        }
    }
}

bool PrintStatistics(QWidget* owner, const CitationStatistics& stats, const QString& listCaption)
{
    return RunPrintJob(owner, QStringLiteral("Citation Statistics"), [&](Printer& p) {
        PrintStatisticsPages(p, stats, listCaption, Now());
    });
}

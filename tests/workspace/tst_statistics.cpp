// Counts of a generated set of citations by month, code section, officer and
// place, with and without a date range; the statistics window over the list
// on display; and its printout through the printer.
#include "MainWindowFixture.h"
#include "print/StatisticsPrintout.h"
#include "store/CitationFile.h"
#include "store/CitationStatistics.h"
#include "workspace/StatisticsChart.h"
#include "widgets/VellButton.h"
#include "workspace/frmStatistics.h"

#include <QDateEdit>
#include <QLabel>
#include <QMap>
#include <QTableView>
#include <QTest>
#include <numeric>

namespace {

struct Generated {
    QList<CitationBytes3000> records;
    QList<QDate> dates;
    QStringList sections, officers, places;
};

// 120 citations over 2006: officers, sections and places cycle with
// different periods; some spellings differ only in case and blanks.
Generated generate()
{
    static const char* const sections[] = {"46.2-862", "46.2-830", "46.2-862 ", "18.2-266", "46.2-862"};
    static const char* const officers[] = {"Smith", "Jones", "SMITH", "", "Lee", "Smith", "Jones"};
    static const char* const counties[] = {"Albemarle", "Albemarle", "Greene", ""};
    static const char* const cities[] = {"Crozet", "", "Stanardsville", ""};
    Generated g;
    for (int i = 0; i < 120; ++i) {
        const QDate date = QDate(2006, 1, 1).addDays(i * 3);
        CitationBytes3000 r = CitationBytes3000::sample(QByteArray::number(1000 + i), date, sections[i % 5]);
        r.text("IssuingOfficer", officers[i % 7]).text("County", counties[i % 4]).text("City", cities[i % 4]);
        g.records << r;
        g.dates << date;
        g.sections << QString::fromLatin1(sections[i % 5]).trimmed().toUpper();
        g.officers << QString::fromLatin1(officers[i % 7]).toUpper();
        const QString county = QString::fromLatin1(counties[i % 4]), city = QString::fromLatin1(cities[i % 4]);
        g.places << (county.isEmpty() || city.isEmpty() ? county + city : county + " / " + city).toUpper();
    }
    return g;
}

// The counts of a group as name -> count, names compared upper-cased.
QMap<QString, int> asMap(const QList<StatisticsCount>& counts)
{
    QMap<QString, int> out;
    for (const StatisticsCount& c : counts)
        out[c.key == StatisticsNoneKey() ? QString() : c.key.toUpper()] += c.count;
    return out;
}

QMap<QString, int> expected(const QStringList& keys, const QList<QDate>& dates, const QDate& from, const QDate& to)
{
    QMap<QString, int> out;
    for (qsizetype i = 0; i < keys.size(); ++i)
        if ((!from.isValid() || dates[i] >= from) && (!to.isValid() || dates[i] <= to))
            ++out[keys[i]];
    return out;
}

} // namespace

class tst_Statistics : public QObject {
    Q_OBJECT
private slots:
    void countsOfAGeneratedSet_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::newRow("all dates") << QDate() << QDate();
        QTest::newRow("spring") << QDate(2006, 3, 15) << QDate(2006, 6, 30);
        QTest::newRow("open start") << QDate() << QDate(2006, 2, 1);
        QTest::newRow("nothing") << QDate(2010, 1, 1) << QDate(2010, 12, 31);
    }
    void countsOfAGeneratedSet()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        TempDataFolder folder;
        const Generated g = generate();
        WriteCitations(CitationFileName, g.records);
        CitationFileView reader;
        QVERIFY(reader.open());
        QList<int> all;
        for (int n = 1; n <= 120; ++n)
            all << n;
        CitationStatistics stats;
        FileError error;
        QVERIFY(CountCitations(reader, all, from, to, stats, error));

        QStringList months;
        for (const QDate& d : g.dates)
            months << d.toString("yyyy-MM");
        const int inside = expected(months, g.dates, from, to).isEmpty()
                               ? 0
                               : std::accumulate(g.dates.begin(), g.dates.end(), 0, [&](int n, const QDate& d) {
                                     return n + ((!from.isValid() || d >= from) && (!to.isValid() || d <= to));
                                 });
        QCOMPARE(stats.total, inside);
        QCOMPARE(stats.total + stats.outside, 120);
        QCOMPARE(asMap(stats.group(StatisticsGroup::Month)), expected(months, g.dates, from, to));
        QCOMPARE(asMap(stats.group(StatisticsGroup::CodeSection)), expected(g.sections, g.dates, from, to));
        QCOMPARE(asMap(stats.group(StatisticsGroup::Officer)), expected(g.officers, g.dates, from, to));
        QCOMPARE(asMap(stats.group(StatisticsGroup::Place)), expected(g.places, g.dates, from, to));

        // Months run in calendar order, the other groups from the largest down.
        const QList<StatisticsCount>& m = stats.group(StatisticsGroup::Month);
        for (qsizetype i = 1; i < m.size(); ++i)
            QVERIFY(m[i - 1].key < m[i].key);
        const QList<StatisticsCount>& s = stats.group(StatisticsGroup::CodeSection);
        for (qsizetype i = 1; i < s.size(); ++i)
            QVERIFY(s[i - 1].count >= s[i].count);
    }

    void windowCountsTheListOnDisplay()
    {
        MainWindowFixture f;
        const Generated g = generate();
        f.write(g.records);
        frmMain& w = f.open();
        QVERIFY(w.cmdStatistics->isVisible());
        QCOMPARE(w.ListedRecordNumbers().size(), 120);

        // A list of three citations: only those are counted.
        frmStatistics window({5, 1, 10}, QStringLiteral(" Sub-list "), &w);
        QCOMPARE(window.statistics().total, 3);
        QCOMPARE(window.txtFrom->date(), g.dates[0]);
        QCOMPARE(window.txtTo->date(), g.dates[9]);
        QCOMPARE(window.grid[0]->model()->rowCount(), 1); // January only
        QCOMPARE(window.chart[size_t(StatisticsGroup::Officer)]->counts(),
                 window.statistics().group(StatisticsGroup::Officer));

        // A narrower range counts fewer; the boxes may be given the wrong way round.
        window.txtFrom->setDate(g.dates[4]);
        window.txtTo->setDate(g.dates[1]);
        window.cmdCount_Click();
        QCOMPARE(window.statistics().total, 1);
        QCOMPARE(window.statistics().from, g.dates[1]);
        QVERIFY(window.lblSummary->text().startsWith(QStringLiteral("1 of the 3 citations")));
        window.cmdAllDates_Click();
        QCOMPARE(window.statistics().total, 3);
        QVERIFY(f.msgs.allMet());
    }

    void datesFollowTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("shown");
        QTest::newRow("US") << "en_US" << "02/01/2006";
        QTest::newRow("UK") << "en_GB" << "01/02/2006";
        QTest::newRow("German") << "de_DE" << "01/02/2006";
    }
    void datesFollowTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, shown);
        QLocale::setDefault(QLocale(locale));
        TempDataFolder folder;
        WriteCitations(CitationFileName, {CitationBytes3000::sample("1", QDate(2006, 2, 1)),
                                          CitationBytes3000::sample("2", QDate(2006, 3, 1))});
        // The boxes and the summary show dates in the program's numeric order.
        frmStatistics window({1, 2}, QString());
        QCOMPARE(window.txtFrom->text(), shown);
        window.txtTo->setDate(QDate(2006, 2, 1));
        window.cmdCount_Click();
        const QString summary = window.lblSummary->text();
        QLocale::setDefault(QLocale::c());
        QCOMPARE(summary, QStringLiteral("1 of the 2 citations of the list, offense dates from %1 to %1.").arg(shown));
    }

    void printout()
    {
        TempDataFolder folder;
        WriteCitations(CitationFileName, generate().records.mid(0, 10));
        RecordingPrinter printer;
        FixedClock clock(QDateTime(QDate(2007, 3, 1), QTime(8, 0)));
        frmStatistics window({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, QStringLiteral(" All Entries (10 citations in this list) "));
        window.cmdPrint_Click();
        QVERIFY(printer.ended);
        const QStringList lines = printer.lines(1);
        QCOMPARE(lines.value(0), QStringLiteral("Citation Statistics"));
        QCOMPARE(lines.value(1), QStringLiteral("All Entries (10 citations in this list)"));
        QCOMPARE(lines.value(2), QStringLiteral("10 citation(s), all offense dates"));
        QVERIFY(lines.contains(QStringLiteral("By Month")));
        QVERIFY(lines.contains(QStringLiteral("By County / City")));
        // Each row: name, count and a bar as long as the count allows.
        const QList<RecordingPrinter::Item> smith = printer.itemsStartingWith(QStringLiteral("Smith"));
        QVERIFY(!smith.isEmpty());
        bool barFound = false;
        for (const RecordingPrinter::Item& item : printer.items)
            barFound = barFound || (item.y == smith.first().y && item.text.startsWith(QChar(0x2588)));
        QVERIFY(barFound);
    }
};

QTEST_MAIN(tst_Statistics)
#include "tst_statistics.moc"

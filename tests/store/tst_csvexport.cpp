// The CSV export read back by an independent RFC 4180 reader: rows, order
// and values of the full and of a sub-list, line breaks in notes, formula
// cells made inert, dates the same under every locale, and a failed write
// that leaves an earlier file alone.
#include "CsvReader.h"
#include "DataFiles.h"
#include "store/CitationCsv.h"
#include "store/CitationRecord.h"
#include "store/DataFileNames.h"
#include "store/FileIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QLocale>
#include <QTest>
#include <cerrno>

namespace {

QList<CitationBytes3000> sampleCitations()
{
    CitationBytes3000 first = CitationBytes3000::sample("A100", QDate(2006, 7, 4), "46.2-862", "Rt 1 NB", "MM 12");
    first.date("OffenseTime", QDate(1899, 12, 30), QTime(14, 5))
        .date("DateEntered", QDate(2006, 7, 5), QTime(9, 30))
        .date("TimeEntered", QDate(2006, 7, 5), QTime(9, 30))
        .date("DOB", QDate(1970, 2, 3))
        .date("CourtTime", QDate(1899, 12, 30), QTime(10, 45))
        .date("CourtDate", QDate(2006, 8, 1))
        .text("DefendantName", "Doe, John Q")
        .text("IssuingOfficer", "Sgt. O'Neil")
        .text("Notes", "Line one\r\nLine two, with \"quotes\"\r\n\r\nLast")
        .int16("Speeding", 1)
        .int16("CommercialVehicle", 1)
        .int16("MeasuredSpeed", 72)
        .int16("PostedSpeed", 55)
        .int16("Weather", 3)
        .int16("SpeedMethod", 1)
        .int16("StateOrLocal", 1)
        .int16("SceneDisposition", 2);
    CitationBytes3000 second = CitationBytes3000::sample("B200", QDate(2007, 1, 31), "-5", "+1 Main", "@SUM(A1)");
    second.text("DefendantName", "=HYPERLINK(\"http://x\")").text("Notes", "\tindented").text("Address", "\rcarriage");
    CitationBytes3000 third = CitationBytes3000::sample("C300", QDate(2005, 12, 24), "18.2-266", "I-95 SB", "exit 4");
    third.text("County", "Caf\xe9 County"); // Windows-1252 e acute
    return {first, second, third};
}

QStringList column(const CsvParse& csv, const QString& heading)
{
    const qsizetype c = csv.rows.first().indexOf(heading);
    QStringList out;
    if (c < 0)
        return out;
    for (qsizetype r = 1; r < csv.rows.size(); ++r)
        out << csv.rows[r].value(c);
    return out;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_CsvExport : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        FileIo::setInterceptor({});
    }

    void everyFieldOfTheFullList_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("US") << QStringLiteral("en_US");
        QTest::newRow("UK") << QStringLiteral("en_GB");
        QTest::newRow("German") << QStringLiteral("de_DE");
    }
    void everyFieldOfTheFullList()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        TempDataFolder folder;
        WriteCitations(CitationFileName, sampleCitations());
        const QString target = folder.file(QStringLiteral("out.csv"));
        FileError error;
        QCOMPARE(ExportCitationCsvFile(target, {1, 2, 3}, CsvColumns::Every, error), 3);
        QVERIFY(!error.isError());

        const CsvParse csv = ParseCsv(readAll(target));
        QVERIFY2(csv.ok, qPrintable(csv.error));
        QCOMPARE(csv.rows.size(), 4);
        const QStringList header = csv.rows.first();
        // Every field but the format version, each heading once.
        QCOMPARE(header.size(), qsizetype(CitationLayout::fields().size() - 1));
        QCOMPARE(QSet<QString>(header.begin(), header.end()).size(), header.size());
        for (const QStringList& row : csv.rows)
            QCOMPARE(row.size(), header.size());

        QCOMPARE(column(csv, "Citation Number"), (QStringList{"A100", "B200", "C300"}));
        // Dates and times in one form whatever the locale.
        QCOMPARE(column(csv, "Offense Date"), (QStringList{"2006-07-04", "2007-01-31", "2005-12-24"}));
        QCOMPARE(column(csv, "Offense Time"), (QStringList{"14:05", "", ""}));
        QCOMPARE(column(csv, "Date Entered"), (QStringList{"2006-07-05", "", ""}));
        QCOMPARE(column(csv, "Time Entered"), (QStringList{"09:30", "", ""}));
        QCOMPARE(column(csv, "DOB"), (QStringList{"1970-02-03", "", ""}));
        QCOMPARE(column(csv, "Court Date").first(), QStringLiteral("2006-08-01"));
        QCOMPARE(column(csv, "Court Time").first(), QStringLiteral("10:45"));
        // Option groups by caption, check boxes Yes/No, speeds as numbers.
        QCOMPARE(column(csv, "Weather"), (QStringList{"Rain", "Clear", "Clear"}));
        QCOMPARE(column(csv, "Speed Measured By"), (QStringList{"Radar", "Other", "Other"}));
        QCOMPARE(column(csv, "State/Local"), (QStringList{"State", "Local", "Local"}));
        QCOMPARE(column(csv, "Scene Disposition").first(), QStringLiteral("Released, License Held"));
        QCOMPARE(column(csv, "Speeding"), (QStringList{"Yes", "No", "No"}));
        QCOMPARE(column(csv, "Commercial Vehicle"), (QStringList{"Yes", "No", "No"}));
        QCOMPARE(column(csv, "Measured Speed"), (QStringList{"72", "", ""}));
        QCOMPARE(column(csv, "Posted Speed"), (QStringList{"55", "", ""}));
        // Texts whole: commas, quotes, apostrophes, line breaks, accents.
        QCOMPARE(column(csv, "Defendant Name (L, F M)").first(), QStringLiteral("Doe, John Q"));
        QCOMPARE(column(csv, "Issuing Officer").first(), QStringLiteral("Sgt. O'Neil"));
        QCOMPARE(column(csv, "Notes").first(), QStringLiteral("Line one\r\nLine two, with \"quotes\"\r\n\r\nLast"));
        QCOMPARE(column(csv, "County / Parish / Territory / District").last(), QStringLiteral("Caf\u00e9 County"));
        QCOMPARE(column(csv, "License State").size(), 3);
        QCOMPARE(column(csv, "Tag State").size(), 3);
    }

    void subListInItsOrder()
    {
        TempDataFolder folder;
        WriteCitations(CitationFileName, sampleCitations());
        const QString target = folder.file(QStringLiteral("sub.csv"));
        FileError error;
        QCOMPARE(ExportCitationCsvFile(target, {3, 1}, CsvColumns::Listed, error), 2);
        const CsvParse csv = ParseCsv(readAll(target));
        QVERIFY2(csv.ok, qPrintable(csv.error));
        QCOMPARE(csv.rows, (QList<QStringList>{{"Date", "Citation#", "Offense", "Location"},
                                               {"2005-12-24", "C300", "18.2-266", "I-95 SB / exit 4"},
                                               {"2006-07-04", "A100", "46.2-862", "Rt 1 NB / MM 12"}}));
    }

    void formulaCellsAreInert()
    {
        TempDataFolder folder;
        WriteCitations(CitationFileName, sampleCitations());
        const QString target = folder.file(QStringLiteral("f.csv"));
        FileError error;
        QCOMPARE(ExportCitationCsvFile(target, {2}, CsvColumns::Every, error), 1);
        const CsvParse csv = ParseCsv(readAll(target));
        QVERIFY2(csv.ok, qPrintable(csv.error));
        QCOMPARE(column(csv, "Defendant Name (L, F M)"), QStringList{"'=HYPERLINK(\"http://x\")"});
        QCOMPARE(column(csv, "Code Section"), QStringList{"'-5"});
        QCOMPARE(column(csv, "Occurred on (Hwy / Street / Route) (Direction)"), QStringList{"'+1 Main"});
        QCOMPARE(column(csv, "Notes"), QStringList{"'\tindented"});
        QCOMPARE(column(csv, "Address"), QStringList{"'\rcarriage"});
        // Only the first character counts: a dash inside stays as it is.
        QCOMPARE(CitationCsv::cell(QStringLiteral("46.2-862")), QStringLiteral("46.2-862"));
        QCOMPARE(CitationCsv::cell(QStringLiteral("@x")), QStringLiteral("'@x"));
    }

    void failureLeavesTheEarlierFile()
    {
        TempDataFolder folder;
        WriteCitations(CitationFileName, sampleCitations());
        const QString target = folder.file(QStringLiteral("keep.csv"));
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("earlier export\r\n");
        }
        FileIo::setInterceptor([](FileIo::Call call, const QString& path, qint64) {
            FileIo::Verdict v;
            if (call == FileIo::Call::Write && path.endsWith(QLatin1String(".part")))
                v.error = ENOSPC;
            return v;
        });
        FileError error;
        QCOMPARE(ExportCitationCsvFile(target, {1, 2, 3}, CsvColumns::Every, error), -1);
        FileIo::setInterceptor({});
        QCOMPARE(error.fileName, target);
        QCOMPARE(error.what, QStringLiteral("could not be written: ") + FileIo::errorText(ENOSPC));
        QCOMPARE(readAll(target), QByteArray("earlier export\r\n"));
        QVERIFY(!QFile::exists(target + QStringLiteral(".part")));

        // A folder by that name is refused, not replaced.
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("adir")));
        QCOMPARE(ExportCitationCsvFile(folder.file(QStringLiteral("adir")), {1}, CsvColumns::Listed, error), -1);
        QVERIFY(QFileInfo(folder.file(QStringLiteral("adir"))).isDir());
    }

    void recordMissingFromTheFileIsAnError()
    {
        TempDataFolder folder;
        WriteCitations(CitationFileName, sampleCitations());
        FileError error;
        const QString target = folder.file(QStringLiteral("x.csv"));
        QCOMPARE(ExportCitationCsvFile(target, {1, 4}, CsvColumns::Listed, error), -1);
        QCOMPARE(error.fileName, CitationFileName);
        QVERIFY(!QFile::exists(target));
    }
};

QTEST_GUILESS_MAIN(tst_CsvExport)
#include "tst_csvexport.moc"

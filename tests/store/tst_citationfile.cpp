// The citation data file: counting, reading damaged files, appending,
// deleting by position with a complete file at every step, and I/O failures.
#include "DataFiles.h"
#include "session/ProcessState.h"
#include "store/CitationFile.h"
#include "store/RecordFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_CitationFile : public QObject {
    Q_OBJECT
private slots:
    void firstOpenCreatesAnEmptyFile();
    void countRoundsHalfToEven_data();
    void countRoundsHalfToEven();
    void partialTrailingRecordReadsAsEmptyTail();
    void appendGrowsByOneRecord();
    void deleteCompactsByPosition();
    void deletingTheOnlyRecordLeavesNoFile();
    void deleteThroughALinkKeepsTheDataWhereItIs();
    void killedMarkerInUserDataSurvives();
    void damagedFileCompactsToWholeRecords();
    void failedCompactionLeavesTheDataFileWhole();
    void failedWriteIsReportedAndUndone();
    void mappedViewReadsEveryRecord();
};

namespace {
QList<CitationBytes3000> threeCitations()
{
    return {CitationBytes3000::sample("A1", QDate(2006, 1, 1)), CitationBytes3000::sample("B2", QDate(2006, 2, 2)),
            CitationBytes3000::sample("C3", QDate(2006, 3, 3))};
}
} // namespace

void tst_CitationFile::firstOpenCreatesAnEmptyFile()
{
    TempDataFolder folder;
    QVERIFY(!QFile::exists(CitationFileName));
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    QCOMPARE(file.CitationCount(), 0);
    file.CloseCitationFile();
    QVERIFY(QFile::exists("Sennet.Data"));
    QCOMPARE(QFileInfo("Sennet.Data").size(), 0);
}

void tst_CitationFile::countRoundsHalfToEven_data()
{
    QTest::addColumn<qint64>("length");
    QTest::addColumn<int>("count");
    QTest::newRow("empty") << qint64(0) << 0;
    QTest::newRow("one") << qint64(3000) << 1;
    QTest::newRow("under half") << qint64(1499) << 0;
    QTest::newRow("half of 0.5 goes to 0") << qint64(1500) << 0;
    QTest::newRow("over half") << qint64(1501) << 1;
    QTest::newRow("1.5 goes to 2") << qint64(4500) << 2;
    QTest::newRow("2.5 goes to 2") << qint64(7500) << 2;
    QTest::newRow("3.5 goes to 4") << qint64(10500) << 4;
    QTest::newRow("2.47") << qint64(7400) << 2;
}

void tst_CitationFile::countRoundsHalfToEven()
{
    QFETCH(qint64, length);
    QFETCH(int, count);
    QCOMPARE(CitationFile::CountForLength(length), count);
}

void tst_CitationFile::partialTrailingRecordReadsAsEmptyTail()
{
    TempDataFolder folder;
    const auto records = threeCitations();
    // One whole record, then 2000 bytes of the second: counted as 2 records.
    WriteFile(CitationFileName, records[0].bytes() + records[1].bytes().left(2000));
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    QCOMPARE(file.CitationCount(), 2);
    CitationRecord r;
    QVERIFY(file.ReadCitation(2, r));
    QCOMPARE(r.text(CitationField::CitationNumber), QStringLiteral("B2"));
    QCOMPARE(r.text(CitationField::Notes), QString()); // beyond the end: blank, not garbage
    QVERIFY(!file.ReadCitation(3, r));
}

void tst_CitationFile::appendGrowsByOneRecord()
{
    TempDataFolder folder;
    WriteCitations(CitationFileName, threeCitations());
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    CitationRecord r;
    r.setText(CitationField::CitationNumber, QStringLiteral("D4"));
    QVERIFY(file.WriteCitation(file.CitationCount() + 1, r));
    QCOMPARE(file.CitationCount(), 4);
    QVERIFY(!file.WriteCitation(6, r)); // no gaps
    file.CloseCitationFile();
    QCOMPARE(QFileInfo(CitationFileName).size(), 12000);
    // Rewriting in place leaves the length alone.
    QVERIFY(file.OpenCitationFile());
    QVERIFY(file.WriteCitation(2, r));
    file.CloseCitationFile();
    QCOMPARE(QFileInfo(CitationFileName).size(), 12000);
    QCOMPARE(ReadCitations(CitationFileName)[1], r.bytes());
}

void tst_CitationFile::deleteCompactsByPosition()
{
    TempDataFolder folder;
    const auto records = threeCitations();
    WriteCitations(CitationFileName, records);
    CitationFile file;
    QVERIFY(file.DeleteCitation(2));
    QVERIFY(!file.isOpen());
    const QList<QByteArray> left = ReadCitations(CitationFileName);
    QCOMPARE(QFileInfo(CitationFileName).size(), 6000);
    QCOMPARE(left.size(), 2);
    QCOMPARE(left[0], records[0].bytes());
    QCOMPARE(left[1], records[2].bytes());
    QVERIFY(!QFile::exists(WorkFileName));
}

void tst_CitationFile::deletingTheOnlyRecordLeavesNoFile()
{
    TempDataFolder folder;
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2006, 1, 1))});
    CitationFile file;
    QVERIFY(file.DeleteCitation(1));
    QVERIFY(!QFile::exists(CitationFileName));
    QVERIFY(!QFile::exists(WorkFileName));
    QVERIFY(file.OpenCitationFile()); // the next open creates it empty
    QCOMPARE(file.CitationCount(), 0);
}

void tst_CitationFile::deleteThroughALinkKeepsTheDataWhereItIs()
{
    // Sennet.Data a link to a file on another disk: a deletion rewrites that
    // file and leaves the link, and so does deleting the last citation.
    TempDataFolder folder;
    QTemporaryDir elsewhere;
    const QString real = elsewhere.filePath("citations.bin");
    const auto records = threeCitations();
    WriteCitations(real, records);
    QVERIFY(QFile::link(real, CitationFileName));
    CitationFile file;
    QVERIFY(file.DeleteCitation(1));
    QVERIFY(QFileInfo(CitationFileName).isSymLink());
    QCOMPARE(ReadCitations(real), (QList<QByteArray>{records[1].bytes(), records[2].bytes()}));
    QVERIFY(!QFile::exists(WorkFileName));
    QVERIFY(!QFile::exists(elsewhere.filePath(WorkFileName)));

    QVERIFY(file.DeleteCitation(2));
    QVERIFY(file.DeleteCitation(1));
    QVERIFY(QFileInfo(CitationFileName).isSymLink());
    QVERIFY(!QFile::exists(real));
    QVERIFY(file.OpenCitationFile()); // written through the link again
    CitationRecord r;
    r.setText(CitationField::CitationNumber, QStringLiteral("D4"));
    QVERIFY(file.WriteCitation(1, r));
    file.CloseCitationFile();
    QCOMPARE(QFileInfo(real).size(), 3000);

    // An import's rewrite of the whole file keeps the link as well.
    FileError error;
    const QByteArray added = records[2].bytes();
    QCOMPARE(RecordFile::AppendRecords(CitationFileName, 3000, 1, [&](qint64) { return added.constData(); },
                                       QByteArray(3000, ' '), error),
             qint64(2));
    QVERIFY(QFileInfo(CitationFileName).isSymLink());
    QCOMPARE(ReadCitations(real).value(1), added);
}

void tst_CitationFile::killedMarkerInUserDataSurvives()
{
    TempDataFolder folder;
    auto records = threeCitations();
    records[0].text("NCICNumber", "$Killed$");
    records[2].text("NCICNumber", "  $Killed$  ");
    WriteCitations(CitationFileName, records);
    CitationFile file;
    QVERIFY(file.DeleteCitation(2));
    const QList<QByteArray> left = ReadCitations(CitationFileName);
    QCOMPARE(left.size(), 2);
    QCOMPARE(left[0], records[0].bytes());
    QCOMPARE(left[1], records[2].bytes());
}

void tst_CitationFile::damagedFileCompactsToWholeRecords()
{
    TempDataFolder folder;
    const auto records = threeCitations();
    WriteFile(CitationFileName, records[0].bytes() + records[1].bytes() + records[2].bytes().left(2000));
    CitationFile file;
    QVERIFY(file.DeleteCitation(1));
    const QList<QByteArray> left = ReadCitations(CitationFileName);
    QCOMPARE(QFileInfo(CitationFileName).size(), 6000);
    QCOMPARE(left[0], records[1].bytes());
    QCOMPARE(CitationBytes3000::readText(left[1], "CitationNumber"), QByteArray("C3          "));
}

void tst_CitationFile::failedCompactionLeavesTheDataFileWhole()
{
    TempDataFolder folder;
    const auto records = threeCitations();
    WriteCitations(CitationFileName, records);
    const QByteArray before = ReadFile(CitationFileName);
    // A folder in the work file's place makes the work file impossible to create.
    QVERIFY(QDir().mkdir(WorkFileName));
    CitationFile file;
    QVERIFY(!file.DeleteCitation(2));
    QVERIFY(file.lastError().isError());
    QVERIFY2(file.lastError().message().contains("\"Sennet.Data\""), qPrintable(file.lastError().message()));
    QVERIFY(file.lastError().message().contains(WorkFileName));
    QCOMPARE(ReadFile(CitationFileName), before);
}

void tst_CitationFile::failedWriteIsReportedAndUndone()
{
    if (!QFile::exists("/dev/full"))
        QSKIP("no /dev/full on this system");
    TempDataFolder folder;
    // A device under the data file's name (here one where every write fails)
    // is no data file: it is refused at the open, before anything is written.
    QVERIFY(QFile::link("/dev/full", CitationFileName));
    CitationFile file;
    QVERIFY(!file.OpenCitationFile());
    QVERIFY(!file.WriteCitation(1, CitationRecord()));
    QCOMPARE(file.lastError().message(), QStringLiteral("The file \"Sennet.Data\" is not open"));
    QCOMPARE(file.CitationCount(), 0);
}

void tst_CitationFile::mappedViewReadsEveryRecord()
{
    TempDataFolder folder;
    {
        CitationFileView missing;
        QVERIFY(missing.open());
        QCOMPARE(missing.count(), 0);
    }
    const auto records = threeCitations();
    WriteFile(CitationFileName, records[0].bytes() + records[1].bytes() + records[2].bytes().left(1600));
    CitationFileView view;
    QVERIFY(view.open());
    QCOMPARE(view.count(), 3);
    QCOMPARE(CitationBytes::text(view.record(1), CitationField::CitationNumber), QStringLiteral("A1"));
    QCOMPARE(CitationBytes::date(view.record(2), CitationField::OffenseDate), OleDate(QDate(2006, 2, 2)));
    QCOMPARE(CitationBytes::text(view.record(3), CitationField::CitationNumber), QStringLiteral("C3"));
    QCOMPARE(CitationBytes::text(view.record(3), CitationField::Notes), QString());
}

QTEST_GUILESS_MAIN(tst_CitationFile)
#include "tst_citationfile.moc"

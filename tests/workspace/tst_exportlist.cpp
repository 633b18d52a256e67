// The Export List button of the main window: shown like Print List, saving
// the list on display in its order (full list and sub-list) with the chosen
// columns, telling the file and the count, refusing the data files as a
// target, and telling why an export failed.
#include "CsvReader.h"
#include "MainWindowFixture.h"
#include "store/FileIo.h"
#include "widgets/VellButton.h"
#include "store/SearchSettings.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QTest>

namespace {

const QString Caption = QStringLiteral("Export List");

QList<QStringList> readBack(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const CsvParse csv = ParseCsv(f.readAll());
    return csv.ok ? csv.rows : QList<QStringList>{{QStringLiteral("parse error: ") + csv.error}};
}

QString exported(int count, const QString& path)
{
    return (count == 1 ? QStringLiteral("1 citation was exported to")
                       : QStringLiteral("%1 citations were exported to").arg(count))
        + QStringLiteral("\r\n\r\n") + QDir::toNativeSeparators(path);
}

QList<CitationBytes3000> threeCitations()
{
    return {citation("300", QDate(2006, 3, 1)).text("Notes", "radar\r\nsecond line"),
            citation("100", QDate(2006, 1, 1)).text("Notes", "laser"),
            citation("200", QDate(2006, 2, 1), QTime(9, 0)).text("Notes", "radar")};
}

} // namespace

class tst_ExportList : public QObject {
    Q_OBJECT
private slots:
    void shownLikePrintList()
    {
        MainWindowFixture f;
        f.write({citation("1", QDate(2006, 1, 1))});
        frmMain& w = f.open();
        QVERIFY(!w.cmdExportList->isVisible() && !w.cmdPrintList->isVisible());
        QVERIFY(w.cmdStatistics->isVisible());
        f.write(threeCitations());
        w.LoadCitationList();
        w.UpdateButtons();
        QVERIFY(w.cmdExportList->isVisible() && w.cmdPrintList->isVisible());
        QCOMPARE(w.cmdExportList->AccessKey(), QChar(u'x'));
    }

    void fullListInItsSortOrder()
    {
        MainWindowFixture f;
        f.write(threeCitations());
        frmMain& w = f.open();
        w.optSort_Click(1); // by citation number
        FakeSaveDialog dialog;
        const QString target = f.folder.file(QStringLiteral("list.csv"));
        dialog.answers << FakeSaveDialog::Answer{target, 0};
        f.msgs.expect(exported(3, target), Caption, Msg::Information | Msg::OKOnly, Msg::OK);
        QTest::mouseClick(w.cmdExportList, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(dialog.suggestions.value(0).endsWith(QStringLiteral("Citations 2006-07-04.csv")));
        QCOMPARE(readBack(target), (QList<QStringList>{{"Date", "Citation#", "Offense", "Location"},
                                                        {"2006-01-01", "100", "46.2-862", "Rt 1 NB / MM 12"},
                                                        {"2006-02-01", "200", "46.2-862", "Rt 1 NB / MM 12"},
                                                        {"2006-03-01", "300", "46.2-862", "Rt 1 NB / MM 12"}}));
    }

    void subListWithEveryField()
    {
        MainWindowFixture f;
        f.write(threeCitations());
        frmMain& w = f.open();
        searchSettings().phrase = QStringLiteral("radar");
        searchSettings().scope = 8;
        w.FullListMode = frmMain::FlagOff;
        w.SubListMode = frmMain::FlagOn;
        w.LoadCitationList();
        w.UpdateButtons();
        QCOMPARE(f.listedRecords(), (QList<int>{3, 1}));
        QVERIFY(w.cmdExportList->isVisible());

        FakeSaveDialog dialog;
        const QString target = f.folder.file(QStringLiteral("sub")); // no extension typed
        dialog.answers << FakeSaveDialog::Answer{target, 1};
        f.msgs.expect(exported(2, target + QStringLiteral(".csv")), Caption, Msg::Information | Msg::OKOnly, Msg::OK);
        QTest::mouseClick(w.cmdExportList, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        const QList<QStringList> rows = readBack(target + QStringLiteral(".csv"));
        QCOMPARE(rows.size(), 3);
        const qsizetype number = rows[0].indexOf(QStringLiteral("Citation Number"));
        const qsizetype notes = rows[0].indexOf(QStringLiteral("Notes"));
        const qsizetype time = rows[0].indexOf(QStringLiteral("Offense Time"));
        QVERIFY(number >= 0 && notes >= 0 && time >= 0);
        QCOMPARE(rows[1][number], QStringLiteral("200"));
        QCOMPARE(rows[1][time], QStringLiteral("09:00"));
        QCOMPARE(rows[2][number], QStringLiteral("300"));
        QCOMPARE(rows[2][notes], QStringLiteral("radar\r\nsecond line"));
        searchSettings() = SearchSettings();
    }

    void cancelledOrRefusedWritesNothing()
    {
        MainWindowFixture f;
        f.write(threeCitations());
        frmMain& w = f.open();
        const QList<QByteArray> before = ReadCitations(CitationFileName);
        FakeSaveDialog dialog;
        QTest::mouseClick(w.cmdExportList, Qt::LeftButton); // cancelled: nothing asked, nothing written
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

        // The data file is never written over by an export.
        dialog.answers << FakeSaveDialog::Answer{f.folder.file(CitationFileName), 0};
        f.msgs.expect(QStringLiteral("The file \"%1\" is one of the data files of Sennet.\r\n\r\n"
                                     "Please choose another name for the export.")
                          .arg(CitationFileName),
                      Caption, Msg::Exclamation | Msg::OKOnly, Msg::OK);
        QTest::mouseClick(w.cmdExportList, Qt::LeftButton);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(ReadCitations(CitationFileName), before);
    }

    void failureIsTold()
    {
        MainWindowFixture f;
        f.write(threeCitations());
        frmMain& w = f.open();
        FakeSaveDialog dialog;
        const QString target = f.folder.file(QStringLiteral("full.csv"));
        dialog.answers << FakeSaveDialog::Answer{target, 0};
        FileIo::setInterceptor([](FileIo::Call call, const QString& path, qint64) {
            FileIo::Verdict v;
            if (call == FileIo::Call::Sync && path.endsWith(QLatin1String(".part")))
                v.error = EIO;
            return v;
        });
        f.msgs.expect(QStringLiteral("The file \"%1\" could not be written: %2\r\n\r\nThe list was not exported.")
                          .arg(QDir::toNativeSeparators(target), FileIo::errorText(EIO)),
                      QStringLiteral("List Not Exported"), Msg::Critical | Msg::OKOnly, Msg::OK);
        QTest::mouseClick(w.cmdExportList, Qt::LeftButton);
        FileIo::setInterceptor({});
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(!QFile::exists(target));
        QVERIFY(w.isEnabled());
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(tst_ExportList)
#include "tst_exportlist.moc"

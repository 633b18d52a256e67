// Long work in the main window shows a progress bar: a deletion (which
// cannot be stopped), the export, the statistics and the printed list (which
// can). Stopping one leaves no file behind and an earlier file of the same
// name as it was, and tells nothing.
#include "MainWindowFixture.h"
#include "widgets/VellButton.h"
#include "workspace/frmStatistics.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

class tst_Progress : public QObject {
    Q_OBJECT
private slots:
    void longWorkShowsProgress_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("cancellable");
        for (bool cancel : {false, true}) {
            const char* how = cancel ? " cancelled" : "";
            QTest::addRow("delete%s", how) << "delete" << cancel << "Delete Citation" << false;
            QTest::addRow("export%s", how) << "export" << cancel << "Export List" << true;
            QTest::addRow("statistics%s", how) << "statistics" << cancel << "Statistics" << true;
            QTest::addRow("print list%s", how) << "print" << cancel << "Print List" << true;
        }
    }

    void longWorkShowsProgress()
    {
        QFETCH(QString, work);
        QFETCH(bool, cancel);
        QFETCH(QString, caption);
        QFETCH(bool, cancellable);
        MainWindowFixture f;
        QList<CitationBytes3000> records;
        for (int i = 1; i <= 120; ++i)
            records << citation(QByteArray::number(i), QDate(2006, 1, 1).addDays(i));
        f.write(records);
        frmMain& w = f.open();
        ScriptedProgress progress;
        progress.cancelAtUpdate = cancel ? 1 : 0;
        const QString target = f.folder.file(work == "print" ? "list.pdf" : "list.csv");
        const QByteArray earlier = "an earlier file\n";
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(earlier);
        }
        qint64 total = 120;

        if (work == "delete") {
            w.SelectRow(0, false);
            f.msgs.expect("Are you SURE you wish to delete\r\n\r\nCitation Number " + w.txtField[2]->text()
                              + ",\r\n\r\ndated " + w.txtField[3]->text() + "?",
                          "Confirm", Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::Yes);
            QTest::mouseClick(w.cmdDeleteEntry, Qt::LeftButton);
            // Rewriting the file cannot stop half way: Cancel is never offered.
            QCOMPARE(QFileInfo(CitationFileName).size(), 119 * 3000);
        } else if (work == "export") {
            FakeSaveDialog dialog;
            dialog.answers << FakeSaveDialog::Answer{target, 0};
            if (!cancel)
                f.msgs.expect("120 citations were exported to\r\n\r\n" + QDir::toNativeSeparators(target),
                              "Export List", Msg::Information | Msg::OKOnly, Msg::OK);
            QTest::mouseClick(w.cmdExportList, Qt::LeftButton);
        } else if (work == "statistics") {
            frmStatistics window(w.ListedRecordNumbers(), QString());
            QCOMPARE(window.lblSummary->text().isEmpty(), cancel);
        } else {
            ScriptedPrintOutput output;
            output.pdfFile = target;
            f.msgs.expect("This printjob will take\r\nabout 3 pages.\r\n\r\nAre you ready to print?", "Print List",
                          Msg::YesNoCancel | Msg::Question, Msg::Yes);
            if (!cancel)
                f.msgs.expect("The printout was saved as\r\n\r\n" + QDir::toNativeSeparators(target), "Sennet List",
                              Msg::OKOnly | Msg::Information, Msg::OK);
            w.cmdPrintList_Click();
        }
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(w.isEnabled());

        QCOMPARE(progress.shown.size(), 1);
        const ScriptedProgress::Shown& bar = progress.shown.first();
        QCOMPARE(bar.caption, caption);
        QCOMPARE(bar.cancellable, cancellable);
        QVERIFY(bar.ended);
        QVERIFY(!bar.updates.isEmpty());
        for (const auto& [done, all] : bar.updates)
            QVERIFY(all == total && done >= 0 && done <= all);
        if (cancel && cancellable) {
            QCOMPARE(bar.updates.size(), 1);
            QCOMPARE(contents(target), earlier);
            QVERIFY(!QFile::exists(target + ".part"));
        } else if (work == "export" || work == "print") {
            QVERIFY(contents(target) != earlier);
        }
    }
};

QTEST_MAIN(tst_Progress)
#include "tst_progress.moc"

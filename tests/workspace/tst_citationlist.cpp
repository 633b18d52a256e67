// The main window's citation list: loading in full-list and sub-list mode,
// captions, sorting, shading, selection, tooltips and file errors.
#include "MainWindowFixture.h"
#include "widgets/VellButton.h"
#include "workspace/CitationList.h"
#include "store/SearchSettings.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {
const QString NoCitations = QStringLiteral("There are currently\r\nno citations on file...");

QList<CitationBytes3000> manyCitations(int n)
{
    QList<CitationBytes3000> out;
    for (int i = 1; i <= n; ++i)
        out << citation(QByteArray::number(1000 + i), QDate(2006, 1, 1).addDays((i * 37) % 300));
    return out;
}
} // namespace

class tst_CitationList : public QObject {
    Q_OBJECT
private slots:
    void noCitations();
    void oneCitation();
    void twoCitationsSortByDate();
    void manyCitationsLastRowSelectedAndShaded();
    void citationSortKeepsSelectionAndTextOrder();
    void changedSortSurvivesReload();
    void subListMatchesAndSortsByTime();
    void subListWithoutMatchReturnsToFullList();
    void unreadableFileLeavesAnEmptyList();
    void cutShortFileIsToldOnce_data();
    void cutShortFileIsToldOnce();
    void windowSetUp();
    void heightFollowsTheScreen();
    void weekdayTooltipOnTheDateColumn();
};

void tst_CitationList::noCitations()
{
    MainWindowFixture f(3);
    f.msgs.expect(NoCitations, "Sennet", Msg::OKOnly | Msg::Information, Msg::OK);
    frmMain& w = f.open();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(w.CitationsInList(), 0);
    QVERIFY(QFile::exists("Sennet.Data")); // opened, therefore created empty
    QVERIFY(w.grid->isHidden());
    // The frame stays usable for the one button it shows: Import.
    QVERIFY(w.frame[1]->isEnabled() && w.cmdImportList->isEnabled());
    QVERIFY(w.cmdFindEntries->isHidden() && w.cmdPrintList->isHidden() && w.cmdExportList->isHidden());
    QVERIFY(w.lblSort->isHidden() && w.optSort[0]->isHidden() && w.optSort[2]->isHidden());
    QCOMPARE(w.frame[1]->title(), QString());
    QVERIFY(w.MainTab->isHidden());
    QCOMPARE(f.helpTopics, QList<int>{1}); // the overview opens on its own
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.cmdAddEntry));
    QVERIFY(w.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

void tst_CitationList::oneCitation()
{
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 3, 5))});
    frmMain& w = f.open();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(w.frame[1]->title(), QStringLiteral(" All Entries (1 citation in this list) "));
    QVERIFY(w.lblSort->isHidden() && w.optSort[1]->isHidden());
    QCOMPARE(w.SelectedRow(), 0);
    QCOMPARE(w.listModel->data(w.listModel->index(0, 2), Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 255));
    QCOMPARE(w.listModel->cellText(0, ListColumn::Location), QStringLiteral("Rt 1 NB / MM 12"));
    QCOMPARE(w.listModel->cellText(0, ListColumn::RecNum), QStringLiteral("1"));
    QCOMPARE(w.listModel->cellText(0, ListColumn::DateSort), QStringLiteral("20060305"));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.grid));
    QVERIFY(f.helpTopics.isEmpty());
    QVERIFY(!w.MainTab->isHidden());
    QCOMPARE(w.MainTab->currentIndex(), 0);
}

void tst_CitationList::twoCitationsSortByDate()
{
    MainWindowFixture f;
    f.write({citation("2006", QDate(2006, 3, 5)), citation("2005", QDate(2005, 12, 1))});
    frmMain& w = f.open();
    QCOMPARE(w.frame[1]->title(), QStringLiteral(" All Entries (2 citations in this list) "));
    QVERIFY(!w.lblSort->isHidden() && !w.optSort[0]->isHidden());
    QVERIFY(w.optSort[0]->isChecked());
    QCOMPARE(f.listedRecords(), (QList<int>{2, 1}));
    QCOMPARE(w.SelectedRow(), 1);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("2006"));
    QCOMPARE(w.listModel->data(w.listModel->index(1, 0), Qt::BackgroundRole).value<QColor>(), QColor(240, 240, 240));
    QVERIFY(w.lblStandBy->isHidden());
}

void tst_CitationList::manyCitationsLastRowSelectedAndShaded()
{
    MainWindowFixture f;
    f.write(manyCitations(60));
    frmMain& w = f.open();
    QCOMPARE(w.CitationsInList(), 60);
    QCOMPARE(w.SelectedRow(), 59);
    QVERIFY(w.grid->verticalScrollBar()->maximum() > 0);
    QCOMPARE(w.grid->verticalScrollBar()->value(), w.grid->verticalScrollBar()->maximum());
    for (int r = 1; r < 60; ++r) {
        QVERIFY(w.listModel->row(r - 1).dateSort <= w.listModel->row(r).dateSort);
        if (w.listModel->row(r - 1).dateSort == w.listModel->row(r).dateSort) // same day: file order
            QVERIFY(w.listModel->row(r - 1).recNum < w.listModel->row(r).recNum);
        const QColor shade = r % 2 ? QColor(240, 240, 240) : QColor(255, 255, 255);
        QCOMPARE(w.listModel->data(w.listModel->index(r, 3), Qt::BackgroundRole).value<QColor>(), shade);
    }
    QVERIFY(!w.listModel->data(w.listModel->index(1, 4), Qt::BackgroundRole).isValid());
    // The key columns are in the model, never on screen.
    QVERIFY(w.grid->isColumnHidden(ListColumn::RecNum) && w.grid->isColumnHidden(ListColumn::DateSort));
    QVERIFY(w.grid->columnViewportPosition(3) + w.grid->columnWidth(3) >= w.grid->viewport()->width());
}

void tst_CitationList::citationSortKeepsSelectionAndTextOrder()
{
    MainWindowFixture f;
    f.write({citation("99", QDate(2006, 1, 3)), citation("100", QDate(2006, 1, 1)), citation("b7", QDate(2006, 1, 2)),
             citation("A7", QDate(2006, 1, 4))});
    frmMain& w = f.open();
    w.SelectRow(w.listModel->rowOfRecord(3), false);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("b7"));
    QTest::mouseClick(w.optSort[1], Qt::LeftButton);
    QVERIFY(w.optSort[1]->isChecked());
    QCOMPARE(f.listedRecords(), (QList<int>{2, 1, 4, 3})); // "100" "99" "A7" "b7": text order, case ignored
    QCOMPARE(w.SelectedRecordNumber(), 3);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("b7"));
    QVERIFY(!w.grid->isHidden() && w.lblStandBy->isHidden() && w.isEnabled());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.optSort[1])); // keyboard users keep their place
}

void tst_CitationList::changedSortSurvivesReload()
{
    MainWindowFixture f;
    f.write({citation("A", QDate(2006, 1, 3)).text("CodeSection", "C-3"),
             citation("B", QDate(2006, 1, 1)).text("CodeSection", "a-9"),
             citation("C", QDate(2006, 1, 2)).text("CodeSection", "B-1")});
    frmMain& w = f.open();
    w.SelectRow(0, false);
    QTest::mouseClick(w.optSort[2], Qt::LeftButton);
    QCOMPARE(f.listedRecords(), (QList<int>{2, 3, 1}));
    w.cmdSeeAllEntries_Click();
    QCOMPARE(f.listedRecords(), (QList<int>{2, 3, 1}));
    QCOMPARE(w.SelectedRow(), 2);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("A"));
}

void tst_CitationList::subListMatchesAndSortsByTime()
{
    MainWindowFixture f;
    f.write({citation("n1", QDate(2006, 5, 1), QTime(13, 0)).text("Notes", "radar gun"),
             citation("n2", QDate(2006, 5, 1), QTime(9, 0)).text("Notes", "RADAR"),
             citation("n3", QDate(2006, 4, 1), QTime(23, 0)).text("Notes", "laser"),
             citation("n4", QDate(2006, 5, 1), QTime(10, 5)).text("Notes", "the radar"),
             citation("n5", QDate(2006, 5, 2), QTime(1, 0)).text("Notes", "radars")});
    frmMain& w = f.open();
    searchSettings().phrase = QStringLiteral("radar");
    searchSettings().scope = 8;
    searchSettings().wholeWord = 1;
    w.FullListMode = frmMain::FlagOff;
    w.SubListMode = frmMain::FlagOn;
    w.LoadCitationList();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(f.listedRecords(), (QList<int>{2, 4, 1})); // 9:00am, 10:05am, 1:00pm
    QCOMPARE(w.listModel->row(1).dateSort, QStringLiteral("200605011005"));
    QCOMPARE(w.frame[1]->title(), QStringLiteral(" Sub-list of entries containing 'radar' (3 Citations in this list) "));
    QCOMPARE(w.SelectedRow(), 0);
    QCOMPARE(w.grid->verticalScrollBar()->value(), 0);
    QVERIFY(w.timerFlash->isActive());

    w.cmdSeeAllEntries_Click();
    QVERIFY(!w.timerFlash->isActive());
    QVERIFY(w.FullListMode && !w.SubListMode);
    QCOMPARE(w.CitationsInList(), 5);
    QCOMPARE(w.listModel->row(0).dateSort, QStringLiteral("20060401"));
}

void tst_CitationList::subListWithoutMatchReturnsToFullList()
{
    MainWindowFixture f;
    f.write({citation("1", QDate(2006, 5, 1)).text("Notes", "concat"), citation("2", QDate(2006, 5, 2))});
    frmMain& w = f.open();
    searchSettings().phrase = QStringLiteral("cat");
    searchSettings().wholeWord = 1;
    w.FullListMode = frmMain::FlagOff;
    w.SubListMode = frmMain::FlagOn;
    bool framesHidden = false;
    f.msgs.expect("There were no matches\r\nsearching for\r\n\r\ncat", "No matches", Msg::OKOnly | Msg::Critical,
                  Msg::OK, [&] { framesHidden = w.frame[1]->isHidden() && w.frame[2]->isHidden(); });
    w.LoadCitationList();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(framesHidden);
    QVERIFY(!w.frame[1]->isHidden() && !w.frame[2]->isHidden());
    QVERIFY(w.FullListMode && !w.SubListMode);
    QCOMPARE(w.frame[1]->title(), QStringLiteral(" All Entries (2 citations in this list) "));
    QVERIFY(!w.timerFlash->isActive());
}

void tst_CitationList::unreadableFileLeavesAnEmptyList()
{
    MainWindowFixture f;
    f.write({citation("1", QDate(2006, 5, 1)), citation("2", QDate(2006, 5, 2))});
    frmMain& w = f.open();
    QVERIFY(QFile::remove("Sennet.Data"));
    QVERIFY(QDir().mkdir("Sennet.Data")); // a folder where the file should be cannot be read
    CitationFileView probe;
    QVERIFY(!probe.open());
    f.msgs.expect(probe.lastError().message(), "Sennet", Msg::OKOnly | Msg::Critical, Msg::OK);
    QVERIFY(probe.lastError().message().contains("\"Sennet.Data\""));
    w.cmdSeeAllEntries_Click();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(w.CitationsInList(), 0);
    QVERIFY(w.MainTab->isHidden());
    QVERIFY(w.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

void tst_CitationList::cutShortFileIsToldOnce_data()
{
    QTest::addColumn<int>("kept"); // bytes of the third record left in the file
    QTest::addColumn<int>("listed");
    QTest::addColumn<QString>("text");
    QTest::newRow("last citation counts") << 2000 << 3
        << "The last citation in Sennet.Data is incomplete:\r\nthe file holds only 2000 of its 3000 bytes.\r\n\r\n"
           "It is shown completed with blanks.";
    QTest::newRow("too few to count") << 1000 << 2
        << "Sennet.Data ends with 1000 bytes, too few\r\nfor a citation of 3000 bytes.\r\n\r\n"
           "They are not shown; the next new citation\r\nis written over them.";
}

void tst_CitationList::cutShortFileIsToldOnce()
{
    QFETCH(int, kept);
    QFETCH(int, listed);
    QFETCH(QString, text);
    MainWindowFixture f;
    // A power cut during an append, as the file layer of an earlier version
    // could leave it: the third record stops part way through its notes.
    const QByteArray third = citation("C-3", QDate(2006, 5, 3)).text("Notes", QByteArray(2000, 'N')).bytes();
    WriteFile(CitationFileName, citation("A-1", QDate(2006, 5, 1)).bytes() + citation("B-2", QDate(2006, 5, 2)).bytes()
                                    + third.left(kept));
    f.msgs.expect(text, "Damaged Data File", Msg::OKOnly | Msg::Exclamation, Msg::OK);
    frmMain& w = f.open();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(w.CitationsInList(), listed);
    QCOMPARE(w.listModel->cellText(listed - 1, ListColumn::CitationNumber), QString(listed == 3 ? "C-3" : "B-2"));

    // Reloads and searches of the same file say nothing more.
    w.cmdSeeAllEntries_Click();
    searchSettings().phrase = QStringLiteral("2006");
    w.FullListMode = frmMain::FlagOff;
    w.SubListMode = frmMain::FlagOn;
    w.LoadCitationList();
    QCOMPARE(w.CitationsInList(), listed);
    QVERIFY2(f.msgs.allMet() && f.msgs.shown.size() == 1, qPrintable(f.msgs.shown.join(" | ")));
}

void tst_CitationList::windowSetUp()
{
    MainWindowFixture f(2);
    f.write({citation("1", QDate(2006, 5, 1))});
    searchSettings() = {QStringLiteral("left over"), 5, 0, 1};
    frmMain& w = f.open();
    QCOMPARE(w.windowTitle(), QStringLiteral("Traffic Citations - Sennet"));
    QCOMPARE(searchSettings().phrase, QString());
    QCOMPARE(searchSettings().scope, qint16(1));
    QCOMPARE(searchSettings().ignoreCase, qint16(1));
    QCOMPARE(searchSettings().wholeWord, qint16(0));
    QCOMPARE(w.lblUserInfo->text(), QStringLiteral("User: Jane Doe\r\nAccess: Read/Edit"));
    QVERIFY(w.ActivatedOnce && w.FullListMode && !w.SubListMode);
}

void tst_CitationList::heightFollowsTheScreen()
{
    MainWindowFixture f;
    f.write({citation("1", QDate(2006, 5, 1))});
    f.screen.size = QSize(1024, 768);
    frmMain& w = f.open();
    // The sizes are outer sizes, frame included.
    QCOMPARE(w.frameGeometry().width(), 793);  // 11900 twips
    QCOMPARE(w.frameGeometry().height(), 591); // 11520 twips / 1.3 = 8861 twips
    const int editorHeight = w.frame[2]->height();
    const int listHeight = w.frame[1]->height();
    delete f.window;
    // Without the place it was left at: the first start on each screen.
    const auto forget = [&] { f.settings.values.remove("Windows/frmMain"); };
    forget();

    f.screen.size = QSize(1280, 1024);
    frmMain& taller = f.open();
    QCOMPARE(taller.frameGeometry().height(), 788); // 15360 twips / 1.3 = 11815 twips
    QCOMPARE(taller.frame[2]->height(), editorHeight);
    QCOMPARE(taller.frame[1]->height(), listHeight + 788 - 591);
    QCOMPARE(taller.frame[2]->geometry().top(), taller.frame[1]->geometry().bottom() + 1 + 6);
    delete f.window;
    forget();

    f.screen.size = QSize(800, 600); // not higher than the design: the design height
    QCOMPARE(f.open().frameGeometry().height(), 600);
}

void tst_CitationList::weekdayTooltipOnTheDateColumn()
{
    MainWindowFixture f;
    f.write({citation("1", QDate(2006, 7, 4)), citation("2", QDate(2006, 7, 8))});
    frmMain& w = f.open();
    const auto tip = [&](int r, int c) { return w.listModel->data(w.listModel->index(r, c), Qt::ToolTipRole).toString(); };
    QCOMPARE(tip(0, 0), QStringLiteral(" Tuesday "));
    QCOMPARE(tip(1, 0), QStringLiteral(" Saturday "));
    QCOMPARE(tip(0, 1), QString());
    QVERIFY(w.listModel->headerData(0, Qt::Horizontal, Qt::ToolTipRole).isNull());
}

QTEST_MAIN(tst_CitationList)
#include "tst_citationlist.moc"

// Searching from the main window, and quitting it: the question, the log-out
// line, the defaults question, and what is left in the data folder; the close
// box, the end of the desktop session and a log that cannot be written.
#include "MainWindowFixture.h"
#include "session/ShutDown.h"
#include "widgets/VellButton.h"
#include "store/SearchSettings.h"
#include "workspace/frmFind.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPointer>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {

// Answers the search dialog when it opens: types the phrase and presses Find
// (or Cancel, or closes it through its title bar when `how` says so).
enum class Answer { Find, Cancel, CloseBox };
void answerSearch(const QString& phrase, Answer how = Answer::Find, int scope = 1)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<frmFind*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->txtSearchPhrase->setText(phrase);
        dialog->optFind[size_t(scope)]->setChecked(true);
        if (how == Answer::Find)
            dialog->cmdFind->click();
        else if (how == Answer::Cancel)
            dialog->cmdCancel->click();
        else
            dialog->close();
    });
}

QList<CitationBytes3000> autumn2006()
{
    return {citation("A-1", QDate(2006, 8, 30)), citation("B-2", QDate(2006, 9, 1), QTime(13, 0)),
            citation("C-3", QDate(2006, 9, 1), QTime(9, 0)), citation("D-4", QDate(2006, 10, 2))};
}

const QString QuitText = QStringLiteral("This will close Sennet.\r\n\r\nIs this what you want to do?");
const QString DefaultsText =
    QStringLiteral("Your default data fields\r\nhave been updated.\r\n\r\nDo you want to keep the\r\nupdated default data fields?");

const QString LogOutFailedText =
    QStringLiteral("The file \"User.Log\" could not be written, so this log-out is not recorded: it is a folder, not a data file.");

// How the user leaves: the Quit button, or the window's close box (whose quit
// runs once the close is over).
enum class Leave { QuitButton, CloseBox };
void leave(frmMain& w, Leave how)
{
    if (how == Leave::QuitButton) {
        QTest::mouseClick(w.cmdQuit, Qt::LeftButton);
    } else {
        QVERIFY(!w.close()); // the window stays until the quit is answered
        QCoreApplication::processEvents();
    }
}

QStringList logLines() { return QString::fromLatin1(ReadFile(UserLogFileName)).split("\r\n", Qt::SkipEmptyParts); }

} // namespace

class tst_SearchQuit : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetShutDownState(); }
    void searchShowsTheMatchingSubList();
    void searchWithoutMatchReturnsToTheFullList();
    void cancelledOrClosedSearchChangesNothing();
    void quitAnsweredNoChangesNothing();
    void quitAnsweredYesLogsOutAndRemovesEmptyFiles();
    void closeBoxAsksTheSameQuestion();
    void changedDefaultsAreOfferedForKeeping();
    void untouchedDefaultsAskNothing();
    void sessionEndLogsOutAndAsksOnlyAboutDefaults();
    void failedLogOutLineIsShown();
};

void tst_SearchQuit::searchShowsTheMatchingSubList()
{
    MainWindowFixture f;
    f.write(autumn2006());
    frmMain& w = f.open();
    answerSearch(QStringLiteral("2006/09"));
    QTest::mouseClick(w.cmdFindEntries, Qt::LeftButton);
    QVERIFY(w.SubListMode && !w.FullListMode);
    QCOMPARE(searchSettings().phrase, QStringLiteral("2006/09"));
    QCOMPARE(f.listedRecords(), QList<int>({3, 2})); // one day's citations by time
    QCOMPARE(w.frame[1]->title(), QStringLiteral(" Sub-list of entries containing '2006/09' (2 Citations in this list) "));
    QVERIFY(w.timerFlash->isActive());
    QVERIFY(w.cmdSeeAllEntries->isVisible() && !w.cmdFindEntries->isVisible() && !w.cmdAddEntry->isVisible());
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("C-3"));

    QTest::mouseClick(w.cmdSeeAllEntries, Qt::LeftButton);
    QVERIFY(w.FullListMode && !w.SubListMode);
    QCOMPARE(w.CitationsInList(), 4);
    QVERIFY(!w.timerFlash->isActive());
    QVERIFY(w.cmdFindEntries->isVisible());
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
}

void tst_SearchQuit::searchWithoutMatchReturnsToTheFullList()
{
    MainWindowFixture f;
    f.write(autumn2006());
    frmMain& w = f.open();
    f.msgs.expect("There were no matches\r\nsearching for\r\n\r\nzebra", "No matches", Msg::Critical, Msg::OK);
    answerSearch(QStringLiteral("zebra"));
    w.cmdFindEntries_Click();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(w.FullListMode && !w.SubListMode);
    QCOMPARE(w.CitationsInList(), 4);
    QCOMPARE(w.frame[1]->title(), QStringLiteral(" All Entries (4 citations in this list) "));
}

void tst_SearchQuit::cancelledOrClosedSearchChangesNothing()
{
    MainWindowFixture f;
    f.write(autumn2006());
    frmMain& w = f.open();
    answerSearch(QStringLiteral("2006/09"));
    w.cmdFindEntries_Click();
    w.cmdSeeAllEntries_Click();
    // Closing the dialog by its title bar is a cancel: the last search is not run again.
    answerSearch(QStringLiteral("A-1"), Answer::CloseBox);
    w.cmdFindEntries_Click();
    QVERIFY(w.FullListMode);
    QCOMPARE(w.CitationsInList(), 4);
    // Cancel keeps the chosen scope and forgets the phrase.
    answerSearch(QStringLiteral("A-1"), Answer::Cancel, 8);
    w.cmdFindEntries_Click();
    QVERIFY(w.FullListMode);
    QCOMPARE(searchSettings().scope, qint16(8));
    QCOMPARE(searchSettings().phrase, QString());
}

void tst_SearchQuit::quitAnsweredNoChangesNothing()
{
    MainWindowFixture f;
    f.write(autumn2006());
    frmMain& w = f.open();
    f.msgs.expect(QuitText, "Exit Sennet?", Msg::YesNo | Msg::Question, Msg::No);
    QTest::mouseClick(w.cmdQuit, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!IsShuttingDown());
    QVERIFY(w.isVisible());
    QVERIFY(!QFile::exists(UserLogFileName));
}

void tst_SearchQuit::quitAnsweredYesLogsOutAndRemovesEmptyFiles()
{
    MainWindowFixture f;
    WriteFile(UserListFileName, QByteArray());
    f.msgs.expect("There are currently\r\nno citations on file...", "Sennet", Msg::Information, Msg::OK);
    frmMain& w = f.open();
    QVERIFY(QFile::exists(CitationFileName)); // the empty data file of a new installation
    f.msgs.expect(QuitText, "Exit Sennet?", Msg::YesNo | Msg::Question, Msg::Yes);
    QTest::keyClick(w.cmdAddEntry, Qt::Key_Escape); // Esc presses Quit while viewing
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(IsShuttingDown());
    QCOMPARE(logLines(), QStringList({"07/04/2006 at 14:05:30 - Jane Doe logged out."}));
    QVERIFY(!QFile::exists(CitationFileName));
    QVERIFY(!QFile::exists(UserListFileName));
    QVERIFY(QFile::exists(UserLogFileName)); // it holds the log-out line
}

void tst_SearchQuit::closeBoxAsksTheSameQuestion()
{
    MainWindowFixture f;
    f.write(autumn2006());
    frmMain& w = f.open();
    f.msgs.expect(QuitText, "Exit Sennet?", Msg::YesNo | Msg::Question, Msg::No);
    leave(w, Leave::CloseBox);
    QVERIFY(f.msgs.allMet() && !IsShuttingDown());
    QVERIFY(w.isVisible());
    f.msgs.expect(QuitText, "Exit Sennet?", Msg::YesNo | Msg::Question, Msg::Yes);
    leave(w, Leave::CloseBox);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(IsShuttingDown());
    QCOMPARE(logLines().size(), 1);
}

void tst_SearchQuit::changedDefaultsAreOfferedForKeeping()
{
    // The close box must reach the defaults question as the Quit button does.
    for (const Leave how : {Leave::QuitButton, Leave::CloseBox}) {
        for (const int answer : {int(Msg::Yes), int(Msg::No)}) {
            ResetShutDownState();
            MainWindowFixture f;
            f.settings.values["Defaults/DefaultCity"] = "Vienna";
            f.write(autumn2006());
            frmMain& w = f.open();
            w.MainTab->setCurrentIndex(frmMain::DefaultsPage);
            w.txtDefault[1]->setText(QStringLiteral("  VA0290000 "));
            w.txtDefault[4]->setText(QString());
            w.MainTab->setCurrentIndex(0);
            f.msgs.expect(QuitText, "Exit Sennet?", Msg::YesNo | Msg::Question, Msg::Yes);
            f.msgs.expect(DefaultsText, "Save Current Defaults?", Msg::YesNo | Msg::Question, answer, [&] {
                // The question stands over the Defaults page.
                QCOMPARE(w.MainTab->currentIndex(), int(frmMain::DefaultsPage));
                QVERIFY(!w.lblDefaultInstructions->isVisible());
            });
            leave(w, how);
            QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
            QVERIFY(IsShuttingDown());
            if (answer == Msg::Yes) {
                QCOMPARE(f.settings.values.value("Defaults/DefaultNCICNumber"), QStringLiteral("VA0290000"));
                QCOMPARE(f.settings.values.value("Defaults/DefaultCity"), QString());
                QCOMPARE(f.settings.values.value("Defaults/DefaultCourtName"), QString());
            } else {
                QVERIFY(!f.settings.has("Defaults", "DefaultNCICNumber"));
                QCOMPARE(f.settings.values.value("Defaults/DefaultCity"), QStringLiteral("Vienna"));
            }
            QCOMPARE(logLines(), QStringList({"07/04/2006 at 14:05:30 - Jane Doe logged out."}));
        }
    }
}

void tst_SearchQuit::untouchedDefaultsAskNothing()
{
    MainWindowFixture f;
    f.settings.values["Defaults/DefaultCounty"] = "Fairfax";
    f.write(autumn2006());
    frmMain& w = f.open();
    QCOMPARE(w.txtDefault[3]->text(), QStringLiteral("Fairfax"));
    f.msgs.expect(QuitText, "Exit Sennet?", Msg::YesNo | Msg::Question, Msg::Yes);
    w.cmdQuit_Click();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    // Nothing is written to "Defaults" (the window's place is kept apart).
    QCOMPARE(f.settings.values.keys().filter(QStringLiteral("Defaults/")), QStringList({"Defaults/DefaultCounty"}));
}

void tst_SearchQuit::sessionEndLogsOutAndAsksOnlyAboutDefaults()
{
    // With changed defaults the session's end asks about them and nothing
    // else, also when the system then closes the window.
    {
        MainWindowFixture f;
        f.write(autumn2006());
        frmMain& w = f.open();
        w.MainTab->setCurrentIndex(frmMain::DefaultsPage);
        w.txtDefault[3]->setText(QStringLiteral("Fairfax "));
        f.msgs.expect(DefaultsText, "Save Current Defaults?", Msg::YesNo | Msg::Question, Msg::Yes);
        w.Form_SessionEnd(true);
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(f.settings.values.value("Defaults/DefaultCounty"), QStringLiteral("Fairfax"));
        QCOMPARE(logLines(), QStringList({"07/04/2006 at 14:05:30 - Jane Doe logged out."}));

        QPointer<frmMain> window(&w);
        QVERIFY(w.close());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window); // closed and unloaded, with no question
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(logLines().size(), 1);
    }
    // A session that may not ask: nothing is asked, nothing stored, the user
    // still leaves; a close box pressed just before asks no quit question.
    ResetShutDownState();
    {
        MainWindowFixture f;
        f.write(autumn2006());
        frmMain& w = f.open();
        w.MainTab->setCurrentIndex(frmMain::DefaultsPage);
        w.txtDefault[2]->setText(QStringLiteral("Officer Day"));
        w.close();
        w.Form_SessionEnd(false);
        QCoreApplication::processEvents();
        QVERIFY(w.close());
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(!f.settings.has("Defaults", "DefaultEnteredBy"));
        QCOMPARE(logLines(), QStringList({"07/04/2006 at 14:05:30 - Jane Doe logged out."}));
    }
    ResetShutDownState();
}

void tst_SearchQuit::failedLogOutLineIsShown()
{
    // A folder in the log's place: the line cannot be appended.
    {
        MainWindowFixture f;
        f.write(autumn2006());
        QVERIFY(QDir().mkdir(UserLogFileName));
        frmMain& w = f.open();
        f.msgs.expect(QuitText, "Exit Sennet?", Msg::YesNo | Msg::Question, Msg::Yes);
        f.msgs.expect(LogOutFailedText, "File Error", Msg::OKOnly | Msg::Exclamation, Msg::OK);
        w.cmdQuit_Click();
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(IsShuttingDown()); // the user still leaves
    }
    ResetShutDownState();
    {
        MainWindowFixture f;
        f.write(autumn2006());
        QVERIFY(QDir().mkdir(UserLogFileName));
        frmMain& w = f.open();
        f.msgs.expect(LogOutFailedText, "File Error", Msg::OKOnly | Msg::Exclamation, Msg::OK);
        w.cmdAdminWindow_Click();
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QCOMPARE(f.adminWindows, 1);
    }
}

QTEST_MAIN(tst_SearchQuit)
#include "tst_searchquit.moc"

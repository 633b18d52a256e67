// Start-up: the single-instance guard, the older file name, the title page's
// Continue steps, the settings readers and the shutdown routine.
#include "DataFiles.h"
#include "Doubles.h"
#include "session/AppSettings.h"
#include "session/ProcessState.h"
#include "session/ShutDown.h"
#include "store/CitationListFile.h"
#include "store/FileIo.h"
#include "app/SingleInstance.h"
#include "app/StartupHooks.h"
#include "session/Utilities.h"
#include "app/basSennet.h"
#include "app/frmTitlePage.h"
#include "widgets/VellButton.h"

#include <QFile>
#include <QLabel>
#include <QSet>
#include <QTest>

class tst_Startup : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondCopyIsRefusedAndLeftoversGoOnlyAtAStart();
    void olderDataFileIsRenamedOnlyWithoutACurrentOne();
    void processWideLists();
    void titlePageCaptions();
    void continueShowsOverviewUnlessNoShow();
    void narrowScreenIsWarnedAbout();
    void stopAtTheFormatCheckShutsDown();
    void shutDownDeletesOnlyEmptyDataFiles();
    void shutDownLeavesTheListFileForTheNextStart();
    void settingsReaders();
    void randomIntegerStaysInRangeAndVaries();

private:
    int m_overviews = 0;
    int m_handOvers = 0;
};

void tst_Startup::init()
{
    m_overviews = m_handOvers = 0;
    startupHooks().showNewUserOverview = [this](QWidget*) { ++m_overviews; };
    startupHooks().checkDataFileFormat = nullptr;
    startupHooks().showFirstWindow = [this] { ++m_handOvers; };
    ResetShutDownState();
}

void tst_Startup::cleanup() { startupHooks() = StartupHooks(); }

void tst_Startup::secondCopyIsRefusedAndLeftoversGoOnlyAtAStart()
{
    TempDataFolder folder;
    ScriptedMessages msgs;
    // A killed deletion left its complete work file beside the data file:
    // the start removes it and leaves the data file as it was.
    const QByteArray data = CitationBytes3000::sample("VA2006000001", QDate(2006, 3, 7)).bytes();
    WriteFile("Sennet.Data", data);
    WriteFile("TempFile.$$$", QByteArray(3000, 'w'));
    SingleInstanceGuard first;
    QVERIFY(StartUp(first));
    QVERIFY(!QFile::exists("TempFile.$$$"));
    QCOMPARE(ReadFile("Sennet.Data"), data);
    // A refused second copy must not take the running copy's work file.
    WriteFile("TempFile.$$$", "in use");
    msgs.expect("Sennet is already loaded\r\nand running on your computer!", "Terminating...",
                Msg::Critical | Msg::OKOnly, Msg::OK);
    SingleInstanceGuard second;
    QVERIFY(!StartUp(second));
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile("TempFile.$$$"), QByteArray("in use"));
    first.release();
    SingleInstanceGuard third;
    QVERIFY(StartUp(third)); // once the first copy is gone, the next one starts
}

void tst_Startup::olderDataFileIsRenamedOnlyWithoutACurrentOne()
{
    {
        TempDataFolder folder;
        WriteFile("Sennet.dat", QByteArray(1500, 'o'));
        RenameOlderDataFile();
        QVERIFY(!QFile::exists("Sennet.dat"));
        QCOMPARE(ReadFile("Sennet.Data"), QByteArray(1500, 'o'));
    }
    {
        TempDataFolder folder;
        WriteFile("Sennet.dat", QByteArray(1500, 'o'));
        WriteFile("Sennet.Data", QByteArray(3000, 'n'));
        RenameOlderDataFile();
        QCOMPARE(ReadFile("Sennet.dat"), QByteArray(1500, 'o'));
        QCOMPARE(ReadFile("Sennet.Data"), QByteArray(3000, 'n'));
    }
}

void tst_Startup::processWideLists()
{
    InitialiseProcessState();
    QCOMPARE(CitationFileName, QStringLiteral("Sennet.Data"));
    QCOMPARE(DataFileNames, QStringList({"Sennet.Data", "User.List", "User.Log"}));
    QCOMPARE(AccessLevelName(1), QStringLiteral("Read Only"));
    QCOMPARE(AccessLevelName(2), QStringLiteral("Read/Edit"));
    QCOMPARE(AccessLevelName(3), QStringLiteral("Read/Edit/Add"));
    QCOMPARE(AccessLevelName(4), QStringLiteral("Read/Edit/Add/Delete"));
    QCOMPARE(AccessLevelName(5), QString());
}

void tst_Startup::titlePageCaptions()
{
    MemorySettings settings;
    frmTitlePage page;
    page.show();
    QCOMPARE(page.windowTitle(), QStringLiteral("Title Window"));
    QCOMPARE(page.cmdContinue->Caption(), QStringLiteral("&Continue"));
    QCOMPARE(page.labelAppTitle->text(), QStringLiteral("Sennet"));
    QCOMPARE(page.labelAppDescription->text(), QStringLiteral("Traffic Citation Record Management"));
    QCOMPARE(page.labelVersion->text(), QStringLiteral("Version w3.15.21"));
    QCOMPARE(frmTitlePage::VersionText(3, 5, 1234), QStringLiteral("Version w3.5.1234"));
}

void tst_Startup::continueShowsOverviewUnlessNoShow()
{
    FakeScreen screen(1280, 1024);
    MemorySettings settings;
    ScriptedMessages msgs;
    {
        auto* page = new frmTitlePage;
        page->show();
        page->cmdContinue_Click();
        QCOMPARE(m_overviews, 1); // nothing stored: shown
        QCOMPARE(m_handOvers, 1);
    }
    settings.values["Defaults/NewUser"] = "noshow"; // only the exact text counts
    {
        auto* page = new frmTitlePage;
        page->show();
        page->cmdContinue_Click();
        QCOMPARE(m_overviews, 2);
    }
    settings.values["Defaults/NewUser"] = "NoShow";
    {
        auto* page = new frmTitlePage;
        page->show();
        QTest::mouseClick(page->cmdContinue, Qt::LeftButton);
        QCOMPARE(m_overviews, 2);
        QCOMPARE(m_handOvers, 3);
    }
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
}

void tst_Startup::narrowScreenIsWarnedAbout()
{
    MemorySettings settings;
    settings.values["Defaults/NewUser"] = "NoShow";
    ScriptedMessages msgs;
    {
        FakeScreen screen(640, 480);
        msgs.expect("Sennet is designed for use on a\r\n"
                    "screen resolution of at least 800x600. \r\n"
                    "\r\n"
                    "Sennet will not display correctly on\r\n"
                    "your current screen resolution (640x480).\r\n"
                    "\r\n"
                    "You can adjust your screen resolution by\r\n"
                    "right-clicking anywhere on your desktop,\r\n"
                    "select <Properties>, then <Settings>,\r\n"
                    "and then select and accept at least\r\n"
                    "800x600 as your 'Screen Area'.",
                    "Screen Resolution Issue", Msg::OKOnly, Msg::OK);
        auto* page = new frmTitlePage;
        page->show();
        page->cmdContinue_Click();
        QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
        QCOMPARE(m_handOvers, 1); // the admin window still follows
    }
    {
        FakeScreen screen(800, 599); // only the width is tested
        auto* page = new frmTitlePage;
        page->show();
        page->cmdContinue_Click();
        QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
        QCOMPARE(m_handOvers, 2);
    }
}

void tst_Startup::stopAtTheFormatCheckShutsDown()
{
    TempDataFolder folder;
    MemorySettings settings;
    settings.values["Defaults/NewUser"] = "NoShow";
    FakeScreen screen(1024, 768);
    startupHooks().checkDataFileFormat = [](QWidget*) { return false; };
    auto* page = new frmTitlePage;
    page->show();
    page->cmdContinue_Click();
    QVERIFY(IsShuttingDown());
    QCOMPARE(m_handOvers, 0);
}

void tst_Startup::shutDownDeletesOnlyEmptyDataFiles()
{
    TempDataFolder folder;
    WriteFile("Sennet.Data", QByteArray());
    WriteFile("User.List", QByteArray(500, ' '));
    WriteFile("User.Log", QByteArray());
    WriteFile("Other.txt", QByteArray());
    ShutDown();
    QVERIFY(IsShuttingDown());
    QVERIFY(!QFile::exists("Sennet.Data"));
    QVERIFY(QFile::exists("User.List"));
    QVERIFY(!QFile::exists("User.Log"));
    QVERIFY(QFile::exists("Other.txt"));
}

void tst_Startup::shutDownLeavesTheListFileForTheNextStart()
{
    TempDataFolder folder;
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2006, 2, 3))});
    CitationListFile::setWriting(true);
    ShutDown(); // a moment after the data file's last change
    CitationListFile::setWriting(false);
    QVERIFY(QFile::exists(FileIo::derivedFileName(CitationFileName)));
}

void tst_Startup::settingsReaders()
{
    MemorySettings settings;
    QVERIFY(ShouldShowNewUserOverview());
    QVERIFY(!FadeStatusOn());
    for (const auto& [stored, on] : std::initializer_list<std::pair<const char*, bool>>{
             {"1", true}, {"2", true}, {"0", false}, {"", false}, {"yes", false}, {"-1", true}, {" 3", true}}) {
        settings.values["Defaults/FadeStatus"] = stored;
        QVERIFY2(FadeStatusOn() == on, stored);
    }
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(ReadDefaultsSetting(DefaultValueKey(i)), QString());
    QCOMPARE(DefaultValueKey(5), QStringLiteral("DefaultCourtName"));
}

void tst_Startup::randomIntegerStaysInRangeAndVaries()
{
    QSet<int> seen;
    for (int i = 0; i < 2000; ++i) {
        const int r = RandomInteger(48, 122);
        QVERIFY(r >= 48 && r <= 122);
        seen.insert(r);
    }
    // Calls within one clock tick must not repeat each other.
    QVERIFY(seen.size() > 60);
    QVERIFY(seen.contains(48) && seen.contains(122));
    QCOMPARE(Larger(2, 3), 3.0);
    QCOMPARE(Smaller(2, 3), 2.0);
    int kept = 5;
    AddTo(kept, 2);
    QCOMPARE(kept, 7);
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"

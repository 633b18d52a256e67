// The windows wired together as the program's entry point wires them: the
// title page hands over to the admin window, a log-in reaches the main window
// with the user's level, and the main window hands back, with both lines in
// the user log.
#include "DataFiles.h"
#include "Doubles.h"
#include "UserFiles.h"
#include "session/ProcessState.h"
#include "app/StartupHooks.h"
#include "session/WindowHandOver.h"
#include "app/frmTitlePage.h"
#include "users/frmAdmin.h"
#include "widgets/VellButton.h"
#include "workspace/frmMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

class tst_HandOver : public QObject {
    Q_OBJECT
private slots:
    void titleToAdminToMainAndBack();
};

namespace {
template <typename Window>
QPointer<Window> shownWindow()
{
    QCoreApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<Window*>(w); found && found->isVisible())
            return found;
    return nullptr;
}
} // namespace

void tst_HandOver::titleToAdminToMainAndBack()
{
    TempDataFolder folder;
    MemorySettings settings;
    settings.values["Defaults/NewUser"] = "NoShow";
    ScriptedMessages msgs;
    FakeScreen screen(1280, 1024);
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    windowHandOver().showAdminWindow = [] { (new frmAdmin)->show(); };
    windowHandOver().showMainWindow = [] { (new frmMain)->show(); };
    startupHooks().showFirstWindow = ShowAdminWindow;
    WriteUsers(UserListFileName, {UserBytes500::user("Jane", "Doe", "AbCd", 3)});
    WriteCitations(CitationFileName, {CitationBytes3000::sample("C-1", QDate(2006, 9, 14))});

    auto* title = new frmTitlePage;
    title->show();
    title->cmdContinue_Click();
    QPointer<frmAdmin> admin = shownWindow<frmAdmin>();
    QVERIFY(admin);

    admin->cmdUserSelected->click();
    QTest::keyClicks(admin->txtPassword, "AbCd");
    admin->cmdContinue->click();
    QPointer<frmMain> main = shownWindow<frmMain>();
    QVERIFY(main);
    QCoreApplication::processEvents();
    QTRY_VERIFY(!admin);
    QCOMPARE(CurrentUserName, QStringLiteral("Jane Doe"));
    QCOMPARE(main->txtField[2]->text(), QStringLiteral("C-1"));
    QVERIFY(main->cmdAddEntry->isEnabled());     // level 3 adds
    QVERIFY(!main->cmdDeleteEntry->isEnabled()); // but does not delete

    main->cmdAdminWindow->click();
    QTRY_VERIFY(!main);
    QVERIFY(shownWindow<frmAdmin>());
    QCOMPARE(QString::fromLatin1(ReadFile(UserLogFileName)),
             QStringLiteral("03/07/2026 at 14:05:09 - Jane Doe logged in w/ Read/Edit/Add privileges.\r\n"
                            "03/07/2026 at 14:05:09 - Jane Doe logged out.\r\n"));
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    for (QWidget* w : QApplication::topLevelWidgets())
        w->deleteLater();
    windowHandOver() = WindowHandOver();
    startupHooks() = StartupHooks();
}

QTEST_MAIN(tst_HandOver)
#include "tst_handover.moc"

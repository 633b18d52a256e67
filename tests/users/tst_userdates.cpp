// Dates on the users' side: the user list's "Date Created" and the log view
// in the numeric date order of the settings, and the moment a log line takes.
#include "DataFiles.h"
#include "Doubles.h"
#include "UserFiles.h"
#include "session/ProcessState.h"
#include "users/UserGridModel.h"
#include "storage/UserLog.h"
#include "users/UserLogView.h"
#include "users/frmAdmin.h"
#include "widgets/VellButton.h"

#include <QLocale>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>

class tst_UserDates : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void logLineTakesTheSecondItIsWrittenIn();
    void logViewShowsTheNumericOrder();
    void adminWindowShowsTheNumericOrder_data();
    void adminWindowShowsTheNumericOrder();
};

void tst_UserDates::logLineTakesTheSecondItIsWrittenIn()
{
    TempDataFolder folder;
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(23, 59, 59, 700)));
    CurrentUserName = QStringLiteral("Jane Doe");
    CurrentAccessLevel = 3;
    QVERIFY(WriteUserLogLine(1));
    QCOMPARE(ReadFile(UserLogFileName),
             QByteArray("03/07/2026 at 23:59:59 - Jane Doe logged in w/ Read/Edit/Add privileges.\r\n"));
}

void tst_UserDates::logViewShowsTheNumericOrder()
{
    const QString log = QStringLiteral("03/07/2026 at 14:05:09 - Jane Doe logged in w/ Read Only privileges.\n"
                                       "12/25/2026 at 08:00:00 - Jane Doe logged out.\r\n"
                                       "a line typed by hand, 03/07/2026\n"
                                       "13/45/2026 at 08:00:00 - not a date\n"
                                       "01/02/2027");
    QCOMPARE(UserLogViewText(log), log); // month first: as written
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    QCOMPARE(UserLogViewText(log),
             QStringLiteral("07/03/2026 at 14:05:09 - Jane Doe logged in w/ Read Only privileges.\n"
                            "25/12/2026 at 08:00:00 - Jane Doe logged out.\r\n"
                            "a line typed by hand, 03/07/2026\n"
                            "13/45/2026 at 08:00:00 - not a date\n"
                            "02/01/2027"));
}

void tst_UserDates::adminWindowShowsTheNumericOrder_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shown");
    QTest::newRow("US") << QStringLiteral("en_US") << QStringLiteral("03/07/2026");
    QTest::newRow("British") << QStringLiteral("en_GB") << QStringLiteral("07/03/2026");
    QTest::newRow("German") << QStringLiteral("de_DE") << QStringLiteral("07/03/2026");
}

void tst_UserDates::adminWindowShowsTheNumericOrder()
{
    QFETCH(QString, locale);
    QFETCH(QString, shown);
    QLocale::setDefault(QLocale(locale));
    TempDataFolder folder;
    MemorySettings settings;
    settings.values["Installation/AccessCode"] = QStringLiteral("246810");
    ScriptedMessages msgs;
    WriteUsers(UserListFileName, {UserBytes500::user("Jane", "Doe", "abcd", 3, QDate(2026, 3, 7))});
    WriteFile(UserLogFileName, "03/07/2026 at 14:05:09 - Jane Doe logged out.\r\n");

    frmAdmin w;
    w.show();
    QCoreApplication::processEvents();
    QCOMPARE(w.grid->model()->index(0, UserGridModel::ColCreated).data().toString(), shown);

    msgs.expectInput(QStringLiteral("\r\nPlease enter the access code\r\nneeded to add/edit/delete\r\nusers in this 'User List'"),
                     QStringLiteral("Access Code Required"), QStringLiteral("<Enter Access Code Here>"),
                     QStringLiteral("246810"));
    w.cmdAdmin->click();
    w.cmdReviewUserLog->click();
    QCOMPARE(w.txtUserLog->toPlainText(), shown + QStringLiteral(" at 14:05:09 - Jane Doe logged out.\n"));
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
}

QTEST_MAIN(tst_UserDates)
#include "tst_userdates.moc"

// The admin window's entries in the audit trail (log-ins, failed log-ins,
// the access code, users added, changed and removed), and the lock-out after
// wrong passwords with a scripted clock: locked after N, told for how long,
// open after M minutes, the access code unlocking. Typed passwords appear
// nowhere in the trail's bytes.
#include "DataFiles.h"
#include "Doubles.h"
#include "UserFiles.h"
#include "session/ProcessState.h"
#include "session/WindowHandOver.h"
#include "storage/AuditStore.h"
#include "users/frmAddEditUser.h"
#include "users/frmAdmin.h"
#include "widgets/VellButton.h"
#include "widgets/modFadeInOut.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {

const QString Code = QStringLiteral("246810");
const QString CodePrompt =
    QStringLiteral("\r\nPlease enter the access code\r\nneeded to add/edit/delete\r\nusers in this 'User List'");
const QString UnlockPrompt =
    QStringLiteral("\r\nPlease enter the access code\r\nto unlock this name now,\r\nor leave it empty to wait");
const QString Wrong = QStringLiteral("That is not the correct password\r\nassociated with this name");
const int Critical = Msg::OKOnly | Msg::Critical;
// Every password the tests type, for the search of the trail's bytes.
const QStringList Typed = {"AbCd", "abcd", "Qq77", "Zz99x", "zzzz"};

QList<QJsonObject> trail()
{
    QList<QJsonObject> out;
    for (const QByteArray& line : ReadFile(QStringLiteral("Sennet.Audit")).split('\n'))
        if (!line.trimmed().isEmpty())
            out << QJsonDocument::fromJson(line.trimmed()).object();
    return out;
}

QString lockedText(int minutes)
{
    return QStringLiteral("This name is locked after too many wrong passwords.\r\nIt is locked for %1 more minute%2;\r\n"
                          "the access code unlocks it at once.")
        .arg(minutes)
        .arg(minutes == 1 ? "" : "s");
}

struct Fixture {
    TempDataFolder folder;
    MemorySettings settings;
    ScriptedMessages msgs;
    FixedClock clock{QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9))};
    int mainShown = 0;
    QPointer<frmAdmin> w;

    Fixture()
    {
        settings.values["Installation/AccessCode"] = Code;
        CurrentUserName.clear();
        CurrentAccessLevel = 0;
        SetFadeFlag(false);
        windowHandOver().showMainWindow = [this] { ++mainShown; };
        WriteUsers(UserListFileName,
                   {UserBytes500::user("Zed", "Young", "zzzz", 1), UserBytes500::user("Jane", "Doe", "AbCd", 3)});
        w = new frmAdmin;
        w->show();
        QCoreApplication::processEvents();
    }
    ~Fixture()
    {
        delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        windowHandOver() = WindowHandOver();
    }
    // Jane Doe (the first row) with `password`.
    void logIn(const QString& password)
    {
        if (w->cmdUserSelected->Tag.isEmpty())
            w->cmdUserSelected->click();
        w->txtPassword->setText(password);
        w->cmdContinue->click();
    }
    void adminMode()
    {
        msgs.expectInput(CodePrompt, "Access Code Required", "<Enter Access Code Here>", Code);
        w->cmdAdmin->click();
    }
    // Acts on the user dialog the window opens next.
    static void onDialog(std::function<void(frmAddEditUser*)> act)
    {
        QTimer::singleShot(0, [act] {
            auto* dialog = qobject_cast<frmAddEditUser*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            act(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
    }
};

using Act = std::function<void(Fixture&)>;
using Check = std::function<void(const QList<QJsonObject>&)>;

} // namespace

class tst_AdminAudit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitialiseProcessState(); }
    void eachActionWritesItsEntries_data();
    void eachActionWritesItsEntries();
    void lockOutWithTheScriptedClock();
    void accessCodeUnlocksAName();
};

void tst_AdminAudit::eachActionWritesItsEntries_data()
{
    QTest::addColumn<Act>("act");
    QTest::addColumn<QStringList>("expected"); // "action by user/level"
    QTest::addColumn<Check>("check");

    QTest::newRow("log-in") << Act([](Fixture& f) { f.logIn("AbCd"); }) << QStringList{"log-in by Jane Doe/3"}
                            << Check([](const QList<QJsonObject>&) {});
    QTest::newRow("wrong password") << Act([](Fixture& f) {
        f.msgs.expect(Wrong, "Incorrect Password", Critical, Msg::OK);
        f.logIn("abcd");
    }) << QStringList{"failed-log-in by Jane Doe/0"} << Check([](const QList<QJsonObject>& e) {
        QCOMPARE(e[0]["details"].toObject()["reason"].toString(), QStringLiteral("wrong password"));
    });
    QTest::newRow("access code") << Act([](Fixture& f) {
        f.msgs.expectInput(CodePrompt, "Access Code Required", "<Enter Access Code Here>", "123")
            .expect("Sorry, but you have not entered\r\nthe correct Access Code.", "Incorrect Access Code", Critical,
                    Msg::OK)
            .expectInput(CodePrompt, "Access Code Required", "<Enter Access Code Here>", Code);
        f.w->cmdAdmin->click();
    }) << QStringList{"access-code-used by /0", "access-code-used by /0"} << Check([](const QList<QJsonObject>& e) {
        QCOMPARE(e[0]["details"].toObject()["accepted"].toBool(), false);
        QCOMPARE(e[1]["details"].toObject()["accepted"].toBool(), true);
        QCOMPARE(e[1]["details"].toObject()["purpose"].toString(), QStringLiteral("user administration"));
    });
    QTest::newRow("add user") << Act([](Fixture& f) {
        f.adminMode();
        Fixture::onDialog([](frmAddEditUser* d) {
            d->txtField[1]->setText("Ann");
            d->txtField[2]->setText("Lee");
            d->txtField[3]->setText("Qq77");
            d->cmdSave->click();
        });
        f.w->cmdAddUser->click();
    }) << QStringList{"access-code-used by /0", "user-added by /0"} << Check([](const QList<QJsonObject>& e) {
        const QJsonObject user = e[1]["details"].toObject()["user"].toObject();
        QCOMPARE(user["name"].toString(), QStringLiteral("Ann Lee"));
        QCOMPARE(user["levelName"].toString(), QStringLiteral("Read Only"));
    });
    QTest::newRow("change user") << Act([](Fixture& f) {
        f.adminMode();
        Fixture::onDialog([](frmAddEditUser* d) {
            d->optAccessLevel[4]->click();
            d->txtField[3]->setText("Zz99x");
            d->cmdSave->click();
        });
        f.w->cmdEditUser->click(); // Jane Doe, the first row
    }) << QStringList{"access-code-used by /0", "user-changed by /0"} << Check([](const QList<QJsonObject>& e) {
        const QJsonObject d = e[1]["details"].toObject();
        QCOMPARE(d["user"].toString(), QStringLiteral("Jane Doe"));
        const QJsonArray changes = d["changes"].toArray();
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes[0].toObject()["field"].toString(), QStringLiteral("AccessLevel"));
        QCOMPARE(changes[0].toObject()["old"].toString(), QStringLiteral("Read/Edit/Add"));
        QCOMPARE(changes[0].toObject()["new"].toString(), QStringLiteral("Read/Edit/Add/Delete"));
        QCOMPARE(changes[1].toObject(), (QJsonObject{{"field", "Password"}, {"changed", true}}));
    });
    QTest::newRow("remove user") << Act([](Fixture& f) {
        f.adminMode();
        f.msgs.expect("Are you sure you want to remove\r\n\r\nJane Doe\r\n\r\nfrom the 'User List'?", "Confirm Deletion",
                      Msg::YesNoCancel | Msg::Question | Msg::DefaultButton2, Msg::Yes)
            .expect("The name has been removed\r\nfrom the 'User List'.", "Name removed",
                    Msg::OKOnly | Msg::Information, Msg::OK);
        f.w->cmdDeleteUser->click();
    }) << QStringList{"access-code-used by /0", "user-removed by /0"} << Check([](const QList<QJsonObject>& e) {
        QCOMPARE(e[1]["details"].toObject()["user"].toObject()["name"].toString(), QStringLiteral("Jane Doe"));
    });
}

void tst_AdminAudit::eachActionWritesItsEntries()
{
    QFETCH(Act, act);
    QFETCH(QStringList, expected);
    QFETCH(Check, check);
    Fixture f;
    act(f);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    const QList<QJsonObject> entries = trail();
    QStringList actual;
    for (const QJsonObject& e : entries)
        actual << QStringLiteral("%1 by %2/%3").arg(e["action"].toString(), e["user"].toString()).arg(e["level"].toInt());
    QCOMPARE(actual, expected);
    check(entries);
    QVERIFY(auditStore().verify().clean);
    const QByteArray bytes = ReadFile(QStringLiteral("Sennet.Audit"));
    for (const QString& password : Typed)
        QVERIFY2(!bytes.contains(password.toLatin1()), qPrintable(password));
}

void tst_AdminAudit::lockOutWithTheScriptedClock()
{
    Fixture f;
    f.settings.values["Security/LockoutAttempts"] = "3";
    f.settings.values["Security/LockoutMinutes"] = "15";
    for (int i = 1; i <= 3; ++i) {
        f.msgs.expect(Wrong, "Incorrect Password", Critical, Msg::OK);
        if (i == 3)
            f.msgs.expect(lockedText(15), "Name Locked", Critical, Msg::OK);
        f.logIn("abcd");
    }
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

    // Locked: even the right password is refused, with the time left; an
    // empty answer to the access code waits.
    f.clock.moment = f.clock.moment.addSecs(60);
    f.msgs.expect(lockedText(14), "Name Locked", Critical, Msg::OK)
        .expectInput(UnlockPrompt, "Access Code Required", "<Enter Access Code Here>", "");
    f.logIn("AbCd");
    QCOMPARE(f.mainShown, 0);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

    // Open again once the minutes have passed.
    f.clock.moment = f.clock.moment.addSecs(14 * 60);
    f.logIn("AbCd");
    QCOMPARE(f.mainShown, 1);

    QStringList actions;
    for (const QJsonObject& e : trail())
        actions << e["action"].toString() + u' ' + e["details"].toObject()["reason"].toString();
    QCOMPARE(actions, (QStringList{"failed-log-in wrong password", "failed-log-in wrong password",
                                   "failed-log-in wrong password", "user-locked-out ", "failed-log-in locked out",
                                   "log-in "}));
    QCOMPARE(trail()[3]["details"].toObject(), (QJsonObject{{"attempts", 3}, {"minutes", 15}}));
}

void tst_AdminAudit::accessCodeUnlocksAName()
{
    Fixture f;
    f.settings.values["Security/LockoutAttempts"] = "1";
    f.settings.values["Security/LockoutMinutes"] = "60";
    f.msgs.expect(Wrong, "Incorrect Password", Critical, Msg::OK).expect(lockedText(60), "Name Locked", Critical, Msg::OK);
    f.logIn("zzzz");
    // A wrong code is told and asked again; the right one unlocks, and the
    // password typed then logs in.
    f.msgs.expect(lockedText(60), "Name Locked", Critical, Msg::OK)
        .expectInput(UnlockPrompt, "Access Code Required", "<Enter Access Code Here>", "999999")
        .expect("Sorry, but you have not entered\r\nthe correct Access Code.", "Incorrect Access Code", Critical,
                Msg::OK)
        .expectInput(UnlockPrompt, "Access Code Required", "<Enter Access Code Here>", Code);
    f.logIn("AbCd");
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(f.mainShown, 1);
    QCOMPARE(f.settings.values.value("Lockout/jane%20doe"), QString());
    QStringList actions;
    for (const QJsonObject& e : trail())
        actions << e["action"].toString();
    QCOMPARE(actions, (QStringList{"failed-log-in", "user-locked-out", "failed-log-in", "access-code-used",
                                   "access-code-used", "log-in"}));
    QCOMPARE(trail()[4]["details"].toObject()["purpose"].toString(), QStringLiteral("unlock Jane Doe"));
}

QTEST_MAIN(tst_AdminAudit)
#include "tst_adminaudit.moc"

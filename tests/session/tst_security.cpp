// Lock-out after wrong passwords and the idle lock, with a scripted clock
// and settings kept in memory.
#include "Doubles.h"
#include "session/IdleLock.h"
#include "session/LoginLockout.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

class tst_Security : public QObject {
    Q_OBJECT
private slots:
    void lockoutIsOffUnlessBothSettingsAreGiven_data();
    void lockoutIsOffUnlessBothSettingsAreGiven();
    void lockedAfterNFailuresOpenAfterMMinutes_data();
    void lockedAfterNFailuresOpenAfterMMinutes();
    void lockSurvivesARestartAndTheAccessCodeUnlocks();
    void lockedMessageNamesTheMinutes();
    void idleLockFollowsInputAndTheClock();
};

namespace {
const QDateTime Start(QDate(2026, 3, 7), QTime(14, 5, 9));
} // namespace

void tst_Security::lockoutIsOffUnlessBothSettingsAreGiven_data()
{
    QTest::addColumn<QString>("attempts");
    QTest::addColumn<QString>("minutes");
    QTest::newRow("absent") << QString() << QString();
    QTest::newRow("attempts only") << "3" << QString();
    QTest::newRow("minutes only") << QString() << "15";
    QTest::newRow("zero") << "0" << "15";
    QTest::newRow("not a number") << "three" << "15";
    QTest::newRow("negative") << "3" << "-5";
}

void tst_Security::lockoutIsOffUnlessBothSettingsAreGiven()
{
    QFETCH(QString, attempts);
    QFETCH(QString, minutes);
    MemorySettings settings;
    FixedClock clock(Start);
    if (!attempts.isNull())
        settings.save("Security", "LockoutAttempts", attempts);
    if (!minutes.isNull())
        settings.save("Security", "LockoutMinutes", minutes);
    LoginLockout lockout;
    QVERIFY(!lockout.enabled());
    for (int i = 0; i < 20; ++i)
        QVERIFY(!lockout.recordFailure("Jane Doe"));
    int left = -1;
    QVERIFY(!lockout.isLocked("Jane Doe", left));
    QCOMPARE(left, 0);
    QVERIFY(!settings.values.contains("Lockout/jane%20doe")); // nothing kept while off
}

void tst_Security::lockedAfterNFailuresOpenAfterMMinutes_data()
{
    QTest::addColumn<int>("attempts");
    QTest::addColumn<int>("minutes");
    QTest::newRow("1 for 1") << 1 << 1;
    QTest::newRow("3 for 15") << 3 << 15;
    QTest::newRow("5 for 90") << 5 << 90;
}

void tst_Security::lockedAfterNFailuresOpenAfterMMinutes()
{
    QFETCH(int, attempts);
    QFETCH(int, minutes);
    MemorySettings settings;
    FixedClock clock(Start);
    settings.save("Security", "LockoutAttempts", QString::number(attempts));
    settings.save("Security", "LockoutMinutes", QString::number(minutes));
    LoginLockout lockout;
    int left = 0;
    // A right password between wrong ones starts the count again.
    if (attempts > 1) {
        QVERIFY(!lockout.recordFailure("Jane Doe"));
        lockout.recordSuccess("Jane Doe");
        QCOMPARE(lockout.failures("Jane Doe"), 0);
    }
    for (int i = 1; i < attempts; ++i)
        QVERIFY(!lockout.recordFailure("Jane Doe"));
    QVERIFY(!lockout.isLocked("Jane Doe", left));
    QVERIFY(lockout.recordFailure("Jane Doe"));
    QVERIFY(lockout.isLocked("Jane Doe", left));
    QCOMPARE(left, minutes);
    QVERIFY(!lockout.isLocked("Bob Roe", left)); // one user's lock only
    clock.moment = Start.addSecs(minutes * 60 - 61);
    QVERIFY(lockout.isLocked("JANE DOE", left));
    QCOMPARE(left, 2);
    clock.moment = Start.addSecs(minutes * 60 - 1);
    QVERIFY(lockout.isLocked("Jane Doe", left));
    QCOMPARE(left, 1);
    clock.moment = Start.addSecs(minutes * 60);
    QVERIFY(!lockout.isLocked("Jane Doe", left));
    // A fresh run of tries after the lock ran out.
    for (int i = 1; i < attempts; ++i)
        QVERIFY(!lockout.recordFailure("Jane Doe"));
    QVERIFY(!lockout.isLocked("Jane Doe", left));
}

void tst_Security::lockSurvivesARestartAndTheAccessCodeUnlocks()
{
    MemorySettings settings;
    FixedClock clock(Start);
    settings.save("Security", "LockoutAttempts", "2");
    settings.save("Security", "LockoutMinutes", "30");
    const QString odd = QString::fromUtf8("Zo\u00eb O'Neil/Smith = [x]");
    {
        LoginLockout lockout;
        QVERIFY(!lockout.recordFailure(odd));
        QVERIFY(lockout.recordFailure(odd));
        QVERIFY(!lockout.recordFailure("Bob Roe"));
    }
    clock.moment = Start.addSecs(10 * 60);
    LoginLockout restarted;
    int left = 0;
    QVERIFY(restarted.isLocked(odd, left));
    QCOMPARE(left, 20);
    QCOMPARE(restarted.failures("Bob Roe"), 1);
    restarted.unlock(odd);
    QVERIFY(!restarted.isLocked(odd, left));
    QCOMPARE(restarted.failures(odd), 0);
    for (auto it = settings.values.cbegin(); it != settings.values.cend(); ++it)
        if (it.key().startsWith("Lockout/"))
            QVERIFY2(!it.key().mid(8).contains(QRegularExpression("[/\\\\=\\[\\] ]")), qPrintable(it.key()));
}

void tst_Security::lockedMessageNamesTheMinutes()
{
    QCOMPARE(LoginLockout::lockedText(1), "This name is locked after too many wrong passwords.\r\n"
                                          "It is locked for 1 more minute;\r\nthe access code unlocks it at once.");
    QCOMPARE(LoginLockout::lockedText(15), "This name is locked after too many wrong passwords.\r\n"
                                           "It is locked for 15 more minutes;\r\nthe access code unlocks it at once.");
    QCOMPARE(LoginLockout::lockedCaption(), "Name Locked");
}

void tst_Security::idleLockFollowsInputAndTheClock()
{
    MemorySettings settings;
    FixedClock clock(Start);
    {
        IdleLock off;
        off.start();
        QVERIFY(!off.enabled() && !off.watching());
    }
    settings.save("Security", "IdleLockMinutes", "5");
    QLineEdit edit; // an edit in progress
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QTest::keyClicks(&edit, "Half typ");
    IdleLock idle;
    QSignalSpy locked(&idle, &IdleLock::lockNow);
    idle.start();
    clock.moment = Start.addSecs(4 * 60);
    idle.poll();
    QTest::keyClick(&edit, Qt::Key_E); // input: the five minutes start again
    clock.moment = Start.addSecs(8 * 60 + 59);
    idle.poll();
    QCOMPARE(locked.count(), 0);
    QMouseEvent move(QEvent::MouseMove, QPointF(9, 7), edit.mapToGlobal(QPointF(9, 7)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &move); // a move alone is input too
    clock.moment = Start.addSecs(13 * 60 + 58);
    idle.poll();
    QCOMPARE(locked.count(), 0);
    clock.moment = Start.addSecs(13 * 60 + 59);
    idle.poll();
    QCOMPARE(locked.count(), 1);
    QVERIFY(!idle.watching());
    clock.moment = Start.addSecs(60 * 60);
    idle.poll();
    QCOMPARE(locked.count(), 1); // once, until the user is back
    QCOMPARE(edit.text(), QStringLiteral("Half type")); // the lock leaves what was typed alone
    idle.start();
    clock.moment = Start.addSecs(64 * 60);
    idle.poll();
    QCOMPARE(locked.count(), 1);
    clock.moment = Start.addSecs(65 * 60);
    idle.poll();
    QCOMPARE(locked.count(), 2);
}

QTEST_MAIN(tst_Security)
#include "tst_security.moc"

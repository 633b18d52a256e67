// Start-up in a data folder that cannot take the lock file: the user is told
// what failed and where, not that another copy runs.
#include "AsNobody.h"
#include "DataFiles.h"
#include "Doubles.h"
#include "app/SingleInstance.h"
#include "app/basSennet.h"
#include "store/FileIo.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <sys/stat.h>

class tst_StartupLock : public QObject {
    Q_OBJECT
private slots:
    void readOnlyFolderIsNamedNotMistakenForASecondCopy();
    void serverLockIsTheDesks();
};

void tst_StartupLock::readOnlyFolderIsNamedNotMistakenForASecondCopy()
{
    if (NobodyUid() < 0)
        QSKIP("no user \"nobody\" to drop privileges to");
    TempDataFolder folder;
    OpenFolderToOthers(folder.path());
    QVERIFY(::chmod(QFile::encodeName(folder.path()).constData(), 0755) == 0); // nobody may not write here
    const QString expected = QStringLiteral("Sennet cannot start: its lock file could not be created\r\n"
                                            "in the data folder ")
        + QDir::toNativeSeparators(QDir(folder.path()).absolutePath()) + QStringLiteral("\r\n(")
        + FileIo::errorText(EACCES) + QStringLiteral(").");

    const int result = RunAsNobody([&] {
        ScriptedMessages msgs;
        msgs.expect(expected, "Terminating...", Msg::Critical | Msg::OKOnly, Msg::OK);
        SingleInstanceGuard guard;
        if (StartUp(guard))
            return 1;
        return msgs.allMet() ? 0 : 2;
    });
    QCOMPARE(result, 0);

    // Where the folder can be written the same start succeeds.
    ScriptedMessages msgs;
    SingleInstanceGuard guard;
    QCOMPARE(guard.acquire(), SingleInstanceGuard::Outcome::Acquired);
    QVERIFY(msgs.allMet());
}

// On a server any number of desks work at once: a second copy is refused
// only for the same desk on the same server, and a data folder's lock is
// none of its business.
void tst_StartupLock::serverLockIsTheDesks()
{
    TempDataFolder folder;
    QTemporaryDir locks;
    const QString server = QStringLiteral("db.example\nsennet");
    SingleInstanceGuard folderLock;
    QCOMPARE(folderLock.acquire(), SingleInstanceGuard::Outcome::Acquired);
    SingleInstanceGuard first(locks.path(), DeskLockName(server, QStringLiteral("DESK-A")));
    QCOMPARE(first.acquire(), SingleInstanceGuard::Outcome::Acquired);
    const struct {
        const char* server;
        const char* desk;
        SingleInstanceGuard::Outcome outcome;
    } cases[] = {
        {"db.example\nsennet", "DESK-A", SingleInstanceGuard::Outcome::AlreadyRunning},
        {"db.example\nsennet", "DESK-B", SingleInstanceGuard::Outcome::Acquired},
        {"db.example\nsennet", "desk-a", SingleInstanceGuard::Outcome::Acquired},
        {"db.example\nother", "DESK-A", SingleInstanceGuard::Outcome::Acquired},
        {"db.example\nsennet", "../../DESK-A/*", SingleInstanceGuard::Outcome::Acquired},
    };
    for (const auto& c : cases) {
        SingleInstanceGuard second(locks.path(), DeskLockName(QString::fromUtf8(c.server), QString::fromUtf8(c.desk)));
        QVERIFY2(second.acquire() == c.outcome, c.desk);
    }
    // Every lock lies in the folder it was given, whatever the desk's name.
    QCOMPARE(QDir(locks.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    first.release();
    SingleInstanceGuard again(locks.path(), DeskLockName(server, QStringLiteral("DESK-A")));
    QCOMPARE(again.acquire(), SingleInstanceGuard::Outcome::Acquired);
}

QTEST_MAIN(tst_StartupLock)
#include "tst_startuplock.moc"

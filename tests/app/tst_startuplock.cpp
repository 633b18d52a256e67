// Start-up in a data folder that cannot take the lock file: the user is told
// what failed and where, not that another copy runs.
#include "AsNobody.h"
#include "DataFiles.h"
#include "Doubles.h"
#include "app/SingleInstance.h"
#include "app/basSennet.h"
#include "store/FileIo.h"

#include <QDir>
#include <QTest>
#include <cerrno>
#include <sys/stat.h>

class tst_StartupLock : public QObject {
    Q_OBJECT
private slots:
    void readOnlyFolderIsNamedNotMistakenForASecondCopy();
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

QTEST_MAIN(tst_StartupLock)
#include "tst_startuplock.moc"

// What an installed copy relies on at start: which data folder it works in,
// that the folder is made (or the reason it cannot be), and that the user can
// see both the folder and the program's icon.
#include "AsNobody.h"
#include "app/DataFolder.h"
#include "app/basSennet.h"
#include "app/frmTitlePage.h"
#include "store/FileIo.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <sys/stat.h>

using Source = DataFolderChoice::Source;
Q_DECLARE_METATYPE(DataFolderChoice::Source)

class tst_Installation : public QObject {
    Q_OBJECT
private slots:
    void init() { m_previous = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_previous); }
    void choiceFollowsTheConditions_data();
    void choiceFollowsTheConditions();
    void userDataHomeFollowsXdg();
    void folderIsMadeWithItsParentsAndEntered();
    void folderThatCannotBeMadeTellsWhy();
    void titlePageNamesTheDataFolder();
    void iconHasEverySize();

private:
    QString m_previous;
};

void tst_Installation::choiceFollowsTheConditions_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("environment");
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<Source>("source");

    // The working folder is /home/officer (where a menu starts programs), the
    // user's data home /home/officer/.local/share.
    QTest::newRow("by hand") << "" << "" << false << "/home/officer" << Source::WorkingFolder;
    QTest::newRow("from the menu") << "" << "" << true << "/home/officer/.local/share/Sennet" << Source::UserData;
    QTest::newRow("environment by hand") << "" << "/srv/sennet" << false << "/srv/sennet" << Source::Environment;
    QTest::newRow("environment beats the menu") << "" << "/srv/sennet" << true << "/srv/sennet" << Source::Environment;
    QTest::newRow("option") << "/mnt/data" << "" << false << "/mnt/data" << Source::Option;
    QTest::newRow("option beats environment and menu") << "/mnt/data" << "/srv/sennet" << true << "/mnt/data"
                                                       << Source::Option;
    QTest::newRow("relative option") << "records/2026" << "" << false << "/home/officer/records/2026"
                                     << Source::Option;
    QTest::newRow("relative environment") << "" << "../shared/" << false << "/home/shared" << Source::Environment;
}

void tst_Installation::choiceFollowsTheConditions()
{
    QFETCH(QString, option);
    QFETCH(QString, environment);
    QFETCH(bool, fromMenu);
    QFETCH(QString, expected);
    QFETCH(Source, source);
    const DataFolderChoice choice
        = ChooseDataFolder(option, environment, fromMenu, "/home/officer", "/home/officer/.local/share");
    QCOMPARE(choice.path, expected);
    QCOMPARE(choice.source, source);
}

void tst_Installation::userDataHomeFollowsXdg()
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    const bool had = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/var/lib/agency");
    QCOMPARE(UserDataHome(), QStringLiteral("/var/lib/agency"));
    // A relative value is not a valid XDG path and is ignored, as is an empty one.
    qputenv("XDG_DATA_HOME", "relative/share");
    QCOMPARE(UserDataHome(), QDir::homePath() + "/.local/share");
    qputenv("XDG_DATA_HOME", "");
    QCOMPARE(UserDataHome(), QDir::homePath() + "/.local/share");
    if (had)
        qputenv("XDG_DATA_HOME", saved);
    else
        qunsetenv("XDG_DATA_HOME");
}

void tst_Installation::folderIsMadeWithItsParentsAndEntered()
{
    QTemporaryDir root;
    const QString target = root.filePath("share/Sennet");
    QString reason;
    QVERIFY(MakeDataFolderCurrent(target, reason));
    QVERIFY(QFileInfo(target).isDir());
    QCOMPARE(QDir::currentPath(), QDir(target).canonicalPath());
    // A second start finds it there and only enters it.
    QDir::setCurrent(root.path());
    QVERIFY(MakeDataFolderCurrent(target, reason));
    QCOMPARE(QDir::currentPath(), QDir(target).canonicalPath());
}

void tst_Installation::folderThatCannotBeMadeTellsWhy()
{
    QTemporaryDir root;
    const QString here = QDir::currentPath();

    // A file stands where a parent folder should be.
    QFile blocker(root.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString reason;
    QVERIFY(!MakeDataFolderCurrent(root.filePath("blocker/Sennet"), reason));
    QCOMPARE(reason, FileIo::errorText(ENOTDIR));
    QVERIFY(!MakeDataFolderCurrent(root.filePath("blocker"), reason));
    QCOMPARE(reason, FileIo::errorText(ENOTDIR));
    QCOMPARE(QDir::currentPath(), here); // the working folder is left alone

    QCOMPARE(DataFolderUnusableText("/srv/x", FileIo::errorText(ENOTDIR)),
             QStringLiteral("Sennet cannot use its data folder\r\n/srv/x\r\n(") + FileIo::errorText(ENOTDIR)
                 + QStringLiteral(")."));

    // A folder the user may not write into.
    if (NobodyUid() < 0)
        QSKIP("no user \"nobody\" to drop privileges to");
    OpenFolderToOthers(root.path());
    QVERIFY(::chmod(QFile::encodeName(root.path()).constData(), 0755) == 0);
    const QString denied = root.filePath("closed/Sennet");
    const int result = RunAsNobody([&] {
        QString why;
        if (MakeDataFolderCurrent(denied, why))
            return 1;
        return why == FileIo::errorText(EACCES) ? 0 : 2;
    });
    QCOMPARE(result, 0);
    QVERIFY(!QFileInfo::exists(denied));
}

void tst_Installation::titlePageNamesTheDataFolder()
{
    QTemporaryDir root;
    QString reason;
    QVERIFY(MakeDataFolderCurrent(root.path(), reason));
    frmTitlePage page;
    QCOMPARE(page.toolTip(), QStringLiteral("Data folder: ") + QDir::currentPath());
}

void tst_Installation::iconHasEverySize()
{
    const QIcon icon = ApplicationIcon();
    for (int size : ApplicationIconSizes) {
        const QPixmap pixmap = icon.pixmap(QSize(size, size));
        QCOMPARE(pixmap.size(), QSize(size, size));
        // Drawn, not blank: the corners are clear and the middle is not.
        const QImage image = pixmap.toImage();
        QCOMPARE(qAlpha(image.pixel(0, size - 1)), 0);
        QVERIFY(qAlpha(image.pixel(size / 2, size / 2)) > 0);
    }
}

QTEST_MAIN(tst_Installation)
#include "tst_installation.moc"

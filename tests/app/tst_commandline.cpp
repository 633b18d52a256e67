// The command line: what each option does, and that the program itself
// answers --help, --version and wrong options before it needs a display, and
// works in the data folder the options and the environment choose.
#include "app/CommandLine.h"
#include "app/frmTitlePage.h"
#include "audit/AuditEntry.h"
#include "session/ProcessState.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// Runs the built program with `arguments` in `folder` and waits for its end.
// The environment has no display at all, so anything that opened one fails.
Run runProgram(const QStringList& arguments, const QString& folder = QDir::tempPath())
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(SENNET_EXECUTABLE), arguments);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// Starts the program for real (offscreen) and returns the folder in which it
// took its lock, which is its data folder; the program is then ended.
QString folderTheProgramRunsIn(const QStringList& arguments, const QString& workingFolder,
                               const QMap<QString, QString>& variables, const QStringList& candidates)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("SENNET_DATA");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (auto it = variables.begin(); it != variables.end(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingFolder);
    for (const QString& candidate : candidates)
        QFile::remove(QDir(candidate).filePath("Sennet.lock")); // a killed run leaves its lock behind
    process.start(QStringLiteral(SENNET_EXECUTABLE), arguments);
    QString found;
    QDeadlineTimer deadline(30000);
    while (found.isEmpty() && !deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        for (const QString& candidate : candidates)
            if (QFile::exists(QDir(candidate).filePath("Sennet.lock")))
                found = candidate;
        process.waitForFinished(50);
    }
    process.kill();
    process.waitForFinished();
    return found;
}

} // namespace

class tst_CommandLine : public QObject {
    Q_OBJECT
private slots:
    void parsing_data();
    void parsing();
    void helpAndVersionNeedNoDisplay();
    void wrongCommandLinesEndWithStatus2();
    void dataFolderThatCannotBeMadeEndsWithStatus1();
    void dataFolderNameThatIsNotTextIsRefused();
    void programWorksInTheChosenFolder();
    void serverOption_data();
    void serverOption();
    void deskOption_data();
    void deskOption();
    void serverThatCannotBeReachedEndsWithStatus1();
};

void tst_CommandLine::parsing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("dataFolder");
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<QString>("error");

    QTest::newRow("nothing") << QStringList() << Action::Run << "" << false << "";
    QTest::newRow("menu") << QStringList { "--from-menu" } << Action::Run << "" << true << "";
    QTest::newRow("folder") << QStringList { "--data-folder", "/srv/a b" } << Action::Run << "/srv/a b" << false << "";
    QTest::newRow("folder=") << QStringList { "--data-folder=/srv/x" } << Action::Run << "/srv/x" << false << "";
    QTest::newRow("folder looking like an option") << QStringList { "--data-folder", "--help" } << Action::Run
                                                   << "--help" << false << "";
    QTest::newRow("Qt options pass") << QStringList { "-platform", "offscreen", "-reverse", "--from-menu" }
                                     << Action::Run << "" << true << "";
    QTest::newRow("help") << QStringList { "--help" } << Action::Help << "" << false << "";
    QTest::newRow("version") << QStringList { "--version" } << Action::Version << "" << false << "";
    QTest::newRow("help wins") << QStringList { "--version", "--help" } << Action::Help << "" << false << "";
    QTest::newRow("unknown") << QStringList { "--colour" } << Action::Refuse << "" << false
                             << "unknown option --colour";
    QTest::newRow("unknown after help") << QStringList { "--help", "-x" } << Action::Refuse << "" << false
                                        << "unknown option -x";
    QTest::newRow("stray argument") << QStringList { "Sennet.Data" } << Action::Refuse << "" << false
                                    << "unexpected argument Sennet.Data";
    QTest::newRow("folder missing") << QStringList { "--data-folder" } << Action::Refuse << "" << false
                                    << "option --data-folder needs a folder";
    QTest::newRow("Qt option missing value") << QStringList { "-style" } << Action::Refuse << "" << false
                                             << "option -style needs a value";
}

void tst_CommandLine::parsing()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, dataFolder);
    QFETCH(bool, fromMenu);
    QFETCH(QString, error);
    const CommandLine line = ParseCommandLine(arguments);
    QCOMPARE(line.action, action);
    QCOMPARE(line.dataFolder, dataFolder);
    QCOMPARE(line.fromMenu, fromMenu);
    QCOMPARE(line.error, error);
}

void tst_CommandLine::helpAndVersionNeedNoDisplay()
{
    const Run version = runProgram({ "--version" });
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out,
             "Sennet " + frmTitlePage::VersionText(VersionMajor, VersionMinor, VersionRevision) + "\n");
    QCOMPARE(version.err, QString());

    const Run help = runProgram({ "--help" });
    QCOMPARE(help.status, 0);
    QCOMPARE(help.out, HelpText());
    QVERIFY(help.out.startsWith(UsageLine() + "\n"));
    for (const char* mention : { "--data-folder PATH", "--version", "SENNET_DATA", "~/.local/share/Sennet",
                                 "--server URL", "[Server], key Url", "~/.pgpass", "--desk NAME" })
        QVERIFY2(help.out.contains(QLatin1String(mention)), mention);
    QCOMPARE(help.err, QString());
}

void tst_CommandLine::wrongCommandLinesEndWithStatus2()
{
    const QList<QPair<QStringList, QString>> cases = {
        { { "-x", "--help" }, "sennet: unknown option -x\n" },
        { { "--data-folder" }, "sennet: option --data-folder needs a folder\n" },
    };
    for (const auto& [arguments, firstLine] : cases) {
        const Run run = runProgram(arguments);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err, firstLine + UsageLine() + "\n");
        QCOMPARE(run.out, QString());
    }
}

void tst_CommandLine::dataFolderThatCannotBeMadeEndsWithStatus1()
{
    QTemporaryDir root;
    QFile blocker(root.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString folder = root.filePath("blocker/Sennet");

    const Run run = runProgram({ "--data-folder", folder });
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith("Sennet cannot use its data folder " + folder + " ("), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QVERIFY(!QFileInfo::exists(folder));
}

void tst_CommandLine::dataFolderNameThatIsNotTextIsRefused()
{
    // A folder whose name is Latin-1, not UTF-8, holding its data; the
    // program is handed that name in bytes through a shell (a QString
    // argument could not carry them).
    QTemporaryDir root;
    const QByteArray name = QFile::encodeName(root.path()) + "/Stra\xdf" "e";
    QVERIFY(::mkdir(name.constData(), 0777) == 0);
    const struct {
        const char* how;
        QString script;
    } runs[] = {
        {"option", QStringLiteral("exec \"$0\" --data-folder \"$1/$(printf 'Stra\\337e')\"")},
        {"option=", QStringLiteral("exec \"$0\" --data-folder=\"$1/$(printf 'Stra\\337e')\"")},
        {"environment", QStringLiteral("SENNET_DATA=\"$1/$(printf 'Stra\\337e')\" exec \"$0\"")},
    };
    for (const auto& r : runs) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("SENNET_DATA");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(root.path());
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), r.script, QStringLiteral(SENNET_EXECUTABLE), root.path()});
        if (!process.waitForFinished(30000))
            process.kill();
        process.waitForFinished();
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(err.contains("Sennet cannot use its data folder") && err.contains("not valid text"), r.how);
        // No folder of a look-alike name was made, and nothing went into the real one.
        QVERIFY2(!QFileInfo::exists(QFile::decodeName(name)), r.how);
        QVERIFY(::rmdir(name.constData()) == 0 && ::mkdir(name.constData(), 0777) == 0);
    }
    QVERIFY(::rmdir(name.constData()) == 0);
}

void tst_CommandLine::programWorksInTheChosenFolder()
{
    QTemporaryDir root;
    const QString home = root.filePath("home"); // where a menu starts programs
    const QString xdgData = root.filePath("xdg-data");
    const QString environment = root.filePath("env");
    const QString option = root.filePath("option/nested");
    QVERIFY(QDir().mkpath(home));
    const QStringList candidates = { home, xdgData + "/Sennet", environment, option };
    const QMap<QString, QString> base = { { "XDG_DATA_HOME", xdgData },
                                          { "XDG_CONFIG_HOME", root.filePath("config") } };
    auto withEnvironment = base;
    withEnvironment.insert("SENNET_DATA", environment);

    QCOMPARE(folderTheProgramRunsIn({}, home, base, candidates), home);
    QCOMPARE(folderTheProgramRunsIn({ "--from-menu" }, home, base, candidates), xdgData + "/Sennet");
    QCOMPARE(folderTheProgramRunsIn({ "--from-menu" }, home, withEnvironment, candidates), environment);
    QCOMPARE(folderTheProgramRunsIn({ "--from-menu", "--data-folder", option }, home, withEnvironment, candidates),
             option);
}

void tst_CommandLine::serverOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("error");
    const QString url = QStringLiteral("postgresql://clerk@db.example/sennet?sslmode=verify-full");
    QTest::newRow("URI") << QStringList { "--server", url } << url << "";
    QTest::newRow("=key=value") << QStringList { "--server=host=db dbname=sennet" } << "host=db dbname=sennet" << "";
    QTest::newRow("with the menu") << QStringList { "--from-menu", "--server", url } << url << "";
    QTest::newRow("missing") << QStringList { "--server" } << "" << "option --server needs the server's URL";
    QTest::newRow("blank") << QStringList { "--server= " } << "" << "option --server needs the server's URL";
    QTest::newRow("with a folder") << QStringList { "--server", url, "--data-folder", "/srv/x" } << url
                                   << "options --server and --data-folder cannot be used together";
}

void tst_CommandLine::serverOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, server);
    QFETCH(QString, error);
    const CommandLine line = ParseCommandLine(arguments);
    QCOMPARE(line.action, error.isEmpty() ? Action::Run : Action::Refuse);
    QCOMPARE(line.error, error);
    if (error.isEmpty())
        QCOMPARE(line.server, server);
}

void tst_CommandLine::deskOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("desk"); // the name this desk goes by
    QTest::addColumn<QString>("error");
    const QString host = QSysInfo::machineHostName();
    QTest::newRow("not given: the host name") << QStringList { "--server", "host=db" } << host << "";
    QTest::newRow("given") << QStringList { "--server", "host=db", "--desk", "FRONT DESK 2" } << "FRONT DESK 2" << "";
    QTest::newRow("=name, accents, blanks around")
        << QStringList { "--desk= Z\u00dcRICH-\u00c9TAGE ", "--server", "host=db" } << "Z\u00dcRICH-\u00c9TAGE" << "";
    QTest::newRow("on a folder") << QStringList { "--desk", "A" } << "A" << "";
    QTest::newRow("missing") << QStringList { "--desk" } << host << "option --desk needs a name";
    QTest::newRow("blank") << QStringList { "--desk", "  " } << host << "option --desk needs a name";
    QTest::newRow("too long") << QStringList { "--desk", QString(64, u'D') } << host
                              << "option --desk takes one line of at most 63 characters";
    QTest::newRow("two lines") << QStringList { "--desk", "A\nB" } << host
                               << "option --desk takes one line of at most 63 characters";
}

void tst_CommandLine::deskOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, desk);
    QFETCH(QString, error);
    const CommandLine line = ParseCommandLine(arguments);
    QCOMPARE(line.action, error.isEmpty() ? Action::Run : Action::Refuse);
    QCOMPARE(line.error, error);
    // The name the start-up gives the desk is the one every record carries.
    SetDeskName(line.desk);
    QCOMPARE(DeskName(), desk);
    QCOMPARE(makeAuditEntry(AuditAction::LogIn, QStringLiteral("JANE DOE"), 4).desk, desk);
    SetDeskName(QString());
}

void tst_CommandLine::serverThatCannotBeReachedEndsWithStatus1()
{
    // No server listens on a socket in an empty folder; libpq says so at once.
    QTemporaryDir root;
    const QString socket = root.filePath("no-server");
    const QString url = QStringLiteral("host=%1 dbname=agency user=clerk").arg(socket);
    const QString config = root.filePath("config");
    QVERIFY(QDir().mkpath(config + "/Sennet"));
    const QString data = root.filePath("data");
    QVERIFY(QDir().mkpath(data));
    auto start = [&](const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("SENNET_DATA");
        env.remove("PGHOST");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", config);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(data);
        process.start(QStringLiteral(SENNET_EXECUTABLE), arguments);
        Run run;
        if (!process.waitForFinished(30000))
            process.kill();
        process.waitForFinished();
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    };
    const QString expected = QStringLiteral("Sennet cannot work on its server: The server \"%1\", database \"agency\" "
                                            "could not be reached: connection to server on socket \"%1/.s.PGSQL.5432\" "
                                            "failed: No such file or directory")
                                 .arg(socket);

    // Given on the command line, and named in the settings file.
    Run run = start({ "--server", url });
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(expected), qPrintable(run.err));
    QFile settings(config + "/Sennet/Sennet.ini");
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[Server]\nUrl=" + url.toUtf8() + "\n");
    settings.close();
    run = start({});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(expected), qPrintable(run.err));
    // Nothing of the folder's was touched: no lock, no files.
    QVERIFY(QDir(data).isEmpty());

    // A data folder on the command line wins over the settings file.
    QCOMPARE(folderTheProgramRunsIn({ "--data-folder", data }, root.path(), { { "XDG_CONFIG_HOME", config } },
                                    { data }),
             data);
}

QTEST_MAIN(tst_CommandLine)
#include "tst_commandline.moc"


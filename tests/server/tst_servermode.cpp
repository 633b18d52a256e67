// The program on an agency's server, against the run's own PostgreSQL: the
// start with its password box, backup and restore in the folder's formats,
// and the main window when the server goes away in the middle of work.
#include "DataFiles.h"
#include "Doubles.h"
#include "PgCluster.h"
#include "UserFiles.h"
#include "workspace/MainWindowFixture.h"

#include "app/ServerChoice.h"
#include "app/StartupHooks.h"
#include "app/basSennet.h"
#include "app/frmTitlePage.h"
#include "backup/modBackupRestore.h"
#include "server/PgConnection.h"
#include "server/ServerStorage.h"
#include "session/ShutDown.h"
#include "storage/FolderStorage.h"
#include "storage/UserLog.h"
#include "widgets/VellButton.h"

#include "workspace/Validation.h"

#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QSysInfo>
#include <QTest>

using namespace modBackupRestore;

namespace {

struct Run {
    int status;
    QByteArray out, err;
};

Run runSennetData(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(SENNET_DATA_EXE), args);
    p.waitForFinished(300000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

int sennetData(const QStringList& args)
{
    const Run run = runSennetData(args);
    if (run.status != 0)
        qWarning("%s", run.err.constData());
    return run.status;
}

// A connection string's value for `key` ("host=/tmp/x dbname=case_1").
QString valueOf(const QString& url, const QString& key)
{
    const QRegularExpression re(QStringLiteral("(?:^| )%1=(\\S+)").arg(key));
    return re.match(url).captured(1);
}

// The three files of a data folder.
struct Files {
    QByteArray data, users, log;
    static Files in(const QString& folder)
    {
        const QDir dir(folder);
        auto read = [&](const QString& name) {
            return QFileInfo::exists(dir.filePath(name)) ? ReadFile(dir.filePath(name)) : QByteArray();
        };
        return {read(QStringLiteral("Sennet.Data")), read(QStringLiteral("User.List")), read(QStringLiteral("User.Log"))};
    }
    void writeTo(const QString& folder) const
    {
        const QDir dir(folder);
        const QByteArray* parts[] = {&data, &users, &log};
        const char* names[] = {"Sennet.Data", "User.List", "User.Log"};
        for (int i = 0; i < 3; ++i)
            if (!parts[i]->isEmpty())
                WriteFile(dir.filePath(QLatin1String(names[i])), *parts[i]);
    }
    bool operator==(const Files&) const = default;
};

// What a server holds, as the folder's three files would hold it.
Files serverFiles(Storage& server)
{
    StoreContents contents;
    FileError error;
    if (!server.readContents(contents, error))
        qWarning("%s", qPrintable(error.message()));
    Files out;
    for (const CitationRecord& c : contents.citations)
        out.data += c.bytes();
    for (const UserRecord& u : contents.users)
        out.users += u.bytes();
    out.log = contents.userLog;
    return out;
}

// An agency's data written from the test's own layout tables: capitals to
// the field's width, accents, empty fields, many citations.
Files agencyFiles(const QByteArray& tag, int citations)
{
    Files f;
    for (int n = 1; n <= citations; ++n) {
        CitationBytes3000 c = CitationBytes3000::sample(tag + QByteArray::number(n), QDate(2006, 1, 1).addDays(n % 700));
        c.text("DefendantName", n % 3 ? QByteArray("REN\xc9" "E BRONT\xcb-OYELARAN") : QByteArray(40, 'W'))
            .text("OccurredOn", n % 5 ? QByteArray("Route 1 NB at Main") : QByteArray())
            .int16("MeasuredSpeed", qint16(n % 120));
        f.data += c.bytes();
    }
    f.users = UserBytes500::user("JANE", tag, "secret1", 4).bytes()
        + UserBytes500::user("J\xd6RG", "M\xdcLLER", "pass2", 2).bytes();
    f.log = "Jane " + tag + " logged in 03/07/2006 2:05:09 PM\r\nJane " + tag + " logged out\r\n";
    return f;
}

const QString BackedUp = QStringLiteral("Your current Sennet data files\r\nhave been successfully backed up!");
const QString RestoredText = QStringLiteral("Your previously backed up \r\nSennet data files\r\nhas been successfully restored!");

void expectProcedure(ScriptedMessages& msgs, const QString& folder)
{
    msgs.expect(QStringLiteral("You have selected\r\n\r\n'") + folder
                    + QStringLiteral("/'\r\n\r\nas your data backup location.\r\nPlease click <OK> to continue."),
                QStringLiteral("Backup Procedure"), Msg::Information | Msg::OKCancel, Msg::OK);
}
void expectOutcome(ScriptedMessages& msgs, const QString& text)
{
    msgs.expect(text, QStringLiteral("Sennet"), Msg::OKOnly, Msg::OK);
}

// Three citations of an earlier version (1500 bytes each).
QByteArray olderCitations()
{
    QByteArray all;
    for (int i = 0; i < 3; ++i) {
        CitationBytes1500 r;
        r.text("CitationNumber", "VA200600000" + QByteArray::number(i))
            .date("OffenseDate", QDate(2006, 3, 7 + i), QTime(14, 5))
            .text("DefendantName", "Ren\xe9" "e BRONT\xcb-OYELARAN")
            .text("Notes", QByteArray(559, 'N'));
        all += r.bytes();
    }
    return all;
}

// What the conversion must make of older bytes: the format version, the
// sections as they were, the old notes padded with blanks.
QByteArray converted(const QByteArray& older)
{
    QByteArray out;
    for (qsizetype at = 0; at < older.size(); at += 1500)
        out += QByteArray("\x3b\x01", 2) + older.mid(at, 1500) + QByteArray(2057 - 559, ' ');
    return out;
}

// A cut last record as a folder lists it: its bytes, then an empty
// record's bytes after them.
QByteArray completed(const QByteArray& data)
{
    const qsizetype tail = data.size() % 3000;
    return tail ? data + CitationRecord().bytes().mid(tail) : data;
}

} // namespace

class tst_ServerMode : public QObject {
    Q_OBJECT

    std::unique_ptr<PgCluster> m_cluster;

    // A server holding `files`, set as the program's storage; its URL.
    QString serverHolding(const Files& files)
    {
        QString url;
        std::unique_ptr<Storage> server = makeServerStorage(*m_cluster, &url);
        if (!server)
            return QString();
        QTemporaryDir folder;
        files.writeTo(folder.path());
        if (!files.data.isEmpty() || !files.users.isEmpty() || !files.log.isEmpty())
            if (sennetData({QStringLiteral("copy"), QStringLiteral("--from"), folder.path(), QStringLiteral("--to"), url})
                != 0)
                return QString();
        setStorage(std::move(server));
        return url;
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        if (!m_cluster->available())
            QSKIP(qPrintable(m_cluster->problem()));
        serverAccess().open = OpenServerStorage;
        serverAccess().loginOf = [](const QString& url) {
            const PgConnection::Login login = PgConnection::loginOf(url);
            return ServerLogin{login.host, login.database, login.user};
        };
    }
    void cleanup()
    {
        setStorage(nullptr);
        setStoreWaitIndicator({});
        ClearRestoreDone();
    }

    void startAsksForThePasswordOnlyWhenTheServerWantsOne_data();
    void startAsksForThePasswordOnlyWhenTheServerWantsOne();
    void startOnTheServerLeavesTheFolderAlone();
    void backupFromTheServerIsAFolderByteForByte();
    void restoreIntoTheServer_data();
    void restoreIntoTheServer();
    void lostConnectionFailsTheSaveAndTheNextSaveWorks();
    void dataToolReadsAndImportsOnTheServer();
};

void tst_ServerMode::startAsksForThePasswordOnlyWhenTheServerWantsOne_data()
{
    QTest::addColumn<bool>("needsPassword");
    QTest::addColumn<QString>("typed"); // what the password box answers; empty: cancelled
    QTest::addColumn<QString>("environment"); // PGPASSWORD
    QTest::addColumn<int>("outcome");
    QTest::newRow("no password needed") << false << "" << "" << int(ServerConnection::Connected);
    QTest::newRow("the right password") << true << "S3cret'; --" << "" << int(ServerConnection::Connected);
    QTest::newRow("a wrong password") << true << "guess" << "" << int(ServerConnection::Failed);
    QTest::newRow("cancelled") << true << "" << "" << int(ServerConnection::Cancelled);
    QTest::newRow("PGPASSWORD given") << true << "" << "S3cret'; --" << int(ServerConnection::Connected);
}

void tst_ServerMode::startAsksForThePasswordOnlyWhenTheServerWantsOne()
{
    QFETCH(bool, needsPassword);
    QFETCH(QString, typed);
    QFETCH(QString, environment);
    QFETCH(int, outcome);
    QString url;
    QVERIFY(makeServerStorage(*m_cluster, &url));
    const QString database = valueOf(url, QStringLiteral("dbname"));
    static int roles = 0;
    const QString role = QStringLiteral("clerk%1").arg(++roles);
    if (needsPassword) {
        url = m_cluster->addPasswordRole(role, QStringLiteral("S3cret'; --"), database);
        QVERIFY(!url.isEmpty());
    }
    if (!environment.isEmpty())
        qputenv("PGPASSWORD", environment.toUtf8());
    ScriptedMessages msgs;
    if (needsPassword && environment.isEmpty())
        msgs.expectPassword(QStringLiteral("The server \"%1\", database \"%2\",\r\nasks for the password of \"%3\":")
                                .arg(valueOf(url, QStringLiteral("host")), database, role),
                            QStringLiteral("Server Password"), typed);
    std::unique_ptr<Storage> server;
    QString message;
    const ServerConnection result = ConnectToServer(url, server, message);
    qunsetenv("PGPASSWORD");
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(int(result), outcome);
    QCOMPARE(bool(server), outcome == int(ServerConnection::Connected));
    if (result == ServerConnection::Failed)
        QVERIFY2(message.contains(QStringLiteral("database \"%1\" could not be reached: ").arg(database))
                     && message.contains(QLatin1String("password authentication failed")),
                 qPrintable(message));
    QVERIFY(!QApplication::overrideCursor());
}

void tst_ServerMode::startOnTheServerLeavesTheFolderAlone()
{
    TempDataFolder folder;
    MemorySettings settings;
    FakeScreen screen(1280, 1024);
    // Empty files in the folder started in are none of the server's business.
    WriteFile(QStringLiteral("Sennet.Data"), QByteArray());
    WriteFile(QStringLiteral("Sennet.dat"), QByteArray(1500, 'o'));
    QString url;
    std::unique_ptr<Storage> server = makeServerStorage(*m_cluster, &url);
    QVERIFY(server);
    startupHooks().checkDataFileFormat = [](QWidget*) { return false; };
    StartUpOnServer(std::move(server));
    QVERIFY(storage().isServer());
    QVERIFY(!startupHooks().checkDataFileFormat);
    {
        frmTitlePage page;
        QCOMPARE(page.toolTip(), QStringLiteral("Data on the server \"%1\", database \"%2\"")
                                     .arg(valueOf(url, QStringLiteral("host")), valueOf(url, QStringLiteral("dbname"))));
    }
    ShutDown();
    ResetShutDownState();
    SetDataFolderInUse(true);
    startupHooks() = StartupHooks();
    QVERIFY(QFile::exists(QStringLiteral("Sennet.Data")));
    QVERIFY(QFile::exists(QStringLiteral("Sennet.dat")));
    QVERIFY(!QFile::exists(QStringLiteral("Sennet.lock")));
}

void tst_ServerMode::backupFromTheServerIsAFolderByteForByte()
{
    TempDataFolder data;
    const Files agency = agencyFiles("AGENCY", 2500);
    const QString url = serverHolding(agency);
    QVERIFY(!url.isEmpty());
    QTemporaryDir target, copied;
    QWidget window;
    window.setWindowTitle(QStringLiteral("Agency - Sennet"));
    FakeFolderPicker picker;
    ScriptedMessages msgs;

    picker.answers << target.path();
    expectProcedure(msgs, target.path());
    expectOutcome(msgs, BackedUp);
    Backup(&window);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(window.windowTitle(), QStringLiteral("Agency - Sennet"));
    // The same bytes the folder held before the server, and sennet-data's copy.
    QCOMPARE(sennetData({QStringLiteral("copy"), QStringLiteral("--from"), url, QStringLiteral("--to"), copied.path()}), 0);
    QVERIFY(Files::in(target.path()) == agency);
    QVERIFY(Files::in(copied.path()) == agency);
    QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 3); // no work file left
    // A one-desk installation opens it.
    QDir::setCurrent(target.path());
    FolderStorage folder;
    FileError error;
    QCOMPARE(folder.citations().listRows(nullptr, error).size(), size_t(2500));
    QVERIFY(!error.isError());
    QDir::setCurrent(data.path());

    // A server gone away: said, and nothing written.
    QTemporaryDir empty;
    QVERIFY(m_cluster->stopImmediately());
    picker.answers << empty.path();
    expectProcedure(msgs, empty.path());
    msgs.expectMatching(QStringLiteral("^There is some kind of problem\r\ntrying to copy the Sennet data files\r\n\r\n"
                                       "The server's data could not be read \\(server \".+\", database \"case_\\d+\"\\): "
                                       ".+\\.$"),
                        QStringLiteral("File Backup Error"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
    // The trail lives on the same server: the failed backup cannot be recorded either.
    msgs.expectMatching(QStringLiteral("^The audit entry was not saved .+\r\n\r\nThe audit trail does not record "
                                       "this backup\\.$"),
                        QStringLiteral("Audit Trail"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
    expectOutcome(msgs, BackupCancelledText);
    Backup(&window);
    QVERIFY(m_cluster->start());
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QVERIFY(QDir(empty.path()).isEmpty());
}

void tst_ServerMode::restoreIntoTheServer_data()
{
    QTest::addColumn<QString>("backup"); // current, older, cut, no log, no data
    QTest::addColumn<int>("convertAnswer"); // 0: not asked
    QTest::addColumn<int>("replaceAnswer"); // 0: not asked
    QTest::addColumn<bool>("restored");
    QTest::newRow("current, Yes") << "current" << 0 << int(Msg::Yes) << true;
    QTest::newRow("current, No") << "current" << 0 << int(Msg::No) << false;
    QTest::newRow("without a log, Yes") << "no log" << 0 << int(Msg::Yes) << true;
    QTest::newRow("without a data file") << "no data" << 0 << 0 << false;
    QTest::newRow("cut last citation, Yes") << "cut" << 0 << int(Msg::Yes) << true;
    QTest::newRow("older, Yes") << "older" << int(Msg::Yes) << int(Msg::Yes) << true;
    QTest::newRow("older, No") << "older" << int(Msg::No) << int(Msg::Yes) << true;
    QTest::newRow("older, Cancel") << "older" << int(Msg::Cancel) << 0 << false;
    QTest::newRow("server gone") << "gone" << 0 << int(Msg::Yes) << false;
}

void tst_ServerMode::restoreIntoTheServer()
{
    QFETCH(QString, backup);
    QFETCH(int, convertAnswer);
    QFETCH(int, replaceAnswer);
    QFETCH(bool, restored);
    TempDataFolder data;
    const Files before = agencyFiles("NOW", 40);
    QVERIFY(!serverHolding(before).isEmpty());
    QTemporaryDir folder;
    Files backed = agencyFiles("THEN", 7);
    if (backup == QLatin1String("older"))
        backed.data = olderCitations();
    else if (backup == QLatin1String("cut"))
        backed.data.chop(1000);
    else if (backup == QLatin1String("no log"))
        backed.log.clear();
    else if (backup == QLatin1String("no data"))
        backed.data.clear();
    backed.writeTo(folder.path());
    const Files backupBefore = Files::in(folder.path());
    const QString chosen = folder.path() + u'/';

    QWidget window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;
    picker.answers << folder.path();
    if (backup == QLatin1String("no data"))
        msgs.expect(u'\'' + chosen
                        + QStringLiteral("'\r\n\r\ndoesn't appear to contain previously saved\r\nbackup data file(s) "
                                         "you need to restore\r\nyour Sennet data."),
                    QStringLiteral("Required file(s) missing"), Msg::Information | Msg::OKOnly, Msg::OK);
    if (convertAnswer)
        msgs.expect(QStringLiteral("You have an older version data file\r\nthat needs to be converted to a format\r\n"
                                   "that this version of Sennet can read.\r\n\r\nWould you like to convert\r\nyour older "
                                   "data file now?\r\n\r\nIf you click 'Yes', its citations are converted\r\nas they "
                                   "are restored; the backed up file itself\r\nis left as it is.\r\n\r\nIf you click "
                                   "'No', the other files are restored\r\nand the server starts fresh with no "
                                   "citations.\r\n\r\nIf you answer 'Cancel', nothing will be restored\r\nand your "
                                   "current data files stay as they are."),
                    QStringLiteral("Update existing data file?"), Msg::YesNoCancel | Msg::Question | Msg::DefaultButton3,
                    convertAnswer);
    if (replaceAnswer)
        msgs.expect(QStringLiteral("Note:\r\n\r\nYou are about to replace your current data files\r\nwith previously "
                                   "made backup data files.\r\n\r\nOnce completed, this action can not be undone.\r\n\r\n")
                        + (backup == QLatin1String("cut")
                               ? QStringLiteral("Please note: the backed up 'Sennet.Data' is 20000 bytes long,\r\nnot a "
                                                "whole number of citations: its last\r\ncitation is incomplete.\r\n\r\n")
                               : QString())
                        + QStringLiteral("Are you sure you're ready to continue?"),
                    QStringLiteral("Important! Please read carefully..."),
                    Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2, replaceAnswer, [&] {
                        // Gone after the question: the replacement is what fails.
                        if (backup == QLatin1String("gone"))
                            QVERIFY(m_cluster->stopImmediately());
                    });
    if (backup == QLatin1String("gone"))
        msgs.expectMatching(QStringLiteral("^There is some kind of problem\r\ntrying to restore the Sennet data files"
                                           "\r\n\r\nThe server's data was not replaced \\(server \".+\", database "
                                           "\"case_\\d+\"\\): .+\\.$"),
                            QStringLiteral("File Restore Error"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
    if (backup == QLatin1String("gone"))
        msgs.expectMatching(QStringLiteral("^The audit entry was not saved .+\r\n\r\nThe audit trail does not "
                                           "record this restore\\.$"),
                            QStringLiteral("Audit Trail"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
    expectOutcome(msgs, !restored ? RestoreCancelledText
                         : backup == QLatin1String("no log")
                         ? RestoredText + QStringLiteral("\r\n\r\nThe backup did not hold these files,\r\nso they were "
                                                         "left as they were:\r\nUser.Log")
                         : RestoredText);
    Restore(&window);
    if (backup == QLatin1String("gone"))
        QVERIFY(m_cluster->start());
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(RestoreDone(), restored);
    QVERIFY(Files::in(folder.path()) == backupBefore); // the backup is only read

    Files expected = before;
    if (restored) {
        expected = backed;
        if (backup == QLatin1String("older"))
            expected.data = convertAnswer == Msg::Yes ? converted(backed.data) : QByteArray();
        if (backup == QLatin1String("cut"))
            expected.data = completed(backed.data);
        if (backup == QLatin1String("no log"))
            expected.log = before.log;
    }
    const Files after = serverFiles(storage());
    QCOMPARE(after.data.size(), expected.data.size());
    QVERIFY(after.data == expected.data);
    QCOMPARE(after.users, expected.users);
    QCOMPARE(after.log, expected.log);
}

void tst_ServerMode::lostConnectionFailsTheSaveAndTheNextSaveWorks()
{
    MainWindowFixture f;
    const QString url = serverHolding(agencyFiles("ON", 3));
    QVERIFY(!url.isEmpty());
    int waits = 0, open = 0;
    setStoreWaitIndicator([&](bool waiting) {
        open += waiting ? 1 : -1;
        waits += waiting;
    });
    frmMain& w = f.open();
    QCOMPARE(w.CitationsInList(), 3);
    QVERIFY(waits > 0 && open == 0); // the list came from the server under the wait pointer

    QTest::mouseClick(w.cmdAddEntry, Qt::LeftButton);
    const std::pair<int, const char*> entries[] = {{2, "LOST-1"}, {3, "2/1/2006"}, {32, "46.2-862"}, {39, "Rt 1 NB"}};
    for (const auto& [index, text] : entries) {
        w.MainTab->setCurrentIndex(PageOfField(index));
        w.txtField[size_t(index)].widget()->setFocus();
        w.txtField[size_t(index)]->setText(QString::fromLatin1(text));
    }
    QVERIFY(m_cluster->stopImmediately());
    f.msgs.expectMatching(QStringLiteral("^The citation was not saved \\(server \".+\", database \"case_\\d+\"\\): "
                                         ".+\\.\r\n\r\nThe citation was not saved; your entries\r\nare still on "
                                         "the screen\\.$"),
                          QStringLiteral("Citation Not Saved"), Msg::Critical | Msg::OKOnly, Msg::OK);
    waits = 0;
    QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(waits > 0 && open == 0);
    QVERIFY(w.Adding);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("LOST-1"));
    QCOMPARE(w.txtField[39]->text(), QStringLiteral("Rt 1 NB"));

    // The server back: the same save goes through on a new connection,
    // under the name of the user whose log-in was written last.
    QVERIFY(m_cluster->start());
    CurrentUserName = QStringLiteral("ZO\u00cb BRA\u00d1A");
    QVERIFY(WriteUserLogLine(1));
    QTest::mouseClick(w.cmdAddSave, Qt::LeftButton);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QVERIFY(!w.Adding);
    QCOMPARE(w.CitationsInList(), 4);
    FileError error;
    QCOMPARE(storage().citations().count(error), 4);
    QList<CitationKey> keys;
    QVERIFY(storage().citations().findNumber(QStringLiteral("LOST-1"), 0, keys, error));
    QCOMPARE(keys.size(), 1);
    PgConnection pg;
    QString reason;
    PgResult who;
    QVERIFY2(pg.open(url, QString(), reason), qPrintable(reason));
    QVERIFY(pg.exec("SELECT created_by, desk FROM citations WHERE id = $1", {PgValue::int4(keys[0])}, who, reason));
    QCOMPARE(who.text(0, 0), CurrentUserName);
    QCOMPARE(who.text(0, 1), QSysInfo::machineHostName());
}

void tst_ServerMode::dataToolReadsAndImportsOnTheServer()
{
    // The same citations in a folder and on a server read the same, a
    // damaged one named on both.
    Files agency = agencyFiles("TOOL", 300);
    agency.data.replace(2 * 3000, 2, QByteArray("\x2b\x01", 2)); // record 3: format version 299
    QTemporaryDir folder;
    agency.writeTo(folder.path());
    const QString url = serverHolding(agency);
    QVERIFY(!url.isEmpty());
    const QStringList folderSide{QStringLiteral("--data-folder"), folder.path()};
    const QStringList serverSide{QStringLiteral("--server"), url};
    const QList<QStringList> reading{
        {QStringLiteral("dump")},
        {QStringLiteral("dump"), QStringLiteral("users")},
        {QStringLiteral("export-csv"), QStringLiteral("--every-field"), QStringLiteral("--include-damaged")},
        {QStringLiteral("stats"), QStringLiteral("--from"), QStringLiteral("2006-03-01")},
    };
    for (const QStringList& command : reading) {
        const Run onFolder = runSennetData(folderSide + command);
        const Run onServer = runSennetData(serverSide + command);
        QVERIFY2(onServer.status == onFolder.status, qPrintable(command.join(u' ') + ": " + onServer.err));
        QVERIFY2(onServer.out == onFolder.out, qPrintable(command.join(u' ')));
        QVERIFY(onServer.out.size() > 100);
        if (command.first() != QLatin1String("dump") || command.size() == 1)
            QVERIFY2(onServer.err.contains("database \"case_") && onServer.err.contains(": record 3 is damaged"),
                     onServer.err.constData());
    }

    // An import adds its rows in one step.
    const QString csv = folder.filePath(QStringLiteral("handheld.csv"));
    WriteFile(csv, "Citation Number,Offense Date,Code Section,Occurred on (Hwy / Street / Route) (Direction)\r\nHH-1,2024-05-01,46.2-862,Rt 1 NB\r\n"
                   "HH-2,2024-05-02,46.2-862,Rt 2 SB\r\n");
    Run run = runSennetData(serverSide + QStringList{QStringLiteral("import-csv"), csv});
    QVERIFY2(run.status == 0, run.err.constData());
    FileError error;
    QCOMPARE(storage().citations().count(error), 302);

    // The folder's own checks are refused, and a server not there is named.
    for (const char* command : {"verify", "convert"}) {
        run = runSennetData(serverSide + QStringList{QLatin1String(command)});
        QCOMPARE(run.status, 2);
        QVERIFY(run.err.contains("works on a data folder's files only, not with --server"));
    }
    run = runSennetData({QStringLiteral("--server"), QStringLiteral("host=%1/none dbname=gone").arg(folder.path()),
                         QStringLiteral("stats")});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("database \"gone\" could not be reached"), run.err.constData());
}

QTEST_MAIN(tst_ServerMode)
#include "tst_servermode.moc"

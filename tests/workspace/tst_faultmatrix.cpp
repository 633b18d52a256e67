// Input/output faults under the main window's save, add and delete and under
// backup and restore, injected at the store's file layer: each is reported in
// a message that names the file and gives the system's reason, no data file
// changes, and the window is enabled with the normal pointer afterwards. The
// matrix of outcomes is printed.
#include "AsNobody.h"
#include "FaultInjection.h"
#include "KillPoints.h"
#include "workspace/MainWindowFixture.h"
#include "backup/modBackupRestore.h"
#include "store/DataFileNames.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/mount.h>
#include <sys/stat.h>

class tst_FaultMatrix : public QObject {
    Q_OBJECT
private slots:
    void windowOperations_data();
    void windowOperations();
    void saveInAFolderClosedToNewFiles();
    void backupAndRestore_data();
    void backupAndRestore();
    void backupFolderVanishesMidCopy();
    void unreadableRestoreSourceAsNobody();
    void realSmallFileSystem();
    void cleanupTestCase();
};

namespace {

QStringList g_matrix;

enum Op { Save, Add, Delete, BackupOp, RestoreOp };
enum Fault { ShortWrite, DiskFull, ReadError, FailedFlush, FailedRename };

const char* faultName(int fault)
{
    static const char* names[] = {"short write", "ENOSPC", "EIO on read", "failed flush", "failed rename"};
    return names[fault];
}

void arm(InjectedFaults& f, int fault, const QString& file)
{
    f.onlyFile(file);
    switch (fault) {
    case ShortWrite: f.diskFullAfter(1000); break;
    case DiskFull: f.diskFullAfter(0); break;
    case ReadError: f.failEveryRead(EIO); break;
    case FailedFlush: f.failNextSync(EIO); break;
    case FailedRename: f.failNextRename(EIO); break;
    }
}

QString reasonOf(int fault) { return FileIo::errorText(fault == ShortWrite || fault == DiskFull ? ENOSPC : EIO); }

// The files but the audit trail's, which records a backup or restore with
// its failure.
FileSet withoutTrail(FileSet set)
{
    for (auto it = set.begin(); it != set.end();)
        it = QFileInfo(it.key()).fileName().startsWith(QLatin1String("Sennet.Audit")) ? set.erase(it) : std::next(it);
    return set;
}

void verifyWindowAtRest(QWidget* w)
{
    QVERIFY(w->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

} // namespace

void tst_FaultMatrix::windowOperations_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("file"); // the file the fault hits
    QTest::addColumn<QString>("what"); // the message's words before the reason
    const QString data = QStringLiteral("Sennet.Data");
    const QString written = QStringLiteral("could not be written: ");
    for (int fault : {ShortWrite, DiskFull, FailedFlush})
        QTest::addRow("save, %s", faultName(fault)) << int(Save) << fault << data << written;
    QTest::addRow("save, EIO on read") << int(Save) << int(ReadError) << data << QStringLiteral("could not be read: ");
    for (int fault : {ShortWrite, DiskFull, FailedFlush})
        QTest::addRow("add, %s", faultName(fault)) << int(Add) << fault << data << written;
    const QString compacted = QStringLiteral("could not be compacted: ");
    // The citation is read for its audit entry before anything is changed.
    QTest::addRow("delete, EIO on read") << int(Delete) << int(ReadError) << data
                                         << QStringLiteral("could not be read: ");
    for (int fault : {ShortWrite, DiskFull, FailedFlush})
        QTest::addRow("delete, %s", faultName(fault)) << int(Delete) << fault << WorkFileName << compacted;
    QTest::addRow("delete, failed rename") << int(Delete) << int(FailedRename) << data
                                           << QStringLiteral("could not be replaced: ");
}

void tst_FaultMatrix::windowOperations()
{
    QFETCH(int, op);
    QFETCH(int, fault);
    QFETCH(QString, file);
    QFETCH(QString, what);
    MainWindowFixture f;
    f.write({citation("A-1", QDate(2006, 1, 1)), citation("B-2", QDate(2006, 2, 2)), citation("C-3", QDate(2006, 3, 3))});
    frmMain& w = f.open();
    w.SelectRow(1, false);
    const FileSet before = ReadFileSet({f.folder.path()});
    const QString message = QStringLiteral("The file \"Sennet.Data\" ") + what + reasonOf(fault);

    InjectedFaults faults;
    if (op == Delete) {
        f.msgs.expect("Are you SURE you wish to delete\r\n\r\nCitation Number B-2,\r\n\r\ndated 02/02/2006?", "Confirm",
                      Msg::YesNo | Msg::Question | Msg::DefaultButton2, Msg::Yes);
        f.msgs.expect(message + QStringLiteral("\r\n\r\nThe citation was not deleted."), "Citation Not Deleted",
                      Msg::Critical | Msg::OKOnly, Msg::OK);
        arm(faults, fault, file);
        w.cmdDeleteEntry_Click();
    } else {
        if (op == Save) {
            w.StartEdit();
            w.txtField[39]->setText(QStringLiteral("Changed St"));
        } else {
            w.StartAdd();
            for (const auto& [i, text] : {std::pair{2, "77"}, std::pair{3, "3/3/2006"}, std::pair{32, "46.2-862"},
                                          std::pair{39, "Rt 1 NB"}})
                w.txtField[size_t(i)]->setText(QString::fromLatin1(text));
        }
        f.msgs.expect(message + QStringLiteral("\r\n\r\nThe citation was not saved; your entries\r\nare still on the screen."),
                      "Citation Not Saved", Msg::Critical | Msg::OKOnly, Msg::OK);
        arm(faults, fault, file);
        QVERIFY(!w.SaveCitation());
        QVERIFY(op == Save ? w.Editing : w.Adding);
    }
    QVERIFY(faults.fired());
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(ReadFileSet({f.folder.path()}), before);
    QCOMPARE(w.CitationsInList(), 3);
    verifyWindowAtRest(&w);
    g_matrix << QStringLiteral("%1: reported, files unchanged, window at rest").arg(QString::fromLatin1(QTest::currentDataTag()));
}

void tst_FaultMatrix::saveInAFolderClosedToNewFiles()
{
    // The data file may be written but its folder takes no new file, so no
    // intent file can guard the write: the edit still goes ahead.
    if (NobodyUid() < 0)
        QSKIP("the system has no user \"nobody\"");
    TempDataFolder folder;
    OpenFolderToOthers(folder.path());
    WriteCitations(CitationFileName, {citation("A-1", QDate(2006, 1, 1)), citation("B-2", QDate(2006, 2, 2))});
    QVERIFY(::chmod(QFile::encodeName(CitationFileName).constData(), 0666) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder.path()).constData(), 0755) == 0);
    const CitationBytes3000 edited = citation("EDITED", QDate(2007, 1, 1));
    const int result = RunAsNobody([&] {
        CitationFile file;
        if (!file.OpenCitationFile())
            return 1;
        return file.WriteCitation(2, CitationRecord::fromBytes(edited.bytes().constData(), edited.bytes().size())) ? 0 : 2;
    });
    QCOMPARE(result, 0);
    const QList<QByteArray> stored = ReadCitations(CitationFileName);
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored[1], edited.bytes());
    g_matrix << QStringLiteral("save in a folder closed to new files (as nobody): saved without an intent file");
}

namespace {

struct Folders {
    TempDataFolder data;
    QTemporaryDir backup;
    QWidget window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;
    Folders()
    {
        WriteCitations(CitationFileName, {CitationBytes3000::sample("NOW", QDate(2006, 3, 7))});
        WriteFile(UserListFileName, QByteArray(500, 'U'));
        WriteFile(UserLogFileName, "log now\r\n");
        const QDir b(backup.path());
        WriteCitations(b.filePath(CitationFileName), {CitationBytes3000::sample("OLD", QDate(2005, 3, 7))});
        WriteFile(b.filePath(UserListFileName), QByteArray(500, 'u'));
        WriteFile(b.filePath(UserLogFileName), "log then\r\n");
        window.setWindowTitle(QStringLiteral("Agency - Sennet"));
        window.show();
        picker.answers << backup.path();
    }
    FileSet files() const { return withoutTrail(ReadFileSet({data.path(), backup.path()})); }
    QString backupFile(const QString& name) const { return QDir::toNativeSeparators(QDir(backup.path()).filePath(name)); }
    QString dataFile(const QString& name) const { return QDir::toNativeSeparators(QDir::current().filePath(name)); }
    void expectBackupQuestion()
    {
        msgs.expect(QStringLiteral("You have selected\r\n\r\n'") + backup.path()
                        + QStringLiteral("/'\r\n\r\nas your data backup location.\r\nPlease click <OK> to continue."),
                    QStringLiteral("Backup Procedure"), Msg::Information | Msg::OKCancel, Msg::OK);
    }
    void expectRestoreQuestion()
    {
        msgs.expect(QStringLiteral("Note:\r\n\r\nYou are about to replace your current data files\r\nwith previously made "
                                   "backup data files.\r\n\r\nOnce completed, this action can not be undone.\r\n\r\nAre "
                                   "you sure you're ready to continue?"),
                    QStringLiteral("Important! Please read carefully..."), Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2,
                    Msg::Yes);
    }
    void expectProblem(const QString& verb, const QString& error, const QString& cancelled)
    {
        msgs.expect(QStringLiteral("There is some kind of problem\r\ntrying to ") + verb + QStringLiteral(" Sennet.Data\r\n\r\n")
                        + error + u'.',
                    QString::fromLatin1(verb == QLatin1String("copy") ? "File Backup Error" : "File Restore Error"),
                    Msg::Exclamation | Msg::OKOnly, Msg::OK);
        msgs.expect(cancelled, QStringLiteral("Sennet"), Msg::OKOnly, Msg::OK);
    }
};

} // namespace

void tst_FaultMatrix::backupAndRestore_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("fault");
    for (int op : {BackupOp, RestoreOp})
        for (int fault : {ShortWrite, DiskFull, ReadError, FailedFlush, FailedRename})
            QTest::addRow("%s, %s", op == BackupOp ? "backup" : "restore", faultName(fault)) << op << fault;
}

void tst_FaultMatrix::backupAndRestore()
{
    QFETCH(int, op);
    QFETCH(int, fault);
    Folders f;
    const FileSet before = f.files();
    const bool backingUp = op == BackupOp;
    // The copy of the data file is read from one folder and written to the other.
    const QString source = backingUp ? f.dataFile(CitationFileName) : f.backupFile(CitationFileName);
    const QString target = backingUp ? f.backupFile(CitationFileName) : f.dataFile(CitationFileName);
    QString error;
    switch (fault) {
    case ReadError: error = QStringLiteral("The file \"%1\" could not be read: ").arg(source); break;
    case FailedRename: error = QStringLiteral("The file \"%1\" could not be replaced: ").arg(target); break;
    default: error = QStringLiteral("The file \"%1\" could not be written: ").arg(target); break;
    }
    if (backingUp)
        f.expectBackupQuestion();
    else if (fault != ReadError) // the backup's data file is read before the question, and fails there
        f.expectRestoreQuestion();
    f.expectProblem(backingUp ? QStringLiteral("copy") : QStringLiteral("restore"), error + reasonOf(fault),
                    backingUp ? modBackupRestore::BackupCancelledText : modBackupRestore::RestoreCancelledText);
    {
        InjectedFaults faults;
        arm(faults, fault, fault == ReadError ? CitationFileName : CitationFileName + QStringLiteral(".$$$"));
        if (fault == FailedRename)
            faults.onlyFile(CitationFileName);
        if (backingUp)
            modBackupRestore::Backup(&f.window);
        else
            modBackupRestore::Restore(&f.window);
        QVERIFY(faults.fired());
    }
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(f.files(), before);
    QVERIFY(!modBackupRestore::RestoreDone());
    verifyWindowAtRest(&f.window);
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Agency - Sennet"));
    g_matrix << QStringLiteral("%1: reported, files unchanged, window at rest").arg(QString::fromLatin1(QTest::currentDataTag()));
}

void tst_FaultMatrix::backupFolderVanishesMidCopy()
{
    Folders f;
    const FileSet dataBefore = ReadFileSet({f.data.path()});
    const QString folder = f.backup.path();
    f.expectBackupQuestion();
    f.expectProblem(QStringLiteral("copy"),
                    QStringLiteral("The file \"%1\" could not be replaced: ").arg(f.backupFile(CitationFileName))
                        + FileIo::errorText(ENOENT),
                    modBackupRestore::BackupCancelledText);
    bool gone = false;
    // The folder is taken away (a stick pulled out) once the copy has begun writing.
    FileIo::setInterceptor([&](FileIo::Call call, const QString& path, qint64) {
        if (!gone && call == FileIo::Call::Write && path.startsWith(folder))
            gone = QDir(folder).removeRecursively();
        return FileIo::Verdict{};
    });
    modBackupRestore::Backup(&f.window);
    FileIo::setInterceptor({});
    QVERIFY(gone);
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(withoutTrail(ReadFileSet({f.data.path()})), dataBefore);
    verifyWindowAtRest(&f.window);
    g_matrix << QStringLiteral("backup, folder vanishes mid-copy: reported, data unchanged, window at rest");
}

void tst_FaultMatrix::unreadableRestoreSourceAsNobody()
{
    if (NobodyUid() < 0)
        QSKIP("the system has no user \"nobody\"");
    Folders f;
    OpenFolderToOthers(f.data.path());
    OpenFolderToOthers(f.backup.path());
    // Both folders may be listed by anyone; only the one file is closed.
    for (const QString& folder : {f.data.path(), f.backup.path()})
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    const QString unreadable = QDir(f.backup.path()).filePath(UserListFileName);
    QVERIFY(::chmod(QFile::encodeName(unreadable).constData(), 0200) == 0); // written by its owner, read by no one else
    const FileSet before = f.files();
    const QString expected = QStringLiteral("There is some kind of problem\r\ntrying to restore User.List\r\n\r\nThe file \"%1\" "
                                            "could not be opened: %2.")
                                 .arg(QDir::toNativeSeparators(unreadable), FileIo::errorText(EACCES));
    f.msgs.expect(expected, QStringLiteral("File Restore Error"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
    f.msgs.expect(modBackupRestore::RestoreCancelledText, QStringLiteral("Sennet"), Msg::OKOnly, Msg::OK);
    const int result = RunAsNobody([&] {
        modBackupRestore::Restore(nullptr);
        if (!f.msgs.allMet())
            qWarning().noquote() << f.msgs.report();
        return f.msgs.allMet() ? 0 : 1;
    });
    QCOMPARE(result, 0);
    QCOMPARE(f.files(), before);
    g_matrix << QStringLiteral("restore, source unreadable (as nobody): reported, files unchanged");
}

void tst_FaultMatrix::realSmallFileSystem()
{
    // A real full disk, where the test may mount one: a tiny memory file
    // system that the citation file fills.
    QTemporaryDir mountPoint;
    if (::mount("tmpfs", QFile::encodeName(mountPoint.path()).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP(qPrintable(QStringLiteral("no small file system can be mounted here: ") + FileIo::errorText(errno)));
    struct Unmount {
        QString path;
        ~Unmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
    } unmount{mountPoint.path()};
    const QString previous = QDir::currentPath();
    QDir::setCurrent(mountPoint.path());
    InitialiseDataFileNames();
    QList<CitationBytes3000> many;
    for (int i = 0; i < 19; ++i)
        many << CitationBytes3000::sample("R" + QByteArray::number(i), QDate(2006, 1, 1 + i));
    WriteCitations(CitationFileName, many);
    const QByteArray before = ReadFile(CitationFileName);
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    int written = 0;
    const CitationRecord extra = CitationRecord::fromBytes(many[0].bytes().constData(), many[0].bytes().size());
    while (written < 50 && file.WriteCitation(int(QFileInfo(CitationFileName).size() / 3000) + 1, extra))
        ++written;
    file.CloseCitationFile();
    const QByteArray after = ReadFile(CitationFileName);
    QDir::setCurrent(previous);
    QVERIFY2(written < 50, "the small file system never filled");
    QCOMPARE(file.lastError().message(), QStringLiteral("The file \"Sennet.Data\" could not be written: ") + FileIo::errorText(ENOSPC));
    QCOMPARE(after.size(), before.size() + written * 3000);
    QVERIFY(after.startsWith(before));

    // An edit on the full disk: its crash guard needs a little room.
    QDir::setCurrent(mountPoint.path());
    CitationFile again;
    const CitationBytes3000 edited = CitationBytes3000::sample("EDITED", QDate(2007, 1, 1));
    const bool editOk = again.OpenCitationFile()
        && again.WriteCitation(1, CitationRecord::fromBytes(edited.bytes().constData(), edited.bytes().size()));
    again.CloseCitationFile();
    const QByteArray edit = ReadFile(CitationFileName);
    QStringList leftovers = QDir().entryList(QDir::Files);
    // The last write's intent may stay, marked as carried out.
    if (!FileIo::hasInterruptedWrite(CitationFileName))
        leftovers.removeOne(FileIo::intentFileName(CitationFileName));
    QDir::setCurrent(previous);
    // Whether the guard still fits depends on how the pages fell: the edit is
    // then saved whole, or refused whole with the reason.
    if (editOk) {
        QCOMPARE(edit.left(3000), edited.bytes());
        QCOMPARE(edit.mid(3000), after.mid(3000));
    } else {
        QCOMPARE(again.lastError().message(),
                 QStringLiteral("The file \"Sennet.Data\" could not be written: ") + FileIo::errorText(ENOSPC));
        QCOMPARE(edit, after);
    }
    QCOMPARE(leftovers, QStringList{CitationFileName});
    g_matrix << QStringLiteral("real 64 KiB file system, disk full: append reported, file whole (%1 records fitted); "
                               "an edit %2").arg(written).arg(editOk ? "saved whole" : "reported, file unchanged");
}

void tst_FaultMatrix::cleanupTestCase()
{
    for (const QString& line : g_matrix)
        qInfo().noquote() << line;
}

QTEST_MAIN(tst_FaultMatrix)
#include "tst_faultmatrix.moc"

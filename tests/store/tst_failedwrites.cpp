// Writes that fail part way: every record file and the log is left exactly as
// before, the user is told why, and success is only reported once the bytes
// are on the disk. Whole-file replacements keep the file's permissions, and a
// file the user may not write is not replaced.
#include "AsNobody.h"
#include "DataFiles.h"
#include "Doubles.h"
#include "FaultInjection.h"
#include "UserFiles.h"
#include "audit/AuditTrail.h"
#include "session/ProcessState.h"
#include "store/CitationFile.h"
#include "store/FileCopy.h"
#include "store/LegacyConversion.h"
#include "store/UserList.h"
#include "storage/UserLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>

class tst_FailedWrites : public QObject {
    Q_OBJECT
private slots:
    void citationWriteFailsWhole_data();
    void citationWriteFailsWhole();
    void userAddFailsWhole_data();
    void userAddFailsWhole();
    void logLineFailsWhole_data();
    void logLineFailsWhole();
    void auditEntryFailsWhole();
    void writesReachTheDiskBeforeSuccess();
    void replacementKeepsPermissions();
    void readOnlyFileIsNotReplaced();
    void leftoverWorkFileLinkIsNotWrittenThrough();
};

namespace {

enum Fault { ShortWrite, DiskFull, FailedFlush };

void addFaults()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("short write") << int(ShortWrite);
    QTest::newRow("disk full") << int(DiskFull);
    QTest::newRow("failed flush") << int(FailedFlush);
}

void arm(InjectedFaults& faults, int fault)
{
    switch (fault) {
    case ShortWrite: faults.diskFullAfter(200); break; // inside a record
    case DiskFull: faults.diskFullAfter(0); break;
    default: faults.failNextSync(EIO); break;
    }
}

// The system's words for the injected cause.
QString causeOf(int fault) { return FileIo::errorText(fault == FailedFlush ? EIO : ENOSPC); }

CitationRecord recordNumbered(const QByteArray& citationNumber)
{
    const CitationBytes3000 bytes = CitationBytes3000::sample(citationNumber, QDate(2007, 7, 7));
    return CitationRecord::fromBytes(bytes.bytes().constData(), bytes.bytes().size());
}

unsigned modeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
}

} // namespace

void tst_FailedWrites::citationWriteFailsWhole_data() { addFaults(); }

void tst_FailedWrites::citationWriteFailsWhole()
{
    QFETCH(int, fault);
    TempDataFolder folder;
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2006, 1, 1)),
                                      CitationBytes3000::sample("B2", QDate(2006, 2, 2))});
    const QByteArray before = ReadFile(CitationFileName);
    CitationFile file;
    QVERIFY(file.OpenCitationFile());

    // A new record at the end, then an edit of record 2 in place.
    for (int n : {3, 2}) {
        InjectedFaults faults;
        arm(faults, fault);
        QVERIFY2(!file.WriteCitation(n, recordNumbered("NEW")), qPrintable(QString::number(n)));
        QVERIFY(faults.fired());
        QCOMPARE(file.lastError().message(),
                 QStringLiteral("The file \"Sennet.Data\" could not be written: ") + causeOf(fault));
        QCOMPARE(file.CitationCount(), 2);
        QCOMPARE(ReadFile(CitationFileName), before);
    }

    // With the fault gone the same file takes both writes.
    QVERIFY(file.WriteCitation(3, recordNumbered("C3")));
    QVERIFY(file.WriteCitation(2, recordNumbered("B2x")));
    file.CloseCitationFile();
    const QList<QByteArray> after = ReadCitations(CitationFileName);
    QCOMPARE(after.size(), 3);
    QCOMPARE(after[0], before.left(3000));
    QCOMPARE(after[1], recordNumbered("B2x").bytes());
    QCOMPARE(after[2], recordNumbered("C3").bytes());
}

void tst_FailedWrites::userAddFailsWhole_data() { addFaults(); }

void tst_FailedWrites::userAddFailsWhole()
{
    QFETCH(int, fault);
    TempDataFolder folder;
    WriteUsers(UserListFileName, {UserBytes500::user("Jane", "Doe", "abcd", 3)});
    const QByteArray before = ReadFile(UserListFileName);
    {
        InjectedFaults faults;
        arm(faults, fault);
        QVERIFY(OpenUserList());
        UserBuffer().setFirstName("Ghost");
        UserBuffer().setLastName("User");
        QVERIFY(!WriteUser(UserCount() + 1));
        QCOMPARE(UserListError().message(), QStringLiteral("The file \"User.List\" could not be written: ") + causeOf(fault));
        QCOMPARE(UserCount(), 1);
        CloseUserList();
    }
    // No partial record is left for the next window to count as a user.
    QCOMPARE(ReadFile(UserListFileName), before);
    QVERIFY(OpenUserList());
    QCOMPARE(UserCount(), 1);
    CloseUserList();
}

void tst_FailedWrites::logLineFailsWhole_data() { addFaults(); }

void tst_FailedWrites::logLineFailsWhole()
{
    QFETCH(int, fault);
    TempDataFolder folder;
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    CurrentUserName = "Jane Doe";
    CurrentAccessLevel = 3;
    QVERIFY(WriteUserLogLine(1));
    const QByteArray before = ReadFile(UserLogFileName);
    {
        InjectedFaults faults;
        if (fault == ShortWrite)
            faults.diskFullAfter(20); // inside the line
        else
            arm(faults, fault);
        QVERIFY(!WriteUserLogLine(2));
        QCOMPARE(UserLogFailureReason(), causeOf(fault));
    }
    QCOMPARE(ReadFile(UserLogFileName), before);
    // The next line starts on a line of its own.
    QVERIFY(WriteUserLogLine(2));
    QCOMPARE(ReadFile(UserLogFileName), before + "03/07/2026 at 14:05:09 - Jane Doe logged out.\r\n");
}

void tst_FailedWrites::auditEntryFailsWhole()
{
    TempDataFolder folder;
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    AuditTrailFile trail;
    trail.setWriteIndex(false); // derived, written without guarantees: not part of the entry
    auto append = [&trail](const QString& user) {
        AuditEntry e = makeAuditEntry(AuditAction::LogIn, user, 3);
        FileError error;
        return trail.append(e, error);
    };
    QVERIFY(append("Jane Doe"));
    const QStringList files{AuditFiles::trail(), AuditFiles::count()};
    const QByteArray trailBefore = ReadFile(files[0]), countBefore = ReadFile(files[1]);
    // Where the writes of one entry fall: the entry, then the count, each
    // written in place without an intent. A fault at the start, inside and
    // at the end of each.
    QList<qint64> writes;
    {
        InjectedFaults dry;
        QVERIFY(append("Dry Run"));
        writes = dry.writes();
        QCOMPARE(writes.size(), 2);
    }
    QList<std::function<void(InjectedFaults&)>> faults;
    qint64 start = 0;
    for (const qint64 w : writes) {
        for (qint64 k : {start, start + w / 2, start + w - 1})
            faults << [k](InjectedFaults& f) { f.diskFullAfter(k); };
        start += w;
    }
    for (const QString& file : files)
        faults << [file](InjectedFaults& f) { f.onlyFile(file).failNextSync(EIO); };
    for (const auto& arm : faults) {
        WriteFile(files[0], trailBefore);
        WriteFile(files[1], countBefore);
        {
            InjectedFaults f;
            arm(f);
            QVERIFY(!append("Bob Roe"));
        }
        QCOMPARE(ReadFile(files[0]), trailBefore);
        QCOMPARE(ReadFile(files[1]), countBefore);
        QVERIFY(!FileIo::hasInterruptedWrite(files[0]) && !FileIo::hasInterruptedWrite(files[1]));
    }
    // An intent an earlier version kept beside the count goes for good
    // before the count is written without one (a power cut taking its mark
    // away would bring older bytes back over the new count): when its
    // removal cannot be flushed, the entry is refused.
    const QString kept = FileIo::intentFileName(files[1]);
    const QByteArray earlier = QByteArray(8, '\0') + QByteArray(120, 'k');
    WriteFile(kept, earlier);
    {
        InjectedFaults f;
        f.failNextFolderSync();
        FileError error;
        AuditEntry e = makeAuditEntry(AuditAction::LogIn, QStringLiteral("Bob Roe"), 3);
        QVERIFY(!trail.append(e, error));
        QVERIFY2(error.message().contains(QLatin1String("intent file \"Sennet.AuditCount.$$j\" could not be removed")),
                 qPrintable(error.message()));
    }
    QCOMPARE(ReadFile(files[0]), trailBefore);
    QCOMPARE(ReadFile(files[1]), countBefore);
    WriteFile(kept, earlier);
    QVERIFY(append("Bob Roe"));
    QVERIFY(!QFile::exists(kept));
    QVERIFY(trail.verify().clean);
    QCOMPARE(trail.verify().entries, 2);
}

void tst_FailedWrites::writesReachTheDiskBeforeSuccess()
{
    TempDataFolder folder;
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2006, 1, 1)),
                                      CitationBytes3000::sample("B2", QDate(2006, 2, 2))});
    CitationFile file;
    QVERIFY(file.OpenCitationFile());
    {
        // A flush that fails turns a save into a failure: the save flushes.
        InjectedFaults faults;
        faults.failNextSync();
        QVERIFY(!file.WriteCitation(3, recordNumbered("C3")));
        QVERIFY(faults.fired());
    }
    file.CloseCitationFile();
    {
        // A deletion flushes the folder once the new file has its name.
        InjectedFaults faults;
        QList<FileIo::Call> calls;
        FileIo::setInterceptor([&calls](FileIo::Call call, const QString&, qint64) {
            calls.append(call);
            return FileIo::Verdict{};
        });
        QVERIFY(file.DeleteCitation(1));
        const qsizetype rename = calls.indexOf(FileIo::Call::Rename);
        QVERIFY(rename > 0);
        QVERIFY(calls.mid(0, rename).contains(FileIo::Call::Sync));
        QVERIFY(calls.indexOf(FileIo::Call::SyncFolder, rename) > rename);
    }
    {
        InjectedFaults faults;
        faults.failNextSync();
        QVERIFY(!file.DeleteCitation(1)); // the work file's flush fails: nothing is replaced
        QCOMPARE(file.lastError().message(),
                 QStringLiteral("The file \"Sennet.Data\" could not be compacted: ") + FileIo::errorText(EIO));
        QCOMPARE(ReadCitations(CitationFileName).size(), 1);
        QVERIFY(!QFile::exists(WorkFileName));
    }
    {
        // Once the new file has its name the deletion has happened: a folder
        // that cannot then be flushed does not make it report the opposite
        // (the window would keep a list out of step with the file).
        WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2006, 1, 1)),
                                          CitationBytes3000::sample("B2", QDate(2006, 2, 2))});
        InjectedFaults faults;
        faults.failNextFolderSync();
        QVERIFY(file.DeleteCitation(1));
        QVERIFY(faults.fired());
        QCOMPARE(ReadCitations(CitationFileName).size(), 1);
        QCOMPARE(CitationBytes3000::readText(ReadCitations(CitationFileName).first(), "CitationNumber").trimmed(),
                 QByteArray("B2"));
    }
}

void tst_FailedWrites::replacementKeepsPermissions()
{
    TempDataFolder folder;
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2006, 1, 1)),
                                      CitationBytes3000::sample("B2", QDate(2006, 2, 2))});
    QVERIFY(::chmod(QFile::encodeName(CitationFileName).constData(), 0600) == 0);
    CitationFile file;
    // The intent kept beside it holds the record last written: no more open.
    QVERIFY(file.OpenCitationFile() && file.WriteCitation(3, CitationRecord()));
    QCOMPARE(modeOf(FileIo::intentFileName(CitationFileName)), 0600u);
    file.CloseCitationFile();
    QVERIFY(file.DeleteCitation(3));
    QVERIFY(file.DeleteCitation(1));
    QCOMPARE(modeOf(CitationFileName), 0600u);

    WriteUsers(UserListFileName, {UserBytes500::user("Jane", "Doe", "abcd", 3), UserBytes500::user("John", "Roe", "wxyz", 1)});
    QVERIFY(::chmod(QFile::encodeName(UserListFileName).constData(), 0640) == 0);
    QVERIFY(RemoveUser(2));
    QCOMPARE(modeOf(UserListFileName), 0640u);
    QCOMPARE(ReadFile(UserListFileName), UserBytes500::user("Jane", "Doe", "abcd", 3).bytes());
}

void tst_FailedWrites::readOnlyFileIsNotReplaced()
{
    if (NobodyUid() < 0)
        QSKIP("no user \"nobody\" to drop privileges to");
    TempDataFolder folder;
    OpenFolderToOthers(folder.path());
    // The folder lets anyone rename files; the files themselves are read-only.
    QVERIFY(::chmod(QFile::encodeName(folder.path()).constData(), 0777) == 0);
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2006, 1, 1)),
                                      CitationBytes3000::sample("B2", QDate(2006, 2, 2))});
    WriteUsers(UserListFileName, {UserBytes500::user("Jane", "Doe", "abcd", 3), UserBytes500::user("John", "Roe", "wxyz", 1)});
    for (const QString& name : {CitationFileName, UserListFileName})
        QVERIFY(::chmod(QFile::encodeName(name).constData(), 0444) == 0);
    const QByteArray citations = ReadFile(CitationFileName);
    const QByteArray users = ReadFile(UserListFileName);
    const QString refused = QStringLiteral(" could not be changed: ") + FileIo::errorText(EACCES);

    const int result = RunAsNobody([&] {
        CitationFile file;
        if (file.DeleteCitation(1) || file.lastError().message() != "The file \"Sennet.Data\"" + refused)
            return 1;
        if (RemoveUser(1) || UserListError().message() != "The file \"User.List\"" + refused)
            return 2;
        // The list still opens for reading, and an edit is refused with the reason.
        if (!file.OpenCitationFile() || file.CitationCount() != 2 || file.WriteCitation(2, CitationRecord()))
            return 3;
        if (file.lastError().message() != "The file \"Sennet.Data\" could not be written: " + FileIo::errorText(EACCES))
            return 4;
        return 0;
    });
    QCOMPARE(result, 0);
    QCOMPARE(ReadFile(CitationFileName), citations);
    QCOMPARE(ReadFile(UserListFileName), users);
    QCOMPARE(modeOf(CitationFileName), 0444u);
}

void tst_FailedWrites::leftoverWorkFileLinkIsNotWrittenThrough()
{
    // A work or partial file left by an earlier run may be a link to another
    // file; the new copy takes its place instead of overwriting that file.
    TempDataFolder folder;
    const QByteArray precious("bytes of another file");
    const QString other = QDir::current().absoluteFilePath(QStringLiteral("Other.File"));
    WriteFile(other, precious);
    auto linkToOther = [&](const QString& name) { QVERIFY(QFile::link(other, name)); };

    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2006, 1, 1))});
    const QByteArray citations = ReadFile(CitationFileName);
    QVERIFY(QDir().mkdir(QStringLiteral("Backup")));
    const QString target = QStringLiteral("Backup/") + CitationFileName;
    linkToOther(FileCopy::PartialName(target));
    FileError error;
    QVERIFY2(FileCopy::CopyFile(CitationFileName, target, error), qPrintable(error.message()));
    QCOMPARE(ReadFile(other), precious);
    QCOMPARE(ReadFile(target), citations);
    QVERIFY(!QFileInfo(target).isSymLink());

    // The conversion of an older data file writes its work file the same way.
    WriteFile(CitationFileName, QByteArray(LegacyLayout::RecordLength, 'o'));
    linkToOther(WorkFileName);
    QCOMPARE(ConvertLegacyDataFile(error), qint64(1));
    QCOMPARE(ReadFile(other), precious);
    QCOMPARE(ReadFile(LegacyBackupFileName()), QByteArray(LegacyLayout::RecordLength, 'o'));
    QCOMPARE(ReadCitations(CitationFileName).size(), 1);
    QVERIFY(!QFileInfo(CitationFileName).isSymLink());

    // So does the removal of a record.
    WriteCitations(CitationFileName, {CitationBytes3000::sample("A1", QDate(2006, 1, 1)),
                                      CitationBytes3000::sample("B2", QDate(2006, 2, 2))});
    linkToOther(WorkFileName);
    CitationFile file;
    QVERIFY(file.DeleteCitation(1));
    QCOMPARE(ReadFile(other), precious);
    QCOMPARE(ReadCitations(CitationFileName).size(), 1);
}

QTEST_GUILESS_MAIN(tst_FailedWrites)
#include "tst_failedwrites.moc"

// Every operation that appends to, rewrites or replaces a data file, killed
// at hundreds of points of the file layer: each file is left exactly as
// before or exactly as after, and the folder opens normally afterwards. The
// counts of points and outcomes are printed for each operation.
#include "DataFiles.h"
#include "Doubles.h"
#include "KillPoints.h"
#include "UserFiles.h"
#include "audit/AuditTrail.h"
#include "backup/modBackupRestore.h"
#include "session/ProcessState.h"
#include "store/CitationFile.h"
#include "store/DataFileNames.h"
#include "store/LegacyConversion.h"
#include "store/UserList.h"
#include "storage/UserLog.h"
#include "workspace/CitationImport.h"

#include "FaultInjection.h"
#include "IntentBytes.h"
#include "store/FileCopy.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <sys/wait.h>
#include <unistd.h>

class tst_KillPoints : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void citationAppend();
    void citationEditSave();
    void citationDeletion();
    void citationImport();
    void userAdd();
    void userEdit();
    void userRemoval();
    void logLine();
    void auditEntry();
    void olderFormatConversion();
    void restore();
    void backupOverEarlierBackup();
    void leftoverIntentFiles();
    void interruptedWriteFinishedThroughLinks();
    void intentsBackAfterAPowerCutChangeNothing();
};

namespace {

// Enough for each operation to be killed at 200 distinct points or more.
constexpr int PointsPerOperation = 220;

const QStringList WorkFiles{WorkFileName, QStringLiteral("*.$$$"), QStringLiteral("*.$$j")};
// An operation that records itself in the audit trail: the trail's own kill
// points are the audit entry's case; here the trail must only be put in order
// by the next start (reopenFolder). A kill after the entry and before the
// change leaves the entry of a change not made, never the other way round.
const QStringList WithAuditEntry = WorkFiles + QStringList{QStringLiteral("Sennet.Audit"),
                                                           QStringLiteral("Sennet.AuditCount"),
                                                           QStringLiteral("Sennet.AuditIndex")};

QList<CitationBytes3000> citations(int count, const QByteArray& tag = "C")
{
    QList<CitationBytes3000> out;
    for (int i = 1; i <= count; ++i)
        out << CitationBytes3000::sample(tag + QByteArray::number(i), QDate(2006, 1 + i % 12, i % 28 + 1));
    return out;
}

CitationRecord newCitation()
{
    const CitationBytes3000 bytes = CitationBytes3000::sample("NEW-1", QDate(2007, 7, 7), "18.2-266", "Main St");
    return CitationRecord::fromBytes(bytes.bytes().constData(), bytes.bytes().size());
}

QList<UserBytes500> users(int count)
{
    QList<UserBytes500> out;
    for (int i = 1; i <= count; ++i)
        out << UserBytes500::user("First" + QByteArray::number(i), "Last" + QByteArray::number(i), "pw", qint16(1 + i % 4));
    return out;
}

// What a restarted program reads: the data file's format, the citation list,
// the user list and the log, each whole.
QString reopenFolder()
{
    FileError error;
    const DataFileFormat format = CheckDataFileFormat(error);
    if (error.isError())
        return error.message();
    if (format == DataFileFormat::NeedsConversion)
        return QStringLiteral("the data file reads as an older format");
    CitationFileView view;
    if (!view.open())
        return view.lastError().message();
    for (int n = 1; n <= view.count(); ++n)
        if (!view.record(n))
            return view.lastError().message();
    if (UserListExists()) {
        if (!OpenUserList())
            return UserListError().message();
        for (int n = 1; n <= UserCount(); ++n)
            if (!ReadUser(n)) {
                CloseUserList();
                return UserListError().message();
            }
        CloseUserList();
    }
    if (QFile::exists(UserLogFileName)) {
        const UserLogView log = ReadUserLogForView();
        if (log.error.isError())
            return log.error.message();
    }
    AuditTrailFile trail;
    FileError auditError;
    if (!trail.finishInterrupted(auditError))
        return auditError.message();
    if (const AuditVerdict v = trail.verify(); !v.clean)
        return v.problem;
    return {};
}

void report(const KillTally& tally, const QString& operation)
{
    qInfo().noquote() << tally.summary(operation);
    for (const QString& fault : tally.faults.mid(0, 10))
        qWarning().noquote() << fault;
}

void verify(const KillTally& tally)
{
    QVERIFY2(tally.faults.isEmpty(), qPrintable(tally.faults.value(0)));
    QVERIFY(tally.points >= 200);
    QCOMPARE(tally.old + tally.fresh + tally.between, tally.points);
    QVERIFY(tally.old > 0);
    QVERIFY(tally.fresh > 0);
}

KillTally runAll(const QList<KillCase>& cases, const QString& operation)
{
    // Cases with few points of their own come first; the later ones make up
    // the rest of the operation's share.
    KillTally all;
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const qsizetype left = cases.size() - i;
        const int quota = int((qMax(0, PointsPerOperation - all.points) + left - 1) / left);
        all += RunKillPoints(cases[i], quota,
                             {UserListFileName, UserLogFileName, AuditFiles::trail(), AuditFiles::count(),
                              AuditFiles::index()});
    }
    report(all, operation);
    return all;
}

} // namespace

void tst_KillPoints::initTestCase()
{
    // Audit entries carry the moment: the same in every run of an operation,
    // so a run again after a kill writes the bytes the first run wrote.
    static FixedClock clock(QDateTime(QDate(2026, 12, 8), QTime(10, 30)));
    // Thousands of flushes: a memory file system keeps the run short.
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
}

void tst_KillPoints::citationAppend()
{
    TempDataFolder folder;
    QList<KillCase> cases;
    for (int before : {1, 3}) {
        cases << KillCase{QStringLiteral("append after %1").arg(before), {folder.path()},
                          [before] { WriteCitations(CitationFileName, citations(before)); },
                          [] {
                              CitationFile file;
                              return file.OpenCitationFile() && file.WriteCitation(file.CitationCount() + 1, newCitation());
                          },
                          reopenFolder, WorkFiles};
    }
    cases << KillCase{QStringLiteral("append to a damaged file"), {folder.path()},
                      [] {
                          QByteArray bytes;
                          for (const CitationBytes3000& c : citations(2))
                              bytes += c.bytes();
                          WriteFile(CitationFileName, bytes.left(5000)); // the second record cut short
                      },
                      [] {
                          CitationFile file;
                          return file.OpenCitationFile() && file.WriteCitation(file.CitationCount() + 1, newCitation());
                      },
                      reopenFolder, WorkFiles};
    verify(runAll(cases, QStringLiteral("citation append")));
}

void tst_KillPoints::citationEditSave()
{
    TempDataFolder folder;
    QList<KillCase> cases;
    for (int n : {1, 2, 3})
        cases << KillCase{QStringLiteral("save record %1 of 3").arg(n), {folder.path()},
                          [] { WriteCitations(CitationFileName, citations(3)); },
                          [n] {
                              CitationFile file;
                              return file.OpenCitationFile() && file.WriteCitation(n, newCitation());
                          },
                          reopenFolder, WorkFiles};
    verify(runAll(cases, QStringLiteral("citation edit-save")));
}

void tst_KillPoints::citationDeletion()
{
    TempDataFolder folder;
    QList<KillCase> cases;
    for (const std::pair<int, int>& countAndN : {std::pair{1, 1}, std::pair{3, 2}, std::pair{5, 1}}) {
        const int count = countAndN.first, n = countAndN.second;
        cases << KillCase{QStringLiteral("delete record %1 of %2").arg(n).arg(count), {folder.path()},
                          [count] { WriteCitations(CitationFileName, citations(count)); },
                          [n] { return CitationFile().DeleteCitation(n); }, reopenFolder, WorkFiles};
    }
    verify(runAll(cases, QStringLiteral("citation deletion")));
}

void tst_KillPoints::citationImport()
{
    TempDataFolder folder;
    QTemporaryDir source;
    const QString csv = source.filePath(QStringLiteral("in.csv"));
    WriteFile(csv, "Citation Number,Offense Date,Code Section,Occurred on (Hwy / Street / Route) (Direction)\r\n"
                   "I-1,2006-02-03,46.2-862,RT 1\r\nI-2,2006-02-04,46.2-862,RT 2\r\nI-3,2006-02-05,46.2-862,RT 3\r\n");
    auto import = [csv] {
        DataFolderImportStore store;
        ImportPreview preview;
        QString error;
        FileError failure;
        const QDateTime now(QDate(2026, 12, 8), QTime(10, 30));
        return CitationImport::preview(csv, store, {now, QStringLiteral("Jane Doe")}, preview, error)
            && CitationImport::commit(store, preview, {}, now, failure) == 3;
    };
    QList<KillCase> cases;
    cases << KillCase{QStringLiteral("import into an empty folder"), {folder.path()}, [] {}, import, reopenFolder,
                      WithAuditEntry};
    for (int before : {2}) {
        cases << KillCase{QStringLiteral("import after %1").arg(before), {folder.path()},
                          [before] { WriteCitations(CitationFileName, citations(before)); }, import, reopenFolder,
                          WithAuditEntry};
    }
    cases << KillCase{QStringLiteral("import after a damaged file"), {folder.path()},
                      [] {
                          QByteArray bytes;
                          for (const CitationBytes3000& c : citations(2))
                              bytes += c.bytes();
                          WriteFile(CitationFileName, bytes.left(5000));
                      },
                      import, reopenFolder, WithAuditEntry};
    verify(runAll(cases, QStringLiteral("citation import")));
}

namespace {
bool writeUser(int n, const QString& first)
{
    if (!OpenUserList())
        return false;
    UserRecord& user = UserBuffer();
    user = UserRecord();
    user.setFirstName(first);
    user.setLastName(QStringLiteral("Kowalski"));
    user.setPassword(QStringLiteral("xsxexcxrxext"));
    user.setAccessLevel(3);
    user.setDateCreated(40000.5);
    const bool ok = WriteUser(n < 0 ? UserCount() + 1 : n);
    CloseUserList();
    return ok;
}
} // namespace

void tst_KillPoints::userAdd()
{
    TempDataFolder folder;
    QList<KillCase> cases;
    for (int before : {0, 2, 5})
        cases << KillCase{QStringLiteral("add a user to %1").arg(before), {folder.path()},
                          [before] {
                              if (before > 0)
                                  WriteUsers(UserListFileName, users(before));
                          },
                          [] { return writeUser(-1, QStringLiteral("Anna")); }, reopenFolder, WorkFiles};
    verify(runAll(cases, QStringLiteral("user add")));
}

void tst_KillPoints::userEdit()
{
    TempDataFolder folder;
    QList<KillCase> cases;
    for (int n : {1, 3, 4})
        cases << KillCase{QStringLiteral("edit user %1 of 4").arg(n), {folder.path()},
                          [] { WriteUsers(UserListFileName, users(4)); },
                          [n] { return writeUser(n, QStringLiteral("Edited")); }, reopenFolder, WorkFiles};
    verify(runAll(cases, QStringLiteral("user edit")));
}

void tst_KillPoints::userRemoval()
{
    TempDataFolder folder;
    QList<KillCase> cases;
    for (const std::pair<int, int>& countAndN : {std::pair{1, 1}, std::pair{4, 2}, std::pair{6, 6}}) {
        const int count = countAndN.first, n = countAndN.second;
        cases << KillCase{QStringLiteral("remove user %1 of %2").arg(n).arg(count), {folder.path()},
                          [count] { WriteUsers(UserListFileName, users(count)); },
                          [n] { return RemoveUser(n); }, reopenFolder, WorkFiles};
    }
    verify(runAll(cases, QStringLiteral("user removal")));
}

void tst_KillPoints::logLine()
{
    TempDataFolder folder;
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    CurrentUserName = QStringLiteral("Jane Doe");
    CurrentAccessLevel = 3;
    QList<KillCase> cases;
    for (const QByteArray& before : {QByteArray(), QByteArray("03/06/2026 at 09:00:00 - Jane Doe logged in w/ Read Only privileges.\r\n")})
        for (qint16 flag : {1, 2})
            cases << KillCase{QStringLiteral("log line %1 after %2 bytes").arg(flag).arg(before.size()), {folder.path()},
                              [before] {
                                  if (!before.isEmpty())
                                      WriteFile(UserLogFileName, before);
                              },
                              [flag] { return WriteUserLogLine(flag); }, reopenFolder, WorkFiles};
    verify(runAll(cases, QStringLiteral("log line")));
}

void tst_KillPoints::auditEntry()
{
    TempDataFolder folder;
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    auto entry = [](int n) {
        AuditEntry e = makeAuditEntry(AuditAction::CitationDeleted, QStringLiteral("Jane Doe"), 4);
        // A deletion's entry is the longest: the whole citation goes in.
        e.citation = QStringLiteral("C%1").arg(n);
        e.details.insert(QStringLiteral("record"), QString::fromLatin1(citations(n).last().bytes().toBase64()));
        return e;
    };
    auto appendEntries = [entry](int count) {
        AuditTrailFile trail;
        trail.setWriteIndex(false); // derived data, written without guarantees: checked by reading
        for (int n = 1; n <= count; ++n) {
            AuditEntry e = entry(n);
            FileError error;
            if (!trail.append(e, error))
                return false;
        }
        return true;
    };
    // The next start: the files put in order, the trail checks clean and
    // reads whole (the index,
    // derived from it, may be left behind or half written).
    auto reopen = [] {
        AuditTrailFile trail;
        // A check before that start already finds no damage: an entry or a
        // count cut off is only noted.
        if (const AuditVerdict v = trail.verify(); !v.clean)
            return QStringLiteral("checked before the next start: %1").arg(v.problem);
        FileError error;
        if (!trail.finishInterrupted(error))
            return error.message();
        const AuditVerdict v = trail.verify();
        if (!v.clean)
            return v.problem;
        QList<AuditEntry> entries;
        qint64 total = 0;
        if (!trail.read({}, 0, 100, entries, total, error))
            return error.message();
        for (const AuditEntry& e : entries)
            if (e.number == 0)
                return QStringLiteral("an entry does not read");
        return QString();
    };
    const QStringList workFiles = WorkFiles + QStringList{AuditFiles::index()};
    QList<KillCase> cases;
    for (int before : {0, 2})
        cases << KillCase{QStringLiteral("audit entry after %1").arg(before), {folder.path()},
                          [appendEntries, before] { appendEntries(before); },
                          [appendEntries] { return appendEntries(1); }, reopen, workFiles};
    cases << KillCase{QStringLiteral("audit entry withdrawn"), {folder.path()}, [appendEntries] { appendEntries(3); },
                      [] {
                          AuditTrailFile trail;
                          FileError error;
                          return trail.withdraw(3, error);
                      },
                      reopen, workFiles};
    verify(runAll(cases, QStringLiteral("audit entry")));
}

void tst_KillPoints::olderFormatConversion()
{
    TempDataFolder folder;
    auto legacy = [](int count) {
        QByteArray all;
        for (const CitationBytes3000& c : citations(count, "L"))
            all += c.bytes().mid(2, LegacyLayout::SectionsLength) + c.bytes().mid(943, LegacyLayout::NotesLength);
        return all;
    };
    auto reopen = [] {
        FileError error;
        const DataFileFormat format = CheckDataFileFormat(error);
        if (error.isError())
            return error.message();
        if (format == DataFileFormat::Missing)
            return QStringLiteral("the data file is missing");
        return format == DataFileFormat::NeedsConversion ? QString() : reopenFolder();
    };
    QList<KillCase> cases;
    for (bool earlierBackup : {false, true})
        cases << KillCase{QStringLiteral("convert 3 records%1").arg(earlierBackup ? " over a backup" : ""),
                          {folder.path()},
                          [=] {
                              WriteFile(CitationFileName, legacy(3));
                              if (earlierBackup)
                                  WriteFile(LegacyBackupFileName(), "an earlier backup");
                          },
                          [] {
                              FileError error;
                              return ConvertLegacyDataFile(error) == 3;
                          },
                          reopen, WorkFiles};
    verify(runAll(cases, QStringLiteral("older-format conversion")));
}

namespace {
// The data folder and a backup folder, each with all three data files
// of its own.
void writeSet(const QString& folder, const QByteArray& tag, int records)
{
    WriteCitations(QDir(folder).filePath(CitationFileName), citations(records, tag));
    QList<UserBytes500> list = users(2);
    list[0].text("FirstName", tag);
    WriteUsers(QDir(folder).filePath(UserListFileName), list);
    WriteFile(QDir(folder).filePath(UserLogFileName), "log of " + tag + "\r\n");
}
} // namespace

void tst_KillPoints::restore()
{
    TempDataFolder folder;
    QTemporaryDir backup;
    FakeFolderPicker picker;
    ScriptedMessages msgs;
    QList<KillCase> cases;
    for (int records : {1, 3}) {
        cases << KillCase{QStringLiteral("restore %1 records").arg(records), {folder.path(), backup.path()},
                          [&, records] {
                              writeSet(folder.path(), "NOW", 2);
                              writeSet(backup.path(), "OLD", records);
                          },
                          [&] {
                              // Children inherit the scripted picker and boxes as they are here.
                              picker.answers = {backup.path()};
                              msgs.expect(QStringLiteral("Note:\r\n\r\nYou are about to replace your current data files\r\n"
                                                         "with previously made backup data files.\r\n\r\nOnce completed, "
                                                         "this action can not be undone.\r\n\r\nAre you sure you're ready to continue?"),
                                          QStringLiteral("Important! Please read carefully..."),
                                          Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2, Msg::Yes);
                              msgs.expect(QStringLiteral("Your previously backed up \r\nSennet data files\r\nhas been "
                                                         "successfully restored!"),
                                          QStringLiteral("Sennet"), Msg::OKOnly, Msg::OK);
                              modBackupRestore::Restore(nullptr);
                              return msgs.allMet();
                          },
                          reopenFolder, WithAuditEntry};
    }
    verify(runAll(cases, QStringLiteral("restore")));
}

void tst_KillPoints::backupOverEarlierBackup()
{
    TempDataFolder folder;
    QTemporaryDir backup;
    FakeFolderPicker picker;
    ScriptedMessages msgs;
    QList<KillCase> cases;
    for (int records : {2, 4}) {
        cases << KillCase{QStringLiteral("back up %1 records").arg(records), {folder.path(), backup.path()},
                          [&, records] {
                              writeSet(folder.path(), "NOW", records);
                              writeSet(backup.path(), "OLD", 1);
                          },
                          [&] {
                              picker.answers = {backup.path()};
                              msgs.expect(QStringLiteral("You have selected\r\n\r\n'") + backup.path()
                                              + QStringLiteral("/'\r\n\r\nas your data backup location.\r\nPlease "
                                                               "click <OK> to continue."),
                                          QStringLiteral("Backup Procedure"), Msg::Information | Msg::OKCancel, Msg::OK);
                              msgs.expect(QStringLiteral("Your current Sennet data files\r\nhave been successfully backed up!"),
                                          QStringLiteral("Sennet"), Msg::OKOnly, Msg::OK);
                              modBackupRestore::Backup(nullptr);
                              return msgs.allMet();
                          },
                          reopenFolder, WithAuditEntry};
    }
    verify(runAll(cases, QStringLiteral("backup into a folder holding a backup")));
}

void tst_KillPoints::leftoverIntentFiles()
{
    TempDataFolder folder;
    const QString intent = FileIo::intentFileName(CitationFileName);
    QByteArray old;
    for (const CitationBytes3000& c : citations(3))
        old += c.bytes();
    QByteArray fresh = old;
    fresh.replace(3000, 3000, newCitation().bytes());
    // Record 2 edited, the process killed once `bytes` bytes were written
    // (the intent file takes 3040: its header, the record, its check sum).
    auto killedEdit = [&](qint64 bytes) {
        WriteFile(CitationFileName, old);
        const pid_t pid = ::fork();
        if (pid == 0) {
            InjectedFaults faults;
            faults.stopAfterBytes(bytes);
            CitationFile file;
            if (file.OpenCitationFile())
                file.WriteCitation(2, newCitation());
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFSIGNALED(status);
    };

    // Killed half way through the record: the next open finishes it.
    QVERIFY(killedEdit(3040 + 100));
    QVERIFY(QFile::exists(intent));
    QVERIFY(ReadFile(CitationFileName) != old && ReadFile(CitationFileName) != fresh);
    CitationFileView view;
    QVERIFY(view.open());
    QCOMPARE(ReadFile(CitationFileName), fresh);
    QVERIFY(!QFile::exists(intent));

    // Killed while the intent was written: it is dropped, the file untouched.
    QVERIFY(killedEdit(1000));
    QVERIFY(QFile::exists(intent));
    QVERIFY(CitationFile().OpenCitationFile());
    QCOMPARE(ReadFile(CitationFileName), old);
    QVERIFY(!QFile::exists(intent));

    // An intent that no longer fits its file (the file changed length since)
    // is set aside, never written over other records.
    QVERIFY(killedEdit(3040));
    const QByteArray other = old + old.left(3000);
    WriteFile(CitationFileName, other);
    QVERIFY(CitationFileView().open());
    QCOMPARE(ReadFile(CitationFileName), other);
    QVERIFY(!QFile::exists(intent));
    QVERIFY(QFile::exists(FileIo::rejectedIntentFileName(CitationFileName)));

    // A file replaced whole (a restore, a deletion) takes its intent with it.
    QVERIFY(killedEdit(3040));
    WriteFile(QStringLiteral("copy"), old.left(6000));
    FileError error;
    QVERIFY(FileIo::replaceFile(QStringLiteral("copy"), CitationFileName, error));
    QVERIFY(!QFile::exists(intent));
    QVERIFY(CitationFileView().open());
    QCOMPARE(ReadFile(CitationFileName), old.left(6000));
}

void tst_KillPoints::interruptedWriteFinishedThroughLinks()
{
    // The data file kept on another disk: a link in the data folder.
    TempDataFolder folder;
    QTemporaryDir elsewhere;
    const QString real = QDir(elsewhere.path()).filePath(QStringLiteral("Citations.bin"));
    QByteArray old;
    for (const CitationBytes3000& c : citations(3))
        old += c.bytes();
    // Notes at the record's end, so that the torn record differs from the
    // new one after its first 1200 bytes too.
    const QByteArray record =
        CitationBytes3000::sample("NEW-1", QDate(2007, 7, 7)).text("Notes", QByteArray(2057, 'N')).bytes();
    QByteArray torn = old;
    torn.replace(3000, 1200, record.left(1200));

    auto placeData = [&](bool linked, const QByteArray& bytes) {
        WriteFile(linked ? real : CitationFileName, bytes);
        if (linked)
            QVERIFY(QFile::link(real, CitationFileName));
    };
    QList<KillCase> replays, saves;
    for (bool linked : {false, true}) {
        // Killed while the next open finishes a torn edit of record 2.
        replays << KillCase{QStringLiteral("finish a torn edit%1").arg(linked ? " through a link" : ""),
                            {folder.path(), elsewhere.path()},
                            [&, linked] {
                                placeData(linked, torn);
                                WriteFile(FileIo::intentFileName(CitationFileName),
                                          IntentBytes(3000, quint64(old.size()), record));
                            },
                            [] { return CitationFileView().open(); }, reopenFolder, WorkFiles};
    }
    saves << KillCase{QStringLiteral("save record 2 through a link"), {folder.path(), elsewhere.path()},
                      [&] { placeData(true, old); },
                      [] {
                          CitationFile file;
                          return file.OpenCitationFile() && file.WriteCitation(2, newCitation());
                      },
                      reopenFolder, WorkFiles};

    // Every kill of the replay leaves the intent for the next open, which
    // finishes the edit: the file is always the new one, the link kept.
    const KillTally replayed = runAll(replays, QStringLiteral("interrupted write finished"));
    QVERIFY2(replayed.faults.isEmpty(), qPrintable(replayed.faults.value(0)));
    QVERIFY(replayed.points >= 40);
    QCOMPARE(replayed.fresh, replayed.points);
    QVERIFY(QFileInfo(CitationFileName).isSymLink());
    verify(runAll(saves, QStringLiteral("citation edit-save through a link")));
}

QTEST_MAIN(tst_KillPoints)
// A power cut loses the mark that an intent was carried out unless the
// intent file was flushed after it, and the removal of an intent file
// unless the folder was. Each operation runs with such intents noted as they
// were before (and forgotten again at those flushes); then they are put
// back, as the disk may show them after the cut, and the folder is opened:
// every data file must read as the operation left it, a failed one as
// before it.
void tst_KillPoints::intentsBackAfterAPowerCutChangeNothing()
{
    TempDataFolder folder;
    FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    CurrentUserName = QStringLiteral("Jane Doe");
    CurrentAccessLevel = 3;
    const auto appendEntry = [] {
        AuditTrailFile trail;
        trail.setWriteIndex(false);
        AuditEntry e = makeAuditEntry(AuditAction::CitationAdded, QStringLiteral("Jane Doe"), 4);
        FileError error;
        return trail.append(e, error);
    };
    struct Case {
        const char* name;
        std::function<bool()> operation;
        // A fault to inject (an errno for a call on a path, of so many
        // bytes); the operation then fails and must leave the files as
        // before, unless `stands`.
        std::function<int(FileIo::Call, const QString&, qint64)> fault;
        bool stands = false;
    };
    // The count's write fails: the entry is cut off the trail again, with
    // no flush of the folder in between.
    const auto countFails = [](FileIo::Call call, const QString& path, qint64) {
        return call == FileIo::Call::Write && path.endsWith(QLatin1String("Sennet.AuditCount")) ? ENOSPC : 0;
    };
    const QList<Case> cases{
        {"citation added", [] {
             CitationFile file;
             return file.OpenCitationFile() && file.WriteCitation(file.CitationCount() + 1, newCitation());
         }, {}},
        {"citation saved", [] {
             CitationFile file;
             return file.OpenCitationFile() && file.WriteCitation(2, newCitation());
         }, {}},
        {"citation saved, its intent not marked as carried out", [] {
             CitationFile file;
             return file.OpenCitationFile() && file.WriteCitation(2, newCitation());
         }, [](FileIo::Call call, const QString& path, qint64 bytes) {
             return call == FileIo::Call::Write && path.endsWith(QLatin1String(".$$j")) && bytes == 8 ? EIO : 0;
         }, true},
        {"citation saved, then the file replaced by its old self", [] {
             CitationFile file;
             FileError error;
             if (!file.OpenCitationFile() || !file.WriteCitation(2, newCitation()))
                 return false;
             file.CloseCitationFile();
             WriteCitations(QStringLiteral("copy"), citations(3));
             return FileIo::replaceFile(QStringLiteral("copy"), CitationFileName, error);
         }, {}},
        {"two citations added", [] {
             CitationFile file;
             return file.OpenCitationFile() && file.WriteCitation(file.CitationCount() + 1, newCitation())
                 && file.WriteCitation(file.CitationCount() + 1, newCitation());
         }, {}},
        {"log line", [] { return WriteUserLogLine(1); }, {}},
        {"audit entry", appendEntry, {}},
        {"audit entry, its count not written", appendEntry, countFails},
        {"audit entry withdrawn", [appendEntry] {
             AuditTrailFile trail;
             FileError error;
             return appendEntry() && trail.withdraw(3, error);
         }, {}},
    };
    // The data files only: the intents kept beside them change with each write.
    const auto dataFiles = [&folder] {
        FileSet files = ReadFileSet({folder.path()});
        for (auto i = files.begin(); i != files.end();)
            i = i.key().endsWith(QLatin1String(".$$j")) ? files.erase(i) : std::next(i);
        return files;
    };
    for (const Case& c : cases) {
        for (const QString& name : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(QDir(folder.path()).filePath(name));
        WriteCitations(CitationFileName, citations(3));
        QVERIFY(appendEntry() && appendEntry());
        const FileSet before = dataFiles();

        QMap<QString, QByteArray> marked, removed; // not yet flushed: the intents as they were
        const auto fault = c.fault;
        FileIo::setInterceptor([&marked, &removed, fault](FileIo::Call call, const QString& path, qint64 bytes) {
            const auto noteBefore = [&path](QMap<QString, QByteArray>& notes) {
                QFile f(path);
                if (!notes.contains(path) && f.open(QIODevice::ReadOnly))
                    notes[path] = f.readAll();
            };
            const bool intent = path.endsWith(QLatin1String(".$$j"));
            if (intent && call == FileIo::Call::Write && bytes == 8) // the mark
                noteBefore(marked);
            else if (intent && call == FileIo::Call::Remove)
                noteBefore(removed);
            else if (intent && call == FileIo::Call::Sync)
                marked.remove(path);
            else if (call == FileIo::Call::SyncFolder)
                removed.clear();
            return FileIo::Verdict{fault ? fault(call, path, bytes) : 0, -1};
        });
        const bool done = c.operation();
        FileIo::setInterceptor({});
        QCOMPARE(done, !fault || c.stands);
        const FileSet after = dataFiles();

        for (const QMap<QString, QByteArray>* notes : {&removed, &marked})
            for (auto i = notes->cbegin(); i != notes->cend(); ++i)
                WriteFile(i.key(), i.value());
        const QString problem = reopenFolder();
        QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(c.name), problem)));
        const FileSet reopened = dataFiles();
        QVERIFY2(reopened == (fault && !c.stands ? before : after), c.name);
    }
}

#include "tst_killpoints.moc"

// Backup and restore of the data files on temporary folders: every question
// and outcome by its exact text, what lands in which folder, the window's
// state while copying and after, and the main window's menu.
#include "DataFiles.h"
#include "FaultInjection.h"
#include "Doubles.h"
#include "workspace/MainWindowFixture.h"
#include "backup/modBackupRestore.h"
#include "store/FileCopy.h"
#include "widgets/VellButton.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using namespace modBackupRestore;

namespace {

const QString BackupPrompt = QStringLiteral("Select a disk/drive/folder to copy (backup)\r\nyour Sennet data files to...");
const QString RestorePrompt = QStringLiteral(
    "Select the disk/drive/folder that contains your\r\npreviously backed up Sennet data files\r\nthat you wish to restore...");
const QString BackedUp = QStringLiteral("Your current Sennet data files\r\nhave been successfully backed up!");

QString slash(const QString& folder) { return folder + u'/'; }

QString procedureText(const QString& folder)
{
    return QStringLiteral("You have selected\r\n\r\n'") + slash(folder)
        + QStringLiteral("'\r\n\r\nas your data backup location.\r\nPlease click <OK> to continue.");
}
void expectProcedure(ScriptedMessages& msgs, const QString& folder, int answer = Msg::OK)
{
    msgs.expect(procedureText(folder), QStringLiteral("Backup Procedure"), Msg::Information | Msg::OKCancel, answer);
}
void expectOutcome(ScriptedMessages& msgs, const QString& text, std::function<void()> during = {})
{
    msgs.expect(text, QStringLiteral("Sennet"), Msg::OKOnly, Msg::OK, std::move(during));
}
const QString RestoredText = QStringLiteral("Your previously backed up \r\nSennet data files\r\nhas been successfully restored!");
const QString ReplaceQuestion = QStringLiteral(
    "Note:\r\n\r\nYou are about to replace your current data files\r\nwith previously made backup data files.\r\n\r\n"
    "Once completed, this action can not be undone.\r\n\r\nAre you sure you're ready to continue?");
void expectReplace(ScriptedMessages& msgs, int answer)
{
    msgs.expect(ReplaceQuestion, QStringLiteral("Important! Please read carefully..."),
                Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2, answer);
}

// The three data files of the working folder, with distinct contents.
void writeDataFiles(const QString& tag, bool withLog = true)
{
    WriteCitations(CitationFileName, {CitationBytes3000::sample(tag.toLatin1(), QDate(2006, 3, 7))});
    WriteFile(UserListFileName, QByteArray(500, 'U') + tag.toLatin1());
    if (withLog)
        WriteFile(UserLogFileName, "log of " + tag.toLatin1() + "\r\n");
}

// A window that stands for the main window during a run.
struct Window {
    QWidget widget;
    Window()
    {
        widget.setWindowTitle(QStringLiteral("Agency - Sennet"));
        widget.show();
    }
    // The window as the user sees it between runs.
    void verifyAtRest()
    {
        QCOMPARE(widget.windowTitle(), QStringLiteral("Agency - Sennet"));
        QVERIFY(widget.isEnabled());
        QVERIFY(!QApplication::overrideCursor());
    }
};

} // namespace

class tst_BackupRestore : public QObject {
    Q_OBJECT
private slots:
    void backupIntoAnEmptyFolderAndAgainIntoTheSameFolder();
    void backupIntoAFolderOfOtherFilesAsksFirst();
    void backupSkipsMissingFilesAndCancelIsSilent();
    void theProgramFolderIsRefusedHoweverItIsWritten();
    void unreachableFoldersAreReported();
    void aFailedCopyStopsAndLeavesNoPartialFile();
    void restoreNeedsABackupAndAsksBeforeReplacing();
    void restoreLeavesWhatTheBackupLacksAndRefusesUnreadableFiles();
    void olderOrCutBackupIsNamedAndConvertedOrNothingIsRestored_data();
    void olderOrCutBackupIsNamedAndConvertedOrNothingIsRestored();
    void mainWindowMenuIsForFullAccessOnly();
    void mainWindowReloadsAfterRestoreEvenWhenALaterFileFails();
};

void tst_BackupRestore::backupIntoAnEmptyFolderAndAgainIntoTheSameFolder()
{
    TempDataFolder data;
    QTemporaryDir target;
    writeDataFiles(QStringLiteral("FIRST"));
    Window window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;

    picker.answers << target.path();
    expectProcedure(msgs, target.path());
    expectOutcome(msgs, BackedUp, [&] { window.verifyAtRest(); });
    Backup(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(picker.titles, QStringList{BackupPrompt});
    for (const QString& name : DataFileNames)
        QCOMPARE(ReadFile(QDir(target.path()).filePath(name)), ReadFile(name));

    // The folder now holds a backup: the same question, and the copies are
    // overwritten with the current files.
    writeDataFiles(QStringLiteral("SECOND"));
    picker.answers << target.path() + u'/';
    expectProcedure(msgs, target.path());
    expectOutcome(msgs, BackedUp);
    Backup(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    for (const QString& name : DataFileNames)
        QCOMPARE(ReadFile(QDir(target.path()).filePath(name)), ReadFile(name));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 3); // no partial files left
}

void tst_BackupRestore::backupIntoAFolderOfOtherFilesAsksFirst()
{
    TempDataFolder data;
    QTemporaryDir target;
    writeDataFiles(QStringLiteral("X"));
    WriteFile(QDir(target.path()).filePath("holiday.jpg"), "not ours");
    Window window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;
    const QString caution = QStringLiteral("The data backup location you selected,\r\n\r\n'") + slash(target.path())
        + QStringLiteral("'\r\n\r\ncontains files not related to Sennet!\r\nAre you sure you wish to continue with this backup?");
    const int flags = Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2;

    picker.answers << target.path() << target.path();
    msgs.expect(caution, QStringLiteral("Caution!"), flags, Msg::No);
    expectOutcome(msgs, BackupCancelledText);
    msgs.expect(caution, QStringLiteral("Caution!"), flags, Msg::Yes);
    expectOutcome(msgs, BackedUp);
    Backup(&window.widget);
    QVERIFY(!QFile::exists(QDir(target.path()).filePath(CitationFileName)));
    Backup(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile(QDir(target.path()).filePath(CitationFileName)), ReadFile(CitationFileName));
}

void tst_BackupRestore::backupSkipsMissingFilesAndCancelIsSilent()
{
    TempDataFolder data;
    QTemporaryDir target;
    writeDataFiles(QStringLiteral("NOLOG"), false);
    Window window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;

    Backup(&window.widget); // the picker is cancelled: no box at all
    QVERIFY(msgs.allMet());

    picker.answers << target.path();
    expectProcedure(msgs, target.path());
    expectOutcome(msgs, BackedUp);
    Backup(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files), (QStringList{CitationFileName, UserListFileName}));

    // Cancel at the procedure question copies nothing.
    QTemporaryDir other;
    picker.answers << other.path();
    expectProcedure(msgs, other.path(), Msg::Cancel);
    expectOutcome(msgs, BackupCancelledText);
    Backup(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QVERIFY(QDir(other.path()).isEmpty());
}

void tst_BackupRestore::theProgramFolderIsRefusedHoweverItIsWritten()
{
    TempDataFolder data;
    writeDataFiles(QStringLiteral("HOME"));
    QTemporaryDir links;
    const QString link = QDir(links.path()).filePath("data-link");
    QVERIFY(QFile::link(data.path(), link));
    Window window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;

    const QStringList ways{data.path(), data.path() + u'/', data.path() + QStringLiteral("/./"), link,
                           QStringLiteral(".")};
    for (const QString& way : ways) {
        picker.answers << way << way;
        msgs.expect(QStringLiteral("You can't backup\r\nSennet data\r\nto itself in the same folder!"),
                    QStringLiteral("What are you doing?"), Msg::Critical | Msg::OKOnly, Msg::OK);
        expectOutcome(msgs, BackupCancelledText);
        msgs.expect(QStringLiteral("You can't restore\r\nSennet data\r\nto itself in the same folder!"),
                    QStringLiteral("What are you doing?"), Msg::Critical | Msg::OKOnly, Msg::OK);
        expectOutcome(msgs, RestoreCancelledText);
        Backup(&window.widget);
        Restore(&window.widget);
        QVERIFY2(msgs.allMet(), qPrintable(way + u' ' + msgs.report()));
    }
    // Letter case counts on this platform's file names: the folder in capitals
    // is another folder (here one that does not exist), not the program folder.
    QVERIFY(!SameFolder(data.path().toUpper(), data.path()) || QFileInfo(data.path().toUpper()).exists());
    QCOMPARE(QDir(data.path()).entryList(QDir::Files).size(), 3);
}

void tst_BackupRestore::unreachableFoldersAreReported()
{
    TempDataFolder data;
    writeDataFiles(QStringLiteral("U"));
    QTemporaryDir parent;
    const QString gone = QDir(parent.path()).filePath("not-there");
    const QString aFile = QDir(parent.path()).filePath("a-file");
    WriteFile(aFile, "x");
    Window window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;

    for (const QString& folder : {gone, aFile}) {
        picker.answers << folder << folder;
        msgs.expect(QStringLiteral("There is some kind of problem trying to\r\naccess the selected backup location\r\n"
                                   "that you specified..."),
                    QStringLiteral("Drive or Folder Access Problem"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
        expectOutcome(msgs, BackupCancelledText);
        msgs.expect(QStringLiteral("There is some kind of problem trying to\r\naccess the backed up data files at\r\n"
                                   "the location that you specified."),
                    QStringLiteral("Drive or Folder Access Problem"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
        expectOutcome(msgs, RestoreCancelledText);
        Backup(&window.widget);
        Restore(&window.widget);
        QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    }
}

void tst_BackupRestore::aFailedCopyStopsAndLeavesNoPartialFile()
{
    TempDataFolder data;
    QTemporaryDir target;
    writeDataFiles(QStringLiteral("FAIL"));
    // An earlier backup of the user list that cannot be replaced: a folder
    // has its name. The citation file before it is copied; the log after it
    // is not.
    const QDir to(target.path());
    WriteFile(to.filePath(CitationFileName), "older backup");
    QVERIFY(to.mkdir(UserListFileName));
    Window window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;

    picker.answers << target.path();
    expectProcedure(msgs, target.path());
    msgs.expect(QStringLiteral("There is some kind of problem\r\ntrying to copy User.List\r\n\r\n"
                               "The file \"%1\" could not be replaced: Is a directory.")
                    .arg(QDir::toNativeSeparators(to.filePath(UserListFileName))),
                QStringLiteral("File Backup Error"), Msg::Exclamation | Msg::OKOnly, Msg::OK, [&] {
                    // The box shows while the copy loop still holds the window.
                    QCOMPARE(window.widget.windowTitle(), QStringLiteral("Copying User.List"));
                    QVERIFY(!window.widget.isEnabled());
                    QVERIFY(QApplication::overrideCursor());
                });
    expectOutcome(msgs, BackupCancelledText, [&] { window.verifyAtRest(); });
    Backup(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile(to.filePath(CitationFileName)), ReadFile(CitationFileName));
    QVERIFY(!QFile::exists(FileCopy::PartialName(to.filePath(UserListFileName))));
    QVERIFY(!QFile::exists(to.filePath(UserLogFileName)));

    // The disk fills up while the citation file is copied over an earlier
    // backup: that backup stays whole, and no partial file is left.
    QVERIFY(to.rmdir(UserListFileName));
    WriteFile(to.filePath(CitationFileName), "older backup");
    InjectedFaults faults;
    faults.onlyFile(FileCopy::PartialName(CitationFileName)).diskFullAfter(1000);
    picker.answers << target.path();
    expectProcedure(msgs, target.path());
    msgs.expect(QStringLiteral("There is some kind of problem\r\ntrying to copy Sennet.Data\r\n\r\n"
                               "The file \"%1\" could not be written: No space left on device.")
                    .arg(QDir::toNativeSeparators(to.filePath(CitationFileName))),
                QStringLiteral("File Backup Error"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
    expectOutcome(msgs, BackupCancelledText, [&] { window.verifyAtRest(); });
    Backup(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QVERIFY(faults.fired());
    QCOMPARE(ReadFile(to.filePath(CitationFileName)), QByteArray("older backup"));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files), QStringList{CitationFileName});
}

void tst_BackupRestore::restoreNeedsABackupAndAsksBeforeReplacing()
{
    TempDataFolder data;
    QTemporaryDir backup;
    const QDir from(backup.path());
    Window window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;

    // No citation file in the folder.
    WriteFile(from.filePath(UserListFileName), "users only");
    picker.answers << backup.path();
    msgs.expect(u'\'' + slash(backup.path())
                    + QStringLiteral("'\r\n\r\ndoesn't appear to contain previously saved\r\nbackup data file(s) you need "
                                     "to restore\r\nyour Sennet data."),
                QStringLiteral("Required file(s) missing"), Msg::Information | Msg::OKOnly, Msg::OK);
    expectOutcome(msgs, RestoreCancelledText);
    Restore(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(picker.titles, QStringList{RestorePrompt});
    QVERIFY(!RestoreDone());

    // With no current data there is nothing to warn about.
    WriteCitations(from.filePath(CitationFileName), {CitationBytes3000::sample("BACKUP", QDate(2005, 1, 2))});
    WriteFile(from.filePath(UserLogFileName), "backup log\r\n");
    picker.answers << backup.path();
    expectOutcome(msgs, RestoredText, [&] { window.verifyAtRest(); });
    Restore(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QVERIFY(RestoreDone());
    ClearRestoreDone();
    for (const QString& name : DataFileNames)
        QCOMPARE(ReadFile(name), ReadFile(from.filePath(name)));

    // With current data: No keeps it, Yes replaces it.
    writeDataFiles(QStringLiteral("CURRENT"));
    const QByteArray current = ReadFile(CitationFileName);
    picker.answers << backup.path() << backup.path();
    expectReplace(msgs, Msg::No);
    expectOutcome(msgs, RestoreCancelledText);
    expectReplace(msgs, Msg::Yes);
    expectOutcome(msgs, RestoredText);
    Restore(&window.widget);
    QCOMPARE(ReadFile(CitationFileName), current);
    QVERIFY(!RestoreDone());
    Restore(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile(CitationFileName), ReadFile(from.filePath(CitationFileName)));
    QVERIFY(RestoreDone());
    ClearRestoreDone();
    // No partial files left; beside the data files only the audit trail's.
    QCOMPARE(QDir().entryList(QDir::Files).filter(QRegularExpression("^(?!Sennet\\.Audit)")).size(), 3);
}

void tst_BackupRestore::restoreLeavesWhatTheBackupLacksAndRefusesUnreadableFiles()
{
    TempDataFolder data;
    QTemporaryDir backup;
    const QDir from(backup.path());
    writeDataFiles(QStringLiteral("CURRENT"));
    const QByteArray currentLog = ReadFile(UserLogFileName);
    WriteCitations(from.filePath(CitationFileName), {CitationBytes3000::sample("OLD", QDate(2005, 1, 2))});
    QVERIFY(from.mkdir(UserListFileName)); // present but not a file that can be read
    Window window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;

    // Nothing is replaced when one of the files cannot be read.
    const QByteArray before = ReadFile(CitationFileName);
    picker.answers << backup.path();
    msgs.expect(QStringLiteral("There is some kind of problem\r\ntrying to restore User.List\r\n\r\nThe file \"%1\" could "
                               "not be opened: it is a folder, not a data file.")
                    .arg(QDir::toNativeSeparators(from.filePath(UserListFileName))),
                QStringLiteral("File Restore Error"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
    expectOutcome(msgs, RestoreCancelledText);
    Restore(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile(CitationFileName), before);
    QVERIFY(!RestoreDone());

    // A backup made without a user log: the log here is kept and named.
    QVERIFY(from.rmdir(UserListFileName));
    WriteFile(from.filePath(UserListFileName), "backup users");
    picker.answers << backup.path();
    expectReplace(msgs, Msg::Yes);
    expectOutcome(msgs, RestoredText + QStringLiteral("\r\n\r\nThe backup did not hold these files,\r\n"
                                                      "so they were left as they were:\r\nUser.Log"));
    Restore(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(ReadFile(UserListFileName), QByteArray("backup users"));
    QCOMPARE(ReadFile(UserLogFileName), currentLog);
    ClearRestoreDone();
}

namespace {

// Three citations of an earlier version, fields filled to their width.
QByteArray olderCitations()
{
    QByteArray all;
    const QByteArray numbers[] = {"VA2006000001", "VA2006000002", "VA2006000003"};
    for (int i = 0; i < 3; ++i) {
        CitationBytes1500 r;
        r.text("NCICNumber", "VA0470100")
            .text("CitationNumber", numbers[i])
            .date("OffenseDate", QDate(2006, 3, 7 + i), QTime(14, 5))
            .text("IssuingOfficer", "SGT. JOHNATHAN Q. MACDOUGALLSON")
            .text("DefendantName", "Ren\xe9" "e BRONT\xcb-OYELARAN")
            .text("CodeSection", "46.2-862 RECKLESS DRIVING SP")
            .int16("MeasuredSpeed", 81)
            .text("OccurredOn", "ROUTE 1 NORTHBOUND AT THE INTERSECTION WITH MAIN STR")
            .text("CourtComments", QByteArray(70, 'C'))
            .text("Notes", QByteArray("D\xe9" "fendant stated ") + QByteArray(559, 'N'));
        all += r.bytes();
    }
    return all;
}

// What the conversion must make of older bytes: the format version, the
// sections as they were, and the old notes padded with blanks.
QByteArray converted(QByteArray older)
{
    if (const qsizetype tail = older.size() % 1500)
        older.append(QByteArray(1500 - tail, ' '));
    QByteArray out;
    for (qsizetype at = 0; at < older.size(); at += 1500)
        out += QByteArray("\x3b\x01", 2) + older.mid(at, 941) + older.mid(at + 941, 559) + QByteArray(2057 - 559, ' ');
    return out;
}

// The files of a folder but the audit trail's, which records the restore
// (or its failure) and is never restored.
QMap<QString, QByteArray> filesIn(const QDir& dir)
{
    QMap<QString, QByteArray> files;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        if (!name.startsWith(QLatin1String("Sennet.Audit")))
            files[name] = ReadFile(dir.filePath(name));
    return files;
}

} // namespace

void tst_BackupRestore::olderOrCutBackupIsNamedAndConvertedOrNothingIsRestored_data()
{
    QTest::addColumn<bool>("older");
    QTest::addColumn<int>("tail");          // bytes of a cut last record
    QTest::addColumn<int>("convertAnswer"); // 0: not asked
    QTest::addColumn<int>("replaceAnswer"); // 0: not asked
    QTest::addColumn<bool>("diskFull");     // while converting
    QTest::newRow("older, Yes") << true << 0 << int(Msg::Yes) << int(Msg::Yes) << false;
    QTest::newRow("older, No") << true << 0 << int(Msg::No) << int(Msg::Yes) << false;
    QTest::newRow("older, Cancel") << true << 0 << int(Msg::Cancel) << 0 << false;
    QTest::newRow("older, Yes, then No to replacing") << true << 0 << int(Msg::Yes) << int(Msg::No) << false;
    QTest::newRow("older with a cut record, Yes") << true << 1000 << int(Msg::Yes) << int(Msg::Yes) << false;
    QTest::newRow("older, Yes, the disk fills") << true << 0 << int(Msg::Yes) << int(Msg::Yes) << true;
    QTest::newRow("current with a cut record, Yes") << false << 100 << 0 << int(Msg::Yes) << false;
    QTest::newRow("current with a cut record, No") << false << 100 << 0 << int(Msg::No) << false;
}

void tst_BackupRestore::olderOrCutBackupIsNamedAndConvertedOrNothingIsRestored()
{
    QFETCH(bool, older);
    QFETCH(int, tail);
    QFETCH(int, convertAnswer);
    QFETCH(int, replaceAnswer);
    QFETCH(bool, diskFull);
    TempDataFolder data;
    QTemporaryDir backup;
    const QDir from(backup.path());
    writeDataFiles(QStringLiteral("CURRENT"));
    WriteFile(QStringLiteral("Sennet.Old"), "an earlier backup");
    QByteArray backupData = older ? olderCitations()
                                  : CitationBytes3000::sample("VA2006000009", QDate(2006, 3, 7)).bytes().repeated(2);
    backupData += QByteArray(tail, 'T');
    WriteFile(from.filePath(CitationFileName), backupData);
    WriteFile(from.filePath(UserListFileName), QByteArray(500, 'B'));
    WriteFile(from.filePath(UserLogFileName), "backup log\r\n");
    const auto backupBefore = filesIn(from);
    const auto currentBefore = filesIn(QDir::current());
    Window window;
    FakeFolderPicker picker;
    ScriptedMessages msgs;

    const QString cut = tail ? QStringLiteral("Please note: the backed up 'Sennet.Data' is %1 bytes long,\r\n"
                                              "not a whole number of citations: its last\r\ncitation is incomplete.")
                                   .arg(backupData.size())
                             : QString();
    picker.answers << backup.path();
    if (convertAnswer)
        msgs.expect(QStringLiteral("You have an older version data file\r\nthat needs to be converted to a format\r\n"
                                   "that this version of Sennet can read.\r\n\r\nWould you like to convert\r\n"
                                   "your older data file now?\r\n\r\nIf you click 'Yes', a copy of your\r\n"
                                   "older data file will be kept as 'Sennet.Old'\r\njust in case you want to "
                                   "re-install your older\r\nprevious version of Sennet at some later time.\r\n\r\n"
                                   "If you click 'No', your older version data file\r\nwill be re-named to "
                                   "'Sennet.Old' and you\r\nwill start fresh with an empty data file.\r\n\r\n")
                        + (cut.isEmpty() ? QString() : cut + QStringLiteral("\r\n\r\n"))
                        + QStringLiteral("If you answer 'Cancel', nothing will be restored\r\n"
                                         "and your current data files stay as they are."),
                    QStringLiteral("Update existing data file?"), Msg::YesNoCancel | Msg::Question | Msg::DefaultButton3,
                    convertAnswer);
    if (replaceAnswer) {
        QString question = ReplaceQuestion;
        if (!older && tail)
            question.insert(question.indexOf(QStringLiteral("Are you sure")), cut + QStringLiteral("\r\n\r\n"));
        msgs.expect(question, QStringLiteral("Important! Please read carefully..."),
                    Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2, replaceAnswer);
    }
    const bool restored = convertAnswer != Msg::Cancel && replaceAnswer == Msg::Yes;
    InjectedFaults faults;
    if (diskFull) {
        faults.onlyFile(QStringLiteral("TempFile.$$$")).diskFullAfter(1000);
        msgs.expect(QStringLiteral("The file \"Sennet.Data\" could not be converted: No space left on device.\r\n\r\n"
                                   "The restored older data file\r\nhas been renamed to\r\nSennet.Old"),
                    QStringLiteral("File Error"), Msg::OKOnly | Msg::Exclamation, Msg::OK);
    } else if (restored && older)
        msgs.expect((convertAnswer == Msg::Yes ? QStringLiteral("Your data file has been\r\nsuccessfully converted!\r\n\r\n")
                                               : QString())
                        + QStringLiteral("Your older data file\r\nhas been renamed to\r\nSennet.Old"),
                    QStringLiteral("Finished Updating!"), Msg::OKOnly | Msg::Information, Msg::OK);
    expectOutcome(msgs, restored && !diskFull ? RestoredText : RestoreCancelledText, [&] { window.verifyAtRest(); });
    Restore(&window.widget);
    QVERIFY2(msgs.allMet(), qPrintable(msgs.report()));
    QCOMPARE(faults.fired(), diskFull);
    QCOMPARE(RestoreDone(), restored); // the data file was replaced: the list follows it
    ClearRestoreDone();

    // Every byte of both folders, and nothing left over (no work or partial files).
    QCOMPARE(filesIn(from), backupBefore);
    auto expected = currentBefore;
    if (restored) {
        expected[UserListFileName] = backupBefore[UserListFileName];
        expected[UserLogFileName] = backupBefore[UserLogFileName];
        if (!older)
            expected[CitationFileName] = backupData;
        else if (convertAnswer == Msg::Yes && !diskFull)
            expected[CitationFileName] = converted(backupData);
        else
            expected.remove(CitationFileName);
        if (older)
            expected[QStringLiteral("Sennet.Old")] = backupData;
    }
    const auto after = filesIn(QDir::current());
    QCOMPARE(after.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
}

void tst_BackupRestore::mainWindowMenuIsForFullAccessOnly()
{
    for (int level = 1; level <= 3; ++level) {
        MainWindowFixture f(level);
        f.write({citation("L-1", QDate(2006, 1, 1))});
        frmMain& w = f.open();
        f.msgs.expect(QStringLiteral("Full access level privileges\r\nare required to use this feature."),
                      QStringLiteral("Current Access Level Inadequate"), Msg::Critical | Msg::OKOnly, Msg::OK);
        w.cmdBackupRestore_Click();
        QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
        QVERIFY(!w.findChild<QMenu*>(QStringLiteral("menuBackupRestoremenu")));
    }

    MainWindowFixture f(4);
    f.write({citation("L-1", QDate(2006, 1, 1))});
    frmMain& w = f.open();
    w.cmdBackupRestore_Click();
    QMenu* menu = w.findChild<QMenu*>(QStringLiteral("menuBackupRestoremenu"));
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("Backup and Restore Options"));
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text().remove(u'&'));
    QCOMPARE(items, (QStringList{QStringLiteral("Backup the Sennet data files"),
                                 QStringLiteral("Restore the Sennet data files"), QStringLiteral("-"),
                                 QStringLiteral("Exit this Menu")}));
    menu->close();
    w.menuBackupRestore[4]->trigger(); // does nothing, asks nothing
    QVERIFY(f.msgs.allMet());
}

void tst_BackupRestore::mainWindowReloadsAfterRestoreEvenWhenALaterFileFails()
{
    MainWindowFixture f(4);
    f.write({citation("HERE-1", QDate(2006, 1, 1))});
    frmMain& w = f.open();
    QCOMPARE(w.CitationsInList(), 1);

    QTemporaryDir backup;
    const QDir from(backup.path());
    WriteCitations(from.filePath(CitationFileName),
                   {citation("OLD-1", QDate(2005, 1, 1)), citation("OLD-2", QDate(2005, 2, 1))});
    WriteFile(from.filePath(UserListFileName), "users");
    // The user list here cannot be replaced (a folder has its name), so the
    // restore stops after the citation file was already replaced.
    QVERIFY(QDir().mkdir(UserListFileName));
    FakeFolderPicker picker;
    picker.answers << backup.path();
    expectReplace(f.msgs, Msg::Yes);
    f.msgs.expect(QStringLiteral("There is some kind of problem\r\ntrying to restore User.List\r\n\r\n"
                                 "The file \"%1\" could not be replaced: Is a directory.")
                      .arg(QDir::toNativeSeparators(QDir::current().filePath(UserListFileName))),
                  QStringLiteral("File Restore Error"), Msg::Exclamation | Msg::OKOnly, Msg::OK);
    expectOutcome(f.msgs, RestoreCancelledText);
    w.cmdBackupRestore_Click();
    w.menuBackupRestore[2]->trigger();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));
    QCOMPARE(w.CitationsInList(), 2);
    QVERIFY(!RestoreDone());
    QVERIFY(w.isEnabled());
    // The record view shows the restored citation the list selects, not the
    // one replaced, so an edit saved now cannot write it over the restored one.
    QCOMPARE(w.SelectedRecordNumber(), 2);
    QCOMPARE(w.txtField[2]->text(), QStringLiteral("OLD-2"));
}

QTEST_MAIN(tst_BackupRestore)
#include "tst_backuprestore.moc"

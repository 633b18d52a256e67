#include "backup/modBackupRestore.h"

#include "app/DataFileCheck.h"
#include "backup/modFolderBrowse.h"
#include "platform/ApplicationTitle.h"
#include "platform/Messages.h"
#include "store/CitationRecord.h"
#include "platform/Progress.h"
#include "session/AuditNotice.h"
#include "storage/AuditEvents.h"
#include "store/DataFileNames.h"
#include "store/FileCopy.h"
#include "store/FileIo.h"
#include "store/LegacyConversion.h"
#include "storage/Storage.h"
#include "store/CitationFile.h"
#include "widgets/BusyGuard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>
#include <limits>
#include <sys/stat.h>

namespace modBackupRestore {

namespace {

bool g_restoreDone = false;

// The window during the copy loop: wait pointer, no input, and a caption
// naming the file in hand; all put back on every way out.
class CopyingWindow {
public:
    explicit CopyingWindow(QWidget* window) : m_window(window), m_busy(window)
    {
        if (m_window)
            m_caption = m_window->windowTitle();
    }
    ~CopyingWindow()
    {
        if (m_window) {
            m_window->setWindowTitle(m_caption);
            m_window->repaint();
        }
    }
    void show(const QString& caption)
    {
        if (m_window) {
            m_window->setWindowTitle(caption);
            m_window->repaint();
        }
        QCoreApplication::processEvents();
    }

private:
    QWidget* m_window;
    BusyGuard m_busy;
    QString m_caption;
};

QString programFolder() { return QDir::currentPath(); }

QString inFolder(const QString& folder, const QString& name) { return QDir(folder).filePath(name); }

// Whether a restore would replace citations: the data folder's data file,
// or a server holding any (asked, too, when the server cannot tell).
bool holdsCitations()
{
    if (!storage().isServer())
        return QFileInfo::exists(inFolder(programFolder(), DataFileNames.value(0)));
    FileError error;
    return storage().citations().count(error) != 0;
}

// Lists the folder's normal files; false when the folder cannot be read.
bool listFiles(const QString& folder, QStringList& files)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    QDir dir(folder);
    files = dir.entryList(QDir::Files | QDir::NoDotAndDotDot);
    return true;
}

// The two refusals every run starts with: the program's own data folder ("You
// can't backup/restore"), and a folder that cannot be listed (`access` is
// the middle of that message). On success `chosen` ends with the separator
// and `present` lists its normal files.
bool acceptFolder(QString& chosen, const QString& verb, QStringList& present, const QString& access)
{
    // On a server the program has no data folder of its own to protect.
    if (!storage().isServer() && SameFolder(chosen, programFolder())) {
        MsgBox(QStringLiteral("You can't ") + verb + CRLF + ApplicationTitle() + QStringLiteral(" data") + CRLF
                   + QStringLiteral("to itself in the same folder!"),
               Msg::Critical | Msg::OKOnly, QStringLiteral("What are you doing?"));
        return false;
    }
    chosen = WithSeparator(chosen);
    if (!listFiles(chosen, present)) {
        MsgBox(QStringLiteral("There is some kind of problem trying to") + CRLF + access,
               Msg::Exclamation | Msg::OKOnly, QStringLiteral("Drive or Folder Access Problem"));
        return false;
    }
    return true;
}

QString sentence(const FileError& error);

void showRestoreError(const QString& name, const FileError& error)
{
    MsgBox(QStringLiteral("There is some kind of problem") + CRLF + QStringLiteral("trying to restore ") + name + CRLF
               + CRLF + sentence(error),
           Msg::Exclamation | Msg::OKOnly, QStringLiteral("File Restore Error"));
}

// Said before a citation file whose length is not whole records takes the
// place of the current one: its last citation is cut short.
QString incompleteNote(const QString& name, qint64 length)
{
    return QStringLiteral("Please note: the backed up '") + name + QStringLiteral("' is %1 bytes long,").arg(length)
        + CRLF + QStringLiteral("not a whole number of citations: its last") + CRLF
        + QStringLiteral("citation is incomplete.");
}

void showOutcome(const QString& outcome) { MsgBox(outcome, Msg::OKOnly, ApplicationTitle()); }

// A failure as the last sentence of a message: a file's gets its full stop,
// a server's sentence has its own.
QString sentence(const FileError& error)
{
    const QString text = error.message();
    return !error.text.isEmpty() && text.endsWith(u'.') ? text : text + u'.';
}

// What every data file is called together, where one failure is about all
// three (a server's data read or replaced in one step).
QString allDataFiles() { return QStringLiteral("the ") + ApplicationTitle() + QStringLiteral(" data files"); }

// A backup or restore file read whole through the file layer.
bool readWhole(const QString& path, QByteArray& bytes, FileError& error)
{
    error.clear();
    FileIo::File file;
    QString what;
    if (!file.open(path, FileIo::File::ReadOnly, what)) {
        error = {path, what};
        return false;
    }
    const qint64 size = file.size();
    if (size < 0 || size > std::numeric_limits<qsizetype>::max() / 2) {
        error = {path, QStringLiteral("could not be read: %1").arg(size < 0 ? file.reason() : QStringLiteral("too large"))};
        return false;
    }
    bytes.resize(qsizetype(size));
    if (file.readAt(0, bytes.data(), size) != size) {
        error = {path, QStringLiteral("could not be read: %1").arg(file.reason())};
        return false;
    }
    return true;
}

// The server's backup: one consistent snapshot of everything it holds,
// written as the three files of a data folder, byte for byte what a folder
// holding the same data would hold. A part that is empty has no file, as a
// folder keeps none; the backup skips it as it skips a missing file.
// Returns the cancel text on a failure (told to the user), else empty.
QString backUpServer(CopyingWindow& copying, const QString& chosen)
{
    StoreContents contents;
    FileError error;
    if (!storage().readContents(contents, error)) {
        MsgBox(QStringLiteral("There is some kind of problem") + CRLF + QStringLiteral("trying to copy ") + allDataFiles()
                   + CRLF + CRLF + sentence(error),
               Msg::Exclamation | Msg::OKOnly, QStringLiteral("File Backup Error"));
        return BackupCancelledText;
    }
    QByteArray citations, users;
    citations.reserve(qsizetype(contents.citations.size()) * CitationLayout::RecordLength);
    for (const CitationRecord& c : contents.citations)
        citations += c.bytes();
    for (const UserRecord& u : contents.users)
        users += u.bytes();
    const QByteArray* files[] = {&citations, &users, &contents.userLog};
    for (int i = 0; i < DataFileNames.size() && i < 3; ++i) {
        const QString& name = DataFileNames[i];
        if (files[i]->isEmpty())
            continue;
        copying.show(QStringLiteral("Copying ") + name);
        if (!FileCopy::WriteFile(*files[i], inFolder(chosen, name), error)) {
            MsgBox(QStringLiteral("There is some kind of problem") + CRLF + QStringLiteral("trying to copy ") + name
                       + CRLF + CRLF + sentence(error),
                   Msg::Exclamation | Msg::OKOnly, QStringLiteral("File Backup Error"));
            return BackupCancelledText;
        }
    }
    return QString();
}

// The server's restore: the backup's files read whole, the citations as a
// data folder would list them (an older file converted or left out as the
// user chose, a cut last citation completed with blanks when more than half
// of it is there), and everything put in place of the server's data in one
// transaction, so a failure leaves the server as it was. A file the backup
// lacks leaves that part of the server's data as it is.
// Returns the cancel text on a failure (told to the user), else empty.
// A restore replaces what every desk is looking at: while other desks work
// on the server it is refused, naming them. True when none is. A look-up
// that fails is told when `tellFailure`, else let pass: the replacement
// that follows then says what is wrong with the server.
bool noOtherDesks(bool tellFailure)
{
    QStringList desks;
    FileError error;
    if (!storage().otherDesks(desks, error)) {
        if (!tellFailure)
            return true;
        showRestoreError(allDataFiles(), error);
        return false;
    }
    if (desks.isEmpty())
        return true;
    MsgBox(QStringLiteral("The data cannot be restored while other desks") + CRLF
               + QStringLiteral("are working on the server:") + CRLF + CRLF + desks.join(CRLF) + CRLF + CRLF
               + QStringLiteral("Please have them log out first,") + CRLF + QStringLiteral("then restore again."),
           Msg::Exclamation | Msg::OKOnly, QStringLiteral("Other Desks Are Working"));
    return false;
}

QString restoreServer(CopyingWindow& copying, const QString& chosen, const QStringList& toCopy,
                      const QStringList& lacking, int conversion)
{
    StoreContents contents, current;
    FileError error;
    if (!lacking.isEmpty() && !storage().readContents(current, error)) {
        showRestoreError(allDataFiles(), error);
        return RestoreCancelledText;
    }
    for (const QString& name : toCopy) {
        copying.show(QStringLiteral("Restoring ") + name);
        QByteArray bytes;
        if (!readWhole(inFolder(chosen, name), bytes, error)) {
            showRestoreError(name, error);
            return RestoreCancelledText;
        }
        if (name == DataFileNames.value(0)) {
            if (conversion == Msg::No)
                continue;
            if (conversion == Msg::Yes)
                bytes = ConvertLegacyBytes(bytes);
            const qint64 count = CitationFile::CountForLength(bytes.size());
            contents.citations.reserve(size_t(count));
            for (qint64 n = 0; n < count; ++n) {
                const qint64 at = n * CitationLayout::RecordLength;
                contents.citations.push_back(CitationRecord::fromBytes(
                    bytes.constData() + at, qMin<qint64>(CitationLayout::RecordLength, bytes.size() - at)));
            }
        } else if (name == DataFileNames.value(1)) {
            for (qsizetype at = 0; at + UserLayout::RecordLength <= bytes.size(); at += UserLayout::RecordLength)
                contents.users.append(UserRecord::fromBytes(bytes.constData() + at, UserLayout::RecordLength));
        } else {
            contents.userLog = bytes;
        }
    }
    if (lacking.contains(DataFileNames.value(1)))
        contents.users = current.users;
    if (lacking.contains(DataFileNames.value(2)))
        contents.userLog = current.userLog;
    copying.show(QStringLiteral("Restoring ") + allDataFiles());
    // A desk that logged in while the user answered the questions.
    if (!noOtherDesks(false))
        return RestoreCancelledText;
    if (!storage().replaceContents(contents, error)) {
        showRestoreError(allDataFiles(), error);
        return RestoreCancelledText;
    }
    return QString();
}

} // namespace

bool RestoreDone() { return g_restoreDone; }
void ClearRestoreDone() { g_restoreDone = false; }

bool SameFolder(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (ca.isEmpty() || cb.isEmpty())
        return false;
    if (ca == cb)
        return true;
    // A file system that ignores letter case (or another way of reaching the
    // same folder) shows as one folder on one device.
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(ca).constData(), &sa) != 0 || ::stat(QFile::encodeName(cb).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString WithSeparator(const QString& folder)
{
    const QString native = QDir::toNativeSeparators(folder);
    return native.endsWith(QDir::separator()) ? native : native + QDir::separator();
}

void Backup(QWidget* window)
{
    const QString title = ApplicationTitle();
    QString chosen = BrowseForFolder(window, QStringLiteral("Select a disk/drive/folder to copy (backup)") + CRLF
                                                 + QStringLiteral("your ") + title + QStringLiteral(" data files to..."));
    if (chosen.isEmpty())
        return;

    QString outcome;
    QStringList present;
    if (!acceptFolder(chosen, QStringLiteral("backup"), present,
                      QStringLiteral("access the selected backup location") + CRLF
                          + QStringLiteral("that you specified...")))
        outcome = BackupCancelledText;

    if (outcome.isEmpty()) {
        if (!present.isEmpty() && !present.contains(DataFileNames.value(0))) {
            const int answer = MsgBox(QStringLiteral("The data backup location you selected,") + CRLF + CRLF
                                          + u'\'' + chosen + u'\'' + CRLF + CRLF
                                          + QStringLiteral("contains files not related to ") + title + u'!' + CRLF
                                          + QStringLiteral("Are you sure you wish to continue with this backup?"),
                                      Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2, QStringLiteral("Caution!"));
            if (answer == Msg::No)
                outcome = BackupCancelledText;
        } else {
            const int answer = MsgBox(QStringLiteral("You have selected") + CRLF + CRLF + u'\'' + chosen + u'\'' + CRLF
                                          + CRLF + QStringLiteral("as your data backup location.") + CRLF
                                          + QStringLiteral("Please click <OK> to continue."),
                                      Msg::Information | Msg::OKCancel, QStringLiteral("Backup Procedure"));
            if (answer != Msg::OK)
                outcome = BackupCancelledText;
        }
    }

    const bool copies = outcome.isEmpty();
    QStringList copied;
    QString failure;
    if (outcome.isEmpty() && storage().isServer()) {
        CopyingWindow copying(window);
        outcome = backUpServer(copying, chosen);
        if (outcome.isEmpty()) {
            for (const QString& name : DataFileNames)
                if (QFileInfo::exists(inFolder(chosen, name)))
                    copied << name;
        } else {
            failure = outcome;
        }
    } else if (outcome.isEmpty()) {
        CopyingWindow copying(window);
        for (const QString& name : DataFileNames) {
            const QString source = inFolder(programFolder(), name);
            if (!QFileInfo::exists(source))
                continue;
            copying.show(QStringLiteral("Copying ") + name);
            FileError error;
            if (!FileCopy::CopyFile(source, inFolder(chosen, name), error)) {
                failure = error.message();
                MsgBox(QStringLiteral("There is some kind of problem") + CRLF + QStringLiteral("trying to copy ") + name
                           + CRLF + CRLF + error.message() + u'.',
                       Msg::Exclamation | Msg::OKOnly, QStringLiteral("File Backup Error"));
                outcome = BackupCancelledText;
                break;
            }
            copied << name;
        }
    }
    if (copies)
        RecordOrTell(AuditEvents::backup(chosen, copied, failure.isEmpty() ? QStringLiteral("done") : failure),
                     QStringLiteral("this backup"));

    if (outcome.isEmpty())
        outcome = QStringLiteral("Your current ") + title + QStringLiteral(" data files") + CRLF
            + QStringLiteral("have been successfully backed up!");
    showOutcome(outcome);
}

void Restore(QWidget* window)
{
    const QString title = ApplicationTitle();
    if (storage().isServer() && !noOtherDesks(true)) {
        showOutcome(RestoreCancelledText);
        return;
    }
    QString chosen = BrowseForFolder(window, QStringLiteral("Select the disk/drive/folder that contains your") + CRLF
                                                 + QStringLiteral("previously backed up ") + title
                                                 + QStringLiteral(" data files") + CRLF
                                                 + QStringLiteral("that you wish to restore..."));
    if (chosen.isEmpty())
        return;

    QString outcome;
    QStringList present;
    if (!acceptFolder(chosen, QStringLiteral("restore"), present,
                      QStringLiteral("access the backed up data files at") + CRLF
                          + QStringLiteral("the location that you specified.")))
        outcome = RestoreCancelledText;

    if (outcome.isEmpty() && !QFileInfo(inFolder(chosen, DataFileNames.value(0))).isFile()) {
        MsgBox(u'\'' + chosen + u'\'' + CRLF + CRLF + QStringLiteral("doesn't appear to contain previously saved") + CRLF
                   + QStringLiteral("backup data file(s) you need to restore") + CRLF + QStringLiteral("your ") + title
                   + QStringLiteral(" data."),
               Msg::Information | Msg::OKOnly, QStringLiteral("Required file(s) missing"));
        outcome = RestoreCancelledText;
    }

    // Before anything is replaced, every file the backup holds must be
    // readable; files it lacks (a backup skips files that did not exist)
    // are left as they are and named at the end.
    QStringList toCopy, lacking;
    if (outcome.isEmpty()) {
        for (const QString& name : DataFileNames) {
            const QFileInfo source(inFolder(chosen, name));
            if (!source.exists()) {
                lacking << name;
                continue;
            }
            // The user is told which file and why, as for a failed copy.
            FileIo::File probe;
            QString what;
            if (!probe.open(source.filePath(), FileIo::File::ReadOnly, what)) {
                showRestoreError(name, FileError{source.filePath(), what});
                outcome = RestoreCancelledText;
                break;
            }
            toCopy << name;
        }
    }

    // The backup's citation file is looked at as the start-up looks at the
    // data file: one of an earlier version is restored only to be converted
    // (or kept aside) at once, so the list never reads it in the new layout
    // and no save mixes the two layouts in one file.
    int conversion = 0;
    QString note;
    if (outcome.isEmpty()) {
        const QString name = DataFileNames.value(0);
        qint64 length = 0;
        FileError error;
        const DataFileFormat format = InspectDataFileFormat(inFolder(chosen, name), length, error);
        if (error.isError()) {
            showRestoreError(name, error);
            outcome = RestoreCancelledText;
        } else {
            const int recordLength = format == DataFileFormat::NeedsConversion ? LegacyLayout::RecordLength
                                                                                : CitationLayout::RecordLength;
            if (length % recordLength != 0)
                note = incompleteNote(name, length);
            if (format == DataFileFormat::NeedsConversion) {
                conversion = MsgBox(ConvertQuestionText(storage().isServer() ? ConvertAskedBy::ServerRestore
                                                                             : ConvertAskedBy::Restore,
                                                        note),
                                    Msg::YesNoCancel | Msg::Question | Msg::DefaultButton3,
                                    QStringLiteral("Update existing data file?"));
                if (conversion != Msg::Yes && conversion != Msg::No)
                    outcome = RestoreCancelledText;
                note.clear(); // said
            }
        }
    }

    if (outcome.isEmpty() && holdsCitations()) {
        const int answer = MsgBox(QStringLiteral("Note:") + CRLF + CRLF
                                      + QStringLiteral("You are about to replace your current data files") + CRLF
                                      + QStringLiteral("with previously made backup data files.") + CRLF + CRLF
                                      + QStringLiteral("Once completed, this action can not be undone.") + CRLF + CRLF
                                      + (note.isEmpty() ? QString() : note + CRLF + CRLF)
                                      + QStringLiteral("Are you sure you're ready to continue?"),
                                  Msg::Exclamation | Msg::YesNo | Msg::DefaultButton2,
                                  QStringLiteral("Important! Please read carefully..."));
        if (answer != Msg::Yes)
            outcome = RestoreCancelledText;
    }

    bool dataReplaced = false;
    const bool copies = outcome.isEmpty();
    QStringList restored;
    QString failure;
    if (outcome.isEmpty() && storage().isServer()) {
        CopyingWindow copying(window);
        outcome = restoreServer(copying, chosen, toCopy, lacking, conversion);
        conversion = 0; // done as the citations were read
        if (outcome.isEmpty())
            restored = toCopy;
        else
            failure = outcome;
    } else if (outcome.isEmpty()) {
        CopyingWindow copying(window);
        for (const QString& name : toCopy) {
            copying.show(QStringLiteral("Restoring ") + name);
            FileError error;
            Progress progress(QStringLiteral("Restore"), QStringLiteral("Restoring ") + name + QStringLiteral("..."));
            if (!FileCopy::CopyFile(inFolder(chosen, name), inFolder(programFolder(), name), error, progress.fn())) {
                failure = error.message();
                showRestoreError(name, error);
                outcome = RestoreCancelledText;
                break;
            }
            // The list must follow the data file as soon as it is replaced,
            // whatever happens to the files after it.
            if (name == DataFileNames.value(0))
                g_restoreDone = dataReplaced = true;
            restored << name;
        }
    }

    if (dataReplaced && conversion) {
        FileError error;
        if (!CarryOutConversionAnswer(window, conversion, error)) {
            // An older file must not stay under the data file's name: it is
            // put aside whole, and the backup still holds it.
            FileError aside;
            const bool keptAside = conversion == Msg::Yes && KeepDataFileAsBackup(aside);
            QString text = error.message() + u'.';
            if (keptAside)
                text += CRLF + CRLF + QStringLiteral("The restored older data file") + CRLF
                    + QStringLiteral("has been renamed to") + CRLF + LegacyBackupFileName();
            MsgBox(text, Msg::OKOnly | Msg::Exclamation, QStringLiteral("File Error"));
            outcome = RestoreCancelledText;
            failure = error.message();
        }
    }
    // The audit trail is not among the files copied: a restore never rolls it back.
    if (copies)
        RecordOrTell(AuditEvents::restore(chosen, restored, failure.isEmpty() ? QStringLiteral("done") : failure),
                     QStringLiteral("this restore"));

    if (outcome.isEmpty()) {
        g_restoreDone = true;
        outcome = QStringLiteral("Your previously backed up ") + CRLF + title + QStringLiteral(" data files") + CRLF
            + QStringLiteral("has been successfully restored!");
        if (!lacking.isEmpty())
            outcome += CRLF + CRLF + QStringLiteral("The backup did not hold these files,") + CRLF
                + QStringLiteral("so they were left as they were:") + CRLF + lacking.join(CRLF);
    }
    showOutcome(outcome);
}

} // namespace modBackupRestore

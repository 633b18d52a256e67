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
#include "widgets/BusyGuard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>
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

// The two refusals every run starts with: the program's own folder ("You
// can't backup/restore"), and a folder that cannot be listed (`access` is
// the middle of that message). On success `chosen` ends with the separator
// and `present` lists its normal files.
bool acceptFolder(QString& chosen, const QString& verb, QStringList& present, const QString& access)
{
    if (SameFolder(chosen, programFolder())) {
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

void showRestoreError(const QString& name, const FileError& error)
{
    MsgBox(QStringLiteral("There is some kind of problem") + CRLF + QStringLiteral("trying to restore ") + name + CRLF
               + CRLF + error.message() + u'.',
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
    if (outcome.isEmpty()) {
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
                conversion = MsgBox(ConvertQuestionText(ConvertAskedBy::Restore, note),
                                    Msg::YesNoCancel | Msg::Question | Msg::DefaultButton3,
                                    QStringLiteral("Update existing data file?"));
                if (conversion != Msg::Yes && conversion != Msg::No)
                    outcome = RestoreCancelledText;
                note.clear(); // said
            }
        }
    }

    if (outcome.isEmpty() && QFileInfo::exists(inFolder(programFolder(), DataFileNames.value(0)))) {
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
    if (outcome.isEmpty()) {
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

// The main window's list exports and imports: the list on display as a CSV
// file, the citations of a CSV file added to the list, and the list's counts
// in the statistics window.
#include "workspace/frmMain.h"

#include "platform/ApplicationTitle.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/Progress.h"
#include "platform/OpenFileDialog.h"
#include "session/AuditNotice.h"
#include "session/ProcessState.h"
#include "storage/AuditEvents.h"
#include "platform/SaveFileDialog.h"
#include "storage/Storage.h"
#include "store/CitationCsv.h"
#include "store/DataFileNames.h"
#include "store/LegacyConversion.h"
#include "widgets/BusyGuard.h"
#include "workspace/CitationList.h"
#include "workspace/CitationImport.h"
#include "workspace/frmImport.h"
#include "workspace/frmStatistics.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QProgressDialog>
#include <QStandardPaths>

namespace {

const QString ExportCaption = QStringLiteral("Export List");

// Whether `target` would write over a file the program keeps its data in.
bool isDataFile(const QString& target)
{
    const QFileInfo wanted(target);
    const QString wantedPath = wanted.exists() ? wanted.canonicalFilePath() : wanted.absoluteFilePath();
    QStringList own = DataFileNames;
    own << WorkFileName << LegacyBackupFileName();
    for (const QString& name : own) {
        const QFileInfo data(name);
        const QString dataPath = data.exists() ? data.canonicalFilePath() : data.absoluteFilePath();
        if (QString::compare(dataPath, wantedPath, Qt::CaseSensitive) == 0)
            return true;
    }
    return false;
}

const QString ImportCaption = QStringLiteral("Import Citations");

QString& lastImportFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QList<int> frmMain::ListedRecordNumbers() const
{
    QList<int> records;
    const int count = listModel->rowCount();
    records.reserve(count);
    for (int r = 0; r < count; ++r)
        records << listModel->recNumAt(r);
    return records;
}

void frmMain::cmdExportList_Click()
{
    if (Adding || Editing || CitationsInList() < 1)
        return;
    const QString suggested = QDir(SaveFolder())
                                  .filePath(QStringLiteral("Citations %1.csv")
                                                .arg(Now().date().toString(QStringLiteral("yyyy-MM-dd"))));
    const QStringList types{QStringLiteral("CSV, the columns of the list (*.csv)"),
                            QStringLiteral("CSV, every field of each citation (*.csv)")};
    int type = 0;
    QString target = AskSaveFileName(ExportCaption, suggested, types, type);
    if (target.isEmpty())
        return;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".csv");
    if (isDataFile(target)) {
        MsgBox(QStringLiteral("The file \"%1\" is one of the data files of ").arg(QFileInfo(target).fileName())
                   + ApplicationTitle() + u'.' + CRLF + CRLF
                   + QStringLiteral("Please choose another name for the export."),
               Msg::Exclamation | Msg::OKOnly, ExportCaption);
        return;
    }
    RememberSaveFolder(target);

    FileError error;
    int written = 0;
    {
        BusyGuard busy(this);
        Progress progress(ExportCaption, QStringLiteral("Exporting the list..."), true);
        written = ExportCitationCsvFile(target, ListedRecordNumbers(),
                                        type == 1 ? CsvColumns::Every : CsvColumns::Listed,
                                        SourceOf(storage().citations()), error, progress.fn());
    }
    if (written < 0 && !error.isError())
        return; // stopped: the target is as it was
    const QString shown = QDir::toNativeSeparators(QFileInfo(target).absoluteFilePath());
    if (written < 0) {
        MsgBox(error.message() + CRLF + CRLF + QStringLiteral("The list was not exported."),
               Msg::Critical | Msg::OKOnly, QStringLiteral("List Not Exported"));
        return;
    }
    RecordOrTell(AuditEvents::listExported(shown, written, type == 1), QStringLiteral("this export"));
    MsgBox((written == 1 ? QStringLiteral("1 citation was exported to")
                         : QStringLiteral("%1 citations were exported to").arg(written))
               + CRLF + CRLF + shown,
           Msg::Information | Msg::OKOnly, ExportCaption);
}

void frmMain::cmdStatistics_Click()
{
    if (Adding || Editing || CitationsInList() < 1)
        return;
    frmStatistics window(ListedRecordNumbers(), frame[1]->title(), this);
    window.exec();
}

void frmMain::cmdImportList_Click()
{
    if (Adding || Editing || !FullListMode || CurrentAccessLevel < 3)
        return;
    if (lastImportFolder().isEmpty()) {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        lastImportFolder() = QDir(documents).exists() ? documents : QDir::homePath();
    }
    const QString source = AskOpenFileName(ImportCaption, lastImportFolder(),
                                           {QStringLiteral("CSV files (*.csv *.CSV)"), QStringLiteral("All files (*)")});
    if (source.isEmpty())
        return;
    lastImportFolder() = QFileInfo(source).absolutePath();

    ImportPreview preview;
    QString error;
    StorageImportStore store(storage().citations());
    {
        QProgressDialog progress(QStringLiteral("Reading \"%1\"...").arg(QFileInfo(source).fileName()),
                                 QStringLiteral("Cancel"), 0, 100, this);
        progress.setObjectName(QStringLiteral("importProgress"));
        progress.setWindowTitle(ImportCaption);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(300);
        const bool read = CitationImport::preview(source, store, {Now(), CurrentUserName}, preview, error,
                                                  [&progress](int percent) {
                                                      progress.setValue(percent);
                                                      return !progress.wasCanceled();
                                                  });
        if (!read && error.isEmpty())
            return; // cancelled: nothing read, nothing saved
    }
    if (!error.isEmpty()) {
        MsgBox(error + CRLF + CRLF + QStringLiteral("Nothing has been imported."), Msg::Critical | Msg::OKOnly,
               ImportCaption);
        return;
    }
    if (preview.rows.isEmpty()) {
        MsgBox(QStringLiteral("The file \"%1\" holds no citations, only its heading row.").arg(preview.fileName),
               Msg::Information | Msg::OKOnly, ImportCaption);
        return;
    }
    frmImport window(preview, this);
    if (window.exec() != QDialog::Accepted)
        return;

    FileError failure;
    qint64 added = 0;
    {
        BusyGuard busy(this);
        added = CitationImport::commit(store, preview, window.tickedRows(), Now(), failure);
    }
    if (added < 0) {
        MsgBox(failure.message() + CRLF + CRLF + QStringLiteral("No citation has been imported; the data file is as it was."),
               Msg::Critical | Msg::OKOnly, QStringLiteral("Citations Not Imported"));
        return;
    }
    LoadCitationList();
    ShowSelectedCitation();
    UpdateButtons();
    MsgBox((added == 1 ? QStringLiteral("1 citation was imported from")
                       : QStringLiteral("%1 citations were imported from").arg(added))
               + CRLF + CRLF + QDir::toNativeSeparators(QFileInfo(source).absoluteFilePath()),
           Msg::Information | Msg::OKOnly, ImportCaption);
}

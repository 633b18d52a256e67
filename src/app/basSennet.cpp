#include "app/basSennet.h"

#include "session/ProcessState.h"
#include "app/SingleInstance.h"
#include "app/frmTitlePage.h"
#include "platform/Messages.h"
#include "platform/Printer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

QString ChooseDataFolder()
{
    QString folder = qEnvironmentVariable("SENNET_DATA");
    if (folder.isEmpty())
        folder = QDir::currentPath();
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    return QDir::currentPath();
}

void RenameOlderDataFile()
{
    const QString older = ApplicationTitle() + QStringLiteral(".dat");
    if (QFile::exists(older) && !QFile::exists(CitationFileName))
        QFile::rename(older, CitationFileName);
}

bool StartUp(SingleInstanceGuard& guard)
{
    switch (guard.acquire()) {
    case SingleInstanceGuard::Outcome::Acquired:
        break;
    case SingleInstanceGuard::Outcome::AlreadyRunning:
        MsgBox(AlreadyRunningText(), Msg::Critical | Msg::OKOnly, AlreadyRunningCaption);
        return false;
    case SingleInstanceGuard::Outcome::Failed:
        // Not another copy: the folder refused the lock file (read-only,
        // full, ...). Say so, or the user hunts for a copy that is not there.
        MsgBox(guard.failureText(), Msg::Critical | Msg::OKOnly, AlreadyRunningCaption);
        return false;
    }
    InitialiseProcessState();
    RenameOlderDataFile();
    SetPrinterUnitToInches();
    return true;
}

int Main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle());
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionRevision));
    const QString folder = ChooseDataFolder();
    if (!QFileInfo(folder).isWritable())
        QTextStream(stderr) << "Sennet: the data folder " << folder << " is not writable.\n";

    SingleInstanceGuard guard;
    if (!StartUp(guard))
        return 0;

    auto* title = new frmTitlePage;
    title->show();
    return app.exec();
}

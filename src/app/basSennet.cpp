#include "app/basSennet.h"

#include "session/ProcessState.h"
#include "app/CommandLine.h"
#include "app/DataFolder.h"
#include "app/ServerChoice.h"
#include "app/SingleInstance.h"
#include "app/StartupHooks.h"
#include "app/frmTitlePage.h"
#include "audit/AuditEntry.h"
#include "platform/Messages.h"
#include "platform/Printer.h"
#include "session/ShutDown.h"
#include "storage/AuditStore.h"
#include "storage/Storage.h"
#include "store/DataFileNames.h"
#include "store/FileIo.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTextStream>
#include <QTimer>

void RenameOlderDataFile()
{
    const QString older = ApplicationTitle() + QStringLiteral(".dat");
    if (QFile::exists(older) && !QFile::exists(CitationFileName))
        QFile::rename(older, CitationFileName);
}

void RemoveLeftoverWorkFile()
{
    // A work file is only ever in use inside one deletion or conversion, so
    // one found while this copy holds the folder's lock was left by a run
    // that was killed; the data file beside it is whole under its own name.
    QString reason;
    if (QFileInfo(WorkFileName).isFile() || QFileInfo(WorkFileName).isSymLink())
        FileIo::removeFile(WorkFileName, reason);
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
    // With the lock held no one else writes the audit trail: an entry whose
    // count a killed run did not write, or a withdrawal cut short, is put in
    // order now.
    FileError auditError;
    if (!storage().audit().finishInterrupted(auditError))
        MsgBox(auditError.message() + u'.', Msg::Exclamation | Msg::OKOnly, QStringLiteral("Audit Trail"));
    RemoveLeftoverWorkFile();
    RenameOlderDataFile();
    SetPrinterUnitToInches();
    return true;
}

static void registerIcons()
{
    static const bool registered = [] {
        // The pictures are linked from a static library, so their resource
        // is registered by hand before the first look-up.
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    Q_UNUSED(registered);
}

QIcon ApplicationIcon()
{
    registerIcons();
    QIcon icon;
    for (int size : ApplicationIconSizes)
        icon.addFile(QStringLiteral(":/icons/sennet-%1.png").arg(size), QSize(size, size));
    return icon;
}

namespace {

void SetUpApplication()
{
    QApplication::setApplicationName(ApplicationTitle());
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionRevision));
    QApplication::setWindowIcon(ApplicationIcon());
    // Lets the desktop match the windows to the menu entry (and its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.sennet.sennet"));
    // An intent file set aside is told once the operation that opened the
    // file is over, not from inside it.
    FileIo::setNoticeReceiver([](const QString& text) {
        QTimer::singleShot(0, qApp, [text] { MsgBox(text, Msg::OKOnly | Msg::Exclamation, QStringLiteral("File Error")); });
    });
}

// A run on an agency's server: connect (asking for the password where
// needed), then the title page as on a folder, without the folder's steps.
int RunOnServer(int argc, char** argv, const QString& url, bool fromMenu)
{
    QApplication app(argc, argv);
    SetUpApplication();
    // One copy per desk: any number of desks (and one user at two of them)
    // work on the server at once, but a desk's second copy is refused.
    QString serverName = url;
    if (serverAccess().loginOf) {
        const ServerLogin login = serverAccess().loginOf(url);
        serverName = login.host + u'\n' + login.database;
    }
    SingleInstanceGuard deskLock(QDir::tempPath(), DeskLockName(serverName, DeskName()));
    switch (deskLock.acquire()) {
    case SingleInstanceGuard::Outcome::Acquired:
        break;
    case SingleInstanceGuard::Outcome::AlreadyRunning:
        MsgBox(AlreadyRunningText(), Msg::Critical | Msg::OKOnly, AlreadyRunningCaption);
        return ExitOk;
    case SingleInstanceGuard::Outcome::Failed:
        MsgBox(deskLock.failureText(), Msg::Critical | Msg::OKOnly, AlreadyRunningCaption);
        return ExitOk;
    }
    std::unique_ptr<Storage> server;
    QString reason;
    switch (ConnectToServer(url, server, reason)) {
    case ServerConnection::Connected:
        break;
    case ServerConnection::Cancelled:
        QTextStream(stderr) << ApplicationTitle() << ": no password was given for the server; nothing was done.\n";
        return ExitServerUnusable;
    case ServerConnection::Failed: {
        const QString text = ServerUnusableText(reason);
        QTextStream(stderr) << QString(text).replace(CRLF, QStringLiteral(" ")) << '\n';
        // Started from the menu there is no terminal to read it on.
        if (fromMenu)
            MsgBox(text, Msg::Critical | Msg::OKOnly, QString());
        return ExitServerUnusable;
    }
    }
    StartUpOnServer(std::move(server));
    auto* title = new frmTitlePage;
    title->show();
    return app.exec();
}

} // namespace

void StartUpOnServer(std::unique_ptr<Storage> server)
{
    InitialiseProcessState();
    setStorage(std::move(server));
    // No data file of the folder's to check or convert, and none to tidy
    // away at the end.
    startupHooks().checkDataFileFormat = nullptr;
    SetDataFolderInUse(false);
    ShowWaitPointerDuringStoreCalls();
    SetPrinterUnitToInches();
}

int Main(int argc, char** argv)
{
    // The command line is read before anything else, so that --help and
    // --version need neither a display nor the data folder.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = ParseCommandLine(arguments);
    switch (commandLine.action) {
    case CommandLine::Action::Run:
        break;
    case CommandLine::Action::Help:
        QTextStream(stdout) << HelpText();
        return ExitOk;
    case CommandLine::Action::Version:
        QTextStream(stdout) << VersionLine() << '\n';
        return ExitOk;
    case CommandLine::Action::Refuse:
        QTextStream(stderr) << "sennet: " << commandLine.error << '\n' << UsageLine() << '\n';
        return ExitUsage;
    }

    SetDeskName(commandLine.desk);

    // An agency's server, when one is chosen, takes the data folder's place:
    // no folder is chosen, locked, checked or converted.
    const QString serverUrl = ChosenServerUrl(commandLine.server, commandLine.dataFolderArgument >= 0);
    if (!serverUrl.isEmpty())
        return RunOnServer(argc, argv, serverUrl, commandLine.fromMenu);

    const DataFolderChoice folder = ChooseDataFolder(commandLine.dataFolder, qEnvironmentVariable("SENNET_DATA"),
                                                     commandLine.fromMenu, QDir::currentPath(), UserDataHome());
    // The folder's name is used as text from here on; a name given in bytes
    // that do not decode would lead to another folder, so it is refused.
    QByteArray givenName;
    if (folder.source == DataFolderChoice::Source::Option)
        givenName = argv[commandLine.dataFolderArgument + 1];
    else if (folder.source == DataFolderChoice::Source::Environment)
        givenName = qgetenv("SENNET_DATA");
    QString reason;
    bool folderReady = IsFolderNameText(givenName);
    if (!folderReady)
        reason = FolderNameNotTextReason;
    else
        folderReady = MakeDataFolderCurrent(folder.path, reason);
    const QString unusable = folderReady ? QString() : DataFolderUnusableText(folder.path, reason);
    if (!folderReady)
        QTextStream(stderr) << QString(unusable).replace(CRLF, QStringLiteral(" ")) << '\n';
    // Started by hand the line above is read on the terminal; no window needed.
    if (!folderReady && !commandLine.fromMenu)
        return ExitDataFolderUnusable;

    QApplication app(argc, argv);
    SetUpApplication();

    if (!folderReady) {
        // Started from the menu there is no terminal to read it on.
        MsgBox(unusable, Msg::Critical | Msg::OKOnly, QString());
        return ExitDataFolderUnusable;
    }
    if (!QFileInfo(QDir::currentPath()).isWritable())
        QTextStream(stderr) << "Sennet: the data folder " << QDir::currentPath() << " is not writable.\n";

    SingleInstanceGuard guard;
    if (!StartUp(guard))
        return ExitOk;

    auto* title = new frmTitlePage;
    title->show();
    return app.exec();
}

#include "app/ServerChoice.h"

#include "platform/ApplicationTitle.h"
#include "platform/Messages.h"
#include "platform/Settings.h"
#include "storage/Storage.h"

#include <QApplication>
#include <QCursor>

namespace {

// The wait pointer for as long as it lives, where there is an application
// to show it.
class WaitPointer {
public:
    WaitPointer() : m_shown(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_shown)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitPointer()
    {
        if (m_shown)
            QApplication::restoreOverrideCursor();
    }
    WaitPointer(const WaitPointer&) = delete;
    WaitPointer& operator=(const WaitPointer&) = delete;

private:
    bool m_shown;
};

} // namespace

ServerAccess& serverAccess()
{
    static ServerAccess access;
    return access;
}

QString ChosenServerUrl(const QString& option, bool dataFolderGiven)
{
    if (!option.isEmpty())
        return option;
    if (dataFolderGiven)
        return QString();
    return GetSetting(ServerSettingsSection, ServerUrlKey).trimmed();
}

QString ServerPasswordPrompt(const ServerLogin& login)
{
    return QStringLiteral("The server \"%1\", database \"%2\",").arg(login.host, login.database) + CRLF
        + QStringLiteral("asks for the password of \"%1\":").arg(login.user);
}

ServerConnection ConnectToServer(const QString& url, std::unique_ptr<Storage>& storage, QString& message)
{
    storage.reset();
    message.clear();
    const ServerAccess& access = serverAccess();
    if (!access.open) {
        message = QStringLiteral("this program was built without the server's client library");
        return ServerConnection::Failed;
    }
    FileError error;
    bool passwordWanted = false;
    {
        WaitPointer waiting;
        storage = access.open(url, QString(), error, &passwordWanted);
    }
    if (!storage && passwordWanted) {
        const ServerLogin login = access.loginOf ? access.loginOf(url) : ServerLogin();
        const QString password = PasswordBox(ServerPasswordPrompt(login), ServerPasswordTitle);
        if (password.isEmpty())
            return ServerConnection::Cancelled;
        error.clear();
        WaitPointer waiting;
        storage = access.open(url, password, error, nullptr);
    }
    if (storage)
        return ServerConnection::Connected;
    message = error.message();
    return ServerConnection::Failed;
}

QString ServerUnusableText(const QString& reason)
{
    return ApplicationTitle() + QStringLiteral(" cannot work on its server:") + CRLF + reason;
}

void ShowWaitPointerDuringStoreCalls()
{
    setStoreWaitIndicator([](bool waiting) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        if (waiting)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
}

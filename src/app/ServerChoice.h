#pragma once
// Working on an agency's server instead of the data folder: which server
// this run uses, and connecting to it at start, asking for the password when
// the server wants one that libpq was not given (~/.pgpass, PGPASSWORD).
// The server's code (libpq) is linked into the program only: it hands its
// functions over through serverAccess() before the start-up runs.
#include "store/FileError.h"

#include <QString>
#include <functional>
#include <memory>

class Storage;

// The settings file's choice of a server: section [Server], key Url.
inline const QString ServerSettingsSection = QStringLiteral("Server");
inline const QString ServerUrlKey = QStringLiteral("Url");

// The server, database and role a connection string names, libpq's defaults
// filling what it leaves out.
struct ServerLogin {
    QString host, database, user;
};

struct ServerAccess {
    // Connects to `url` with `password` (none: libpq's own), checking that
    // the database holds Sennet's tables. Null on failure, with `error`
    // naming the server, the database and the reason, and `passwordWanted`
    // set when the server asked for a password that was not given.
    std::function<std::unique_ptr<Storage>(const QString& url, const QString& password, FileError& error,
                                           bool* passwordWanted)>
        open;
    std::function<ServerLogin(const QString& url)> loginOf;
};
ServerAccess& serverAccess();

// The server this run works on: `option` (--server) when given; else, unless
// a data folder was given on the command line, the settings file's
// [Server] Url; empty for the data folder.
QString ChosenServerUrl(const QString& option, bool dataFolderGiven);

// The password box's prompt for `login`.
QString ServerPasswordPrompt(const ServerLogin& login);
inline const QString ServerPasswordTitle = QStringLiteral("Server Password");

enum class ServerConnection {
    Connected, // `storage` holds the server's storage
    Failed,    // `message` says why (naming the server, the database and the reason)
    Cancelled, // the password box was cancelled
};

// Connects to `url` through serverAccess() with the wait pointer showing.
// When the server asks for a password libpq was not given, the password box
// asks for it and the connection is tried once more with it.
ServerConnection ConnectToServer(const QString& url, std::unique_ptr<Storage>& storage, QString& message);

// The message for a server that cannot be used at start (lines joined by
// CR LF, like every message of the program).
QString ServerUnusableText(const QString& reason);

// From now on every store call that waits on the server shows the wait
// pointer, whichever window made it.
void ShowWaitPointerDuringStoreCalls();

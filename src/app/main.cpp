// Sennet: the program's entry point. Wires the windows that follow each
// other (title page, admin window, main window), then runs the start-up.
#include "app/DataFileCheck.h"
#include "app/ServerChoice.h"
#include "app/StartupHooks.h"
#include "session/WindowHandOver.h"
#include "app/basSennet.h"
#include "help/frmManual.h"
#include "help/frmNewUser.h"
#include "users/frmAdmin.h"
#include "server/PgConnection.h"
#include "server/ServerStorage.h"
#include "store/CitationListFile.h"
#include "workspace/frmMain.h"

int main(int argc, char** argv)
{
    // The program owns its data folder: it keeps the list file there.
    CitationListFile::setWriting(true);
    windowHandOver().showAdminWindow = [] { (new frmAdmin)->show(); };
    windowHandOver().showMainWindow = [] { (new frmMain)->show(); };
    startupHooks().checkDataFileFormat = CheckDataFileAtStart;
    windowHandOver().showHelp = ShowHelpWindow;
    startupHooks().showNewUserOverview = ShowNewUserOverview;
    startupHooks().showFirstWindow = ShowAdminWindow;
    serverAccess().open = OpenServerStorage;
    serverAccess().loginOf = [](const QString& url) {
        const PgConnection::Login login = PgConnection::loginOf(url);
        return ServerLogin{login.host, login.database, login.user};
    };
    return Main(argc, argv);
}

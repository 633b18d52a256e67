// Sennet: the program's entry point. Wires the windows that follow the title
// page, then runs the start-up.
#include "app/StartupHooks.h"
#include "app/WindowHandOver.h"
#include "app/basSennet.h"
#include "users/frmAdmin.h"

int main(int argc, char** argv)
{
    StartupHooks& hooks = startupHooks();
    (void)hooks; // the windows wire themselves here as they are built
    windowHandOver().showAdminWindow = [] { (new frmAdmin)->show(); };
    startupHooks().showFirstWindow = ShowAdminWindow;
    return Main(argc, argv);
}

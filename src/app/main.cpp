// Sennet: the program's entry point. Wires the windows that follow the title
// page, then runs the start-up.
#include "app/StartupHooks.h"
#include "app/WindowHandOver.h"
#include "app/basSennet.h"
#include "workspace/frmMain.h"

int main(int argc, char** argv)
{
    StartupHooks& hooks = startupHooks();
    (void)hooks; // the windows wire themselves here as they are built
    windowHandOver().showMainWindow = [] { (new frmMain)->show(); };
    return Main(argc, argv);
}

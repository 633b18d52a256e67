// Sennet: the program's entry point. Wires the windows that follow the title
// page, then runs the start-up.
#include "app/StartupHooks.h"
#include "app/basSennet.h"

int main(int argc, char** argv)
{
    StartupHooks& hooks = startupHooks();
    (void)hooks; // the windows wire themselves here as they are built
    return Main(argc, argv);
}

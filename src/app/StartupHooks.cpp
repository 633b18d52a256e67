#include "app/StartupHooks.h"

StartupHooks& startupHooks()
{
    static StartupHooks hooks;
    return hooks;
}

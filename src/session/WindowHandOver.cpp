#include "session/WindowHandOver.h"

WindowHandOver& windowHandOver()
{
    static WindowHandOver handOver;
    return handOver;
}

void ShowAdminWindow()
{
    if (windowHandOver().showAdminWindow)
        windowHandOver().showAdminWindow();
}

void ShowMainWindow()
{
    if (windowHandOver().showMainWindow)
        windowHandOver().showMainWindow();
}

void ShowHelpTopic(int topic, QWidget* over)
{
    if (windowHandOver().showHelp)
        windowHandOver().showHelp(topic, over);
}

#pragma once
// The hand-overs between the program's main windows. The windows call these;
// the entry point (or a test) registers how each window is made, so that the
// admin window and the main window need not know each other's class.
#include <functional>

class QWidget;

struct WindowHandOver {
    std::function<void()> showAdminWindow; // a fresh admin window, modeless
    std::function<void()> showMainWindow;  // a fresh main window, modeless
    // Shows help topic `topic` modally over `over`.
    std::function<void(int topic, QWidget* over)> showHelp;
};

WindowHandOver& windowHandOver();

void ShowAdminWindow();
void ShowMainWindow();
void ShowHelpTopic(int topic, QWidget* over);

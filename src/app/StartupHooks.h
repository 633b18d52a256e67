#pragma once
// The steps of the title page's Continue that other parts of the program
// provide. The program's entry point wires them; tests wire their own.
#include <functional>

class QWidget;

struct StartupHooks {
    // Shows the first-use overview modally over the title page.
    std::function<void(QWidget* over)> showNewUserOverview;
    // Checks the data file's format and converts it where needed. Returns
    // false when the user chose to stop the program there.
    std::function<bool()> checkDataFileFormat;
    // Shows the window that follows the title page (the admin window).
    std::function<void()> showFirstWindow;
};

StartupHooks& startupHooks();

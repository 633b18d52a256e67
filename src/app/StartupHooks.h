#pragma once
// The steps of the title page's Continue that other parts of the program
// provide. The program's entry point wires them; tests wire their own.
#include <functional>

class QWidget;

struct StartupHooks {
    // Shows the first-use overview modally over the title page.
    std::function<void(QWidget* over)> showNewUserOverview;
    // Checks the data file's format and converts it where needed, over the
    // title page. Returns false when the program must end there.
    std::function<bool(QWidget* over)> checkDataFileFormat;
    // Shows the window that follows the title page (the admin window).
    std::function<void()> showFirstWindow;
};

StartupHooks& startupHooks();

#include "help/HelpTopics.h"

#include <QFile>

// The texts are linked from a static library, so their resource is
// registered by hand before the first look-up.
static void registerHelpTexts()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(help);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {
constexpr HelpMenuItem Items[HelpMenuItemCount + 1] = {
    {"", 0},
    {"Overview", 100},
    {"", 0},
    {"The Admin window", 200},
    {"The Main window", 300},
    {"Adding an entry", 400},
    {"Editing an entry", 500},
    {"Deleting an entry", 600},
    {"Finding/Sub-listing entries", 700},
    {"Printing options", 800},
    {"Exit this Menu", 0},
};
} // namespace

qint16 RequestedHelpTopic = 1;

QString HelpTopicText(int number)
{
    registerHelpTexts();
    QFile file(QStringLiteral(":/help/%1.txt").arg(number));
    if (number <= 0 || !file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll()).trimmed();
}

const HelpMenuItem& HelpMenuItemAt(int index)
{
    return Items[(index >= 1 && index <= HelpMenuItemCount) ? index : 0];
}

#include "session/ShutDown.h"

#include "session/ProcessState.h"
#include "store/CitationListFile.h"
#include "store/DataFileNames.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>

namespace {
bool g_shuttingDown = false;
bool g_sessionEnding = false;
bool g_dataFolderInUse = true;
}

void SetDataFolderInUse(bool inUse) { g_dataFolderInUse = inUse; }

bool IsShuttingDown() { return g_shuttingDown; }
bool IsSessionEnding() { return g_sessionEnding; }
void SetSessionEnding() { g_sessionEnding = true; }
void ResetShutDownState()
{
    g_shuttingDown = false;
    g_sessionEnding = false;
}

void DeleteEmptyDataFiles()
{
    for (const QString& name : DataFileNames) {
        const QFileInfo info(name);
        if (info.exists() && info.isFile() && info.size() == 0)
            QFile::remove(name);
    }
}

void ShutDown()
{
    if (g_shuttingDown)
        return;
    g_shuttingDown = true;
    // Every data file is opened for one operation and closed at its end, so no
    // file is open here.
    QCoreApplication::processEvents();
    if (g_dataFolderInUse) {
        DeleteEmptyDataFiles();
        // The next run opens its list from the list file, made now if this
        // run changed the citations.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        CitationListFile::makeForNextOpen(CitationFileName);
        QApplication::restoreOverrideCursor();
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isWindow() && w->isVisible()) {
            w->close();
            w->deleteLater();
        }
    }
    QCoreApplication::exit(0);
}

void QuitAfterThisClose(QObject* window, std::function<void()> quit)
{
    QMetaObject::invokeMethod(
        window,
        [quit = std::move(quit)] {
            if (!IsShuttingDown() && !IsSessionEnding())
                quit();
        },
        Qt::QueuedConnection);
}

#pragma once
#include <functional>

class QObject;

// The one normal way the program ends: closes every file, deletes data files
// left with length 0, unloads every window (each runs its own closing steps)
// and ends the event loop.
void ShutDown();

// True from the moment ShutDown starts: windows closing then are closed by
// the program, not by the user.
bool IsShuttingDown();
// True once the desktop session has begun to end (log-off or system
// shut-down): windows closing then are closed by the system, and no quit
// question may be asked.
bool IsSessionEnding();
void SetSessionEnding();
// For tests that run ShutDown or a session end more than once in one process.
void ResetShutDownState();

// Deletes each of DataFileNames that exists with length 0.
void DeleteEmptyDataFiles();
// Whether this run works in a data folder (so ShutDown tidies its empty
// files away); not on an agency's server. True until set otherwise.
void SetDataFolderInUse(bool inUse);

// The close box asks what the quit button asks. A window cannot close itself
// from within its own close, so its close event is refused and `quit` runs
// once that close is over, unless the program or the desktop session is
// ending by then.
void QuitAfterThisClose(QObject* window, std::function<void()> quit);

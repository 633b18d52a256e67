#pragma once
// Start-up: from launch to the title page.
#include <QString>
#include <memory>

class QIcon;

// The sizes of the program icon held in the resources, in pixels.
inline constexpr int ApplicationIconSizes[] = { 16, 24, 32, 48, 64, 128, 256 };
// The program icon, every size of it; every window shows it.
QIcon ApplicationIcon();

class SingleInstanceGuard;
class Storage;

// Renames "Sennet.dat" of an older version to the data file name, but only
// when no data file of that name exists yet.
void RenameOlderDataFile();

// Removes a work file ("TempFile.$$$") that a killed deletion or conversion
// left in the data folder. Only while this copy holds the folder's lock.
void RemoveLeftoverWorkFile();

// Start-up steps before any window: single instance, file names, process-wide
// lists, a leftover work file, printer unit. Returns false when another copy is running (the user
// has then been told, and the program must end at once).
bool StartUp(SingleInstanceGuard& guard);

// Start-up steps on an agency's server, once connected: the process-wide
// lists, `server` as this run's storage, the wait pointer during every call
// to it, and none of the data folder's steps (lock, leftover work file, older
// file name, format check, removing empty files at the end).
void StartUpOnServer(std::unique_ptr<Storage> server);

// The entry point: the command line, the data folder, start-up, then the
// title page and the event loop. Returns the exit status (see CommandLine.h).
int Main(int argc, char** argv);

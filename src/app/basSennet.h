#pragma once
// Start-up: from launch to the title page.
#include <QString>

class SingleInstanceGuard;

// The data folder: $SENNET_DATA when set, else the folder the program was
// started in. Created when missing and made the working folder, since every
// data file is opened by its bare name.
QString ChooseDataFolder();

// Renames "Sennet.dat" of an older version to the data file name, but only
// when no data file of that name exists yet.
void RenameOlderDataFile();

// Start-up steps before any window: single instance, file names, process-wide
// lists, printer unit. Returns false when another copy is running (the user
// has then been told, and the program must end at once).
bool StartUp(SingleInstanceGuard& guard);

// The entry point: start-up, then the title page and the event loop.
int Main(int argc, char** argv);

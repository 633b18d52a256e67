#pragma once
// Which folder holds the data files, and making it the working folder (every
// data file is opened by its bare name).
#include <QString>

struct DataFolderChoice {
    enum class Source {
        Option, // --data-folder PATH
        Environment, // $SENNET_DATA
        UserData, // a start from the desktop menu: the user's data folder
        WorkingFolder, // started by hand: the folder it was started in
    };
    QString path; // absolute, cleaned
    Source source = Source::WorkingFolder;
};

// The data folder, first match wins:
//  1. `option` (--data-folder), when not empty;
//  2. `environment` ($SENNET_DATA), when not empty;
//  3. when started from the menu, "Sennet" under `userDataHome`;
//  4. `workingFolder`.
// Relative paths count from `workingFolder`. Nothing is touched on disk.
DataFolderChoice ChooseDataFolder(const QString& option, const QString& environment, bool fromMenu,
                                  const QString& workingFolder, const QString& userDataHome);

// Where per-user data go: $XDG_DATA_HOME when it holds an absolute path,
// else ~/.local/share.
QString UserDataHome();

// False when `bytes`, a folder name as the system gave it, is not text in
// the file names' encoding: its decoded name (with replacement characters)
// would be another folder, so such a name is refused rather than followed.
bool IsFolderNameText(const QByteArray& bytes);
inline const QString FolderNameNotTextReason =
    QStringLiteral("its name is not valid text in the system's file name encoding");

// Creates `path` with its missing parents and makes it the working folder.
// On failure returns false and sets `reason` to the system's reason.
bool MakeDataFolderCurrent(const QString& path, QString& reason);

// The message for a data folder that cannot be created or used (lines joined
// by CR LF, like every message of the program).
QString DataFolderUnusableText(const QString& path, const QString& reason);

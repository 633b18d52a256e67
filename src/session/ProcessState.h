#pragma once
// Process-wide values: set once at start-up (names and lists) or at log-in
// (the current user), read by every window.
#include "platform/ApplicationTitle.h"
#include "store/DataFileNames.h"

#include <QString>
#include <QStringList>

constexpr int VersionMajor = SENNET_VERSION_MAJOR;
constexpr int VersionMinor = SENNET_VERSION_MINOR;
constexpr int VersionRevision = SENNET_VERSION_REVISION;

// 1-based: AccessLevelNames[1] == "Read Only" ... [4] == "Read/Edit/Add/Delete"; [0] is empty.
extern QStringList AccessLevelNames;

extern QString CurrentUserName;
extern qint16 CurrentAccessLevel;

// Fills the access level names and the data file names.
void InitialiseProcessState();

// The name of an access level, empty for a code outside 1..4.
QString AccessLevelName(int level);

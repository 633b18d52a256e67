#pragma once
// Process-wide values: set once at start-up (names and lists) or at log-in
// (the current user), read by every window.
#include <QString>
#include <QStringList>

// "Sennet": the name of the program, of its settings, and the caption of
// message boxes that give none of their own.
QString ApplicationTitle();
// The program's file description, shown on the title page.
QString ApplicationDescription();

constexpr int VersionMajor = SENNET_VERSION_MAJOR;
constexpr int VersionMinor = SENNET_VERSION_MINOR;
constexpr int VersionRevision = SENNET_VERSION_REVISION;

// Application title + ".Data".
extern QString CitationFileName;
// 1-based: AccessLevelNames[1] == "Read Only" ... [4] == "Read/Edit/Add/Delete"; [0] is empty.
extern QStringList AccessLevelNames;
// CitationFileName, "User.List", "User.Log", in this order.
extern QStringList DataFileNames;

extern QString CurrentUserName;
extern qint16 CurrentAccessLevel;

inline const QString UserListFileName = QStringLiteral("User.List");
inline const QString UserLogFileName = QStringLiteral("User.Log");
inline const QString WorkFileName = QStringLiteral("TempFile.$$$");

// Fills the names and lists above (start-up steps 2, 4 and 5).
void InitialiseProcessState();

// The name of an access level, empty for a code outside 1..4.
QString AccessLevelName(int level);

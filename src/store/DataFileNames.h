#pragma once
// The names of the data files, which live in the data folder (the working
// folder) and are opened by bare name.
#include <QString>
#include <QStringList>

// Application title + ".Data".
extern QString CitationFileName;
// CitationFileName, "User.List", "User.Log", in this order.
extern QStringList DataFileNames;

inline const QString UserListFileName = QStringLiteral("User.List");
inline const QString UserLogFileName = QStringLiteral("User.Log");
// The work file a whole-file rewrite is written to before it replaces the file.
inline const QString WorkFileName = QStringLiteral("TempFile.$$$");

// Fills CitationFileName and DataFileNames from the application title.
void InitialiseDataFileNames();

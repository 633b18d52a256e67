#pragma once
// Backup and restore of the data files: copying them to a folder the user
// picks, and back from it. Each run is one modal sequence over the main
// window and ends with one message saying whether the whole job was done.
#include <QString>
#include <QStringList>

class QWidget;

namespace modBackupRestore {

// Copies the data files that exist into a chosen folder.
void Backup(QWidget* window);
// Copies the data files back from a chosen backup folder.
void Restore(QWidget* window);

// Set when a restore replaced the citation data file (also when a later file
// then failed), so the window reloads its list; the window clears it.
bool RestoreDone();
void ClearRestoreDone();

// True when the two paths name the same folder: links, "." and trailing
// separators resolved, letter case as the file system treats it.
bool SameFolder(const QString& a, const QString& b);

// The folder with the platform's separator at its end, as messages show it.
QString WithSeparator(const QString& folder);

inline const QString BackupCancelledText = QStringLiteral("The backup process has been cancelled");
inline const QString RestoreCancelledText = QStringLiteral("The restore process has been cancelled");

} // namespace modBackupRestore

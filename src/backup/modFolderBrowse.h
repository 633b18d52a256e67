#pragma once
// Choosing a folder for backup and restore.
#include <QString>

class QWidget;

// Opens the folder picker over `owner` with `prompt` as its title. Returns
// the chosen folder's path, or an empty text when the user cancelled.
QString BrowseForFolder(QWidget* owner, const QString& prompt);

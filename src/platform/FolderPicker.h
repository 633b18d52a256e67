#pragma once
// The folder picker used by backup and restore.
#include <QString>

class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    // The chosen folder, or an empty text when the user cancelled.
    virtual QString browseForFolder(const QString& title) = 0;
};

QString BrowseForFolder(const QString& title);
void setFolderPicker(FolderPicker* picker); // tests; nullptr restores the real dialog

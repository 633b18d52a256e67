#include "backup/modFolderBrowse.h"

#include "platform/FolderPicker.h"

#include <QWidget>

QString BrowseForFolder(QWidget* owner, const QString& prompt)
{
    // The picker is modal over the window in front, which is the owner.
    if (owner)
        owner->activateWindow();
    return BrowseForFolder(prompt);
}

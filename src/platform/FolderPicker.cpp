#include "platform/FolderPicker.h"

#include <QApplication>
#include <QFileDialog>

namespace {
class QtFolderPicker final : public FolderPicker {
public:
    QString browseForFolder(const QString& title) override
    {
        return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, QString(),
                                                 QFileDialog::ShowDirsOnly);
    }
};
QtFolderPicker g_realPicker;
FolderPicker* g_picker = nullptr;
} // namespace

void setFolderPicker(FolderPicker* picker) { g_picker = picker; }
QString BrowseForFolder(const QString& title) { return (g_picker ? g_picker : &g_realPicker)->browseForFolder(title); }

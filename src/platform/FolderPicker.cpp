#include "platform/FolderPicker.h"

#include <QApplication>
#include <QFileDialog>

namespace {
class QtFolderPicker final : public FolderPicker {
public:
    QString browseForFolder(const QString& title) override
    {
        // The prompt's lines become one caption line. Qt's own dialog is used,
        // as it has a box where the path can be typed.
        QString caption = title;
        caption.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        return QFileDialog::getExistingDirectory(QApplication::activeWindow(), caption, QString(),
                                                 QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    }
};
QtFolderPicker g_realPicker;
FolderPicker* g_picker = nullptr;
} // namespace

void setFolderPicker(FolderPicker* picker) { g_picker = picker; }
QString BrowseForFolder(const QString& title) { return (g_picker ? g_picker : &g_realPicker)->browseForFolder(title); }

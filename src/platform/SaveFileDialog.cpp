#include "platform/SaveFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
class QtSaveFileDialog final : public SaveFileDialog {
public:
    QString saveFileName(const QString& title, const QString& suggested, const QStringList& filters,
                         int& chosenFilter) override
    {
        QFileDialog dialog(QApplication::activeWindow(), title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilters(filters);
        if (chosenFilter >= 0 && chosenFilter < filters.size())
            dialog.selectNameFilter(filters[chosenFilter]);
        dialog.setDirectory(QFileInfo(suggested).absolutePath());
        dialog.selectFile(QFileInfo(suggested).fileName());
        // Names typed without an extension get the one of the chosen type.
        dialog.setDefaultSuffix(QFileInfo(suggested).suffix());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        chosenFilter = int(filters.indexOf(dialog.selectedNameFilter()));
        if (chosenFilter < 0)
            chosenFilter = 0;
        return dialog.selectedFiles().constFirst();
    }
};
QString& lastSaveFolder()
{
    static QString folder;
    return folder;
}
QtSaveFileDialog g_realDialog;
SaveFileDialog* g_dialog = nullptr;
} // namespace

void setSaveFileDialog(SaveFileDialog* dialog) { g_dialog = dialog; }

QString AskSaveFileName(const QString& title, const QString& suggested, const QStringList& filters, int& chosenFilter)
{
    return (g_dialog ? g_dialog : &g_realDialog)->saveFileName(title, suggested, filters, chosenFilter);
}

QString SaveFolder()
{
    if (!lastSaveFolder().isEmpty() && QFileInfo(lastSaveFolder()).isDir())
        return lastSaveFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

void RememberSaveFolder(const QString& savedFile)
{
    if (!savedFile.isEmpty())
        lastSaveFolder() = QFileInfo(savedFile).absolutePath();
}

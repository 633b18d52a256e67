#include "platform/OpenFileDialog.h"

#include <QApplication>
#include <QFileDialog>

namespace {
class QtOpenFileDialog final : public OpenFileDialog {
public:
    QString openFileName(const QString& title, const QString& folder, const QStringList& filters) override
    {
        QFileDialog dialog(QApplication::activeWindow(), title);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilters(filters);
        dialog.setDirectory(folder);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    }
};
QtOpenFileDialog g_realDialog;
OpenFileDialog* g_dialog = nullptr;
} // namespace

void setOpenFileDialog(OpenFileDialog* dialog) { g_dialog = dialog; }

QString AskOpenFileName(const QString& title, const QString& folder, const QStringList& filters)
{
    return (g_dialog ? g_dialog : &g_realDialog)->openFileName(title, folder, filters);
}

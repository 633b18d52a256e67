// The main window's backup and restore menu.
#include "workspace/frmMain.h"

#include "backup/modBackupRestore.h"
#include "platform/Messages.h"
#include "session/ProcessState.h"
#include "users/AccessLevels.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

void frmMain::cmdBackupRestore_Click()
{
    if (!AccessGate::CanBackupRestore(CurrentAccessLevel)) {
        MsgBox(QStringLiteral("Full access level privileges") + CRLF + QStringLiteral("are required to use this feature."),
               Msg::Critical | Msg::OKOnly, QStringLiteral("Current Access Level Inadequate"));
        return;
    }
    if (!menuBackupRestoremenu) {
        menuBackupRestoremenu = new QMenu(QStringLiteral("Backup and Restore Options"), this);
        menuBackupRestoremenu->setObjectName(QStringLiteral("menuBackupRestoremenu"));
        const QString captions[] = {QString(), QStringLiteral("&Backup the ") + ApplicationTitle() + QStringLiteral(" data files"),
                                    QStringLiteral("&Restore the ") + ApplicationTitle() + QStringLiteral(" data files"),
                                    QString(), QStringLiteral("E&xit this Menu")};
        for (int i = 1; i <= 4; ++i) {
            menuBackupRestore[i] = i == 3 ? menuBackupRestoremenu->addSeparator()
                                          : menuBackupRestoremenu->addAction(captions[i]);
            menuBackupRestore[i]->setObjectName(QStringLiteral("menuBackupRestore(%1)").arg(i));
            connect(menuBackupRestore[i], &QAction::triggered, this, [this, i] { menuBackupRestore_Click(i); });
        }
    }
    menuBackupRestoremenu->popup(QCursor::pos());
}

void frmMain::menuBackupRestore_Click(int Index)
{
    if (Index == 1) {
        modBackupRestore::Backup(this);
    } else if (Index == 2) {
        modBackupRestore::Restore(this);
        if (modBackupRestore::RestoreDone()) {
            modBackupRestore::ClearRestoreDone();
            // The record on view came from the replaced file: show the
            // citation the reloaded list selects, as every reload does.
            LoadCitationList();
            ShowSelectedCitation();
            UpdateButtons();
        }
    }
}

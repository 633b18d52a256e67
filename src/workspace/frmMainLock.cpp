// Locking an idle desk: after [Security] IdleLockMinutes without input the
// main window is covered by a log-in box, so no citation can be read. The
// window behind it is left exactly as it was: an add or edit in progress
// waits, unsaved, for its user to log in again.
#include "workspace/frmMain.h"

#include "session/AuditNotice.h"
#include "session/IdleLock.h"
#include "session/ProcessState.h"
#include "session/WindowHandOver.h"
#include "storage/AuditEvents.h"
#include "storage/UserLog.h"
#include "users/UserMessages.h"
#include "widgets/VellButton.h"
#include "workspace/DeskLockBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>

void frmMain::LockDesk()
{
    if (m_lockBox)
        return;
    if (menuBackupRestoremenu)
        menuBackupRestoremenu->hide();
    // Nothing behind the box takes a key, a click or the focus, and the
    // access keys and shortcuts of its buttons find them disabled.
    QWidget* focus = QApplication::focusWidget();
    m_focusBeforeLock = focus && isAncestorOf(focus) ? focus : nullptr;
    m_lockedChildren.clear();
    const QList<QWidget*> children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow())
            continue;
        m_lockedChildren.append({child, !child->testAttribute(Qt::WA_ForceDisabled)});
        child->setEnabled(false);
    }
    m_lockBox = new DeskLockBox(idleLock->minutes(), CurrentUserName, this);
    // The window sees the box's keys first, as it sees its own controls'.
    const QList<QWidget*> boxWidgets = m_lockBox->findChildren<QWidget*>();
    for (QWidget* w : boxWidgets)
        w->installEventFilter(this);
    m_lockBox->setGeometry(rect());
    m_lockBox->show();
    m_lockBox->raise();
    m_lockBox->txtPassword->setFocus();
    connect(m_lockBox, &DeskLockBox::loggedIn, this, &frmMain::UnlockDesk);
}

void frmMain::UnlockDesk(const QString& name, const UserRecord& user)
{
    if (!m_lockBox)
        return;
    m_lockBox->hide();
    m_lockBox->deleteLater();
    m_lockBox = nullptr;
    for (const auto& [child, enabled] : m_lockedChildren)
        child->setEnabled(enabled);
    m_lockedChildren.clear();

    if (name == CurrentUserName && user.AccessLevel() == CurrentAccessLevel) {
        if (m_focusBeforeLock)
            moveFocusTo(m_focusBeforeLock);
        m_focusBeforeLock = nullptr;
        idleLock->start();
        return;
    }
    // Another user: the first one leaves (his unsaved work and changed
    // default values with him), and the new one starts in a window of his
    // own, as after a log-in at the admin window.
    m_focusBeforeLock = nullptr;
    writeLogOutLine();
    DefaultsChanged = FlagOff;
    CurrentUserName = name;
    CurrentAccessLevel = user.AccessLevel();
    if (!WriteUserLogLine(1))
        ShowFileError(UserLogWriteFailure(QStringLiteral("so this log-in is not recorded")));
    RecordOrTell(AuditEvents::logIn(), QStringLiteral("this log-in"));
    ShowMainWindow();
    m_closingByProgram = true;
    close();
}

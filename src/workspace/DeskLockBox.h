#pragma once
// What the main window shows while the desk is locked for want of input:
// a log-in box over the whole window, so that no citation can be read, for
// the user who was working (picked at first) or another user. The window
// behind it stays exactly as it was, an add or edit in progress included,
// until someone logs in again here.
#include "storage/Storage.h"

#include <QFrame>

class QComboBox;
class QLabel;
class QLineEdit;
class VellButton;

class DeskLockBox final : public QFrame {
    Q_OBJECT
public:
    // `minutes`: how long the desk was left; `user`: who was working.
    DeskLockBox(int minutes, const QString& user, QWidget* parent);

    QLabel* lblLocked = nullptr;
    QComboBox* cboUser = nullptr;
    QLineEdit* txtPassword = nullptr;
    VellButton* cmdUnlock = nullptr;

    // Checks the password of the user picked (lock-out and audit as at the
    // admin window); on success emits loggedIn.
    void cmdUnlock_Click();

signals:
    // The right password was given for `name` (its record `user`).
    void loggedIn(const QString& name, const UserRecord& user);

private:
    QList<StoredUser> m_users;
};

#include "workspace/DeskLockBox.h"

#include "platform/Messages.h"
#include "store/AnsiText.h"
#include "users/PasswordCheck.h"
#include "users/UserMessages.h"
#include "widgets/VellButton.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

DeskLockBox::DeskLockBox(int minutes, const QString& user, QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("DeskLockBox"));
    setAutoFillBackground(true);
    // Opaque over everything the window holds.
    setStyleSheet(QStringLiteral("QFrame#DeskLockBox { background-color: rgb(64, 80, 104); }"
                                 "QFrame#lockPanel { background-color: rgb(240, 244, 250);"
                                 " border: 1px solid rgb(0, 0, 96); border-radius: 6px; }"));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("lockPanel"));
    lblLocked = new QLabel(panel);
    lblLocked->setObjectName(QStringLiteral("lblLocked"));
    lblLocked->setWordWrap(true);
    lblLocked->setText(QStringLiteral("This desk was locked after %1 minute%2 without use.")
                           .arg(minutes)
                           .arg(minutes == 1 ? "" : "s")
                       + QStringLiteral("\n\n")
                       + QStringLiteral("Log in again to go on where you were; work not yet saved is kept. "
                                        "Another user's log-in ends the session of the user before."));
    cboUser = new QComboBox(panel);
    cboUser->setObjectName(QStringLiteral("cboUser"));
    cboUser->setAccessibleName(QStringLiteral("User"));
    txtPassword = new QLineEdit(panel);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setAccessibleName(QStringLiteral("Password"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setMaxLength(8);
    cmdUnlock = new VellButton(QStringLiteral("cmdUnlock"), panel);
    cmdUnlock->setCaption(QStringLiteral("&Log In"));
    cmdUnlock->setToolTipText(QStringLiteral(" Log in to unlock this desk "));
    cmdUnlock->setBackColor(QColor(228, 232, 240));
    cmdUnlock->setBackOver(QColor(255, 244, 200));
    cmdUnlock->setForeColor(Qt::black);
    cmdUnlock->setForeOver(QColor(0, 0, 128));
    cmdUnlock->setFixedSize(120, 32);

    auto* caption = new QLabel(QStringLiteral("Desk Locked"), panel);
    QFont big = caption->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    caption->setFont(big);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&User:"), cboUser);
    form->addRow(QStringLiteral("&Password:"), txtPassword);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(12);
    column->addWidget(caption);
    column->addWidget(lblLocked);
    column->addLayout(form);
    column->addWidget(cmdUnlock, 0, Qt::AlignRight);
    panel->setFixedWidth(420);

    auto* centre = new QVBoxLayout(this);
    centre->addStretch(1);
    centre->addWidget(panel, 0, Qt::AlignHCenter);
    centre->addStretch(2);

    FileError error;
    if (!storage().users().list(m_users, error))
        ShowFileError(error);
    for (const StoredUser& stored : m_users) {
        const QString name = Ansi::trimSpaces(DisplayName(stored.record));
        cboUser->addItem(name);
        if (name == user)
            cboUser->setCurrentIndex(cboUser->count() - 1);
    }

    connect(cmdUnlock, &VellButton::Click, this, &DeskLockBox::cmdUnlock_Click);
    connect(txtPassword, &QLineEdit::returnPressed, this, &DeskLockBox::cmdUnlock_Click);
}

void DeskLockBox::cmdUnlock_Click()
{
    const int i = cboUser->currentIndex();
    if (i < 0 || i >= m_users.size() || txtPassword->text().isEmpty())
        return;
    // The record as it is now: a password changed meanwhile counts.
    UserRecord user;
    FileError error;
    if (!storage().users().read(m_users[i].key, user, error)) {
        ShowFileError(error);
        return;
    }
    const QString name = cboUser->currentText();
    const QString typed = txtPassword->text();
    txtPassword->clear();
    if (!CheckLogInPassword(name, user, typed, storage().shared().accessCode())) {
        txtPassword->setFocus();
        return;
    }
    emit loggedIn(name, user);
}

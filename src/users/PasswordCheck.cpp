#include "users/PasswordCheck.h"

#include "platform/Messages.h"
#include "session/AuditNotice.h"
#include "session/LoginLockout.h"
#include "storage/AuditEvents.h"
#include "storage/AuditStore.h"
#include "users/Passwords.h"

namespace {

// A failed log-in is recorded without a box of its own: the user already
// sees why he is not let in.
void record(const AuditEntry& entry)
{
    FileError ignored;
    recordAudit(entry, ignored);
}

// Offers the access code to a locked name; true when it was given right.
bool unlockWithAccessCode(const QString& name, const QString& accessCode)
{
    const QString prompt = CRLF + QStringLiteral("Please enter the access code") + CRLF
        + QStringLiteral("to unlock this name now,") + CRLF + QStringLiteral("or leave it empty to wait");
    for (;;) {
        const QString answer =
            InputBox(prompt, QStringLiteral("Access Code Required"), QStringLiteral("<Enter Access Code Here>"));
        if (answer.isEmpty())
            return false;
        const bool right = answer == accessCode;
        record(AuditEvents::accessCodeUsed(QStringLiteral("unlock ") + name, right));
        if (right)
            return true;
        MsgBox(QStringLiteral("Sorry, but you have not entered") + CRLF + QStringLiteral("the correct Access Code."),
               Msg::OKOnly | Msg::Critical, QStringLiteral("Incorrect Access Code"));
    }
}

} // namespace

bool CheckLogInPassword(const QString& name, const UserRecord& user, const QString& typed, const QString& accessCode)
{
    LoginLockout lockout;
    int minutesLeft = 0;
    if (lockout.isLocked(name, minutesLeft)) {
        MsgBox(LoginLockout::lockedText(minutesLeft), Msg::OKOnly | Msg::Critical, LoginLockout::lockedCaption());
        record(AuditEvents::failedLogIn(name, QStringLiteral("locked out")));
        if (!unlockWithAccessCode(name, accessCode))
            return false;
        lockout.unlock(name);
    }
    if (UnscramblePassword(user.Password()) != typed) {
        MsgBox(QStringLiteral("That is not the correct password") + CRLF + QStringLiteral("associated with this name"),
               Msg::OKOnly | Msg::Critical, QStringLiteral("Incorrect Password"));
        record(AuditEvents::failedLogIn(name, QStringLiteral("wrong password")));
        if (lockout.recordFailure(name)) {
            record(AuditEvents::userLockedOut(name, lockout.attempts(), lockout.minutes()));
            MsgBox(LoginLockout::lockedText(lockout.minutes()), Msg::OKOnly | Msg::Critical,
                   LoginLockout::lockedCaption());
        }
        return false;
    }
    lockout.recordSuccess(name);
    return true;
}

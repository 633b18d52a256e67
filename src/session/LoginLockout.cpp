#include "session/LoginLockout.h"

#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/Settings.h"
#include "storage/Storage.h"

#include <QUrl>

int SecurityMinutesOrCount(const QString& key)
{
    bool ok = false;
    const int value = GetSetting(SecuritySection, key).trimmed().toInt(&ok);
    return ok && value > 0 ? value : 0;
}

LoginLockout::LoginLockout()
    : m_attempts(SecurityMinutesOrCount(SecurityKey::LockoutAttempts)),
      m_minutes(SecurityMinutesOrCount(SecurityKey::LockoutMinutes))
{
}

// One key per user: the name as the log-in list shows it, case ignored,
// written so that no character of it means anything to the settings file.
QString LoginLockout::keyOf(const QString& user)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(user.trimmed().toCaseFolded(), {}, "/\\=;#[]\" "));
}

// "failures,lock end as UTC ISO text"; anything unreadable counts as nothing.
LoginLockout::State LoginLockout::read(const QString& user) const
{
    State s;
    const QStringList parts = storage().shared().value(LockoutStateSection, keyOf(user)).split(u',');
    s.failures = qMax(0, parts.value(0).toInt());
    s.lockedUntil = QDateTime::fromString(parts.value(1), Qt::ISODate);
    return s;
}

void LoginLockout::write(const QString& user, const State& state)
{
    storage().shared().setValue(LockoutStateSection, keyOf(user),
                state.failures == 0 && !state.lockedUntil.isValid()
                    ? QString()
                    : QString::number(state.failures) + u','
                        + (state.lockedUntil.isValid() ? state.lockedUntil.toUTC().toString(Qt::ISODate) : QString()));
}

bool LoginLockout::isLocked(const QString& user, int& minutesLeft) const
{
    minutesLeft = 0;
    if (!enabled())
        return false;
    const State s = read(user);
    if (!s.lockedUntil.isValid())
        return false;
    const qint64 seconds = Now().secsTo(s.lockedUntil);
    if (seconds <= 0)
        return false;
    minutesLeft = int((seconds + 59) / 60);
    return true;
}

bool LoginLockout::recordFailure(const QString& user)
{
    if (!enabled())
        return false;
    State s = read(user);
    if (s.lockedUntil.isValid() && Now() >= s.lockedUntil)
        s = {}; // the lock ran out: a new run of tries
    ++s.failures;
    const bool locks = s.failures >= m_attempts;
    if (locks) {
        s.failures = 0;
        s.lockedUntil = Now().addSecs(qint64(m_minutes) * 60).toUTC();
    }
    write(user, s);
    return locks;
}

void LoginLockout::recordSuccess(const QString& user)
{
    if (enabled() && read(user).failures != 0)
        write(user, {});
}

void LoginLockout::unlock(const QString& user) { write(user, {}); }

int LoginLockout::failures(const QString& user) const { return read(user).failures; }

QString LoginLockout::lockedText(int minutesLeft)
{
    return QStringLiteral("This name is locked after too many wrong passwords.") + CRLF
        + QStringLiteral("It is locked for %1 more minute%2;").arg(minutesLeft).arg(minutesLeft == 1 ? "" : "s") + CRLF
        + QStringLiteral("the access code unlocks it at once.");
}

QString LoginLockout::lockedCaption() { return QStringLiteral("Name Locked"); }

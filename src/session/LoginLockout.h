#pragma once
// Locking a user out after too many wrong passwords. Off unless the settings
// file turns it on, so an installation behaves as before until its
// administrator does:
//
//     [Security]
//     LockoutAttempts=3    ; wrong passwords in a row that lock the name
//     LockoutMinutes=15    ; how long it stays locked
//
// Each user's count of wrong passwords in a row and the moment his lock ends
// are kept with the settings every desk shares (storage().shared(), section
// "Lockout", one key per user): for the data folder that is the settings
// store, for a server its table, so that every desk sees them and ending and
// restarting the program does not reset them. The time
// comes from the clock seam. The installation's access code unlocks a name.
#include <QDateTime>
#include <QString>

inline const QString SecuritySection = QStringLiteral("Security");
inline const QString LockoutStateSection = QStringLiteral("Lockout");

namespace SecurityKey {
inline const QString LockoutAttempts = QStringLiteral("LockoutAttempts");
inline const QString LockoutMinutes = QStringLiteral("LockoutMinutes");
inline const QString IdleLockMinutes = QStringLiteral("IdleLockMinutes");
} // namespace SecurityKey

// A whole number of minutes from the [Security] section: 0 (off) when absent,
// not a number, or not above 0.
int SecurityMinutesOrCount(const QString& key);

class LoginLockout {
public:
    // Reads the two settings now.
    LoginLockout();

    bool enabled() const { return m_attempts > 0 && m_minutes > 0; }
    int attempts() const { return m_attempts; }
    int minutes() const { return m_minutes; }

    // Whether `user` is locked at this moment; `minutesLeft` gets the whole
    // minutes, rounded up, until the lock ends.
    bool isLocked(const QString& user, int& minutesLeft) const;
    // Counts a wrong password. True when it locks the name (the count reached
    // the limit): the caller tells the user and records it.
    bool recordFailure(const QString& user);
    // A right password: the count starts again.
    void recordSuccess(const QString& user);
    // Unlocks a name (the access code was given); the count starts again.
    void unlock(const QString& user);
    // Wrong passwords in a row so far.
    int failures(const QString& user) const;

    // The box a locked user is shown.
    static QString lockedText(int minutesLeft);
    static QString lockedCaption();

private:
    struct State {
        int failures = 0;
        QDateTime lockedUntil; // UTC; invalid when not locked
    };
    static QString keyOf(const QString& user);
    State read(const QString& user) const;
    void write(const QString& user, const State& state);

    int m_attempts = 0;
    int m_minutes = 0;
};

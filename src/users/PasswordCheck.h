#pragma once
// The password check of a log-in, in the admin window and in the idle lock
// of the main window: the lock-out after too many wrong passwords (when the
// settings turn it on), the boxes the user is shown, and the audit trail's
// entries of failed log-ins, lock-outs and the access code that unlocks a
// name. Passwords typed never reach the trail.
#include "store/UserRecord.h"

#include <QString>

// Checks `typed` against `user`'s password for the name shown in the list.
// A locked name is told how long it stays locked and may be unlocked with
// the installation's access code (`accessCode`). A wrong password gets the
// "Incorrect Password" box and counts towards the lock-out. True only for
// the right password of a name not locked.
bool CheckLogInPassword(const QString& name, const UserRecord& user, const QString& typed, const QString& accessCode);

#pragma once
// What each access level (1 "Read Only" .. 4 "Read/Edit/Add/Delete") allows
// in the main window. Buttons a level does not allow stay visible, disabled.
#include "platform/Messages.h"

#include <QString>

namespace AccessGate {
inline bool CanEditCitations(int level) { return level > 1; }
inline bool CanAddCitations(int level) { return level > 2; }
inline bool CanDeleteCitations(int level) { return level == 4; }
inline bool CanBackupRestore(int level) { return level == 4; }

// The box shown to a lower level that asks for backup or restore.
inline const QString InadequateText =
    QStringLiteral("Full access level privileges") + CRLF + QStringLiteral("are required to use this feature.");
inline const QString InadequateCaption = QStringLiteral("Current Access Level Inadequate");
} // namespace AccessGate

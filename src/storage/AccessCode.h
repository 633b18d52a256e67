#pragma once
// The installation's access code: the decimal number that opens user
// administration in the admin window. It is drawn at random the first time
// it is needed and kept in the settings store, section "Installation", key
// "AccessCode", so it stays the same for the installation. An administrator
// reads it with Shift+Alt+A at the admin window.
#include <QString>

inline const QString AccessCodeSection = QStringLiteral("Installation");
inline const QString AccessCodeKey = QStringLiteral("AccessCode");

// The code, made and stored on first need (6 digits, not starting with 0).
QString InstallationAccessCode();

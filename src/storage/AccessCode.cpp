#include "storage/AccessCode.h"

#include "session/Utilities.h"
#include "platform/Settings.h"

namespace {

bool isDecimalNumber(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// A code drawn when the settings store would not keep it: the same for the
// rest of this run, so the code shown and the code asked for agree.
QString& unsavedCode()
{
    static QString code;
    return code;
}

} // namespace

QString InstallationAccessCode()
{
    const QString stored = GetSetting(AccessCodeSection, AccessCodeKey).trimmed();
    if (isDecimalNumber(stored))
        return stored;
    if (!unsavedCode().isEmpty())
        return unsavedCode();
    const QString code = QString::number(RandomInteger(100, 999))
        + QStringLiteral("%1").arg(RandomInteger(0, 999), 3, 10, QLatin1Char('0'));
    if (!SaveSetting(AccessCodeSection, AccessCodeKey, code))
        unsavedCode() = code;
    return code;
}

#include "session/ProcessState.h"

QStringList AccessLevelNames;
QString CurrentUserName;
qint16 CurrentAccessLevel = 0;

void InitialiseProcessState()
{
    InitialiseDataFileNames();
    AccessLevelNames = {QString(), QStringLiteral("Read Only"), QStringLiteral("Read/Edit"),
                        QStringLiteral("Read/Edit/Add"), QStringLiteral("Read/Edit/Add/Delete")};
}

QString AccessLevelName(int level)
{
    if (AccessLevelNames.isEmpty())
        InitialiseProcessState();
    return (level >= 1 && level <= 4) ? AccessLevelNames.at(level) : QString();
}

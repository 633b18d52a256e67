#include "app/ProcessState.h"

QString CitationFileName = QStringLiteral("Sennet.Data");
QStringList AccessLevelNames;
QStringList DataFileNames;
QString CurrentUserName;
qint16 CurrentAccessLevel = 0;

QString ApplicationTitle() { return QStringLiteral("Sennet"); }
QString ApplicationDescription() { return QStringLiteral("Traffic Citation Record Management"); }

void InitialiseProcessState()
{
    CitationFileName = ApplicationTitle() + QStringLiteral(".Data");
    AccessLevelNames = {QString(), QStringLiteral("Read Only"), QStringLiteral("Read/Edit"),
                        QStringLiteral("Read/Edit/Add"), QStringLiteral("Read/Edit/Add/Delete")};
    DataFileNames = {CitationFileName, UserListFileName, UserLogFileName};
}

QString AccessLevelName(int level)
{
    if (AccessLevelNames.isEmpty())
        InitialiseProcessState();
    return (level >= 1 && level <= 4) ? AccessLevelNames.at(level) : QString();
}

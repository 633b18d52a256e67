#include "store/DataFileNames.h"

#include "platform/ApplicationTitle.h"

QString CitationFileName = QStringLiteral("Sennet.Data");
QStringList DataFileNames;

void InitialiseDataFileNames()
{
    CitationFileName = ApplicationTitle() + QStringLiteral(".Data");
    DataFileNames = {CitationFileName, UserListFileName, UserLogFileName};
}

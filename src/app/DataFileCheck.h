#pragma once
// The data file check of the title page's Continue: a data file of an
// earlier version is offered for conversion, and the old file is kept under
// the backup name.
#include "store/FileError.h"

#include <QString>

class QWidget;

// The question asked when the data file needs converting. A restore asks
// it about the backup's data file; its Cancel leaves the current files as
// they are instead of ending the program. A restore onto a server converts
// the citations as it reads them and renames no file. `note`, when given,
// is added as a paragraph of its own.
enum class ConvertAskedBy { Start, Restore, ServerRestore };
QString ConvertQuestionText(ConvertAskedBy askedBy = ConvertAskedBy::Start, const QString& note = QString());

// Carries out Yes (convert) or No (keep the old file under the backup name)
// on the data file in the data folder, with the wait pointer over `window`,
// and on success says so in the "Finished Updating!" box. On failure returns
// false with `error` set, having said nothing.
bool CarryOutConversionAnswer(QWidget* window, int answer, FileError& error);

// Runs the check over the data file in the data folder. Returns false when
// the program must end: the user chose Cancel, or the conversion failed
// (the file is then untouched and the user has been told why).
bool CheckDataFileAtStart(QWidget* titlePage);

#pragma once
// The data file check of the title page's Continue: a data file of an
// earlier version is offered for conversion, and the old file is kept under
// the backup name.
#include <QString>

class QWidget;

// The question asked when the data file needs converting.
QString ConvertQuestionText();

// Runs the check over the data file in the data folder. Returns false when
// the program must end: the user chose Cancel, or the conversion failed
// (the file is then untouched and the user has been told why).
bool CheckDataFileAtStart(QWidget* titlePage);

#pragma once
// The user log as the admin window shows it. The file keeps every line's date
// as "mm/dd/yyyy" (lines are only ever appended, so old and new lines must
// read alike); the view shows those dates in the numeric date order of the
// rest of the program.
#include <QString>

// Rewrites the date at the start of each line ("mm/dd/yyyy at ...") in the
// numeric date order; everything else, and any line that does not start with
// such a date, stays as it is. Lines may end in LF or CR LF.
QString UserLogViewText(const QString& logText);

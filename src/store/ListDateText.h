#pragma once
// The few fixed date and time forms the list and the search build for every
// citation, made without the general pattern formatter: the same text as
// FormatDateValue gives for these patterns, at a fraction of the cost.
#include "store/DateValue.h"

#include <QString>

namespace ListDateText {
QString date(DateValue v);      // FormatNumericDate: "mm/dd/yyyy" under US settings
QString time(DateValue v);      // "h:nnam/pm"
QString yearMonth(DateValue v); // "yyyy/mm"
QString dateKey(DateValue v);   // "yyyymmdd"
QString timeKey(DateValue v);   // "hhnn", 24-hour
} // namespace ListDateText

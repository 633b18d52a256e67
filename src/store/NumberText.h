#pragma once
// Numbers typed as text.
#include <QString>

// The number at the start of a text (leading blanks skipped): "72 mph" is 72,
// "" and "abc" are 0.
double LeadingNumber(const QString& text);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2).
// Beyond the 64-bit range the result stays at its nearest end; NaN gives 0.
qint64 RoundHalfEven(double value);

// LeadingNumber rounded half-to-even and kept within the 16-bit range.
qint16 LeadingNumberAsInt16(const QString& text);

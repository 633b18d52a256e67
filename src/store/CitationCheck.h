#pragma once
// What can be told about a citation record from its bytes alone.
//
// A record is damaged when its bytes are not a citation this program writes:
// a format version other than 300-399, a date or time that no calendar holds
// (not a number, infinite, outside the years 100-9999), a check box other
// than 0 or 1, an option choice outside its group, a NUL byte in a text
// (texts are padded with spaces), or a trailing record the file cuts short.
// A damaged record shows and exports as garbage, so the reading commands leave
// it out and name it.
//
// Other findings are doubts: values the program can write but a citation
// hardly carries (a date before 1900 or after 2199, a time of day with a date,
// no offense date, the "$Killed$" marker of a deletion an earlier version did
// not finish). They are reported by the check of the data files, and the
// record still counts as a citation.
#include "store/CitationRecord.h"

#include <QList>
#include <QString>

namespace CitationCheck {

enum class Kind {
    Version,      // damage: a format version this program does not write
    Date,         // damage: a date or time value no calendar holds
    Choice,       // damage: a check box or option value the editor never stores
    Text,         // damage: a NUL byte in a text field
    Incomplete,   // damage: the file ends inside the record
    UnlikelyDate, // doubt: a date or time no citation plausibly carries
    Killed,       // doubt: marked "$Killed$"
};

struct Finding {
    Kind kind;
    CitationField field;
    QString text; // "Weather holds 9", field name first (the marker: "is marked ...")
    bool isDamage() const { return kind < Kind::UnlikelyDate; }
};

// Whether records of this format version are in the current layout.
inline bool IsCurrentFormatVersion(qint16 version) { return version >= 300 && version <= 399; }

// The findings on one record. `bytesOnFile` is how many of
// its bytes the file holds (fewer than RecordLength for a cut trailing record,
// whose missing bytes the reader has completed).
QList<Finding> findings(const char* record, qint64 bytesOnFile = CitationLayout::RecordLength);

// The damage findings alone, as one line: "only 2000 of its 3000 bytes are
// in the file; OffenseDate holds no date (nan)". Empty for a sound record.
QString damage(const char* record, qint64 bytesOnFile = CitationLayout::RecordLength);

// How many bytes of record n (from 1) a file of `length` bytes holds.
qint64 BytesOnFile(qint64 length, int n);

} // namespace CitationCheck

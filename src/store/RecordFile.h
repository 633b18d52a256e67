#pragma once
// Files of fixed-length records lying back to back with no header, as the
// citation data file and the user list are: how many records a file holds,
// and the removal of one record by its position.
#include "store/FileError.h"

#include <QByteArray>
#include <QString>

namespace RecordFile {

// The number of records in a file of `length` bytes: the whole records, plus
// one for a remainder above half a record (exactly half rounds to even).
int CountForLength(qint64 length, int recordLength);

// Rewrites `fileName` without its record n (1-based, by position, whatever
// the record holds). The other records are copied in order into the work
// file, which is flushed to disk and renamed over `fileName` in one step, so
// the file always exists complete, old or new. When no record remains the
// file is removed. A short trailing record that counts is completed from the
// bytes of `blankRecord`. Returns the number of records left, or -1 with
// `error` set; on failure the file is as it was.
int RemoveRecord(const QString& fileName, int recordLength, int n, const QByteArray& blankRecord, FileError& error);

} // namespace RecordFile

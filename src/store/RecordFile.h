#pragma once
// Files of fixed-length records lying back to back with no header, as the
// citation data file and the user list are: how many records a file holds,
// writing one record, and the removal of one record by its position.
#include "store/FileError.h"
#include "store/FileIo.h"
#include "platform/Progress.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <limits>

namespace RecordFile {

// The number of records in a file of `length` bytes: the whole records, plus
// one for a remainder above half a record (exactly half rounds to even).
qint64 CountForLength(qint64 length, int recordLength);

// The most records the program can hold in a list or number in a grid; a
// larger file is refused rather than miscounted. One is kept free so that
// the number of an appended record still fits.
inline constexpr qint64 MaxRecords = std::numeric_limits<int>::max() - 1;
// The words of that refusal ("could not be opened: it holds ...").
QString TooManyRecords(qint64 count);

// Opens `fileName` in `mode` and counts its records into `count` (and its
// length in bytes into `length` when given). Refuses what is not a regular
// file and a file of more than MaxRecords records. On failure the file is
// closed and `error` names the file and the reason.
bool Open(FileIo::File& file, const QString& fileName, FileIo::File::Mode mode, int recordLength, int& count,
          FileError& error, qint64* length = nullptr);

// Writes `bytes` as record n (1-based; n = count + 1 appends) of an open
// file and flushes it to the disk. Appending after a damaged file whose last
// record is cut short first completes that record with `blankRecord`'s bytes.
// A file opened read-only, or a record beyond MaxRecords, is refused. On
// failure the file is exactly as before and `error` names the file and the
// reason.
bool WriteRecord(FileIo::File& file, int recordLength, qint64 n, const QByteArray& bytes,
                 const QByteArray& blankRecord, FileError& error);

// Rewrites `fileName` without its record n (1-based, by position, whatever
// the record holds). The other records are copied in order into the work
// file, which gets the old file's permissions, is flushed to disk and renamed
// over `fileName` in one step, so the file always exists complete, old or new.
// When no record remains the file is removed. A file the user may not write
// is left alone. A short trailing record that counts is completed from the
// bytes of `blankRecord`. Returns the number of records left, or -1 with
// `error` set; on failure the file is as it was. `progress` is told the
// records copied (the copy cannot be stopped part way).
qint64 RemoveRecord(const QString& fileName, int recordLength, qint64 n, const QByteArray& blankRecord,
                    FileError& error, const ProgressFn& progress = {});

// Adds `count` records at the end of `fileName` (created when missing) in
// one step: the file's records and the new ones (recordAt(i), i from 0, each
// recordLength bytes) are written to the work file, which gets the old
// file's permissions, is flushed and renamed over the file. A kill or a
// failure at any point leaves the file exactly as it was. A short trailing
// record that counts is completed from `blankRecord` first; a rest too short
// to count is dropped, as an append writes over it. Returns the number of
// records the file holds afterwards, or -1 with `error` set.
qint64 AppendRecords(const QString& fileName, int recordLength, qint64 count,
                     const std::function<const char*(qint64 i)>& recordAt, const QByteArray& blankRecord,
                     FileError& error);

} // namespace RecordFile

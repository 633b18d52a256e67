#pragma once
// Data files of earlier versions: records of 1500 bytes, without the format
// version and with a shorter notes field. The format check runs once per
// start; a file that needs it is converted to the current layout, and the
// old file is always kept under the backup name.
#include "platform/Progress.h"
#include "store/FileError.h"

#include <QString>

namespace LegacyLayout {
constexpr int RecordLength = 1500;
// Everything before the notes lies in the same order as in the current
// layout, just without the leading format version.
constexpr int SectionsLength = 941;
constexpr int NotesLength = 559;
} // namespace LegacyLayout

enum class DataFileFormat {
    Missing,        // no data file: nothing to do
    Emptied,        // it had length 0 and was deleted
    Current,        // its first record carries a format version from 300 to 399
    NeedsConversion // shorter than one record, or an older version
};

// Title + ".Old".
QString LegacyBackupFileName();

// Looks at `file` without changing it: Missing, NeedsConversion or Current
// (an empty file counts as current); `length` gets its length. A file that
// cannot be read is reported through `error`.
DataFileFormat InspectDataFileFormat(const QString& file, qint64& length, FileError& error);

// Looks at `fileName` (CitationFileName by default) and deletes it when it
// is empty. A file that cannot be read is reported through `error` and
// counts as current, so that nothing is done to it.
DataFileFormat CheckDataFileFormat(FileError& error, const QString& fileName = QString());

// Converts the old file: the new records are written completely to the work
// file and flushed; then the old file becomes the backup (replacing an
// earlier one) and the work file becomes the data file. At every moment the
// citations exist complete under the data file's name or the backup name; on
// failure the old file is back under its own name and `error` says why.
// Returns the number of records converted, or -1.
// `progress` is told the records converted (the conversion runs to its end).
qint64 ConvertLegacyDataFile(FileError& error, const QString& fileName = QString(), const ProgressFn& progress = {});

// The records of an older data file's bytes in the current layout, as the
// conversion writes them (a cut last record completed with blanks).
QByteArray ConvertLegacyBytes(const QByteArray& old);

// Renames the data file to the backup name (replacing an earlier backup), so
// that the program starts afresh with an empty data file.
bool KeepDataFileAsBackup(FileError& error, const QString& fileName = QString());

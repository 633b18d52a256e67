#pragma once
// What went wrong with a data file, in words a user can act on.
#include <QString>

struct FileError {
    QString fileName;
    QString what; // e.g. "could not be written: No space left on device"

    bool isError() const { return !fileName.isEmpty(); }
    // "The file "Sennet.Data" could not be written: ...".
    QString message() const;
    void clear() { fileName.clear(), what.clear(); }
};

// The two steps that let a whole file be rewritten safely: the new contents
// go to a work file, which is flushed to disk and then renamed over the old
// file in one step, so the file always holds either the old or the complete
// new contents.
namespace FileOps {
// Renames source over target in one step (replacing target). Returns false
// and sets error when it fails.
bool replaceFile(const QString& source, const QString& target, FileError& error);
// Flushes a file's written data to the disk.
bool syncToDisk(int fileHandle);
} // namespace FileOps

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


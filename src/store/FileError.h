#pragma once
// What went wrong with a data file, in words a user can act on.
#include <QString>

struct FileError {
    QString fileName;
    QString what; // e.g. "could not be written: No space left on device"
    // A whole sentence for a failure that is not about a file (a server's),
    // used as it stands when set.
    QString text = {};

    bool isError() const { return !fileName.isEmpty() || !text.isEmpty(); }
    // "The file "Sennet.Data" could not be written: ...", or text.
    QString message() const;
    void clear() { fileName.clear(), what.clear(), text.clear(); }
};


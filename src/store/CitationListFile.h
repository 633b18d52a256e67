#pragma once
// The list file: the list's columns of every citation, kept beside the data
// file as "<data file>.$$l", so that the list opens without reading the
// 3,000 bytes of each citation (a million citations: 3 GB read, or some 50 MB).
//
// It is only ever a copy, and is trusted only while the data file is the
// very file it was copied from, unchanged:
//  - it names the data file's device, inode, length, modification and change
//    times, taken after the data file was flushed to the disk, so that a
//    power cut cannot take the data file back to times the copy names;
//  - it is made only from a file whose last change is older than the
//    system clock's coarsest step, so any later change, by any program,
//    gives the file another change time;
//  - the file layer removes it, for good, before every change the program
//    makes to the data file (see FileIo::derivedFileName);
//  - a check sum covers all of it, and every row is checked to fit.
// Anything amiss sends the list back to the data file, which writes a new copy.
#include "store/CitationRows.h"

#include <QString>

class CitationNumberIndex;

namespace CitationListFile {

// The full list of `dataFile` from its list file, with `numbers` (when
// given) filled from it: true when the list file fits the data file as it is
// now. `dataLength` gets the data file's length. False leaves `rows`,
// `dataLength` and `numbers` as they were.
bool load(const QString& dataFile, CitationRows& rows, qint64& dataLength, CitationNumberIndex* numbers);

// What a copy of the list about to be read from `dataFile` must be checked
// against; taken before the read.
struct Source {
    bool fit = false; // the file may be copied at all
    quint64 device = 0, inode = 0;
    qint64 size = 0, modified = 0, changed = 0; // times in nanoseconds
    quint64 changesBefore = 0;
};
Source beforeRead(const QString& dataFile);

// Writes the list file for `rows`, the full list just read from `dataFile`
// as `source` described it, on a thread of its own; nothing when the file
// changed since, the rows are not the whole file, or the disk is short of room.
void writeAfterRead(const QString& dataFile, const Source& source, const CitationRows& rows);

// Makes the list file of `dataFile` now (reading the data file whole),
// unless one fits it already, and waits until it is written: at the end of
// a run that changed the file, so that the next run opens its list from it.
// A file changed a moment ago is given the clock's step first.
void makeForNextOpen(const QString& dataFile);

// Waits for a list file being written.
void waitForWrite();

// Whether writeAfterRead writes list files: off until the program turns it
// on, so that a test or tool reading a data folder leaves it as it was, and
// no thread of its own acts on a folder a test is faulting call by call.
// Loading a list file, and removing it before a change, are always on.
void setWriting(bool on);

} // namespace CitationListFile

#pragma once
// The citation data file: records of 3000 bytes back to back, no header.
// Record n (from 1) starts at (n - 1) * 3000. The file is opened for one
// operation and closed again, so backup can copy it at any time.
#include "platform/Progress.h"
#include "store/CitationRecord.h"
#include "store/CitationSource.h"
#include "store/FileError.h"
#include "store/FileIo.h"

#include <QString>

class CitationFile {
public:
    // fileName defaults to CitationFileName, in the data folder (the working folder).
    explicit CitationFile(QString fileName = QString());
    ~CitationFile();
    CitationFile(const CitationFile&) = delete;
    CitationFile& operator=(const CitationFile&) = delete;

    const QString& fileName() const { return m_fileName; }

    // Opens the file (creating it empty when missing) and counts its records.
    // Refuses what is not a regular file and a file holding more records than
    // the program can number.
    bool OpenCitationFile();
    void CloseCitationFile();
    bool isOpen() const { return m_file.isOpen(); }

    // The number of records at the last open: the file length divided by 3000,
    // rounded to the nearest whole number, a half to the even neighbour.
    int CitationCount() const { return m_count; }
    static qint64 CountForLength(qint64 length);

    // Reads record n (1..CitationCount). A record cut short by a damaged file
    // reads its missing bytes as those of an empty record.
    bool ReadCitation(int n, CitationRecord& record);
    // Writes record n; n = CitationCount + 1 appends and grows the file by
    // 3000 bytes. Success means the record is on the disk; a failed write
    // leaves the file exactly as it was.
    bool WriteCitation(int n, const CitationRecord& record);
    // Removes record n by its position and compacts the file: the survivors
    // are written to the work file, flushed, and renamed over the data file in
    // one step; when none survives the data file is removed. Opens and closes
    // the file itself. On failure the data file is untouched.
    bool DeleteCitation(int n, const ProgressFn& progress = {});

    const FileError& lastError() const { return m_error; }

private:
    bool fail(const QString& what);

    QString m_fileName;
    FileIo::File m_file;
    int m_count = 0;
    FileError m_error;
};

// Reads citations by record number without ever creating or changing the
// file: for the list, the search, exports, counts and checks. A run through
// the file in record order is read in large blocks; a jump reads just the
// record asked for. A file that shrinks or cannot be read while it is read
// gives an error, not a crash.
class CitationFileView {
public:
    // fileName defaults to CitationFileName, in the data folder.
    explicit CitationFileView(QString fileName = QString());
    ~CitationFileView();
    CitationFileView(const CitationFileView&) = delete;
    CitationFileView& operator=(const CitationFileView&) = delete;

    // A missing file is an empty one, not an error.
    bool open();
    int count() const { return m_count; }
    qint64 size() const { return m_length; } // in bytes
    // The bytes of record n (1..count), always RecordLength long (a short
    // trailing record is completed as an empty record's bytes). Valid until
    // the next call. Null when the record could not be read or there is no
    // such record (lastError says why); the records before it were read whole.
    const char* record(int n);
    const FileError& lastError() const { return m_error; }
    const QString& fileName() const { return m_fileName; }

private:
    bool loadBlock(int n, int records);

    QString m_fileName;
    FileIo::File m_file;
    qint64 m_length = 0;
    int m_count = 0;
    QByteArray m_block; // records m_first .. m_first + m_inBlock - 1
    int m_first = 0;
    int m_inBlock = 0;
    int m_last = 0; // the record asked for last, 0 before the first
    bool m_readFailed = false; // the file could not be read on: no more records
    FileError m_error;
};

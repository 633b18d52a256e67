#pragma once
// Reads citations by record number from the data file without ever creating
// or changing it: for exports, counts and checks that look at the data while
// the program (or an administrator's script) keeps its hands off the file.
#include "store/CitationRecord.h"
#include "store/FileError.h"
#include "store/FileIo.h"

#include <QByteArray>
#include <QString>

class CitationReader {
public:
    // fileName defaults to CitationFileName, in the data folder.
    explicit CitationReader(QString fileName = QString());

    // Opens the file read-only and counts its records. A missing file is an
    // empty one; anything else that cannot be opened is an error.
    bool open();
    int count() const { return m_count; }
    qint64 size() const { return m_size; }
    // The bytes of record n (1..count), always RecordLength long (the missing
    // part of a cut-short last record reads as an empty record's). Valid until
    // the next call; null when it could not be read (lastError says why).
    // Records asked for in file order are read in large blocks.
    const char* record(int n);
    const FileError& lastError() const { return m_error; }
    const QString& fileName() const { return m_fileName; }

private:
    QString m_fileName;
    FileIo::File m_file;
    qint64 m_size = 0;
    int m_count = 0;
    QByteArray m_buffer; // records m_first .. m_first + m_inBuffer - 1
    int m_first = 0;
    int m_inBuffer = 0;
    int m_last = 0; // the record asked for last
    FileError m_error;
};

#pragma once
// Writes and reads data files byte by byte for tests, with its own copy of
// the record layouts, so a test never depends on a binary it cannot explain
// and the program's layout code is checked against an independent table.
#include "RecordBytes.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTime>

// One 3000-byte citation record.
class CitationBytes3000 : public RecordBytes<CitationBytes3000> {
public:
    CitationBytes3000(); // texts blank, numbers 0, format version 315

    // A typical citation with the list's four fields and the location.
    static CitationBytes3000 sample(const QByteArray& citationNumber, const QDate& offenseDate,
                                    const QByteArray& codeSection = "46.2-862",
                                    const QByteArray& occurredOn = "Rt 1 NB", const QByteArray& occurredAt = "MM 12");

    // Field names as in the layout table ("NCICNumber", "OffenseDate"...).
    static const QList<RecordField>& layout();
};

// One 1500-byte citation record of the earlier versions: no format version,
// the same sections one after the other from byte 0, then 559 bytes of notes.
class CitationBytes1500 : public RecordBytes<CitationBytes1500> {
public:
    CitationBytes1500(); // texts blank, numbers 0
    static const QList<RecordField>& layout();
};

void WriteCitations(const QString& path, const QList<CitationBytes3000>& records);
// The records of a citation file (3000 bytes each; a short tail is dropped).
QList<QByteArray> ReadCitations(const QString& path);

// A fresh temporary folder made the working folder (the data folder) for the
// life of the object; the process-wide names are initialised.
class TempDataFolder {
public:
    TempDataFolder();
    ~TempDataFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

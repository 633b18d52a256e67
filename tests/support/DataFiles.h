#pragma once
// Writes and reads data files byte by byte for tests, with its own copy of
// the record layouts, so a test never depends on a binary it cannot explain
// and the program's layout code is checked against an independent table.
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTime>

// One 3000-byte citation record.
class CitationBytes3000 {
public:
    CitationBytes3000(); // texts blank, numbers 0, format version 315

    // Field names as in the layout table ("NCICNumber", "OffenseDate"...).
    CitationBytes3000& text(const char* field, const QByteArray& latin1);
    CitationBytes3000& int16(const char* field, qint16 value);
    CitationBytes3000& date(const char* field, double value);
    CitationBytes3000& date(const char* field, const QDate& d, const QTime& t = QTime(0, 0));

    // A typical citation with the list's four fields and the location.
    static CitationBytes3000 sample(const QByteArray& citationNumber, const QDate& offenseDate,
                                    const QByteArray& codeSection = "46.2-862",
                                    const QByteArray& occurredOn = "Rt 1 NB", const QByteArray& occurredAt = "MM 12");

    const QByteArray& bytes() const { return m_bytes; }

    struct Field {
        const char* name;
        int offset;
        int width;
        char type; // 't' text, 'i' int16, 'd' date
    };
    static const QList<Field>& layout();
    static const Field& find(const char* name);

    static QByteArray readText(const QByteArray& record, const char* field); // raw, untrimmed
    static qint16 readInt16(const QByteArray& record, const char* field);
    static double readDate(const QByteArray& record, const char* field);

private:
    QByteArray m_bytes;
};

double OleDate(const QDate& d, const QTime& t = QTime(0, 0));

void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);
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

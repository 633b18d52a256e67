#pragma once
// The audit trail of a data folder: "Sennet.Audit", only ever appended to,
// one entry per line (UTF-8 JSON ended by CR LF, see AuditEntry.h). Each
// entry carries the SHA-256 of its own content and of the entry before it,
// so changing, removing or inserting an entry breaks the chain. Beside it,
// "Sennet.AuditCount" keeps how many entries the program wrote and the last
// one's hash, so that dropping the last entries is caught too:
//
//     00000000000000001234 <64 hex digits of entry 1234's hash> <state> CR LF
//
// (state: a blank, or "x" while the last entry is being withdrawn). Both go
// through the file layer, flushed before success is reported and put back
// when a write fails, but without intent files (one flush each instead of
// two): the entry goes first, then the count, and the next writer (or the
// next start) puts right what a crash leaves. An unfinished line after the
// entry the count names was being added and comes off; a count left one
// behind is brought up to date; a count cut off while it was written (each
// byte the old record's or the new one's) is written again. A check reports
// these as notes, not damage.
//
// "Sennet.AuditIndex" holds 48 bytes per line (where it lies, its moment,
// action, user and citation number as keys) so that a reader finds entries
// among millions without parsing them. It is derived from the trail alone:
// brought up to date (or rebuilt) whenever it falls behind, never trusted
// for what an entry says.
#include "audit/AuditEntry.h"
#include "store/FileError.h"
#include "store/FileIo.h"

#include <QList>
#include <QString>
#include <functional>
#include <vector>

namespace AuditFiles {
QString trail();  // application title + ".Audit"
QString count();  // + ".AuditCount"
QString index();  // + ".AuditIndex"
// The longest entry line the trail takes (a deletion's whole citation fits
// many times over).
inline constexpr int MaxEntryLength = 256 * 1024;
inline constexpr int CountRecordLength = 89;
} // namespace AuditFiles

// One line of the trail as the index keeps it.
struct AuditIndexRecord {
    qint64 offset = 0;
    quint32 length = 0;     // with its line end
    quint16 action = 0xffff; // AuditAction, 0xffff when unreadable
    qint64 utcSeconds = 0;
    qint32 localDay = 0;    // the local date's Julian day
    quint64 userKey = 0;    // of AuditLine::foldKey(user); 0 when empty
    quint64 citationKey = 0;
};
quint64 auditKey(const QString& text);

class AuditTrailFile {
public:
    // Works on the files of the working folder (the data folder).
    AuditTrailFile() = default;

    // Adds `entry` at the end, numbering and chaining it (its number and
    // hashes are set). The whole entry and its count, or neither.
    bool append(AuditEntry& entry, FileError& error);
    // Takes back entry `number`, the program's own last entry, when the
    // change it records was refused after it was written. Fails (changing
    // nothing) when it is not the last entry.
    bool withdraw(qint64 number, FileError& error);

    // Puts the files in order after a crash, as the next entry would: a
    // count left one behind is brought up to date, a withdrawal cut short is
    // finished. For the start of the program; nothing to do is no error.
    bool finishInterrupted(FileError& error);

    // Entries matching `filter`, newest first: up to `count` of them from the
    // `first` (0-based). `total` gets how many match in all.
    bool read(const AuditFilter& filter, qint64 first, int count, QList<AuditEntry>& entries, qint64& total,
              FileError& error);

    // Walks the chain and compares the end with the count; changes nothing.
    AuditVerdict verify();

    // Every line of the trail in order, for dumps: visit gets the line
    // number (from 1), its bytes (without the line end) and what they say;
    // false from it stops.
    bool forEachLine(
        const std::function<bool(qint64 line, const QByteArray& bytes, const AuditLine::Parsed& parsed)>& visit,
        FileError& error);

    // Whether the index file may be written (a reader that must change
    // nothing keeps it in memory only).
    void setWriteIndex(bool write) { m_writeIndex = write; }

private:
    bool appendTo(FileIo::File& trail, FileIo::File& count, AuditEntry& entry, FileError& error);
    bool updateIndex(FileError& error);
    bool readLine(qint64 offset, quint32 length, QByteArray& line, FileError& error);

    bool m_writeIndex = true;
    QString m_folder; // the working folder m_index belongs to
    std::vector<AuditIndexRecord> m_index; // one per line, in file order
    qint64 m_indexedSize = -1;             // the trail size m_index covers
    qint64 m_lines = 0;                    // lines a reader may show
    // The matches of the last filter, newest first (positions in m_index).
    AuditFilter m_lastFilter;
    qint64 m_lastFilterSize = -1;
    std::vector<qint32> m_matches;
};

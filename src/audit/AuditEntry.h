#pragma once
// One entry of the audit trail: who did what, when, from which desk, to
// which citation, with the details that let a reader see exactly what
// changed or was disclosed. Entries are kept one per line as UTF-8 JSON,
// chained by SHA-256 hashes (see AuditTrail.h).
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// What an entry records. The text names (auditActionName) are what the
// trail stores and what filters and scripts match on: they never change.
enum class AuditAction : quint16 {
    CitationAdded,
    CitationEdited,
    CitationDeleted,
    CitationPrinted,   // one citation's sheet
    ListPrinted,       // the list on display
    ListExported,      // Export List, export-csv
    StatisticsPrinted,
    UserAdded,
    UserChanged,
    UserRemoved,
    LogIn,
    LogOut,
    FailedLogIn,
    UserLockedOut,
    AccessCodeUsed,
    Backup,
    Restore,
    Conversion,
    Import,
    Count
};

// "citation-added", "log-in", ...
QString auditActionName(AuditAction action);
// "Citation added", "Log-in", ... as the viewer shows them.
QString auditActionCaption(AuditAction action);
std::optional<AuditAction> auditActionFromName(const QString& name);

struct AuditEntry {
    qint64 number = 0;  // from 1, given when the entry is added to the trail
    QDateTime time;     // the local moment; its offset from UTC is kept with it
    QString user;       // the display name; for a failed log-in the name chosen
    int level = 0;      // the access level, 0 when none
    QString desk;       // the desk's name (DeskName())
    AuditAction action = AuditAction::LogIn;
    QString citation;   // the citation number, empty when none applies
    qint32 key = 0;     // the citation's record key, 0 when none applies
    QJsonObject details;
    QByteArray previousHash; // hex, as stored
    QByteArray hash;         // hex, as stored

    QDateTime utc() const { return time.toUTC(); }
};

// The name of this desk, as the audit trail, the user log and a server's
// rows record who changed what from where: the host name unless the
// command line gave another (--desk), so that two program windows on one
// computer can stand for two desks.
QString DeskName();
// Names this desk; an empty name goes back to the host name.
void SetDeskName(const QString& name);

// An entry made now at this desk (the clock seam, DeskName()), for
// `user` with `level`.
AuditEntry makeAuditEntry(AuditAction action, const QString& user, int level);

// Which entries a reader wants. Empty members do not filter.
struct AuditFilter {
    QDate from, to;            // local dates, both included
    QString user;              // the whole name, case ignored
    std::optional<AuditAction> action;
    QString citation;          // blanks at both ends and case ignored
    bool isEmpty() const
    {
        return !from.isValid() && !to.isValid() && user.trimmed().isEmpty() && !action
            && citation.trimmed().isEmpty();
    }
    bool operator==(const AuditFilter&) const = default;
    bool matches(const AuditEntry& entry) const;
};

// What a check of the trail found.
struct AuditVerdict {
    bool clean = true;
    qint64 entries = 0;      // lines in the trail
    qint64 firstBad = 0;     // the entry (or line) the first problem is in, 0 when clean
    QString problem;         // the first problem, as a sentence naming the entry
    QStringList notes;       // things worth knowing that are not tampering
};

namespace AuditLine {

// The hash of the first entry's predecessor.
QByteArray genesisHash();

// The line of an entry (without its line end), hash computed from its
// content and `previousHash`; entry.number must be set.
QByteArray encode(const AuditEntry& entry, const QByteArray& previousHash);

// The stored parts of a line, as far as they can be read.
struct Parsed {
    bool readable = false;   // JSON with the members an entry has
    bool hashMatches = false; // the stored hash is the hash of the content
    AuditEntry entry;
};
Parsed parse(const QByteArray& line);

// The SHA-256 (hex) a line's content must carry: over the line's bytes up
// to its hash member. Empty when the line has no hash member at its end.
QByteArray contentHash(const QByteArray& line);

// The fold used to compare names and citation numbers.
QString foldKey(const QString& text);

} // namespace AuditLine

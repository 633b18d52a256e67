#pragma once
// Where the audit trail is kept, behind one interface: the data folder's
// "Sennet.Audit" (FolderAuditStore), or a server's table written in the same
// transaction as the change it records.
#include "audit/AuditEntry.h"
#include "store/FileError.h"

#include <QList>
#include <functional>
#include <memory>

class AuditStore {
public:
    virtual ~AuditStore() = default;

    // Adds one entry (numbered and chained here: its number and hashes are
    // set). The whole entry or, on failure, nothing.
    virtual bool append(AuditEntry& entry, FileError& error) = 0;
    // Takes back entry `number` when the change it records was refused
    // after the entry was written; only the last entry can be taken back.
    virtual bool withdraw(qint64 number, FileError& error) = 0;
    // The entries matching `filter`, newest first: up to `count` from the
    // `first` (0-based); `total` gets how many match in all.
    virtual bool read(const AuditFilter& filter, qint64 first, int count, QList<AuditEntry>& entries, qint64& total,
                      FileError& error) = 0;
    // Checks that no entry was changed, removed or inserted; changes nothing.
    virtual AuditVerdict verify() = 0;
    // Every entry oldest first, for dumps: visit gets its place (from 1),
    // its stored line and what the line says; false from it stops.
    // A store that cannot list its lines says so.
    using LineVisit = std::function<bool(qint64 line, const QByteArray& bytes, const AuditLine::Parsed& parsed)>;
    virtual bool forEachLine(const LineVisit& visit, FileError& error)
    {
        (void)visit;
        error = {};
        error.text = QStringLiteral("The audit trail cannot be listed here.");
        return false;
    }
    // At start: puts the trail in order after a crash (a count one behind,
    // a withdrawal cut short). A store that cannot be left so has nothing to do.
    virtual bool finishInterrupted(FileError& error) { return error.clear(), true; }
};

// The audit store of this run: the storage's (storage().audit()) unless a
// test set another.
AuditStore& auditStore();
// Puts another store in the storage's place (tests); nullptr goes back to
// the storage's own.
void setAuditStore(std::unique_ptr<AuditStore> replacement);

// An entry of `action` by the logged-in user (CurrentUserName and
// CurrentAccessLevel) at this desk, now.
AuditEntry currentAuditEntry(AuditAction action);
// Stamps `entry` with the logged-in user, this desk and the present moment
// unless it carries them already, and adds it to auditStore(); `number`
// gets its number, for a withdraw() when the change it records then fails.
bool recordAudit(AuditEntry entry, FileError& error, qint64* number = nullptr);

// A change recorded in the trail: `entry` is added first (a failure to add
// it refuses the change, `error` then being the trail's), then `change`
// runs; when the change is refused the entry is taken back again. So the
// trail never lacks a change made, nor holds one refused. True when both
// were done.
bool RunAuditedChange(AuditEntry entry, FileError& error, const std::function<bool(FileError& error)>& change);

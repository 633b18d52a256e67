#pragma once
// Where the audit trail is kept, behind one interface: the data folder's
// "Sennet.Audit" (FolderAuditStore), or a server's table written in the same
// transaction as the change it records.
#include "audit/AuditEntry.h"
#include "store/FileError.h"

#include <QList>
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
    // At start: puts the trail in order after a crash (a count one behind,
    // a withdrawal cut short). A store that cannot be left so has nothing to do.
    virtual bool finishInterrupted(FileError& error) { return error.clear(), true; }
};

// The audit store of this run: the data folder's until one is set.
AuditStore& auditStore();
// Replaces it (a server's, a test's); nullptr goes back to the folder.
void setAuditStore(std::unique_ptr<AuditStore> replacement);

// An entry of `action` by the logged-in user (CurrentUserName and
// CurrentAccessLevel) at this desk, now.
AuditEntry currentAuditEntry(AuditAction action);
// Stamps `entry` with the logged-in user, this desk and the present moment
// unless it carries them already, and adds it to auditStore(); `number`
// gets its number, for a withdraw() when the change it records then fails.
bool recordAudit(AuditEntry entry, FileError& error, qint64* number = nullptr);

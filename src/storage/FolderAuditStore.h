#pragma once
// The audit trail of the data folder: "Sennet.Audit" and the files beside it.
#include "audit/AuditTrail.h"
#include "storage/AuditStore.h"

class FolderAuditStore final : public AuditStore {
public:
    bool append(AuditEntry& entry, FileError& error) override { return m_trail.append(entry, error); }
    bool withdraw(qint64 number, FileError& error) override { return m_trail.withdraw(number, error); }
    bool read(const AuditFilter& filter, qint64 first, int count, QList<AuditEntry>& entries, qint64& total,
              FileError& error) override
    {
        return m_trail.read(filter, first, count, entries, total, error);
    }
    AuditVerdict verify() override { return m_trail.verify(); }
    bool finishInterrupted(FileError& error) override { return m_trail.finishInterrupted(error); }
    bool forEachLine(const LineVisit& visit, FileError& error) override { return m_trail.forEachLine(visit, error); }

    AuditTrailFile& trail() { return m_trail; }

private:
    AuditTrailFile m_trail;
};

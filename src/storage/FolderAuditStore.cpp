#include "storage/FolderAuditStore.h"

#include "session/ProcessState.h"

#include <QSysInfo>

namespace {
std::unique_ptr<AuditStore>& current()
{
    static std::unique_ptr<AuditStore> store;
    return store;
}
} // namespace

AuditStore& auditStore()
{
    if (!current())
        current() = std::make_unique<FolderAuditStore>();
    return *current();
}

void setAuditStore(std::unique_ptr<AuditStore> replacement) { current() = std::move(replacement); }

AuditEntry currentAuditEntry(AuditAction action)
{
    return makeAuditEntry(action, CurrentUserName, CurrentAccessLevel);
}

bool recordAudit(AuditEntry entry, FileError& error, qint64* number)
{
    const AuditEntry stamp = currentAuditEntry(entry.action);
    if (!entry.time.isValid())
        entry.time = stamp.time;
    if (entry.user.isEmpty()) {
        entry.user = stamp.user;
        entry.level = stamp.level;
    }
    if (entry.desk.isEmpty())
        entry.desk = stamp.desk;
    const bool ok = auditStore().append(entry, error);
    if (number)
        *number = ok ? entry.number : 0;
    return ok;
}

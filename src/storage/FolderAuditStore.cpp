#include "storage/FolderAuditStore.h"

#include "session/ProcessState.h"
#include "storage/Storage.h"

#include <QSysInfo>

namespace {
std::unique_ptr<AuditStore>& current()
{
    static std::unique_ptr<AuditStore> store;
    return store;
}
} // namespace

AuditStore& auditStore() { return current() ? *current() : storage().audit(); }

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

bool RunAuditedChange(AuditEntry entry, FileError& error, const std::function<bool(FileError& error)>& change)
{
    qint64 number = 0;
    if (!recordAudit(std::move(entry), error, &number))
        return false;
    if (change(error))
        return true;
    FileError withdrawal;
    if (!auditStore().withdraw(number, withdrawal)) {
        const QString more = QStringLiteral(", and its audit entry could not be taken back: %1").arg(withdrawal.message());
        (error.text.isEmpty() ? error.what : error.text) += more;
    }
    return false;
}

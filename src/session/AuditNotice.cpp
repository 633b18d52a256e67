#include "session/AuditNotice.h"

#include "platform/Messages.h"
#include "storage/AuditStore.h"

QString AuditNotRecordedText(const QString& reason, const QString& what)
{
    return reason + u'.' + CRLF + CRLF + QStringLiteral("The audit trail does not record ") + what + u'.';
}

bool RecordOrTell(const AuditEntry& entry, const QString& what)
{
    FileError error;
    if (recordAudit(entry, error))
        return true;
    MsgBox(AuditNotRecordedText(error.message(), what), Msg::OKOnly | Msg::Exclamation,
           QStringLiteral("Audit Trail"));
    return false;
}

#pragma once
// Recording in the audit trail what changes nothing but must be known: a
// printout, an export, a log-in or log-out. The action has happened already,
// so a trail that cannot take the entry does not undo it; the user is told
// that it is not recorded.
#include "audit/AuditEntry.h"

// Adds `entry` to the trail; on failure shows the trail's reason and that
// `what` ("this printout", "this log-in") is not recorded. False then.
bool RecordOrTell(const AuditEntry& entry, const QString& what);

// "<reason>." and, after an empty line, "The audit trail does not record <what>."
QString AuditNotRecordedText(const QString& reason, const QString& what);

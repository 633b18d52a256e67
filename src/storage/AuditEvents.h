#pragma once
// The entries of each audited action, with their details built from the
// records involved. Each returns an entry with its action, citation, key
// and details; recordAudit() adds who, where and when:
//
//     recordAudit(AuditEvents::citationEdited(before, after, key), error);
//
// Passwords never reach an entry, in any form: a user's entries name a
// changed password only as changed.
#include "audit/AuditEntry.h"
#include "storage/Storage.h"

#include <QJsonArray>
#include <QStringList>
#include <optional>

namespace AuditEvents {

// A whole citation: every field that is not empty, by its layout name, and
// the record's 3000 bytes (base64) from which it is rebuilt byte for byte.
QJsonObject citationSnapshot(const CitationRecord& record);
std::optional<CitationRecord> citationFromDetails(const QJsonObject& details);
// Each field whose bytes differ: {"field", "old", "new"}.
QJsonArray citationChanges(const CitationRecord& before, const CitationRecord& after);
// A field's value as an entry shows it: text, number, or date as ISO text
// ("yyyy-mm-dd", "hh:mm:ss", both with a "T"); null for an empty date.
QJsonValue citationFieldValue(const CitationRecord& record, CitationField field);

// The fields entered (as a snapshot's "fields"); a deletion's entry also
// keeps the record's bytes.
AuditEntry citationAdded(const CitationRecord& record, CitationKey key);
AuditEntry citationEdited(const CitationRecord& before, const CitationRecord& after, CitationKey key);
AuditEntry citationDeleted(const CitationRecord& record, CitationKey key);
AuditEntry citationPrinted(const CitationRecord& record, CitationKey key, bool withNotes);
// `scope`: "all citations" or the search that made the sub-list.
AuditEntry listPrinted(qint64 count, const QString& scope);
AuditEntry listExported(const QString& file, qint64 count, bool everyField);
AuditEntry statisticsPrinted(qint64 count, const QDate& from, const QDate& to);

AuditEntry userAdded(const UserRecord& user);
// Names, comments and a level change with both level names; a new password
// only as {"field": "Password", "changed": true} (the caller knows: stored
// forms differ at every save, even of the same password).
AuditEntry userChanged(const UserRecord& before, const UserRecord& after, bool passwordChanged);
AuditEntry userRemoved(const UserRecord& user);

AuditEntry logIn();
AuditEntry logOut();
// The name picked in the list, never what was typed as the password.
// `reason`: "wrong password" or "locked out".
AuditEntry failedLogIn(const QString& userName, const QString& reason);
AuditEntry userLockedOut(const QString& userName, int attempts, int minutes);
// `purpose`: "user administration", "unlock <name>"...
AuditEntry accessCodeUsed(const QString& purpose, bool accepted);

// `files`: the files copied; `result`: "done" or the failure as shown.
AuditEntry backup(const QString& folder, const QStringList& files, const QString& result);
AuditEntry restore(const QString& folder, const QStringList& files, const QString& result);
AuditEntry conversion(const QString& file, qint64 count, const QString& result);
AuditEntry import(const QString& file, qint64 count);

} // namespace AuditEvents

#include "storage/AuditEvents.h"

#include "session/ProcessState.h"

#include <QFileInfo>
#include <cmath>

namespace AuditEvents {
namespace {

AuditEntry entry(AuditAction action) // who, where and when come with recordAudit
{
    AuditEntry e;
    e.action = action;
    return e;
}

AuditEntry citationEntry(AuditAction action, const CitationRecord& record, CitationKey key)
{
    AuditEntry e = entry(action);
    e.citation = record.text(CitationField::CitationNumber);
    e.key = key;
    return e;
}

QString levelName(int level)
{
    const QString name = AccessLevelName(level);
    return name.isEmpty() ? QString::number(level) : name;
}

QJsonObject userSummary(const UserRecord& user)
{
    return {{QStringLiteral("name"), DisplayName(user)},
            {QStringLiteral("level"), user.AccessLevel()},
            {QStringLiteral("levelName"), levelName(user.AccessLevel())},
            {QStringLiteral("comments"), user.Comments()}};
}

QString dateText(const QDate& d) { return d.isValid() ? d.toString(Qt::ISODate) : QString(); }

} // namespace

QJsonValue citationFieldValue(const CitationRecord& record, CitationField field)
{
    const FieldSpec& layout = CitationLayout::field(field);
    switch (layout.type) {
    case FieldType::Text:
        return record.text(field);
    case FieldType::Int16:
        return record.int16(field);
    case FieldType::Date: {
        const DateValue v = record.date(field);
        if (v == 0.0)
            return QJsonValue::Null;
        if (!IsInDateRange(v))
            return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QStringLiteral("not a number"));
        const QTime time = TimePart(v);
        if (v > 0.0 && v < 1.0)
            return time.toString(QStringLiteral("HH:mm:ss"));
        const QString date = DatePart(v).toString(Qt::ISODate);
        return time == QTime(0, 0) ? date : date + u'T' + time.toString(QStringLiteral("HH:mm:ss"));
    }
    }
    return {};
}

QJsonObject citationSnapshot(const CitationRecord& record)
{
    QJsonObject fields;
    for (const FieldSpec& f : CitationLayout::fields()) {
        const QJsonValue v = citationFieldValue(record, f.id);
        if (v.isNull() || (v.isString() && v.toString().isEmpty()) || (v.isDouble() && v.toDouble() == 0))
            continue;
        fields.insert(QLatin1String(f.name), v);
    }
    return {{QStringLiteral("fields"), fields},
            {QStringLiteral("record"), QString::fromLatin1(record.bytes().toBase64())}};
}

std::optional<CitationRecord> citationFromDetails(const QJsonObject& details)
{
    const auto decoded = QByteArray::fromBase64Encoding(details.value(QLatin1String("record")).toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != CitationLayout::RecordLength)
        return std::nullopt;
    return CitationRecord::fromBytes(decoded.decoded.constData(), decoded.decoded.size());
}

QJsonArray citationChanges(const CitationRecord& before, const CitationRecord& after)
{
    QJsonArray changes;
    for (const FieldSpec& f : CitationLayout::fields()) {
        if (before.bytes().mid(f.offset, f.width) == after.bytes().mid(f.offset, f.width))
            continue;
        changes.append(QJsonObject{{QStringLiteral("field"), QLatin1String(f.name)},
                                   {QStringLiteral("old"), citationFieldValue(before, f.id)},
                                   {QStringLiteral("new"), citationFieldValue(after, f.id)}});
    }
    return changes;
}

AuditEntry citationAdded(const CitationRecord& record, CitationKey key)
{
    // What was entered, readable; the record's bytes are kept only where the
    // citation is gone (a deletion), so that the trail stays small.
    AuditEntry e = citationEntry(AuditAction::CitationAdded, record, key);
    e.details = {{QStringLiteral("fields"), citationSnapshot(record).value(QLatin1String("fields"))}};
    return e;
}

AuditEntry citationEdited(const CitationRecord& before, const CitationRecord& after, CitationKey key)
{
    AuditEntry e = citationEntry(AuditAction::CitationEdited, after, key);
    e.details = {{QStringLiteral("changes"), citationChanges(before, after)}};
    const QString oldNumber = before.text(CitationField::CitationNumber);
    if (oldNumber != e.citation)
        e.details.insert(QStringLiteral("previousCitation"), oldNumber);
    return e;
}

AuditEntry citationDeleted(const CitationRecord& record, CitationKey key)
{
    AuditEntry e = citationEntry(AuditAction::CitationDeleted, record, key);
    e.details = citationSnapshot(record);
    return e;
}

AuditEntry citationPrinted(const CitationRecord& record, CitationKey key, bool withNotes)
{
    AuditEntry e = citationEntry(AuditAction::CitationPrinted, record, key);
    e.details = {{QStringLiteral("form"), QStringLiteral("sheet")}, {QStringLiteral("notes"), withNotes}};
    return e;
}

AuditEntry listPrinted(qint64 count, const QString& scope)
{
    AuditEntry e = entry(AuditAction::ListPrinted);
    e.details = {{QStringLiteral("form"), QStringLiteral("list")},
                 {QStringLiteral("count"), count},
                 {QStringLiteral("scope"), scope}};
    return e;
}

AuditEntry listExported(const QString& file, qint64 count, bool everyField)
{
    AuditEntry e = entry(AuditAction::ListExported);
    e.details = {{QStringLiteral("file"), file},
                 {QStringLiteral("count"), count},
                 {QStringLiteral("columns"), everyField ? QStringLiteral("every field") : QStringLiteral("list")}};
    return e;
}

AuditEntry statisticsPrinted(qint64 count, const QDate& from, const QDate& to)
{
    AuditEntry e = entry(AuditAction::StatisticsPrinted);
    e.details = {{QStringLiteral("count"), count},
                 {QStringLiteral("from"), dateText(from)},
                 {QStringLiteral("to"), dateText(to)}};
    return e;
}

AuditEntry userAdded(const UserRecord& user)
{
    AuditEntry e = entry(AuditAction::UserAdded);
    e.details = {{QStringLiteral("user"), userSummary(user)}};
    return e;
}

AuditEntry userChanged(const UserRecord& before, const UserRecord& after, bool passwordChanged)
{
    AuditEntry e = entry(AuditAction::UserChanged);
    QJsonArray changes;
    auto text = [&](const char* field, const QString& was, const QString& now) {
        if (was != now)
            changes.append(QJsonObject{{QStringLiteral("field"), QLatin1String(field)},
                                       {QStringLiteral("old"), was},
                                       {QStringLiteral("new"), now}});
    };
    text("FirstName", before.FirstName(), after.FirstName());
    text("LastName", before.LastName(), after.LastName());
    if (before.AccessLevel() != after.AccessLevel())
        changes.append(QJsonObject{{QStringLiteral("field"), QStringLiteral("AccessLevel")},
                                   {QStringLiteral("old"), levelName(before.AccessLevel())},
                                   {QStringLiteral("new"), levelName(after.AccessLevel())}});
    text("Comments", before.Comments(), after.Comments());
    if (passwordChanged)
        changes.append(QJsonObject{{QStringLiteral("field"), QStringLiteral("Password")},
                                   {QStringLiteral("changed"), true}});
    e.details = {{QStringLiteral("user"), DisplayName(before)}, {QStringLiteral("changes"), changes}};
    return e;
}

AuditEntry userRemoved(const UserRecord& user)
{
    AuditEntry e = entry(AuditAction::UserRemoved);
    e.details = {{QStringLiteral("user"), userSummary(user)}};
    return e;
}

AuditEntry logIn() { return entry(AuditAction::LogIn); }
AuditEntry logOut() { return entry(AuditAction::LogOut); }

AuditEntry failedLogIn(const QString& userName, const QString& reason)
{
    AuditEntry e = entry(AuditAction::FailedLogIn);
    e.user = userName;
    e.details = {{QStringLiteral("reason"), reason}};
    return e;
}

AuditEntry userLockedOut(const QString& userName, int attempts, int minutes)
{
    AuditEntry e = entry(AuditAction::UserLockedOut);
    e.user = userName;
    e.details = {{QStringLiteral("attempts"), attempts}, {QStringLiteral("minutes"), minutes}};
    return e;
}

AuditEntry accessCodeUsed(const QString& purpose, bool accepted)
{
    AuditEntry e = entry(AuditAction::AccessCodeUsed);
    e.details = {{QStringLiteral("purpose"), purpose}, {QStringLiteral("accepted"), accepted}};
    return e;
}

AuditEntry backup(const QString& folder, const QStringList& files, const QString& result)
{
    AuditEntry e = entry(AuditAction::Backup);
    e.details = {{QStringLiteral("folder"), folder},
                 {QStringLiteral("files"), QJsonArray::fromStringList(files)},
                 {QStringLiteral("result"), result}};
    return e;
}

AuditEntry restore(const QString& folder, const QStringList& files, const QString& result)
{
    AuditEntry e = backup(folder, files, result);
    e.action = AuditAction::Restore;
    return e;
}

AuditEntry conversion(const QString& file, qint64 count, const QString& result)
{
    AuditEntry e = entry(AuditAction::Conversion);
    e.details = {{QStringLiteral("file"), file}, {QStringLiteral("count"), count}, {QStringLiteral("result"), result}};
    return e;
}

AuditEntry import(const QString& file, qint64 count)
{
    AuditEntry e = entry(AuditAction::Import);
    e.details = {{QStringLiteral("file"), QFileInfo(file).fileName()},
                 {QStringLiteral("path"), file},
                 {QStringLiteral("count"), count}};
    return e;
}

} // namespace AuditEvents

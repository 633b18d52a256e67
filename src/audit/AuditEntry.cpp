#include "audit/AuditEntry.h"

#include "platform/Clock.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <QTimeZone>
#include <array>

namespace {

struct ActionName {
    const char* name;
    const char* caption;
};

constexpr std::array<ActionName, size_t(AuditAction::Count)> ActionNames{{
    {"citation-added", "Citation added"},
    {"citation-edited", "Citation edited"},
    {"citation-deleted", "Citation deleted"},
    {"citation-printed", "Citation printed"},
    {"list-printed", "List printed"},
    {"list-exported", "List exported"},
    {"statistics-printed", "Statistics printed"},
    {"user-added", "User added"},
    {"user-changed", "User changed"},
    {"user-removed", "User removed"},
    {"log-in", "Log-in"},
    {"log-out", "Log-out"},
    {"failed-log-in", "Failed log-in"},
    {"user-locked-out", "User locked out"},
    {"access-code-used", "Access code used"},
    {"backup", "Backup"},
    {"restore", "Restore"},
    {"conversion", "Older data file converted"},
    {"import", "Citations imported"},
}};

// A JSON string or other value as compact text.
QByteArray jsonText(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

constexpr char HashMarker[] = ",\"hash\":\"";
constexpr int HashMarkerLength = sizeof(HashMarker) - 1;
constexpr int HexLength = 64;
constexpr int SuffixLength = HashMarkerLength + HexLength + 2; // ,"hash":"<hex>"}

bool isHex(const QByteArray& text)
{
    if (text.size() != HexLength)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

} // namespace

QString auditActionName(AuditAction action)
{
    return action < AuditAction::Count ? QString::fromLatin1(ActionNames[size_t(action)].name) : QString();
}

QString auditActionCaption(AuditAction action)
{
    return action < AuditAction::Count ? QString::fromLatin1(ActionNames[size_t(action)].caption) : QString();
}

std::optional<AuditAction> auditActionFromName(const QString& name)
{
    for (size_t i = 0; i < ActionNames.size(); ++i)
        if (name == QLatin1String(ActionNames[i].name))
            return AuditAction(i);
    return std::nullopt;
}

namespace {
QString& givenDeskName()
{
    static QString name;
    return name;
}
} // namespace

QString DeskName()
{
    const QString& given = givenDeskName();
    return given.isEmpty() ? QSysInfo::machineHostName() : given;
}

void SetDeskName(const QString& name) { givenDeskName() = name.trimmed(); }

AuditEntry makeAuditEntry(AuditAction action, const QString& user, int level)
{
    AuditEntry entry;
    const QDateTime now = Now();
    // Keep the offset the local clock had at that moment, whatever the zone
    // rules say later.
    entry.time = now.toOffsetFromUtc(now.offsetFromUtc());
    entry.user = user;
    entry.level = level;
    entry.desk = DeskName();
    entry.action = action;
    return entry;
}

bool AuditFilter::matches(const AuditEntry& entry) const
{
    const QDate day = entry.time.date();
    if (from.isValid() && day < from)
        return false;
    if (to.isValid() && day > to)
        return false;
    if (action && entry.action != *action)
        return false;
    if (!user.trimmed().isEmpty() && AuditLine::foldKey(user) != AuditLine::foldKey(entry.user))
        return false;
    if (!citation.trimmed().isEmpty() && AuditLine::foldKey(citation) != AuditLine::foldKey(entry.citation))
        return false;
    return true;
}

namespace AuditLine {

QByteArray genesisHash() { return QByteArray(HexLength, '0'); }

QString foldKey(const QString& text) { return text.trimmed().toCaseFolded(); }

QByteArray encode(const AuditEntry& entry, const QByteArray& previousHash)
{
    const QDateTime local = entry.time.toOffsetFromUtc(entry.time.offsetFromUtc());
    QByteArray line;
    line.reserve(512);
    line += "{\"entry\":" + QByteArray::number(entry.number);
    line += ",\"utc\":\"" + entry.time.toUTC().toString(Qt::ISODate).toLatin1() + '"';
    line += ",\"local\":\"" + local.toString(Qt::ISODate).toLatin1() + '"';
    line += ",\"user\":" + jsonText(entry.user);
    line += ",\"level\":" + QByteArray::number(entry.level);
    line += ",\"desk\":" + jsonText(entry.desk);
    line += ",\"action\":\"" + auditActionName(entry.action).toLatin1() + '"';
    line += ",\"citation\":" + (entry.citation.isEmpty() ? QByteArray("null") : jsonText(entry.citation));
    line += ",\"key\":" + (entry.key > 0 ? QByteArray::number(entry.key) : QByteArray("null"));
    line += ",\"details\":" + QJsonDocument(entry.details).toJson(QJsonDocument::Compact);
    line += ",\"prev\":\"" + previousHash + '"';
    const QByteArray hash = QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex();
    line += HashMarker + hash + "\"}";
    return line;
}

QByteArray contentHash(const QByteArray& line)
{
    if (line.size() < SuffixLength || !line.endsWith("\"}")
        || line.mid(line.size() - SuffixLength, HashMarkerLength) != HashMarker)
        return {};
    return QCryptographicHash::hash(QByteArrayView(line).first(line.size() - SuffixLength),
                                    QCryptographicHash::Sha256)
        .toHex();
}

Parsed parse(const QByteArray& rawLine)
{
    Parsed parsed;
    QByteArray line = rawLine;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return parsed;
    const QJsonObject o = document.object();
    AuditEntry& e = parsed.entry;
    const std::optional<AuditAction> action = auditActionFromName(o.value(QLatin1String("action")).toString());
    const QDateTime utc = QDateTime::fromString(o.value(QLatin1String("utc")).toString(), Qt::ISODate);
    const QDateTime local = QDateTime::fromString(o.value(QLatin1String("local")).toString(), Qt::ISODate);
    e.number = qint64(o.value(QLatin1String("entry")).toDouble());
    e.hash = o.value(QLatin1String("hash")).toString().toLatin1();
    e.previousHash = o.value(QLatin1String("prev")).toString().toLatin1();
    parsed.readable = action && utc.isValid() && e.number > 0 && isHex(e.hash) && isHex(e.previousHash)
        && o.value(QLatin1String("user")).isString() && o.value(QLatin1String("details")).isObject();
    if (!parsed.readable)
        return parsed;
    e.action = *action;
    e.time = utc.toOffsetFromUtc(local.isValid() ? local.offsetFromUtc() : 0);
    e.user = o.value(QLatin1String("user")).toString();
    e.level = o.value(QLatin1String("level")).toInt();
    e.desk = o.value(QLatin1String("desk")).toString();
    e.citation = o.value(QLatin1String("citation")).toString();
    e.key = o.value(QLatin1String("key")).toInt();
    e.details = o.value(QLatin1String("details")).toObject();
    parsed.hashMatches = contentHash(line) == e.hash;
    return parsed;
}

} // namespace AuditLine

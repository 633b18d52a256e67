#include "server/PgConnection.h"

#include <QStringList>
#include <QtEndian>
#include <libpq-fe.h>

namespace {

template <typename T>
QByteArray bigEndian(T value)
{
    QByteArray out(sizeof(T), Qt::Uninitialized);
    qToBigEndian<T>(value, out.data());
    return out;
}

// The pieces of a connection string, for naming the server before (or
// without) a connection.
void parsedPlace(const QByteArray& url, QString& host, QString& database, QString* user = nullptr)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.constData(), &error);
    PQfreemem(error);
    if (!options)
        return;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        if (qstrcmp(o->keyword, "host") == 0)
            host = QString::fromUtf8(o->val);
        else if (qstrcmp(o->keyword, "dbname") == 0)
            database = QString::fromUtf8(o->val);
        else if (user && qstrcmp(o->keyword, "user") == 0)
            *user = QString::fromUtf8(o->val);
    }
    PQconninfoFree(options);
}

} // namespace

QString PgReason(const char* message)
{
    QStringList parts;
    for (const QString& line : QString::fromUtf8(message ? message : "").split(u'\n'))
        if (!line.trimmed().isEmpty())
            parts << line.trimmed();
    QString reason = parts.join(u' ');
    for (const char* prefix : {"ERROR:", "FATAL:"})
        if (reason.startsWith(QLatin1String(prefix)))
            reason = reason.mid(int(qstrlen(prefix))).trimmed();
    while (reason.endsWith(u'.'))
        reason.chop(1);
    return reason.isEmpty() ? QStringLiteral("no reason given") : reason;
}

PgValue PgValue::int2(qint16 value) { return {PgType::Int2, false, bigEndian(value)}; }
PgValue PgValue::int4(qint32 value) { return {PgType::Int4, false, bigEndian(value)}; }
PgValue PgValue::int8(qint64 value) { return {PgType::Int8, false, bigEndian(value)}; }

PgResult::~PgResult() { PQclear(m_result); }

PgResult& PgResult::operator=(PgResult&& other) noexcept
{
    if (this != &other) {
        PQclear(m_result);
        m_result = other.m_result;
        other.m_result = nullptr;
    }
    return *this;
}

int PgResult::rows() const { return m_result ? PQntuples(m_result) : 0; }
int PgResult::columns() const { return m_result ? PQnfields(m_result) : 0; }
bool PgResult::isNull(int row, int column) const { return PQgetisnull(m_result, row, column) != 0; }
const char* PgResult::data(int row, int column) const { return PQgetvalue(m_result, row, column); }
int PgResult::length(int row, int column) const { return PQgetlength(m_result, row, column); }

qint16 PgResult::int2(int row, int column) const
{
    return length(row, column) == 2 ? qFromBigEndian<qint16>(data(row, column)) : 0;
}

qint32 PgResult::int4(int row, int column) const
{
    return length(row, column) == 4 ? qFromBigEndian<qint32>(data(row, column)) : 0;
}

qint64 PgResult::int8(int row, int column) const
{
    return length(row, column) == 8 ? qFromBigEndian<qint64>(data(row, column)) : 0;
}

int PgResult::affected() const { return m_result ? QByteArray(PQcmdTuples(m_result)).toInt() : 0; }

PgConnection::~PgConnection() { close(); }

void PgConnection::close()
{
    PQfinish(m_conn);
    m_conn = nullptr;
    m_prepared.clear();
}

QString PgConnection::place() const
{
    return QStringLiteral("server \"%1\", database \"%2\"").arg(m_host, m_database);
}

QString PgConnection::connectionFailure() const { return PgReason(PQerrorMessage(m_conn)); }

bool PgConnection::open(const QString& url, const QString& password, QString& reason)
{
    close();
    m_url = url.toUtf8();
    m_password = password.toUtf8();
    m_host.clear();
    m_database.clear();
    parsedPlace(m_url, m_host, m_database);
    return connect(reason);
}

bool PgConnection::connect(QString& reason)
{
    // The URL's own settings win over the bounded waits given before it; the
    // password given and the client's character set win over the URL.
    const QByteArray timeout = QByteArray::number(m_connectTimeout > 0 ? m_connectTimeout : ConnectTimeoutSeconds);
    const QByteArray name = m_applicationName.isEmpty() ? QByteArray("Sennet") : m_applicationName;
    std::vector<const char*> keys{"connect_timeout", "keepalives_idle", "keepalives_interval", "keepalives_count",
                                  "application_name", "dbname"};
    std::vector<const char*> values{timeout.constData(), "15", "5", "3", name.constData(), m_url.constData()};
    if (!m_password.isEmpty()) {
        keys.push_back("password");
        values.push_back(m_password.constData());
    }
    keys.push_back("client_encoding");
    values.push_back("UTF8");
    keys.push_back(nullptr);
    values.push_back(nullptr);
    m_conn = PQconnectdbParams(keys.data(), values.data(), 1);
    if (m_conn) {
        if (const char* h = PQhost(m_conn); h && *h)
            m_host = QString::fromUtf8(h);
        if (const char* d = PQdb(m_conn); d && *d)
            m_database = QString::fromUtf8(d);
    }
    if (m_host.isEmpty())
        m_host = QStringLiteral("localhost");
    // The server's notices (a connection ended by a shutting-down server)
    // reach the user as the failure of the operation, not on stderr.
    if (m_conn)
        PQsetNoticeProcessor(m_conn, [](void*, const char*) {}, nullptr);
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        reason = m_conn ? connectionFailure() : QStringLiteral("out of memory");
        m_wantedPassword = m_conn && PQconnectionNeedsPassword(m_conn);
        return false;
    }
    m_wantedPassword = false;
    return setUpSession(reason);
}

bool PgConnection::setUpSession(QString& reason)
{
    m_prepared.clear();
    m_broken = false;
    m_pids.append(PQbackendPID(m_conn));
    if (m_pids.size() > 8)
        m_pids.removeFirst();
    const QByteArray set = "SET statement_timeout TO " + QByteArray::number(StatementTimeoutMs);
    // Every cursor of the program is read to its end: it is planned for all
    // its rows, not for the first few.
    // A connection made again (PQreset) starts under the name it was opened with.
    return exec(set.constData(), reason) && exec("SET cursor_tuple_fraction TO 1", reason)
        && (m_applicationName.isEmpty() || sendApplicationName(reason));
}

bool PgConnection::sendApplicationName(QString& reason)
{
    PgResult r;
    return exec("SELECT set_config('application_name', $1, false)",
                {PgValue::text(QString::fromLatin1(m_applicationName))}, r, reason);
}

QByteArray PgConnection::applicationNameOf(const QString& text)
{
    QByteArray out;
    for (const QChar c : text) {
        if (out.size() == 63)
            break;
        out += c.unicode() >= 32 && c.unicode() < 127 ? char(c.unicode()) : '?';
    }
    return out;
}

bool PgConnection::setApplicationName(const QByteArray& name, QString& reason)
{
    m_applicationName = name.left(63);
    return !m_conn || PQstatus(m_conn) != CONNECTION_OK || sendApplicationName(reason);
}

bool PgConnection::openLike(const PgConnection& other, QString& reason)
{
    close();
    m_url = other.m_url;
    m_password = other.m_password;
    m_host = other.m_host;
    m_database = other.m_database;
    return connect(reason);
}

int PgConnection::socket() const { return m_conn ? PQsocket(m_conn) : -1; }

bool PgConnection::readInput(QList<Notification>& out, bool& pinged)
{
    pinged = false;
    if (!m_conn || PQconsumeInput(m_conn) == 0 || PQstatus(m_conn) != CONNECTION_OK) {
        m_broken = true;
        return false;
    }
    // The answers to a ping, once all of it is here.
    while (PQisBusy(m_conn) == 0) {
        PGresult* r = PQgetResult(m_conn);
        if (!r)
            break;
        const ExecStatusType status = PQresultStatus(r);
        PQclear(r);
        if (status == PGRES_FATAL_ERROR) {
            m_broken = true;
            return false;
        }
        pinged = true;
    }
    while (PGnotify* n = PQnotifies(m_conn)) {
        out.append({QByteArray(n->relname), QByteArray(n->extra), n->be_pid});
        PQfreemem(n);
    }
    return true;
}

bool PgConnection::sendPing()
{
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK || PQsendQuery(m_conn, "") == 0) {
        m_broken = true;
        return false;
    }
    PQflush(m_conn);
    return true;
}

bool PgConnection::ready(QString& reason)
{
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK && !m_broken)
        return true;
    if (!m_conn)
        return connect(reason);
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK) {
        reason = connectionFailure();
        return false;
    }
    return setUpSession(reason);
}

bool PgConnection::finish(PGresult* r, PgResult& result, QString& reason)
{
    result = PgResult();
    result.m_result = r;
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        m_lastState.clear();
        return true;
    }
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    m_lastState = state ? QByteArray(state) : QByteArray();
    // No word from the server, a connection error or a server shutting
    // down: the connection is not to be trusted any more.
    if (m_lastState.isEmpty() || m_lastState.startsWith("08") || m_lastState.startsWith("57P"))
        m_broken = true;
    const char* primary = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    reason = PgReason(primary ? primary : PQerrorMessage(m_conn));
    return false;
}

namespace {
// The values in the arrays libpq takes, every one in binary form.
struct BoundValues {
    explicit BoundValues(const std::vector<PgValue>& values)
        : types(values.size()), data(values.size()), lengths(values.size()), formats(values.size(), 1)
    {
        for (size_t i = 0; i < values.size(); ++i) {
            types[i] = values[i].type;
            data[i] = values[i].null ? nullptr : values[i].bytes.constData();
            lengths[i] = int(values[i].bytes.size());
        }
    }
    std::vector<unsigned> types;
    std::vector<const char*> data;
    std::vector<int> lengths, formats;
};
} // namespace

bool PgConnection::exec(const char* sql, const std::vector<PgValue>& values, PgResult& result, QString& reason)
{
    if (!m_conn) {
        reason = QStringLiteral("not connected");
        return false;
    }
    const BoundValues bound(values);
    const int n = int(values.size());
    return finish(PQexecParams(m_conn, sql, n, bound.types.data(), bound.data.data(), bound.lengths.data(),
                               bound.formats.data(), 1),
                  result, reason);
}

bool PgConnection::exec(const char* sql, QString& reason)
{
    PgResult r;
    return exec(sql, {}, r, reason);
}

bool PgConnection::execPrepared(const char* name, const char* sql, const std::vector<PgValue>& values,
                                PgResult& result, QString& reason)
{
    if (!m_conn) {
        reason = QStringLiteral("not connected");
        return false;
    }
    const BoundValues bound(values);
    const int n = int(values.size());
    if (!m_prepared.contains(name)) {
        if (!finish(PQprepare(m_conn, name, sql, n, bound.types.data()), result, reason))
            return false;
        m_prepared.insert(name);
    }
    return finish(
        PQexecPrepared(m_conn, name, n, bound.data.data(), bound.lengths.data(), bound.formats.data(), 1), result,
        reason);
}

bool PgConnection::execAhead(const char* sql, int ahead, const std::function<bool(const PgResult&)>& take,
                             QString& reason)
{
    if (!m_conn) {
        reason = QStringLiteral("not connected");
        return false;
    }
    if (PQenterPipelineMode(m_conn) != 1) {
        reason = PgReason(PQerrorMessage(m_conn));
        return false;
    }
    // Each run is flushed to the server at once, and the server asked to
    // send its rows without waiting for the end of the pipeline.
    int outstanding = 0;
    const auto send = [&] {
        if (PQsendQueryParams(m_conn, sql, 0, nullptr, nullptr, nullptr, nullptr, 1) != 1
            || PQsendFlushRequest(m_conn) != 1 || PQflush(m_conn) != 0)
            return false;
        ++outstanding;
        return true;
    };
    bool ok = true;
    for (int i = 0; i < qMax(ahead, 1) && ok; ++i)
        ok = send();
    if (!ok)
        reason = PgReason(PQerrorMessage(m_conn));
    for (bool more = ok; more;) {
        PgResult result;
        ok = finish(PQgetResult(m_conn), result, reason);
        --outstanding;
        if (PGresult* end = PQgetResult(m_conn)) // each run's results end with a null
            PQclear(end);
        more = ok && result.rows() > 0 && take(result);
        if (more && !send()) {
            reason = PgReason(PQerrorMessage(m_conn));
            ok = false;
            more = false;
        }
    }
    // The runs still under way come back empty (or, after a failure,
    // aborted); the pipeline's end tells when all of them have.
    bool ended = PQpipelineSync(m_conn) == 1;
    for (int nulls = 0; ended;) {
        PGresult* r = PQgetResult(m_conn);
        if (!r) {
            ended = PQstatus(m_conn) == CONNECTION_OK && ++nulls <= outstanding + 1;
            continue;
        }
        const ExecStatusType status = PQresultStatus(r);
        PQclear(r);
        if (status == PGRES_PIPELINE_SYNC)
            break;
    }
    if (!ended || PQexitPipelineMode(m_conn) != 1) {
        m_broken = true; // not to be used again as it is: made anew by ready()
        if (ok)
            reason = PgReason(PQerrorMessage(m_conn));
        return false;
    }
    return ok;
}

void PgConnection::appendCopyRow(QByteArray& rows, const std::vector<PgValue>& values)
{
    rows += bigEndian<qint16>(qint16(values.size()));
    for (const PgValue& v : values) {
        rows += bigEndian<qint32>(v.null ? -1 : qint32(v.bytes.size()));
        if (!v.null)
            rows += v.bytes;
    }
}

bool PgConnection::copyIn(const char* sql, const QByteArray& rows, QString& reason)
{
    if (!m_conn) {
        reason = QStringLiteral("not connected");
        return false;
    }
    PgResult result;
    PGresult* started = PQexec(m_conn, sql);
    if (PQresultStatus(started) != PGRES_COPY_IN) {
        if (finish(started, result, reason))
            reason = QStringLiteral("the server did not take the rows");
        return false;
    }
    PQclear(started);
    // The binary form's signature, no flags, no header extension.
    static const QByteArray header = QByteArray("PGCOPY\n\xff\r\n\0", 11) + bigEndian<qint32>(0) + bigEndian<qint32>(0);
    static const QByteArray trailer = bigEndian<qint16>(-1);
    bool sent = PQputCopyData(m_conn, header.constData(), int(header.size())) == 1;
    constexpr qsizetype Chunk = 1 << 20;
    for (qsizetype at = 0; sent && at < rows.size(); at += Chunk)
        sent = PQputCopyData(m_conn, rows.constData() + at, int(qMin(Chunk, rows.size() - at))) == 1;
    sent = sent && PQputCopyData(m_conn, trailer.constData(), int(trailer.size())) == 1;
    // On a failed send the copy is ended as failed, so the server keeps none of it.
    PQputCopyEnd(m_conn, sent ? nullptr : "the rows could not be sent");
    bool ok = finish(PQgetResult(m_conn), result, reason);
    // The end of the copy's results.
    while (PGresult* more = PQgetResult(m_conn))
        PQclear(more);
    return ok;
}

void PgConnection::rollback()
{
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        PQclear(PQexec(m_conn, "ROLLBACK"));
}

PgConnection::Login PgConnection::loginOf(const QString& url)
{
    Login login;
    parsedPlace(url.toUtf8(), login.host, login.database, &login.user);
    PQconninfoOption* defaults = PQconndefaults();
    for (PQconninfoOption* o = defaults; o && o->keyword; ++o) {
        if (!o->val || !*o->val)
            continue;
        const QString value = QString::fromUtf8(o->val);
        if (qstrcmp(o->keyword, "host") == 0 && login.host.isEmpty())
            login.host = value;
        else if (qstrcmp(o->keyword, "user") == 0 && login.user.isEmpty())
            login.user = value;
        else if (qstrcmp(o->keyword, "dbname") == 0 && login.database.isEmpty())
            login.database = value;
    }
    PQconninfoFree(defaults);
    if (login.host.isEmpty())
        login.host = QStringLiteral("localhost");
    if (login.database.isEmpty())
        login.database = login.user;
    return login;
}

bool PgConnection::needsPassword(const QString& url)
{
    const QByteArray timeout = QByteArray::number(ConnectTimeoutSeconds);
    const QByteArray dbname = url.toUtf8();
    const char* keys[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {timeout.constData(), dbname.constData(), nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    const bool needs = conn && PQstatus(conn) == CONNECTION_BAD && PQconnectionNeedsPassword(conn);
    PQfinish(conn);
    return needs;
}

#pragma once
// A thin wrapper of libpq for the server store: one connection, every value
// bound as a parameter and sent in binary form (never spliced into the SQL
// text), results in binary form, bounded waits, and failures turned into
// words a user can act on. A connection found lost is made again at the
// start of the next operation, not in the middle of one.
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <vector>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

// The type ids of the values bound.
namespace PgType {
constexpr unsigned Bool = 16;
constexpr unsigned Bytea = 17;
constexpr unsigned Int8 = 20;
constexpr unsigned Int2 = 21;
constexpr unsigned Int4 = 23;
constexpr unsigned Text = 25;
constexpr unsigned Timestamp = 1114;
} // namespace PgType

// One value bound to a statement, in the binary form of its type.
struct PgValue {
    unsigned type = PgType::Text;
    bool null = true;
    QByteArray bytes;

    static PgValue nullOf(unsigned type) { return {type, true, {}}; }
    static PgValue text(const QString& value) { return {PgType::Text, false, value.toUtf8()}; }
    static PgValue bytea(const QByteArray& value) { return {PgType::Bytea, false, value}; }
    static PgValue int2(qint16 value);
    static PgValue int4(qint32 value);
    static PgValue int8(qint64 value);
    static PgValue boolean(bool value) { return {PgType::Bool, false, QByteArray(1, value ? '\1' : '\0')}; }
    // Microseconds since 2000-01-01 00:00, the server's own count.
    static PgValue timestamp(qint64 micros) { PgValue v = int8(micros); v.type = PgType::Timestamp; return v; }
};

// The rows of one statement, in binary form. Owns its PGresult.
class PgResult {
public:
    PgResult() = default;
    ~PgResult();
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    PgResult(PgResult&& other) noexcept : m_result(other.m_result) { other.m_result = nullptr; }
    PgResult& operator=(PgResult&& other) noexcept;

    int rows() const;
    int columns() const;
    bool isNull(int row, int column) const;
    const char* data(int row, int column) const;
    int length(int row, int column) const;
    QByteArray bytes(int row, int column) const { return QByteArray(data(row, column), length(row, column)); }
    QString text(int row, int column) const { return QString::fromUtf8(data(row, column), length(row, column)); }
    qint16 int2(int row, int column) const;
    qint32 int4(int row, int column) const;
    qint64 int8(int row, int column) const; // also a timestamp's microseconds
    bool boolean(int row, int column) const { return length(row, column) == 1 && *data(row, column) != 0; }
    // The number of rows an UPDATE or DELETE touched.
    int affected() const;

private:
    friend class PgConnection;
    PGresult* m_result = nullptr;
};

class PgConnection {
public:
    // Waits that are never longer: making the connection (unless the URL
    // names its own connect_timeout) and any one statement.
    static constexpr int ConnectTimeoutSeconds = 10;
    static constexpr int StatementTimeoutMs = 60000;

    PgConnection() = default;
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects to `url` (a libpq URI or key=value string); `password`, when
    // not empty, is used instead of ~/.pgpass or PGPASSWORD. On failure
    // `reason` is libpq's reason; place() names the server and database.
    bool open(const QString& url, const QString& password, QString& reason);
    // Makes sure the connection is up, making it again when it was lost.
    // False with libpq's reason when that fails.
    bool ready(QString& reason);
    void close();

    // Runs one statement with its values bound; the result rows come back
    // in binary form. False with libpq's (or the server's) reason.
    bool exec(const char* sql, const std::vector<PgValue>& values, PgResult& result, QString& reason);
    bool exec(const char* sql, QString& reason);
    // As exec, through a statement prepared once per connection under `name`.
    bool execPrepared(const char* name, const char* sql, const std::vector<PgValue>& values, PgResult& result,
                      QString& reason);
    // Runs `sql` (a FETCH from an open cursor) again and again, handing each
    // result to `take`, until one comes back without rows or `take` returns
    // false. `ahead` runs are kept sent before the one being read, so that
    // the server makes the next rows while these are taken. False with the
    // reason when a run failed.
    bool execAhead(const char* sql, int ahead, const std::function<bool(const PgResult&)>& take, QString& reason);
    // Sends rows to `sql`, a "COPY ... FROM STDIN (FORMAT binary)": `rows`
    // holds them as CopyRow encodes them, without the header and trailer,
    // which are added here. False with the reason when the server refused
    // a row or the statement; nothing of it is then kept.
    bool copyIn(const char* sql, const QByteArray& rows, QString& reason);
    // Appends one row of values to what copyIn sends.
    static void appendCopyRow(QByteArray& rows, const std::vector<PgValue>& values);

    // Ends an open transaction (ROLLBACK), ignoring a lost connection.
    void rollback();
    // The SQLSTATE of the last failed statement ("42P01"...), empty when none.
    const QByteArray& lastState() const { return m_lastState; }

    // The server and database connected to, as libpq names them (for a Unix
    // socket the host is the socket's folder).
    QString host() const { return m_host; }
    QString database() const { return m_database; }
    // "server "host", database "db""
    QString place() const;

    // The name the server shows for this connection (pg_stat_activity's
    // application_name): ASCII only, at most 63 bytes, anything else made
    // '?' or cut. Set on a live connection at once and again after every
    // reconnection; "Sennet" until set.
    bool setApplicationName(const QByteArray& name, QString& reason);
    static QByteArray applicationNameOf(const QString& text);
    // The shorter wait for connecting used instead of ConnectTimeoutSeconds
    // (libpq waits 2 seconds at least); 0 goes back to the default.
    void setConnectTimeout(int seconds) { m_connectTimeout = seconds; }
    // Connects to the same server, database and role as `other`, with its
    // password (a second connection of the same desk).
    bool openLike(const PgConnection& other, QString& reason);
    // Whether server process `pid` served this connection lately (also
    // before it was made again): a notification names the process whose
    // transaction sent it, so one sent from there was this desk's own.
    bool servedBy(int pid) const { return pid != 0 && m_pids.contains(pid); }

    // Hearing notifications: LISTEN on the connection, then read what the
    // socket brings without ever waiting on it.
    struct Notification {
        QByteArray channel, payload;
        int senderPid = 0;
    };
    int socket() const;
    // Reads what the server has sent: notifications into `out`, and whether
    // the answer to the last sendPing() came. False when the connection is
    // gone.
    bool readInput(QList<Notification>& out, bool& pinged);
    // Asks the server for a trivial answer without waiting for it.
    bool sendPing();

    // Whether libpq asks for a password to connect to `url` (none was in
    // ~/.pgpass, PGPASSWORD or the URL).
    static bool needsPassword(const QString& url);
    // The server, database and role `url` names, libpq's defaults (the
    // environment's PGHOST, PGDATABASE, PGUSER, else the system user) filling
    // what it leaves out; for asking a password before any connection.
    struct Login {
        QString host, database, user;
    };
    static Login loginOf(const QString& url);
    // After a failed open(): whether it failed for want of a password.
    bool wantedPassword() const { return m_wantedPassword; }

private:
    bool connect(QString& reason);
    bool setUpSession(QString& reason);
    bool sendApplicationName(QString& reason);
    QString connectionFailure() const;
    bool finish(PGresult* r, PgResult& result, QString& reason);

    PGconn* m_conn = nullptr;
    QByteArray m_url, m_password;
    QString m_host, m_database;
    QSet<QByteArray> m_prepared;
    bool m_broken = false; // a failure showed the connection lost
    bool m_wantedPassword = false;
    QByteArray m_lastState;
    QByteArray m_applicationName;
    int m_connectTimeout = 0;
    QList<int> m_pids; // the latest server processes, newest last
};

// libpq's words for a failure, on one line and without a final full stop.
QString PgReason(const char* message);

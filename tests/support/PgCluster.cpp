#include "PgCluster.h"

#include "server/PgConnection.h"
#include "server/ServerSchema.h"
#include "server/ServerStorage.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString BinFolder = QStringLiteral("/usr/lib/postgresql/15/bin/");
constexpr int Port = 5432;

} // namespace

PgCluster::PgCluster(Durability durability, const QString& settings)
{
    const bool fast = durability == Durability::Fast;
    if (!QFileInfo(BinFolder + QStringLiteral("initdb")).isExecutable()) {
        m_problem = QStringLiteral("PostgreSQL 15 is not installed (%1initdb is missing); scripts/install-deps "
                                   "installs it")
                        .arg(BinFolder);
        return;
    }
    if (!m_dir.isValid()) {
        m_problem = QStringLiteral("no temporary folder for the cluster");
        return;
    }
    m_data = m_dir.filePath(QStringLiteral("data"));
    // The server refuses to run as root: the folder goes to "postgres".
    m_asPostgres = geteuid() == 0;
    if (m_asPostgres) {
        const passwd* pw = getpwnam("postgres");
        if (!pw || chown(QFile::encodeName(m_dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            m_problem = QStringLiteral("running as root, but the folder cannot be given to the user \"postgres\"");
            return;
        }
    }
    QString output;
    if (!run(BinFolder + QStringLiteral("initdb"),
             QStringList{QStringLiteral("-D"), m_data, QStringLiteral("-U"), QStringLiteral("postgres"),
                         QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                         QStringLiteral("--locale=C")}
                 + (fast ? QStringList{QStringLiteral("--no-sync")} : QStringList()),
             output)) {
        m_problem = QStringLiteral("initdb failed: %1").arg(output);
        return;
    }
    QFile conf(m_data + QStringLiteral("/postgresql.conf"));
    if (!conf.open(QIODevice::Append)) {
        m_problem = QStringLiteral("postgresql.conf cannot be written");
        return;
    }
    conf.write(QStringLiteral("listen_addresses = ''\nunix_socket_directories = '%1'\nport = %2\n"
                              "max_connections = 20\n")
                   .arg(m_dir.path())
                   .arg(Port)
                   .toUtf8());
    // A fast cluster flushes nothing: its data still survive a stopped
    // server (the machine keeps running), and commits stay synchronous, so
    // a commit reported is kept.
    conf.write(fast ? "fsync = off\nfull_page_writes = off\nshared_buffers = 32MB\n"
                    : "fsync = on\nfull_page_writes = on\nsynchronous_commit = on\n");
    conf.write(settings.toUtf8());
    conf.close();
    start();
}

PgCluster::~PgCluster()
{
    if (m_running) {
        QString output;
        run(BinFolder + QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_data, QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")},
            output);
    }
}

bool PgCluster::run(const QString& program, const QStringList& arguments, QString& output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (m_asPostgres)
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                                       QStringLiteral("--"), program}
                                               + arguments);
    else
        p.start(program, arguments);
    const bool finished = p.waitForFinished(120000);
    output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PgCluster::start()
{
    QString output;
    m_running = run(BinFolder + QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), m_data, QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
                     QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")},
                    output);
    if (!m_running)
        m_problem = QStringLiteral("pg_ctl start failed: %1").arg(output);
    return m_running;
}

bool PgCluster::stopImmediately()
{
    QString output;
    const bool stopped = run(BinFolder + QStringLiteral("pg_ctl"),
                             {QStringLiteral("-D"), m_data, QStringLiteral("-m"), QStringLiteral("immediate"),
                              QStringLiteral("stop")},
                             output);
    if (stopped)
        m_running = false;
    return stopped;
}

QString PgCluster::url(const QString& name) const
{
    return QStringLiteral("host=%1 port=%2 user=postgres dbname=%3").arg(m_dir.path()).arg(Port).arg(name);
}

QString PgCluster::addPasswordRole(const QString& user, const QString& password, const QString& name,
                                   bool superuser)
{
    PgConnection pg;
    QString reason;
    if (!pg.open(url(QStringLiteral("postgres")), QString(), reason))
        return QString();
    // Names are the test's own; the password is bound through a function.
    const QByteArray create = "CREATE ROLE " + user.toUtf8() + (superuser ? " LOGIN SUPERUSER" : " LOGIN");
    PgResult r;
    if (!pg.exec(create.constData(), reason)
        || !pg.exec("SELECT set_config('sennet.pw', $1, false)", {PgValue::text(password)}, r, reason)
        || !pg.exec(QByteArray("DO $$ BEGIN EXECUTE format('ALTER ROLE " + user.toUtf8()
                               + " PASSWORD %L', current_setting('sennet.pw')); END $$")
                        .constData(),
                    reason))
        return QString();
    if (!superuser) {
        PgConnection db;
        if (!db.open(url(name), QString(), reason)
            || !db.exec(QByteArray("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO "
                                   + user.toUtf8()).constData(),
                        reason)
            || !db.exec(QByteArray("GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO " + user.toUtf8())
                            .constData(),
                        reason))
            return QString();
    }
    // The role's line goes before the cluster's "trust" lines.
    QFile hba(m_data + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray rest = hba.readAll();
    hba.close();
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    hba.write("local all " + user.toUtf8() + " scram-sha-256\n" + rest);
    hba.close();
    QString output;
    if (!run(BinFolder + QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_data, QStringLiteral("reload")}, output))
        return QString();
    QThread::msleep(300); // the server reads the file again on the signal
    return QStringLiteral("host=%1 port=%2 user=%3 dbname=%4").arg(m_dir.path()).arg(Port).arg(user, name);
}

QString PgCluster::createDatabase()
{
    const QString name = QStringLiteral("case_%1").arg(++m_databases);
    PgConnection pg;
    QString reason;
    if (!pg.open(url(QStringLiteral("postgres")), QString(), reason))
        return QString();
    // The name is the test's own, not a value: it cannot be bound.
    const QByteArray sql = "CREATE DATABASE " + name.toUtf8() + " ENCODING 'UTF8'";
    return pg.exec(sql.constData(), reason) ? url(name) : QString();
}

std::unique_ptr<Storage> makeServerStorage(PgCluster& cluster, QString* url, QString* problem)
{
    QString failure;
    const QString address = cluster.createDatabase();
    std::unique_ptr<Storage> storage;
    if (address.isEmpty()) {
        failure = QStringLiteral("no database could be made");
    } else {
        PgConnection pg;
        QString reason;
        if (!pg.open(address, QString(), reason) || !ServerSchema::Init(pg, reason)) {
            failure = reason;
        } else {
            FileError error;
            storage = OpenServerStorage(address, QString(), error);
            failure = error.message();
        }
    }
    if (url)
        *url = address;
    if (problem)
        *problem = failure;
    return storage;
}

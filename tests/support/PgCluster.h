#pragma once
// A real PostgreSQL 15 for the tests and the benchmark: a cluster made in a
// temporary folder (initdb), listening only on a Unix socket in that folder,
// run as the "postgres" system user when run as root, and stopped when the
// object goes, also when a test fails. Each test case takes a database of
// its own. Where the server's programs are missing, available() is false
// and problem() says why, so the tests can skip.
#include <QString>
#include <QTemporaryDir>
#include <memory>

class Storage;

class PgCluster {
public:
    // Fast: nothing flushed to disk, for tests (the data still survive a
    // stopped server while the machine runs). Durable: every commit flushed
    // as a real server does, for timing.
    enum class Durability { Fast, Durable };
    // `settings`: further postgresql.conf lines.
    explicit PgCluster(Durability durability = Durability::Fast, const QString& settings = QString());
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    bool available() const { return m_running; }
    QString problem() const { return m_problem; }

    // A new, empty database; its connection string.
    QString createDatabase();
    // The connection string of database `name`.
    QString url(const QString& name) const;

    // Makes a role `user` with `password` that may log in only with it
    // (the cluster's other roles need none); its connection string for
    // database `name`, without the password. A role that is no superuser
    // may read and write the rows of the database's tables, as an agency's
    // clerks' role would.
    QString addPasswordRole(const QString& user, const QString& password, const QString& name,
                            bool superuser = true);

    // Stops the server at once, as a crash or a power cut would
    // (pg_ctl stop -m immediate), and starts it again.
    bool stopImmediately();
    bool start();

private:
    bool run(const QString& program, const QStringList& arguments, QString& output);

    QTemporaryDir m_dir;
    QString m_data;
    bool m_running = false;
    bool m_asPostgres = false;
    QString m_problem;
    int m_databases = 0;
};

// A server storage over a new database of `cluster` holding Sennet's
// tables; null (with a failed QVERIFY's message in `problem`) when it
// cannot be made.
std::unique_ptr<Storage> makeServerStorage(PgCluster& cluster, QString* url = nullptr, QString* problem = nullptr);

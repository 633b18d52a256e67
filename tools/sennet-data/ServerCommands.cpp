#include "ServerCommands.h"

#include "Commands.h"
#include "app/SingleInstance.h"
#include "platform/ApplicationTitle.h"
#include "server/PgConnection.h"
#include "server/ServerSchema.h"
#include "server/ServerStorage.h"
#include "session/ProcessState.h"
#include "store/DataFileNames.h"
#include "store/FileIo.h"
#include "store/RecordFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace SennetData {

namespace {

int usage(QTextStream& err, const QString& problem)
{
    err << "sennet-data: " << problem << "\nTry \"sennet-data --help\".\n";
    return Usage;
}

// A libpq URI ("postgresql://...") or key=value string ("host=... dbname=...").
bool isServerAddress(const QString& place)
{
    static const QRegularExpression keyValue(QStringLiteral("^\\s*[A-Za-z_]+\\s*="));
    return place.startsWith(QLatin1String("postgresql://")) || place.startsWith(QLatin1String("postgres://"))
        || keyValue.match(place).hasMatch();
}

// ---- the folder side: the three files in the folder's own formats ----

bool readWhole(const QString& path, QByteArray& bytes, QString& problem)
{
    bytes.clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (FileIo::hasInterruptedWrite(path)) {
        problem = QStringLiteral("%1: an interrupted write is waiting; start %2 to finish it")
                      .arg(QDir::toNativeSeparators(path), ApplicationTitle());
        return false;
    }
    FileIo::File file;
    QString what;
    if (!file.open(path, FileIo::File::ReadOnly, what)) {
        problem = FileError{path, what}.message();
        return false;
    }
    const qint64 size = file.size();
    bytes.resize(qsizetype(qMax<qint64>(size, 0)));
    if (size < 0 || file.readAt(0, bytes.data(), size) != size) {
        problem = FileError{path, QStringLiteral("could not be read: %1").arg(file.reason())}.message();
        return false;
    }
    return true;
}

bool wholeRecords(const QString& path, const QByteArray& bytes, int length, QString& problem)
{
    if (bytes.size() % length == 0)
        return true;
    problem = QStringLiteral("%1 ends in a record cut short (%2 bytes beyond the last whole record); it cannot be "
                             "copied as it is. \"sennet-data verify\" tells more.")
                  .arg(QDir::toNativeSeparators(path))
                  .arg(bytes.size() % length);
    return false;
}

bool readFolder(const QString& folder, StoreContents& contents, QString& problem)
{
    const QDir dir(folder);
    if (!dir.exists()) {
        problem = QStringLiteral("The data folder \"%1\" does not exist.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    QByteArray data, users;
    const QString dataPath = dir.filePath(CitationFileName), usersPath = dir.filePath(UserListFileName);
    if (!readWhole(dataPath, data, problem) || !wholeRecords(dataPath, data, CitationLayout::RecordLength, problem)
        || !readWhole(usersPath, users, problem) || !wholeRecords(usersPath, users, UserLayout::RecordLength, problem)
        || !readWhole(dir.filePath(UserLogFileName), contents.userLog, problem))
        return false;
    if (!data.isEmpty()) {
        const qint16 version = CitationRecord::fromBytes(data.constData(), CitationLayout::RecordLength)
                                   .int16(CitationField::FormatVersion);
        if (version < 300 || version > 399) {
            problem = QStringLiteral("%1 is a data file of an older version; convert it first with "
                                     "\"sennet-data convert\".")
                          .arg(QDir::toNativeSeparators(dataPath));
            return false;
        }
    }
    contents.citations.reserve(size_t(data.size() / CitationLayout::RecordLength));
    for (qsizetype at = 0; at < data.size(); at += CitationLayout::RecordLength)
        contents.citations.push_back(CitationRecord::fromBytes(data.constData() + at, CitationLayout::RecordLength));
    for (qsizetype at = 0; at < users.size(); at += UserLayout::RecordLength)
        contents.users << UserRecord::fromBytes(users.constData() + at, UserLayout::RecordLength);
    return true;
}

// Puts `bytes` in place of the file at `path` through the work file and a
// rename, so the file is old or new, never part of each; no bytes: no file.
bool replaceFile(const QDir& dir, const QString& name, const QByteArray& bytes, QString& problem)
{
    const QString path = dir.filePath(name);
    if (bytes.isEmpty()) {
        QString reason;
        if (FileIo::removeFile(path, reason))
            return true;
        problem = FileError{path, QStringLiteral("could not be removed: %1").arg(reason)}.message();
        return false;
    }
    const QString work = dir.filePath(WorkFileName);
    FileIo::File file;
    QString what;
    if (!file.open(work, FileIo::File::CreateNew, what)) {
        problem = FileError{work, what}.message();
        return false;
    }
    if (!file.writeAt(0, bytes.constData(), bytes.size()) || !file.sync()) {
        problem = FileError{work, QStringLiteral("could not be written: %1").arg(file.reason())}.message();
        file.close();
        QString ignored;
        FileIo::removeFile(work, ignored);
        return false;
    }
    file.close();
    FileError error;
    if (!FileIo::replaceFile(work, path, error)) {
        problem = error.message();
        QString ignored;
        FileIo::removeFile(work, ignored);
        return false;
    }
    return true;
}

bool writeFolder(const QString& folder, const StoreContents& contents, QString& problem)
{
    QByteArray data, users;
    data.reserve(qsizetype(contents.citations.size()) * CitationLayout::RecordLength);
    for (const CitationRecord& c : contents.citations)
        data += c.bytes();
    for (const UserRecord& u : contents.users)
        users += u.bytes();
    const QDir dir(folder);
    return replaceFile(dir, CitationFileName, data, problem) && replaceFile(dir, UserListFileName, users, problem)
        && replaceFile(dir, UserLogFileName, contents.userLog, problem);
}

// ---- both sides ----

int logLines(const QByteArray& log)
{
    return int(log.count("\r\n")) + (log.isEmpty() || log.endsWith("\r\n") ? 0 : 1);
}

QString amounts(const StoreContents& c)
{
    return QStringLiteral("%1 citations, %2 users and %3 log lines")
        .arg(c.citations.size())
        .arg(c.users.size())
        .arg(logLines(c.userLog));
}

class Side {
public:
    explicit Side(const QString& place) : m_place(place), m_server(isServerAddress(place)) {}

    bool isServer() const { return m_server; }
    QString name() const
    {
        return m_server ? (m_storage ? QStringLiteral("the ") + m_storage->description() : QStringLiteral("the server"))
                        : QStringLiteral("the data folder \"%1\"").arg(QDir::toNativeSeparators(m_place));
    }

    bool open(QString& problem)
    {
        if (!m_server)
            return true;
        FileError error;
        m_storage = OpenServerStorage(m_place, QString(), error);
        problem = error.message();
        if (m_storage)
            m_storage->setActor({QStringLiteral("sennet-data copy"), 4, QSysInfo::machineHostName()});
        return m_storage != nullptr;
    }

    // The target's own lock: no program may work over a folder while it is
    // replaced.
    bool lock(QString& problem)
    {
        if (m_server)
            return true;
        if (!QDir().mkpath(m_place)) {
            problem = QStringLiteral("The data folder \"%1\" could not be made.").arg(QDir::toNativeSeparators(m_place));
            return false;
        }
        m_guard = std::make_unique<SingleInstanceGuard>(m_place);
        switch (m_guard->acquire()) {
        case SingleInstanceGuard::Outcome::Acquired:
            return true;
        case SingleInstanceGuard::Outcome::AlreadyRunning:
            problem = QStringLiteral("%1 is running over %2; close it and copy again.").arg(ApplicationTitle(), name());
            return false;
        case SingleInstanceGuard::Outcome::Failed:
            problem = m_guard->failureText();
            return false;
        }
        return false;
    }

    bool read(StoreContents& contents, QString& problem)
    {
        if (!m_server)
            return readFolder(m_place, contents, problem);
        FileError error;
        if (m_storage->readContents(contents, error))
            return true;
        problem = error.message();
        return false;
    }

    bool write(const StoreContents& contents, QString& problem)
    {
        if (!m_server)
            return writeFolder(m_place, contents, problem);
        FileError error;
        if (m_storage->replaceContents(contents, error))
            return true;
        problem = error.message();
        return false;
    }

private:
    QString m_place;
    bool m_server;
    std::unique_ptr<Storage> m_storage;
    std::unique_ptr<SingleInstanceGuard> m_guard;
};

template <typename Spec>
void compareFields(const char* what, int n, const QByteArray& a, const QByteArray& b, const Spec& fields,
                   QStringList& differences)
{
    for (const auto& f : fields)
        if (a.mid(f.offset, f.width) != b.mid(f.offset, f.width))
            differences << QStringLiteral("%1 %2: %3 differs").arg(QLatin1String(what)).arg(n).arg(QLatin1String(f.name));
}

QStringList differencesOf(const StoreContents& a, const StoreContents& b)
{
    QStringList out;
    if (a.citations.size() != b.citations.size())
        out << QStringLiteral("%1 citations against %2").arg(a.citations.size()).arg(b.citations.size());
    for (size_t i = 0; i < qMin(a.citations.size(), b.citations.size()) && out.size() < 20; ++i)
        compareFields("citation", int(i + 1), a.citations[i].bytes(), b.citations[i].bytes(), CitationLayout::fields(),
                      out);
    if (a.users.size() != b.users.size())
        out << QStringLiteral("%1 users against %2").arg(a.users.size()).arg(b.users.size());
    for (qsizetype i = 0; i < qMin(a.users.size(), b.users.size()) && out.size() < 20; ++i)
        compareFields("user", int(i + 1), a.users[i].bytes(), b.users[i].bytes(), UserLayout::fields(), out);
    if (a.userLog != b.userLog) {
        qsizetype at = 0;
        while (at < qMin(a.userLog.size(), b.userLog.size()) && a.userLog[at] == b.userLog[at])
            ++at;
        out << QStringLiteral("the user log differs from line %1 on").arg(logLines(a.userLog.left(at)) + 1);
    }
    return out;
}

int copy(const QString& from, const QString& to, bool replace, QTextStream& out, QTextStream& err)
{
    Side source(from), target(to);
    QString problem;
    StoreContents contents, held;
    if (!source.open(problem) || !target.open(problem) || !target.lock(problem) || !source.read(contents, problem)
        || !target.read(held, problem)) {
        err << problem << '\n';
        return Problems;
    }
    const bool holdsData = !held.citations.empty() || !held.users.isEmpty() || !held.userLog.isEmpty();
    if (holdsData && !replace) {
        QString who = target.name();
        who[0] = who[0].toUpper();
        err << who << " already holds " << amounts(held)
            << "; nothing was copied. Give --replace to put the copy in their place.\n";
        return Problems;
    }
    if (!target.write(contents, problem)) {
        err << problem << '\n' << "Nothing was copied.\n";
        return Problems;
    }
    out << "Copied " << amounts(contents) << " from " << source.name() << " to " << target.name() << ".\n";

    // Both sides read afresh and compared field by field.
    StoreContents again, copied;
    if (!source.read(again, problem) || !target.read(copied, problem)) {
        err << "The copy could not be compared: " << problem << '\n';
        return Problems;
    }
    const QStringList differences = differencesOf(again, copied);
    if (!differences.isEmpty()) {
        err << "The two sides differ after the copy:\n";
        for (const QString& d : differences)
            err << "  " << d << '\n';
        return Problems;
    }
    out << "Both sides compared field by field: they hold the same " << amounts(copied) << ".\n";
    return Clean;
}

int server(const QString& action, const QString& url, QTextStream& out, QTextStream& err)
{
    PgConnection pg;
    QString reason;
    if (!pg.open(url, QString(), reason)) {
        err << "The " << pg.place() << " could not be reached: " << reason << ".\n";
        return Problems;
    }
    QString message;
    const bool done = action == QLatin1String("init") ? ServerSchema::Init(pg, message)
                                                       : ServerSchema::Upgrade(pg, message);
    (done ? out : err) << message << '\n';
    return done ? Clean : Problems;
}

} // namespace

bool isServerCommand(const QStringList& args)
{
    return !args.isEmpty() && (args[0] == QLatin1String("server") || args[0] == QLatin1String("copy"));
}

int serverCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    InitialiseProcessState();
    // Copying reads a folder as it stands and never finishes the program's
    // interrupted writes.
    FileIo::setFinishInterruptedWrites(false);
    if (args[0] == QLatin1String("server")) {
        if (args.size() < 2 || (args[1] != QLatin1String("init") && args[1] != QLatin1String("upgrade")))
            return usage(err, QStringLiteral("server needs \"init\" or \"upgrade\""));
        if (args.size() != 3 || args[2].isEmpty())
            return usage(err, QStringLiteral("server %1 needs the server's URL").arg(args[1]));
        return server(args[1], args[2], out, err);
    }
    QString from, to;
    bool replace = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString* value = nullptr;
        QString name;
        for (const char* option : {"--from", "--to"}) {
            if (arg == QLatin1String(option) || arg.startsWith(QLatin1String(option) + u'=')) {
                value = qstrcmp(option, "--from") == 0 ? &from : &to;
                name = QLatin1String(option);
            }
        }
        if (value) {
            if (arg.size() > name.size())
                *value = arg.mid(name.size() + 1);
            else if (i + 1 < args.size())
                *value = args[++i];
            if (value->isEmpty())
                return usage(err, QStringLiteral("%1 needs a data folder or a server's URL").arg(name));
        } else if (arg == QLatin1String("--replace")) {
            replace = true;
        } else {
            return usage(err, QStringLiteral("unexpected \"%1\"").arg(arg));
        }
    }
    if (from.isEmpty() || to.isEmpty())
        return usage(err, QStringLiteral("copy needs --from and --to"));
    if (!isServerAddress(from) && !isServerAddress(to)
        && QFileInfo(from).absoluteFilePath() == QFileInfo(to).absoluteFilePath())
        return usage(err, QStringLiteral("--from and --to name the same folder"));
    return copy(from, to, replace, out, err);
}

} // namespace SennetData

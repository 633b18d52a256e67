#include "storage/FolderStorage.h"

#include "platform/Messages.h"
#include "platform/Settings.h"
#include "storage/AccessCode.h"
#include "storage/FolderAuditStore.h"
#include "store/AnsiText.h"
#include "store/CitationFile.h"
#include "store/CitationListFile.h"
#include "store/CitationNumberIndex.h"
#include "store/DataFileNames.h"
#include "store/FileIo.h"
#include "store/RecordFile.h"
#include "store/UserList.h"

#include <QDir>
#include <QFileInfo>

using CitationLayout::RecordLength;

namespace {

// What the list tells of a data file whose length is not whole records: a
// last record of more than half its length counts (completed with blanks, as
// the reader does), a shorter rest does not. Empty for whole records.
QString damagedLengthText(qint64 length)
{
    const qint64 rest = length % RecordLength;
    if (rest == 0)
        return QString();
    const QString file = CitationFileName;
    if (CitationFile::CountForLength(length) * RecordLength > length)
        return QStringLiteral("The last citation in ") + file + QStringLiteral(" is incomplete:") + CRLF
            + QStringLiteral("the file holds only %1 of its %2 bytes.").arg(rest).arg(RecordLength) + CRLF + CRLF
            + QStringLiteral("It is shown completed with blanks.");
    return file + QStringLiteral(" ends with %1 bytes, too few").arg(rest) + CRLF
        + QStringLiteral("for a citation of %1 bytes.").arg(RecordLength) + CRLF + CRLF
        + QStringLiteral("They are not shown; the next new citation") + CRLF + QStringLiteral("is written over them.");
}

bool failWith(const FileError& failure, FileError& error)
{
    error = failure;
    return false;
}

class FolderCitations final : public CitationStore {
public:
    bool keysShiftOnDelete() const override { return true; }

    CitationRows listRows(const SearchSettings* search, FileError& error) override
    {
        error.clear();
        m_listedLength = 0;
        // The data file is created empty when it is missing, as opening it
        // for any other operation would.
        if (!QFileInfo::exists(CitationFileName)) {
            CitationFile file;
            if (!file.OpenCitationFile()) {
                error = file.lastError();
                return CitationRows();
            }
        }
        // The whole list comes from its list file while that fits the data
        // file, else from the data file, which then makes the list file anew.
        // Its numbers spare the first save a read of the whole file.
        if (search)
            return LoadCitationRows(QString(), search, error, SplitRowsFrom, &m_listedLength);
        CitationRows rows;
        if (CitationListFile::load(CitationFileName, rows, m_listedLength, &citationNumberIndex()))
            return rows;
        const CitationListFile::Source source = CitationListFile::beforeRead(CitationFileName);
        rows = LoadCitationRows(QString(), nullptr, error, SplitRowsFrom, &m_listedLength, &citationNumberIndex());
        if (!error.isError())
            CitationListFile::writeAfterRead(CitationFileName, source, rows);
        return rows;
    }

    QString listWarning(qint64& token) const override
    {
        token = m_listedLength;
        return damagedLengthText(m_listedLength);
    }

    int count(FileError& error) override
    {
        error.clear();
        const QFileInfo info(CitationFileName);
        return int(qMin(CitationFile::CountForLength(info.exists() ? info.size() : 0), RecordFile::MaxRecords));
    }

    bool read(CitationKey key, CitationRecord& record, FileError& error) override
    {
        CitationFile file;
        if (!file.OpenCitationFile() || !file.ReadCitation(key, record))
            return failWith(file.lastError(), error);
        return true;
    }

    // A save keeps the number index up to date when it described the file
    // just before; else the next look-up reads the file again.
    bool add(const CitationRecord& record, CitationKey& key, FileError& error) override
    {
        CitationNumberIndex& index = citationNumberIndex();
        const bool indexCurrent = index.isCurrent();
        CitationFile file;
        if (!file.OpenCitationFile())
            return failWith(file.lastError(), error);
        const int n = file.CitationCount() + 1;
        if (!file.WriteCitation(n, record))
            return failWith(file.lastError(), error);
        index.recordWritten(n, QString(), record.text(CitationField::CitationNumber), indexCurrent);
        key = n;
        return true;
    }

    bool save(CitationKey key, const CitationRecord& record, FileError& error) override
    {
        CitationNumberIndex& index = citationNumberIndex();
        const bool indexCurrent = index.isCurrent();
        CitationFile file;
        CitationRecord stored;
        if (!file.OpenCitationFile() || !file.ReadCitation(key, stored) || !file.WriteCitation(key, record))
            return failWith(file.lastError(), error);
        index.recordWritten(key, stored.text(CitationField::CitationNumber),
                            record.text(CitationField::CitationNumber), indexCurrent);
        return true;
    }

    bool remove(CitationKey key, FileError& error, const ProgressFn& progress) override
    {
        CitationNumberIndex& index = citationNumberIndex();
        const bool indexCurrent = index.isCurrent();
        CitationFile file;
        if (!file.DeleteCitation(key, progress))
            return failWith(file.lastError(), error);
        index.recordRemoved(key, indexCurrent);
        return true;
    }

    bool addAll(const std::vector<CitationRecord>& records, CitationKey& firstKey, FileError& error) override
    {
        const qint64 count = qint64(records.size());
        const qint64 after = RecordFile::AppendRecords(
            CitationFileName, RecordLength, count,
            [&records](qint64 i) { return records[size_t(i)].bytes().constData(); }, CitationRecord().bytes(), error);
        if (after < 0)
            return false;
        firstKey = CitationKey(after - count + 1);
        return true;
    }

    bool findNumber(const QString& number, CitationKey except, QList<CitationKey>& keys, FileError& error) override
    {
        return citationNumberIndex().find(number, except, keys, error);
    }

    bool forEach(const std::function<bool(CitationKey key, const char* record)>& visit, FileError& error) override
    {
        CitationFileView view;
        if (!view.open())
            return failWith(view.lastError(), error);
        for (int n = 1; n <= view.count(); ++n) {
            const char* record = view.record(n);
            if (!record)
                return failWith(view.lastError(), error);
            if (!visit(n, record))
                break;
        }
        return true;
    }

    bool forKeys(const QList<CitationKey>& keys, const std::function<bool(CitationKey key, const char* record)>& visit,
                 FileError& error) override
    {
        CitationFileView view;
        if (!view.open())
            return failWith(view.lastError(), error);
        return ViewSource(view)(keys, visit, error);
    }

private:
    qint64 m_listedLength = 0; // the data file's length as the last list read it
};

class FolderUsers final : public UserStore {
public:
    bool list(QList<StoredUser>& users, FileError& error) override
    {
        users.clear();
        // Opening would create a missing list, so that is looked at first.
        if (!UserListExists())
            return true;
        if (!OpenUserList())
            return failWith(UserListError(), error);
        users.reserve(UserCount());
        for (int n = 1; n <= UserCount(); ++n) {
            if (!ReadUser(n)) {
                CloseUserList();
                return failWith(UserListError(), error);
            }
            users.append({n, UserBuffer()});
        }
        CloseUserList();
        return true;
    }

    bool read(UserKey key, UserRecord& user, FileError& error) override
    {
        const bool read = OpenUserList() && ReadUser(key);
        CloseUserList();
        if (!read)
            return failWith(UserListError(), error);
        user = UserBuffer();
        return true;
    }

    bool add(const UserRecord& user, UserKey& key, FileError& error) override
    {
        if (!OpenUserList())
            return failWith(UserListError(), error);
        // A new user goes after the last one.
        const int n = UserCount() + 1;
        return write(n, user, error) && (key = n, true);
    }

    bool save(UserKey key, const UserRecord& user, FileError& error) override
    {
        if (!OpenUserList())
            return failWith(UserListError(), error);
        if (key < 1 || key > UserCount()) {
            CloseUserList();
            return failWith({UserListFileName, QStringLiteral("has no record %1").arg(key)}, error);
        }
        return write(key, user, error);
    }

    bool remove(UserKey key, FileError& error) override
    {
        return RemoveUser(key) || failWith(UserListError(), error);
    }

private:
    static bool write(int n, const UserRecord& user, FileError& error)
    {
        UserBuffer() = user;
        const bool written = WriteUser(n);
        CloseUserList();
        return written || failWith(UserListError(), error);
    }
};

class FolderUserLog final : public UserLogStore {
public:
    bool append(const QString& line, FileError& error) override
    {
        FileIo::File log;
        QString what;
        QString reason;
        if (!log.open(UserLogFileName, FileIo::File::Update, what, FileIo::WriteShape::lineAtEnd()))
            reason = what.mid(what.indexOf(QLatin1String(": ")) + 2); // the reason alone
        const qint64 end = log.isOpen() ? log.size() : -1;
        if (reason.isEmpty() && (!log.isWritable() || end < 0))
            reason = log.reason();
        // The whole line or nothing: a cut line would join the next one.
        if (reason.isEmpty()
            && FileIo::writeOrRestore(log, end, Ansi::encode(line + QStringLiteral("\r\n")), reason))
            return true;
        return failWith({UserLogFileName, QStringLiteral("could not be written: %1").arg(reason)}, error);
    }

    bool readAll(QByteArray& bytes, FileError& error) override
    {
        bool partial = false;
        return read(-1, -1, bytes, partial, error);
    }

    bool readLatest(int limitLines, qint64 limitBytes, QByteArray& bytes, bool& partial, FileError& error) override
    {
        return read(limitLines, limitBytes, bytes, partial, error);
    }

private:
    // The log's bytes, all of them (limits below 0) or the latest whole lines
    // within both limits. A missing or empty log holds no lines.
    static bool read(int limitLines, qint64 limitBytes, QByteArray& bytes, bool& partial, FileError& error)
    {
        bytes.clear();
        partial = false;
        // Opened even when it is empty: the open finishes a line a killed
        // run was writing.
        const bool lookedEmpty = QFileInfo(UserLogFileName).size() == 0;
        FileIo::File log;
        QString what;
        auto unreadable = [&] {
            return failWith({UserLogFileName, QStringLiteral("could not be read: %1").arg(log.reason())}, error);
        };
        if (!log.open(UserLogFileName, FileIo::File::ReadOnly, what, FileIo::WriteShape::lineAtEnd())) {
            if (lookedEmpty)
                return true;
            if (log.lastErrno() != 0)
                return unreadable();
            // Refused without a system error: a folder, pipe or device.
            return failWith({UserLogFileName, QStringLiteral("is not a regular file, so it cannot be shown")}, error);
        }
        const qint64 size = log.size();
        if (size < 0)
            return unreadable();
        qint64 from = 0;
        if (limitBytes >= 0 && size > limitBytes) {
            from = size - limitBytes;
            partial = true;
        }
        // Read up to the size seen at the start; a log that grows meanwhile
        // shows its newer lines next time.
        bytes.resize(qsizetype(size - from));
        const qint64 got = log.readAt(from, bytes.data(), bytes.size());
        if (got < 0) {
            bytes.clear();
            return unreadable();
        }
        bytes.truncate(qsizetype(got)); // the file shrank meanwhile
        if (partial) {
            // Start at a whole line: drop the part of the line the cut fell in.
            const qsizetype lineEnd = bytes.indexOf('\n');
            bytes.remove(0, lineEnd < 0 ? bytes.size() : lineEnd + 1);
        }
        if (limitLines < 0)
            return true;
        // Keep the last limitLines lines; the break that ends the last line
        // starts no line of its own.
        qsizetype pos = bytes.size();
        if (pos > 0 && bytes.at(pos - 1) == '\n')
            --pos;
        for (int breaks = 0; pos > 0;) {
            pos = bytes.lastIndexOf('\n', pos - 1);
            if (pos < 0)
                break;
            if (++breaks == limitLines) {
                bytes.remove(0, pos + 1);
                partial = true;
                break;
            }
        }
        return true;
    }
};

class FolderSettings final : public SharedSettings {
public:
    QString accessCode() override { return InstallationAccessCode(); }
    QString value(const QString& section, const QString& key) override { return GetSetting(section, key); }
    bool setValue(const QString& section, const QString& key, const QString& value) override
    {
        return SaveSetting(section, key, value);
    }
};

// A whole file's bytes; a missing file holds none.
bool readFile(const QString& name, QByteArray& bytes, FileError& error)
{
    bytes.clear();
    const QFileInfo info(name);
    if (!info.exists() && !info.isSymLink())
        return true;
    FileIo::File file;
    QString what;
    if (!file.open(name, FileIo::File::ReadOnly, what))
        return failWith({name, what}, error);
    const qint64 size = file.size();
    if (size >= 0)
        bytes.resize(qsizetype(size));
    if (size < 0 || file.readAt(0, bytes.data(), size) != size)
        return failWith({name, QStringLiteral("could not be read: %1").arg(file.reason())}, error);
    return true;
}

// Writes `bytes` to the work file that is to replace `name`, flushed to disk.
bool writeWorkFile(const QString& name, const QString& work, const QByteArray& bytes, FileError& error)
{
    FileIo::File out;
    QString what;
    if (!out.open(work, FileIo::File::CreateNew, what))
        return failWith({name, QStringLiteral("could not be written: the work file \"%1\" %2").arg(work, what)}, error);
    if (!out.writeAt(0, bytes.constData(), bytes.size()) || !out.sync()) {
        const FileError failure{name, QStringLiteral("could not be written: %1").arg(out.reason())};
        out.close();
        QString ignored;
        FileIo::removeFile(work, ignored);
        return failWith(failure, error);
    }
    return true;
}

} // namespace

struct FolderStorage::Parts {
    FolderCitations citations;
    FolderUsers users;
    FolderUserLog userLog;
    FolderSettings shared;
    FolderAuditStore audit;
};

FolderStorage::FolderStorage()
    : m_parts(std::make_unique<Parts>())
{
}

FolderStorage::~FolderStorage() = default;

QString FolderStorage::description() const { return QDir::toNativeSeparators(QDir::currentPath()); }

CitationStore& FolderStorage::citations() { return m_parts->citations; }
UserStore& FolderStorage::users() { return m_parts->users; }
UserLogStore& FolderStorage::userLog() { return m_parts->userLog; }
SharedSettings& FolderStorage::shared() { return m_parts->shared; }
AuditStore& FolderStorage::audit() { return m_parts->audit; }

bool FolderStorage::readContents(StoreContents& contents, FileError& error)
{
    contents = StoreContents();
    QByteArray citations, users;
    if (!readFile(CitationFileName, citations, error) || !readFile(UserListFileName, users, error)
        || !readFile(UserLogFileName, contents.userLog, error))
        return false;
    const qint64 count = CitationFile::CountForLength(citations.size());
    contents.citations.reserve(size_t(count));
    for (qint64 n = 0; n < count; ++n) {
        const qint64 at = n * RecordLength;
        contents.citations.push_back(
            CitationRecord::fromBytes(citations.constData() + at, qMin<qint64>(RecordLength, citations.size() - at)));
    }
    for (qsizetype at = 0; at + UserLayout::RecordLength <= users.size(); at += UserLayout::RecordLength)
        contents.users.append(UserRecord::fromBytes(users.constData() + at, UserLayout::RecordLength));
    return true;
}

bool FolderStorage::replaceContents(const StoreContents& contents, FileError& error)
{
    QByteArray citations, users;
    citations.reserve(qsizetype(contents.citations.size()) * RecordLength);
    for (const CitationRecord& record : contents.citations)
        citations += record.bytes();
    for (const UserRecord& user : contents.users)
        users += user.bytes();
    const struct {
        const QString& name;
        const QByteArray& bytes;
    } files[] = {{CitationFileName, citations}, {UserListFileName, users}, {UserLogFileName, contents.userLog}};

    // Every work file is written before the first one replaces its file.
    QStringList works;
    auto discard = [&works] {
        QString ignored;
        for (const QString& work : works)
            FileIo::removeFile(work, ignored);
    };
    for (const auto& f : files) {
        if (f.bytes.isEmpty()) {
            works << QString();
            continue;
        }
        const QString work = f.name + QStringLiteral(".$$$");
        if (!writeWorkFile(f.name, work, f.bytes, error)) {
            discard();
            return false;
        }
        works << work;
    }
    for (size_t i = 0; i < std::size(files); ++i) {
        QString reason;
        const bool done = works[qsizetype(i)].isEmpty()
            ? (!QFileInfo::exists(files[i].name) || FileIo::removeFile(files[i].name, reason))
            : FileIo::replaceFile(works[qsizetype(i)], files[i].name, error);
        if (!done) {
            if (!reason.isEmpty())
                error = {files[i].name, QStringLiteral("could not be removed: %1").arg(reason)};
            discard();
            return false;
        }
        works[qsizetype(i)].clear();
    }
    return true;
}

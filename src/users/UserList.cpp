#include "users/UserList.h"

#include "session/ProcessState.h"
#include "store/RecordFile.h"

#include <QFile>

using UserLayout::RecordLength;

namespace {

struct UserListState {
    QFile file;
    int count = 0;
    UserRecord buffer;
    FileError error;
};

UserListState& state()
{
    static UserListState s;
    return s;
}

bool fail(const QString& what)
{
    state().error = {UserListFileName, what};
    return false;
}

} // namespace

bool OpenUserList()
{
    UserListState& s = state();
    CloseUserList();
    s.error.clear();
    s.count = 0;
    s.file.setFileName(UserListFileName);
    // ReadWrite creates a missing file; a read-only list still opens for
    // reading so that users can log in.
    if (!s.file.open(QIODevice::ReadWrite)) {
        if (!QFile::exists(UserListFileName) || !s.file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("could not be opened: %1").arg(s.file.errorString()));
    }
    s.count = RecordFile::CountForLength(s.file.size(), RecordLength);
    return true;
}

void CloseUserList()
{
    if (state().file.isOpen())
        state().file.close();
}

int UserCount() { return state().count; }

bool ReadUser(int n)
{
    UserListState& s = state();
    if (!s.file.isOpen())
        return fail(QStringLiteral("is not open"));
    if (n < 1 || n > s.count)
        return fail(QStringLiteral("has no record %1").arg(n));
    if (!s.file.seek(qint64(n - 1) * RecordLength))
        return fail(QStringLiteral("could not be read: %1").arg(s.file.errorString()));
    const QByteArray bytes = s.file.read(RecordLength);
    if (s.file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("could not be read: %1").arg(s.file.errorString()));
    s.buffer = UserRecord::fromBytes(bytes.constData(), bytes.size());
    return true;
}

bool WriteUser(int n)
{
    UserListState& s = state();
    if (!s.file.isOpen())
        return fail(QStringLiteral("is not open"));
    if (!s.file.isWritable())
        return fail(QStringLiteral("could not be written: it is read-only"));
    if (n < 1 || n > s.count + 1)
        return fail(QStringLiteral("has no record %1").arg(n));
    const qint64 oldSize = s.file.size();
    const qint64 at = qint64(n - 1) * RecordLength;
    const bool ok = s.file.seek(at) && s.file.write(s.buffer.bytes()) == RecordLength && s.file.flush();
    if (!ok) {
        const QString reason = s.file.errorString();
        // Undo a partial append so the file keeps whole records only.
        if (at >= oldSize)
            s.file.resize(oldSize);
        return fail(QStringLiteral("could not be written: %1").arg(reason));
    }
    s.count = RecordFile::CountForLength(s.file.size(), RecordLength);
    return true;
}

bool RemoveUser(int n)
{
    UserListState& s = state();
    CloseUserList();
    s.error.clear();
    const int kept = RecordFile::RemoveRecord(UserListFileName, RecordLength, n, UserRecord().bytes(), s.error);
    if (kept < 0)
        return false;
    s.count = kept;
    return true;
}

UserRecord& UserBuffer() { return state().buffer; }

const FileError& UserListError() { return state().error; }

bool UserListExists() { return QFile::exists(UserListFileName); }

#include "store/UserList.h"

#include "store/DataFileNames.h"
#include "store/RecordFile.h"

#include <QFile>
#include <QFileInfo>

using UserLayout::RecordLength;

namespace {

struct UserListState {
    FileIo::File file;
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
    // A missing list is created; a read-only list still opens for reading so
    // that users can log in.
    return RecordFile::Open(s.file, UserListFileName, FileIo::File::Update, RecordLength, s.count, s.error);
}

void CloseUserList() { state().file.close(); }

int UserCount() { return state().count; }

bool ReadUser(int n)
{
    UserListState& s = state();
    if (!s.file.isOpen())
        return fail(QStringLiteral("is not open"));
    if (n < 1 || n > s.count)
        return fail(QStringLiteral("has no record %1").arg(n));
    QByteArray bytes(RecordLength, Qt::Uninitialized);
    const qint64 got = s.file.readAt(qint64(n - 1) * RecordLength, bytes.data(), RecordLength);
    if (got < 0)
        return fail(QStringLiteral("could not be read: %1").arg(s.file.reason()));
    s.buffer = UserRecord::fromBytes(bytes.constData(), got);
    return true;
}

bool WriteUser(int n)
{
    UserListState& s = state();
    if (!s.file.isOpen())
        return fail(QStringLiteral("is not open"));
    if (n < 1 || n > s.count + 1)
        return fail(QStringLiteral("has no record %1").arg(n));
    if (!RecordFile::WriteRecord(s.file, RecordLength, n, s.buffer.bytes(), UserRecord().bytes(), s.error))
        return false;
    s.count = qMax(s.count, n);
    return true;
}

bool RemoveUser(int n)
{
    UserListState& s = state();
    CloseUserList();
    s.error.clear();
    const qint64 kept = RecordFile::RemoveRecord(UserListFileName, RecordLength, n, UserRecord().bytes(), s.error);
    if (kept < 0)
        return false;
    s.count = int(kept);
    return true;
}

UserRecord& UserBuffer() { return state().buffer; }

const FileError& UserListError() { return state().error; }

bool UserListExists() { return QFile::exists(UserListFileName); }

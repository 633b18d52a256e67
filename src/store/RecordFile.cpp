#include "store/RecordFile.h"

#include "store/DataFileNames.h"

#include <QDir>
#include <QFileInfo>

namespace RecordFile {

qint64 CountForLength(qint64 length, int recordLength)
{
    const qint64 whole = length / recordLength;
    const qint64 rest = length % recordLength;
    qint64 count = whole;
    if (rest * 2 > recordLength || (rest * 2 == recordLength && whole % 2 == 1))
        ++count;
    return count;
}

QString TooManyRecords(qint64 count)
{
    return QStringLiteral("could not be opened: it holds %1 records, more than the %2 this program can handle")
        .arg(count)
        .arg(MaxRecords);
}

bool Open(FileIo::File& file, const QString& fileName, FileIo::File::Mode mode, int recordLength, int& count,
          FileError& error, qint64* length)
{
    count = 0;
    QString what;
    if (!file.open(fileName, mode, what, FileIo::WriteShape::records(recordLength))) {
        error = {fileName, what};
        return false;
    }
    const qint64 bytes = file.size();
    if (bytes < 0) {
        error = {fileName, QStringLiteral("could not be opened: %1").arg(file.reason())};
        file.close();
        return false;
    }
    const qint64 records = CountForLength(bytes, recordLength);
    if (records > MaxRecords) {
        error = {fileName, TooManyRecords(records)};
        file.close();
        return false;
    }
    count = int(records);
    if (length)
        *length = bytes;
    return true;
}

bool WriteRecord(FileIo::File& file, int recordLength, qint64 n, const QByteArray& bytes,
                 const QByteArray& blankRecord, FileError& error)
{
    Q_ASSERT(bytes.size() == recordLength && blankRecord.size() == recordLength);
    if (!file.isWritable()) {
        error = {file.path(), QStringLiteral("could not be written: %1").arg(file.reason())};
        return false;
    }
    if (n > MaxRecords) {
        error = {file.path(),
                 QStringLiteral("could not be written: it cannot hold more than %1 records").arg(MaxRecords)};
        return false;
    }
    const qint64 oldSize = file.size();
    if (oldSize < 0) {
        error = {file.path(), QStringLiteral("could not be written: %1").arg(file.reason())};
        return false;
    }
    if (n < 1 || n > CountForLength(oldSize, recordLength) + 1) {
        error = {file.path(), QStringLiteral("has no record %1").arg(n)};
        return false;
    }
    const qint64 at = (n - 1) * recordLength;
    QByteArray out;
    if (at > oldSize) {
        // The record before is cut short: finish it as an empty record, so
        // no gap of zero bytes is left inside it.
        const qint64 have = oldSize - (at - recordLength);
        out = blankRecord.mid(have);
    }
    out += bytes;
    QString reason;
    if (!FileIo::writeOrRestore(file, qMin(at, oldSize), out, reason)) {
        error = {file.path(), QStringLiteral("could not be written: %1").arg(reason)};
        return false;
    }
    return true;
}

qint64 RemoveRecord(const QString& fileName, int recordLength, qint64 n, const QByteArray& blankRecord,
                    FileError& error, const ProgressFn& progress)
{
    FileIo::File source;
    QString what;
    // Opened for writing although only read: a file the user may not change
    // must not be replaced behind his back through the folder.
    if (!source.open(fileName, FileIo::File::ReadWrite, what, FileIo::WriteShape::records(recordLength))) {
        error = {fileName, what.replace(QStringLiteral("could not be opened"), QStringLiteral("could not be changed"))};
        return -1;
    }
    const qint64 length = source.size();
    if (length < 0) {
        error = {fileName, QStringLiteral("could not be read: %1").arg(source.reason())};
        return -1;
    }
    const qint64 total = CountForLength(length, recordLength);
    if (n < 1 || n > total) {
        error = {fileName, QStringLiteral("has no record %1").arg(n)};
        return -1;
    }

    // A data file kept on another disk through a symbolic link stays there:
    // the work file is written beside the file the link points to and renamed
    // over that file, so the link goes on pointing at the data.
    QString target = fileName;
    QString workName = WorkFileName;
    if (const QFileInfo info(fileName); info.isSymLink() && !info.canonicalFilePath().isEmpty()) {
        target = info.canonicalFilePath();
        workName = QFileInfo(target).dir().filePath(WorkFileName);
    }

    FileIo::File work;
    if (!work.open(workName, FileIo::File::CreateNew, what)) {
        error = {fileName, QStringLiteral("could not be compacted: the work file \"%1\" %2").arg(workName, what)};
        return -1;
    }
    // The replacement is the same file to the user: same permissions, and
    // the same owner where the process may give it.
    bool ok = work.setPermissions(source.permissions());
    FileIo::copyOwnership(source, work);
    QString failure = ok ? QString() : work.reason();

    // Copy the survivors in large blocks: every record before n, then every
    // record after it.
    qint64 kept = 0;
    constexpr qint64 BlockRecords = 512;
    QByteArray block;
    for (qint64 first = 1; ok && first <= total; first += BlockRecords) {
        const qint64 last = qMin(total, first + BlockRecords - 1);
        const qint64 expected = (last - first + 1) * recordLength;
        block.resize(expected);
        const qint64 got = source.readAt((first - 1) * recordLength, block.data(), expected);
        if (got < 0) {
            ok = false;
            failure = QStringLiteral("it could not be read: %1").arg(source.reason());
            break;
        }
        if (got < expected) {
            // Only the last record may be short: a damaged tail that counts.
            if (expected - got >= recordLength || last != total) {
                ok = false;
                failure = QStringLiteral("it became shorter while it was read");
                break;
            }
            block.resize(got);
            const qint64 partial = got % recordLength;
            block.append(blankRecord.mid(partial, recordLength - partial));
        }
        if (n >= first && n <= last)
            block.remove((n - first) * recordLength, recordLength);
        if (!work.writeAt(kept * recordLength, block.constData(), block.size())) {
            ok = false;
            failure = work.reason();
            break;
        }
        kept += block.size() / recordLength;
        if (progress)
            progress(last, total);
    }
    if (ok && !work.sync()) {
        ok = false;
        failure = work.reason();
    }
    source.close();
    work.close();
    QString reason;
    if (!ok) {
        FileIo::removeFile(workName, reason);
        error = {fileName, QStringLiteral("could not be compacted: %1").arg(failure)};
        return -1;
    }

    if (kept == 0) {
        FileIo::removeFile(workName, reason);
        // Through a link the file it points to goes and the link stays, so
        // the next record is written on the same disk again.
        if (!FileIo::removeFile(target, reason)) {
            // Nothing survives but the file cannot go: leave it whole rather than half.
            error = {fileName, QStringLiteral("could not be removed: %1").arg(reason)};
            return -1;
        }
        return 0;
    }
    if (!FileIo::replaceFile(workName, target, error)) {
        FileIo::removeFile(workName, reason);
        return -1;
    }
    return kept;
}

} // namespace RecordFile

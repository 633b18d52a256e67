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

namespace {

// Copies records 1..total of `source` into `work` from its start, leaving out
// record `skip` (0: none), in large blocks. A short last record that counts is
// completed from `blankRecord`. `kept` is the number of records written.
bool copyRecords(FileIo::File& source, FileIo::File& work, int recordLength, qint64 total, qint64 skip,
                 const QByteArray& blankRecord, qint64& kept, QString& failure, const ProgressFn& progress = {})
{
    kept = 0;
    constexpr qint64 BlockRecords = 512;
    QByteArray block;
    for (qint64 first = 1; first <= total; first += BlockRecords) {
        const qint64 last = qMin(total, first + BlockRecords - 1);
        const qint64 expected = (last - first + 1) * recordLength;
        block.resize(expected);
        const qint64 got = source.readAt((first - 1) * recordLength, block.data(), expected);
        if (got < 0) {
            failure = QStringLiteral("it could not be read: %1").arg(source.reason());
            return false;
        }
        if (got < expected) {
            // Only the last record may be short: a damaged tail that counts.
            if (expected - got >= recordLength || last != total) {
                failure = QStringLiteral("it became shorter while it was read");
                return false;
            }
            block.resize(got);
            const qint64 partial = got % recordLength;
            block.append(blankRecord.mid(partial, recordLength - partial));
        }
        if (skip >= first && skip <= last)
            block.remove((skip - first) * recordLength, recordLength);
        if (!work.writeAt(kept * recordLength, block.constData(), block.size())) {
            failure = work.reason();
            return false;
        }
        kept += block.size() / recordLength;
        if (progress)
            progress(last, total);
    }
    return true;
}

// Where a whole-file change of `fileName` is written and what it replaces.
// A data file kept on another disk through a symbolic link stays there: the
// work file is written beside the file the link points to and renamed over
// that file, so the link goes on pointing at the data.
struct Replacement {
    QString target;
    QString work;
};
Replacement replacementOf(const QString& fileName)
{
    if (const QFileInfo info(fileName); info.isSymLink() && !info.canonicalFilePath().isEmpty()) {
        const QString target = info.canonicalFilePath();
        return {target, QFileInfo(target).dir().filePath(WorkFileName)};
    }
    return {fileName, WorkFileName};
}

// Opens the work file of `replacement` for a whole-file change of `source`:
// the replacement is the same file to the user, with the same permissions
// and, where the process may give it, the same owner. False with `error`
// set (`verb` as in "could not be compacted") when it cannot be opened;
// `failure` holds the reason when the permissions could not be given.
bool openWorkFile(FileIo::File& work, const FileIo::File& source, const Replacement& replacement,
                  const QString& fileName, const QString& verb, FileError& error, QString& failure)
{
    QString what;
    if (!work.open(replacement.work, FileIo::File::CreateNew, what)) {
        error = {fileName, QStringLiteral("could not be %1: the work file \"%2\" %3").arg(verb, replacement.work, what)};
        return false;
    }
    if (!work.setPermissions(source.permissions()))
        failure = work.reason();
    FileIo::copyOwnership(source, work);
    return true;
}

} // namespace

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

    const Replacement replacement = replacementOf(fileName);
    FileIo::File work;
    QString failure;
    if (!openWorkFile(work, source, replacement, fileName, QStringLiteral("compacted"), error, failure))
        return -1;
    bool ok = failure.isEmpty();

    // Copy the survivors in large blocks: every record before n, then every
    // record after it.
    qint64 kept = 0;
    if (ok)
        ok = copyRecords(source, work, recordLength, total, n, blankRecord, kept, failure, progress);
    if (ok && !work.sync()) {
        ok = false;
        failure = work.reason();
    }
    source.close();
    work.close();
    QString reason;
    if (!ok) {
        FileIo::removeFile(replacement.work, reason);
        error = {fileName, QStringLiteral("could not be compacted: %1").arg(failure)};
        return -1;
    }

    if (kept == 0) {
        FileIo::removeFile(replacement.work, reason);
        // Through a link the file it points to goes and the link stays, so
        // the next record is written on the same disk again.
        if (!FileIo::removeFile(replacement.target, reason)) {
            // Nothing survives but the file cannot go: leave it whole rather than half.
            error = {fileName, QStringLiteral("could not be removed: %1").arg(reason)};
            return -1;
        }
        return 0;
    }
    if (!FileIo::replaceFile(replacement.work, replacement.target, error)) {
        FileIo::removeFile(replacement.work, reason);
        return -1;
    }
    return kept;
}

qint64 AppendRecords(const QString& fileName, int recordLength, qint64 count,
                     const std::function<const char*(qint64 i)>& recordAt, const QByteArray& blankRecord,
                     FileError& error)
{
    FileIo::File source;
    QString what;
    if (!source.open(fileName, FileIo::File::Update, what, FileIo::WriteShape::records(recordLength))) {
        error = {fileName, what};
        return -1;
    }
    if (!source.isWritable()) {
        error = {fileName, QStringLiteral("could not be written: %1").arg(source.reason())};
        return -1;
    }
    const qint64 length = source.size();
    if (length < 0) {
        error = {fileName, QStringLiteral("could not be read: %1").arg(source.reason())};
        return -1;
    }
    const qint64 total = CountForLength(length, recordLength);
    if (total + count > MaxRecords) {
        error = {fileName,
                 QStringLiteral("could not be written: it cannot hold more than %1 records").arg(MaxRecords)};
        return -1;
    }

    const Replacement replacement = replacementOf(fileName);
    FileIo::File work;
    QString failure;
    if (!openWorkFile(work, source, replacement, fileName, QStringLiteral("written"), error, failure))
        return -1;
    bool ok = failure.isEmpty();
    qint64 kept = 0;
    if (ok)
        ok = copyRecords(source, work, recordLength, total, 0, blankRecord, kept, failure);
    // The new records go in pieces of about a mebibyte.
    QByteArray piece;
    const qint64 perPiece = qMax<qint64>(1, (1 << 20) / recordLength);
    for (qint64 i = 0; ok && i < count; i += perPiece) {
        piece.clear();
        for (qint64 j = i; j < qMin(count, i + perPiece); ++j)
            piece.append(recordAt(j), recordLength);
        if (!work.writeAt(kept * recordLength, piece.constData(), piece.size())) {
            ok = false;
            failure = work.reason();
        }
        kept += piece.size() / recordLength;
    }
    if (ok && !work.sync()) {
        ok = false;
        failure = work.reason();
    }
    source.close();
    work.close();
    QString reason;
    if (!ok) {
        FileIo::removeFile(replacement.work, reason);
        error = {fileName, QStringLiteral("could not be written: %1").arg(failure)};
        return -1;
    }
    if (!FileIo::replaceFile(replacement.work, replacement.target, error)) {
        FileIo::removeFile(replacement.work, reason);
        return -1;
    }
    return kept;
}

} // namespace RecordFile

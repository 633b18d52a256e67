#include "store/RecordFile.h"

#include "store/DataFileNames.h"

#include <QFile>

namespace RecordFile {

int CountForLength(qint64 length, int recordLength)
{
    const qint64 whole = length / recordLength;
    const qint64 rest = length % recordLength;
    qint64 count = whole;
    if (rest * 2 > recordLength || (rest * 2 == recordLength && whole % 2 == 1))
        ++count;
    return int(count);
}

int RemoveRecord(const QString& fileName, int recordLength, int n, const QByteArray& blankRecord, FileError& error)
{
    QFile source(fileName);
    if (!source.open(QIODevice::ReadOnly)) {
        error = {fileName, QStringLiteral("could not be opened: %1").arg(source.errorString())};
        return -1;
    }
    const int total = CountForLength(source.size(), recordLength);
    if (n < 1 || n > total) {
        error = {fileName, QStringLiteral("has no record %1").arg(n)};
        return -1;
    }

    QFile::remove(WorkFileName);
    QFile work(WorkFileName);
    if (!work.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = {fileName, QStringLiteral("could not be compacted: the work file \"%1\" could not be created: %2")
                               .arg(WorkFileName, work.errorString())};
        return -1;
    }

    // Copy the survivors in large blocks: every record before n, then every
    // record after it.
    int kept = 0;
    bool ok = true;
    constexpr int BlockRecords = 512;
    for (int first = 1; ok && first <= total; first += BlockRecords) {
        const int last = qMin(total, first + BlockRecords - 1);
        const qint64 expected = qint64(last - first + 1) * recordLength;
        if (!source.seek(qint64(first - 1) * recordLength)) {
            ok = false;
            break;
        }
        QByteArray block = source.read(expected);
        if (source.error() != QFileDevice::NoError) {
            ok = false;
            break;
        }
        if (block.size() < expected) {
            const qint64 whole = block.size() / recordLength * recordLength;
            const qint64 partial = block.size() - whole;
            block.append(blankRecord.mid(partial, recordLength - partial));
        }
        if (n >= first && n <= last)
            block.remove(qint64(n - first) * recordLength, recordLength);
        ok = work.write(block) == block.size();
        kept += int(block.size() / recordLength);
    }
    source.close();
    ok = ok && work.flush() && FileOps::syncToDisk(work.handle());
    const QString workError = work.errorString();
    work.close();
    if (!ok) {
        QFile::remove(WorkFileName);
        error = {fileName, QStringLiteral("could not be compacted: %1").arg(workError)};
        return -1;
    }

    if (kept == 0) {
        QFile::remove(WorkFileName);
        if (!QFile::remove(fileName) && QFile::exists(fileName)) {
            // Nothing survives but the file cannot go: leave it whole rather than half.
            error = {fileName, QStringLiteral("could not be removed")};
            return -1;
        }
        return 0;
    }
    if (!FileOps::replaceFile(WorkFileName, fileName, error)) {
        QFile::remove(WorkFileName);
        return -1;
    }
    return kept;
}

} // namespace RecordFile

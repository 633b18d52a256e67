// A data folder holding a whole data file and a leftover intent file made
// from the fuzzer's bytes, opened as the program opens it at start-up. Either
// the write is carried out, changing no byte outside the one record it names,
// or the data file stays as it was; the intent file never stays behind.
//
// The first byte chooses how the rest becomes the intent: 0 as the file's
// bytes themselves; 1 as where (8 bytes), the old length (8 bytes) and the
// write, with a correct check sum; 2 as a record number, an old length near
// the file's own and the write, so that well-formed writes are reached often.
// Bit 2 of the first byte leaves the last record of the data file cut short.
#include "FuzzInput.h"
#include "IntentBytes.h"
#include "store/CitationFile.h"
#include "store/CitationRecord.h"
#include "store/FileIo.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cstring>

namespace {

constexpr qint64 R = CitationLayout::RecordLength;

QByteArray dataFile(bool cutShort)
{
    QByteArray bytes;
    for (int n = 0; n < 3; ++n) {
        QByteArray record = CitationRecord().bytes();
        std::memset(record.data() + 100, 'A' + n, 500);
        bytes += record;
    }
    return cutShort ? bytes.left(3 * R - 1234) : bytes;
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size(), "cannot write %s",
               qPrintable(path));
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    static char name[] = "/tmp/fuzz_intent.XXXXXX";
    static const QString folder = [] {
        FUZZ_CHECK(::mkdtemp(name), "no temporary folder");
        FileIo::setNoticeReceiver([](const QString&) {});
        std::atexit([] { QDir(QString::fromLocal8Bit(name)).removeRecursively(); });
        return QString::fromLocal8Bit(name);
    }();
    if (size < 1)
        return 0;
    const QString data = folder + QStringLiteral("/Sennet.Data");
    const QString intent = FileIo::intentFileName(data);
    const QString rejected = FileIo::rejectedIntentFileName(data);
    QFile::remove(rejected);

    const char* rest = reinterpret_cast<const char*>(input) + 1;
    const qsizetype left = qsizetype(size) - 1;
    const QByteArray old = dataFile(input[0] & 4);
    QByteArray bytes;
    switch (input[0] % 3) {
    case 0:
        bytes = QByteArray(rest, left);
        break;
    case 1:
        if (left < 16)
            return 0;
        bytes = IntentBytes(qFromLittleEndian<quint64>(rest), qFromLittleEndian<quint64>(rest + 8),
                            QByteArray(rest + 16, left - 16));
        break;
    default:
        if (left < 2)
            return 0;
        bytes = IntentBytes(quint8(rest[0]) < 250 ? quint64(quint8(rest[0]) % 5) * R : quint64(old.size()),
                            quint64(old.size() + qint8(rest[1]) % 3), QByteArray(rest + 2, left - 2));
        break;
    }
    write(data, old);
    write(intent, bytes);

    CitationFileView view(data);
    (void)view.open();
    const QByteArray now = read(data);
    // Only an intent marked as carried out (its first eight bytes zero) is
    // kept, for the next write, and it changes nothing.
    if (QFile::exists(intent))
        FUZZ_CHECK(bytes.startsWith(QByteArray(8, '\0')) && read(intent) == bytes && now == old,
                   "an intent file not marked as carried out was left behind, or a marked one acted");
    if (QFile::exists(rejected))
        FUZZ_CHECK(now == old, "a rejected intent changed the data file");
    if (now == old)
        return 0;

    // Carried out: every changed or added byte lies within one record, the
    // one the intent named (after a record cut short, it and the next).
    qint64 first = 0;
    while (first < old.size() && first < now.size() && old[first] == now[first])
        ++first;
    qint64 last = now.size() - 1;
    while (last >= 0 && last < old.size() && old[last] == now[last])
        --last;
    FUZZ_CHECK(now.size() >= old.size(), "the data file shrank from %d to %d bytes", int(old.size()), int(now.size()));
    const qint64 slot = first - first % R;
    const qint64 shortRecord = old.size() - old.size() % R; // where a cut-short last record starts
    const qint64 end = old.size() % R && slot == shortRecord ? slot + 2 * R : slot + R;
    FUZZ_CHECK(first >= slot && last < end && now.size() <= qMax<qint64>(old.size(), end),
               "bytes %lld to %lld changed, outside record slot %lld to %lld (file %lld to %lld bytes)", first, last,
               slot, end, qint64(old.size()), qint64(now.size()));
    return 0;
}

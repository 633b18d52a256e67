#include "store/CitationListFile.h"

#include "store/CitationFile.h"
#include "store/CitationNumberIndex.h"
#include "store/FileIo.h"
#include "store/RecordFile.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

// The list file, little-endian:
//   header, 128 bytes: "SNLIST01", format 1 (4), header length 128 (4),
//     the data file's device (8), inode (8), length (8), modification and
//     change times in nanoseconds (8 each), the number of rows (4), 0 (4),
//     the length of the texts (8), the check sum of all else (8), zeros;
//   per row, in record order, 8 bytes: the offense day as yyyymmdd or 0 (4),
//     the lengths of its citation number, code section, occurred on and
//     occurred at (1 each);
//   the texts of every row back to back, as the data file holds them, trimmed.
// It belongs to this program alone and is made again whenever it does not fit.

namespace CitationListFile {
namespace {

constexpr char Magic[8] = {'S', 'N', 'L', 'I', 'S', 'T', '0', '1'};
constexpr quint32 Format = 1;
constexpr int HeaderLength = 128;
// Where each number of the header lies.
namespace At {
constexpr int Format = 8, HeaderLength = 12, Device = 16, Inode = 24, Size = 32, Modified = 40, Changed = 48,
              Rows = 56, TextBytes = 64;
constexpr int Sum = 72; // the check sum, of all bytes before it and of the rows and texts
} // namespace At
constexpr int RowBytes = 8;
// The file's last change must be at least this old (in nanoseconds) for a
// copy: the coarse clock the system stamps changes with moves in steps of
// a few milliseconds, and a change within the same step could keep the time.
constexpr qint64 MinimumAge = 50'000'000;
// On a file system that keeps whole seconds only (FAT keeps two), a change
// within the same two seconds keeps the time.
constexpr qint64 MinimumAgeInSeconds = 2'100'000'000;
constexpr qint64 Second = 1'000'000'000;

qint64 nanoseconds(const timespec& t) { return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

// How old the last change of a file with these times must be for a copy.
qint64 minimumAge(const Source& s)
{
    return s.modified % Second == 0 && s.changed % Second == 0 ? MinimumAgeInSeconds : MinimumAge;
}

qint64 ageOf(const Source& s)
{
    timespec now;
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return nanoseconds(now) - s.changed;
}

bool statOf(const QString& path, Source& s)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modified = nanoseconds(st.st_mtim);
    s.changed = nanoseconds(st.st_ctim);
    return true;
}

bool sameFile(const Source& a, const Source& b)
{
    return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modified == b.modified
        && a.changed == b.changed;
}

// The data file as the header names it.
void putSource(char* header, const Source& s)
{
    qToLittleEndian<quint64>(s.device, header + At::Device);
    qToLittleEndian<quint64>(s.inode, header + At::Inode);
    qToLittleEndian<qint64>(s.size, header + At::Size);
    qToLittleEndian<qint64>(s.modified, header + At::Modified);
    qToLittleEndian<qint64>(s.changed, header + At::Changed);
}

Source sourceIn(const char* header)
{
    Source s;
    s.device = qFromLittleEndian<quint64>(header + At::Device);
    s.inode = qFromLittleEndian<quint64>(header + At::Inode);
    s.size = qFromLittleEndian<qint64>(header + At::Size);
    s.modified = qFromLittleEndian<qint64>(header + At::Modified);
    s.changed = qFromLittleEndian<qint64>(header + At::Changed);
    return s;
}

quint64 rotl(quint64 v, int r) { return (v << r) | (v >> (64 - r)); }

// A 64-bit check sum in four independent lanes, so that fifty megabytes
// take a few milliseconds.
quint64 sumOf(const char* data, qint64 length, quint64 seed)
{
    constexpr quint64 P1 = 0x9E3779B185EBCA87ull, P2 = 0xC2B2AE3D27D4EB4Full;
    quint64 lane[4] = {seed + P1, seed ^ P2, seed - P1, seed * P2 + 1};
    qint64 i = 0;
    for (; i + 32 <= length; i += 32)
        for (int l = 0; l < 4; ++l)
            lane[l] = rotl(lane[l] + qFromLittleEndian<quint64>(data + i + 8 * l) * P2, 31) * P1;
    quint64 h = rotl(lane[0], 1) + rotl(lane[1], 7) + rotl(lane[2], 12) + rotl(lane[3], 18);
    for (; i < length; ++i)
        h = rotl(h ^ (quint8(data[i]) * P1), 11) * P2;
    h ^= quint64(length);
    h ^= h >> 33;
    h *= P2;
    h ^= h >> 29;
    return h;
}

quint64 checkSum(const char* header, const char* rows, qint64 rowBytes, const char* texts, qint64 textBytes)
{
    return sumOf(header, At::Sum, 1) ^ rotl(sumOf(rows, rowBytes, 2), 21) ^ rotl(sumOf(texts, textBytes, 3), 42);
}

bool dayFits(quint32 day)
{
    if (day == 0)
        return true;
    const int y = int(day / 10000), m = int(day / 100 % 100), d = int(day % 100);
    return y >= 1 && m >= 1 && m <= 12 && d >= 1 && (d <= 28 || QDate::isValid(y, m, d));
}

struct Writer {
    std::thread thread;
    void wait()
    {
        if (thread.joinable())
            thread.join();
    }
    ~Writer() { wait(); }
};

Writer& writer()
{
    static Writer w;
    return w;
}

std::atomic<bool> writing{false};

} // namespace
} // namespace CitationListFile

// What the list file needs of the rows' insides.
struct ListFileRows {
    // The list file of `rows` (the full list, in record order, without
    // times) read from the file `source` describes; empty when the rows are
    // not such a list.
    static QByteArray bytesOf(const CitationRows& rows, const CitationListFile::Source& source)
    {
        using namespace CitationListFile;
        const qint64 count = qint64(rows.m_rows.size());
        qint64 textBytes = 0;
        qint32 expected = 1;
        bool whole = true;
        rows.m_rows.forEach([&](const CitationRows::Packed& row) {
            whole = whole && row.recNum == expected++ && row.time == -1;
            textBytes += row.length[0] + row.length[1] + row.length[2] + row.length[3];
        });
        if (!whole)
            return QByteArray();
        QByteArray out(HeaderLength + RowBytes * count + textBytes, '\0');
        char* header = out.data();
        std::memcpy(header, Magic, 8);
        qToLittleEndian<quint32>(Format, header + At::Format);
        qToLittleEndian<quint32>(HeaderLength, header + At::HeaderLength);
        putSource(header, source);
        qToLittleEndian<quint32>(quint32(count), header + At::Rows);
        qToLittleEndian<qint64>(textBytes, header + At::TextBytes);
        char* meta = header + HeaderLength;
        char* texts = meta + RowBytes * count;
        char* text = texts;
        rows.m_rows.forEach([&](const CitationRows::Packed& row) {
            qToLittleEndian<quint32>(row.day, meta);
            const int length = row.length[0] + row.length[1] + row.length[2] + row.length[3];
            std::memcpy(meta + 4, row.length, 4);
            std::memcpy(text, rows.m_text.constData() + row.text, size_t(length));
            meta += RowBytes;
            text += length;
        });
        qToLittleEndian<quint64>(checkSum(header, header + HeaderLength, RowBytes * count, texts, textBytes),
                                 header + At::Sum);
        return out;
    }

    // Makes `rows` the full list of `count` rows the list file holds: each
    // row's day and lengths in `meta`, their texts back to back in `texts`.
    // False when a row does not fit (its texts wider than their fields, an
    // impossible day, the texts longer or shorter than the rows say).
    static bool assign(CitationRows& rows, QByteArray&& texts, const char* meta, int count)
    {
        using namespace CitationListFile;
        int widths[4];
        for (int t = 0; t < 4; ++t)
            widths[t] = CitationRows::textWidth(t);
        CitationRows made;
        made.m_rows.resizeFull(size_t(count));
        qint64 at = 0;
        qint32 recNum = 0;
        bool fits = true;
        made.m_rows.forEach([&](CitationRows::Packed& row) {
            row.recNum = ++recNum;
            row.text = at;
            row.time = -1;
            row.day = qFromLittleEndian<quint32>(meta);
            fits = fits && dayFits(row.day);
            for (int t = 0; t < 4; ++t) {
                row.length[t] = quint8(meta[4 + t]);
                fits = fits && row.length[t] <= widths[t];
                at += row.length[t];
            }
            meta += RowBytes;
        });
        if (!fits || at != texts.size())
            return false;
        made.m_text = std::move(texts);
        rows = std::move(made);
        return true;
    }

    // Gives `numbers` the citation number of every row, on the thread that
    // makes its table: from the list file's rows (`meta`) and texts, which
    // the thread keeps (the texts shared with the rows made of them).
    static void fillNumbers(const CitationRows& rows, QByteArray meta, CitationNumberIndex& numbers,
                            const CitationNumberIndex::Stamp& before)
    {
        const int count = rows.size();
        numbers.beginFill(count);
        numbers.endFill(before, count, true, [&numbers, meta = std::move(meta), texts = rows.m_text, count] {
            const char* row = meta.constData();
            qint64 at = 0;
            for (int n = 1; n <= count; ++n, row += CitationListFile::RowBytes) {
                numbers.fill(n, QByteArrayView(texts.constData() + at, quint8(row[4])));
                at += quint8(row[4]) + quint8(row[5]) + quint8(row[6]) + quint8(row[7]);
            }
        });
    }
};

namespace CitationListFile {

bool load(const QString& dataFile, CitationRows& rows, qint64& dataLength, CitationNumberIndex* numbers)
{
    const QString name = FileIo::derivedFileName(dataFile);
    struct stat st;
    if (::lstat(QFile::encodeName(name).constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < HeaderLength)
        return false;
    FileIo::File in;
    QString what;
    char header[HeaderLength];
    if (!in.open(name, FileIo::File::ReadOnly, what) || in.readAt(0, header, HeaderLength) != HeaderLength
        || std::memcmp(header, Magic, 8) != 0 || qFromLittleEndian<quint32>(header + At::Format) != Format
        || qFromLittleEndian<quint32>(header + At::HeaderLength) != HeaderLength)
        return false;

    const CitationNumberIndex::Stamp before = numbers ? numbers->stampNow() : CitationNumberIndex::Stamp();
    const Source copied = sourceIn(header);
    Source now;
    if (!statOf(dataFile, now) || !sameFile(now, copied))
        return false;
    const qint64 count = qFromLittleEndian<quint32>(header + At::Rows);
    const qint64 textBytes = qFromLittleEndian<qint64>(header + At::TextBytes);
    qint64 widest = 0;
    for (int t = 0; t < 4; ++t)
        widest += CitationRows::textWidth(t);
    if (count != CitationFile::CountForLength(now.size) || count > RecordFile::MaxRecords || textBytes < 0
        || textBytes > count * widest || in.size() != HeaderLength + RowBytes * count + textBytes)
        return false;

    QByteArray meta(RowBytes * count, Qt::Uninitialized);
    QByteArray texts(textBytes, Qt::Uninitialized);
    if (in.readAt(HeaderLength, meta.data(), meta.size()) != meta.size()
        || in.readAt(HeaderLength + meta.size(), texts.data(), texts.size()) != texts.size()
        || checkSum(header, meta.constData(), meta.size(), texts.constData(), texts.size())
            != qFromLittleEndian<quint64>(header + At::Sum))
        return false;
    CitationRows made;
    if (!ListFileRows::assign(made, std::move(texts), meta.constData(), int(count)))
        return false;
    // The data file must still be the one copied once the copy is read.
    if (!statOf(dataFile, now) || !sameFile(now, copied))
        return false;
    if (numbers)
        ListFileRows::fillNumbers(made, std::move(meta), *numbers, before);
    rows = std::move(made);
    dataLength = now.size;
    return true;
}

Source beforeRead(const QString& dataFile)
{
    Source s;
    s.changesBefore = FileIo::derivedFilesChanged();
    // Flushed first, so that the times taken are the ones a power cut leaves.
    const int fd = ::open(QFile::encodeName(dataFile).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return s;
    struct stat st;
    const bool flushed = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fsync(fd) == 0;
    ::close(fd);
    if (!flushed || !statOf(dataFile, s))
        return s;
    s.fit = ageOf(s) >= minimumAge(s);
    return s;
}

void writeAfterRead(const QString& dataFile, const Source& source, const CitationRows& rows)
{
    if (!writing || !source.fit || rows.isEmpty() || rows.size() != CitationFile::CountForLength(source.size))
        return;
    Source now;
    if (!statOf(dataFile, now) || !sameFile(now, source))
        return;
    // By its full name: the thread must write beside this data file even if
    // the working folder changes meanwhile. It works on a copy of the rows
    // whose texts are shared with them: nothing changes the texts before a
    // change to the data file has waited for the thread.
    const QString path = QFileInfo(dataFile).absoluteFilePath();
    Writer& w = writer();
    w.wait();
    w.thread = std::thread([path, source, copy = rows]() mutable {
        // Behind whatever the program does meanwhile: the list it has just
        // read is sorted and shown while this runs.
        ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 19);
        const QByteArray bytes = ListFileRows::bytesOf(copy, source);
        copy = CitationRows();
        if (bytes.isEmpty())
            return;
        // A copy never takes the room a save may need.
        struct statvfs fs;
        if (::statvfs(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &fs) != 0
            || qint64(fs.f_bavail) * qint64(fs.f_frsize) < 2 * bytes.size() + (qint64(16) << 20))
            return;
        FileIo::writeDerivedFile(path, bytes, source.changesBefore, [&] {
            Source now;
            return statOf(path, now) && sameFile(now, source);
        });
    });
}

void makeForNextOpen(const QString& dataFile)
{
    if (!writing)
        return;
    waitForWrite();
    CitationRows rows;
    qint64 length = 0;
    if (load(dataFile, rows, length, nullptr))
        return;
    Source source = beforeRead(dataFile);
    // Changed a moment ago: worth a short wait, not seconds.
    if (const qint64 wait = minimumAge(source) - ageOf(source); !source.fit && wait > 0 && wait <= 2 * MinimumAge) {
        QThread::msleep(unsigned(wait / 1'000'000 + 20)); // and a step of the coarse clock
        source = beforeRead(dataFile);
    }
    FileError error;
    rows = LoadCitationRows(dataFile, nullptr, error);
    if (!error.isError())
        writeAfterRead(dataFile, source, rows);
    waitForWrite();
}

void waitForWrite() { writer().wait(); }

void setWriting(bool on) { writing = on; }

} // namespace CitationListFile

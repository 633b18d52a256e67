#include "audit/AuditTrail.h"

#include "platform/ApplicationTitle.h"
#include "store/FileIo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace AuditFiles {
QString trail() { return ApplicationTitle() + QStringLiteral(".Audit"); }
QString count() { return ApplicationTitle() + QStringLiteral(".AuditCount"); }
QString index() { return ApplicationTitle() + QStringLiteral(".AuditIndex"); }
} // namespace AuditFiles

quint64 auditKey(const QString& text)
{
    const QByteArray folded = AuditLine::foldKey(text).toUtf8();
    if (folded.isEmpty())
        return 0;
    quint64 h = 1469598103934665603ull; // FNV-1a
    for (char c : folded)
        h = (h ^ quint8(c)) * 1099511628211ull;
    return h ? h : 1;
}

namespace {

using FileIo::File;

constexpr int IndexRecordLength = 48;
constexpr int HexLength = 64;
// The end of every line: ,"prev":"<64 hex>","hash":"<64 hex>"}
constexpr int PrevFromEnd = 140;
constexpr int HashFromEnd = 66;
constexpr int SuffixLength = 149;
constexpr qint64 Block = 1 << 20;

FileIo::WriteShape trailShape() { return FileIo::WriteShape::lineAtEnd(AuditFiles::MaxEntryLength); }
FileIo::WriteShape countShape() { return FileIo::WriteShape::records(AuditFiles::CountRecordLength); }

FileError unreadable(const QString& file, const File& f)
{
    return {file, QStringLiteral("could not be read: %1").arg(f.reason())};
}
FileError unwritable(const QString& file, const QString& reason)
{
    return {file, QStringLiteral("could not be written: %1").arg(reason)};
}
FileError notOpened(const QString& file, const QString& what) { return {file, what}; }

// The chain's members at their fixed places at the end of a line; empty
// when the line does not end the way every entry ends.
QByteArray storedHash(const QByteArray& line)
{
    if (line.size() < SuffixLength || !line.endsWith("\"}")
        || std::memcmp(line.constData() + line.size() - HashFromEnd - 9, ",\"hash\":\"", 9) != 0)
        return {};
    return line.mid(line.size() - HashFromEnd, HexLength);
}
QByteArray storedPrev(const QByteArray& line)
{
    if (storedHash(line).isEmpty()
        || std::memcmp(line.constData() + line.size() - PrevFromEnd - 9, ",\"prev\":\"", 9) != 0)
        return {};
    return line.mid(line.size() - PrevFromEnd, HexLength);
}
// The entry number at the start of a line, 0 when there is none.
qint64 storedNumber(const QByteArray& line)
{
    static const QByteArray start("{\"entry\":");
    if (!line.startsWith(start))
        return 0;
    qint64 n = 0;
    for (qsizetype i = start.size(); i < line.size() && i < start.size() + 18; ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9')
            return c == ',' ? n : 0;
        n = n * 10 + (c - '0');
    }
    return 0;
}

struct CountState {
    qint64 count = 0;
    QByteArray hash = AuditLine::genesisHash();
    char state = ' ';
    bool present = false; // the file holds a record
};

QByteArray countRecord(qint64 count, const QByteArray& hash, char state)
{
    QByteArray r = QByteArray::number(count).rightJustified(20, '0') + ' ' + hash + ' ' + state + "\r\n";
    Q_ASSERT(r.size() == AuditFiles::CountRecordLength);
    return r;
}

bool parseCount(const QByteArray& bytes, CountState& c)
{
    if (bytes.size() != AuditFiles::CountRecordLength || bytes.at(20) != ' ' || bytes.at(85) != ' '
        || !bytes.endsWith("\r\n") || (bytes.at(86) != ' ' && bytes.at(86) != 'x'))
        return false;
    bool ok = false;
    c.count = bytes.left(20).toLongLong(&ok);
    c.hash = bytes.mid(21, HexLength);
    c.state = bytes.at(86);
    c.present = true;
    return ok && c.count >= 0
        && std::all_of(c.hash.cbegin(), c.hash.cend(), [](char h) { return (h >= '0' && h <= '9') || (h >= 'a' && h <= 'f'); });
}

FileError damagedCount(const QString& file)
{
    return {file, QStringLiteral("is damaged: it does not hold the count of the audit trail's entries")};
}

// The count file's bytes, as many as a count record has at most (one more
// tells a longer file).
bool readCountBytes(File& file, QByteArray& bytes, FileError& error)
{
    const qint64 size = file.size();
    bytes.resize(qsizetype(qBound<qint64>(0, size, qint64(AuditFiles::CountRecordLength) + 1)));
    if (size < 0 || file.readAt(0, bytes.data(), bytes.size()) != bytes.size()) {
        error = unreadable(file.path(), file);
        return false;
    }
    return true;
}

// Reads the count file (missing or empty: no entries counted).
bool readCount(File& file, CountState& c, FileError& error)
{
    QByteArray bytes;
    if (!readCountBytes(file, bytes, error))
        return false;
    if (!bytes.isEmpty() && !parseCount(bytes, c)) {
        error = damagedCount(file.path());
        return false;
    }
    return true;
}

// The count is written in place without an intent, so a write of it cut off
// half way leaves a record of which each byte is that of the count before or
// of the one being written, and which may even read as a count. When the
// trail ends with entry `number` whole, the count's whole records are
// `number` with its hash, `number` - 1 with the hash before (one behind),
// and the same marked while entry `number` is withdrawn; a mix of them was
// cut off while the count was brought up to `number` or while the
// withdrawal was marked. Either way the count to write is `number` with its
// hash: proving no more than a count one behind would, such a record is put
// right, not taken for damage. A first count is written into an empty
// file: then the bytes are the start of the record.
bool cutOffCount(const QByteArray& bytes, qint64 number, const QByteArray& hash, const QByteArray& previous)
{
    if (number < 1 || hash.isEmpty() || previous.isEmpty())
        return false;
    const QByteArray counted = countRecord(number, hash, ' ');
    if (bytes.size() < AuditFiles::CountRecordLength)
        return !bytes.isEmpty() && counted.startsWith(bytes);
    const QByteArray behind = countRecord(number - 1, previous, ' ');
    const QByteArray withdrawn = countRecord(number - 1, previous, 'x');
    if (bytes.size() != AuditFiles::CountRecordLength || bytes == counted || bytes == behind || bytes == withdrawn)
        return false;
    for (int i = 0; i < AuditFiles::CountRecordLength; ++i)
        if (bytes[i] != counted[i] && bytes[i] != behind[i] && !(i == 86 && bytes[i] == 'x'))
            return false;
    return true;
}

// The last line of a file of `size` bytes: its offset, its bytes without the
// line end, and whether it ends with one.
struct Tail {
    qint64 offset = 0;
    QByteArray line;
    bool terminated = true;
    bool present = false;
};

bool readTail(File& file, qint64 size, Tail& tail)
{
    tail = {};
    if (size == 0)
        return true;
    QByteArray buffer;
    qint64 from = size;
    qint64 start = -1;
    // Skip the line end of the last line, then look back for the one before.
    while (from > 0 && start < 0) {
        const qint64 at = qMax<qint64>(0, from - 64 * 1024);
        QByteArray block(qsizetype(from - at), Qt::Uninitialized);
        if (file.readAt(at, block.data(), block.size()) != block.size())
            return false;
        buffer.prepend(block);
        from = at;
        const qsizetype searchEnd = buffer.size() - (buffer.endsWith('\n') ? 2 : 1);
        if (searchEnd >= 0) {
            const qsizetype nl = buffer.lastIndexOf('\n', searchEnd);
            if (nl >= 0)
                start = from + nl + 1;
        }
        if (size - from > AuditFiles::MaxEntryLength + 2 && start < 0)
            start = from; // no line is this long: take what is there
    }
    if (start < 0)
        start = 0;
    tail.present = true;
    tail.offset = start;
    tail.line = buffer.mid(qsizetype(start - from));
    tail.terminated = tail.line.endsWith('\n');
    while (tail.line.endsWith('\n') || tail.line.endsWith('\r'))
        tail.line.chop(1);
    return true;
}

// Reads a file in large blocks and hands over each line (without its line
// end) with its offset and whether it was ended.
template <typename Visit>
bool forEachRawLine(File& file, qint64 from, qint64 size, Visit&& visit)
{
    QByteArray pending;
    qint64 pendingOffset = from;
    QByteArray block(Block, Qt::Uninitialized);
    for (qint64 at = from; at < size;) {
        const qint64 want = qMin<qint64>(Block, size - at);
        const qint64 got = file.readAt(at, block.data(), want);
        if (got != want)
            return false;
        qsizetype pos = 0;
        while (pos < got) {
            const char* nl = static_cast<const char*>(std::memchr(block.constData() + pos, '\n', size_t(got - pos)));
            if (!nl) {
                pending.append(block.constData() + pos, got - pos);
                break;
            }
            const qsizetype end = nl - block.constData();
            QByteArray line;
            if (pending.isEmpty()) {
                line = QByteArray(block.constData() + pos, end - pos);
            } else {
                line = pending + QByteArray(block.constData() + pos, end - pos);
                pending.clear();
            }
            const qint64 length = line.size() + 1;
            if (line.endsWith('\r'))
                line.chop(1);
            if (!visit(pendingOffset, length, line, true))
                return true;
            pendingOffset += length;
            pos = end + 1;
        }
        at += got;
    }
    if (!pending.isEmpty()) {
        const qint64 length = pending.size();
        if (pending.endsWith('\r'))
            pending.chop(1);
        visit(pendingOffset, length, pending, false);
    }
    return true;
}

// A JSON string starting at `at` (at its opening quote) without escapes;
// false when it has escapes or does not close.
bool plainString(const QByteArray& line, qsizetype at, QString& text, qsizetype& end)
{
    if (at >= line.size() || line.at(at) != '"')
        return false;
    const qsizetype close = line.indexOf('"', at + 1);
    if (close < 0)
        return false;
    const QByteArrayView inner(line.constData() + at + 1, close - at - 1);
    if (inner.contains('\\'))
        return false;
    text = QString::fromUtf8(inner);
    end = close + 1;
    return true;
}

// The index record of one line: read quickly from the members' fixed order,
// or else by parsing the whole line.
AuditIndexRecord indexRecord(const QByteArray& line, qint64 offset, qint64 length)
{
    AuditIndexRecord r;
    r.offset = offset;
    r.length = quint32(length);
    auto fromEntry = [&](const AuditEntry& e) {
        r.action = quint16(e.action);
        r.utcSeconds = e.time.toSecsSinceEpoch();
        r.localDay = qint32(e.time.date().toJulianDay());
        r.userKey = auditKey(e.user);
        r.citationKey = auditKey(e.citation);
    };
    // {"entry":N,"utc":"...","local":"...","user":"...","level":L,"desk":"...","action":"...","citation":...
    const qsizetype utcAt = line.indexOf(",\"utc\":");
    const qsizetype localAt = line.indexOf(",\"local\":", utcAt);
    const qsizetype userAt = line.indexOf(",\"user\":", localAt);
    QString utcText, localText, user, desk, action, citation;
    qsizetype end = 0;
    if (utcAt > 0 && localAt > 0 && userAt > 0 && plainString(line, utcAt + 7, utcText, end)
        && plainString(line, localAt + 9, localText, end) && plainString(line, userAt + 8, user, end)) {
        const qsizetype deskAt = line.indexOf(",\"desk\":", end);
        if (deskAt > 0 && plainString(line, deskAt + 8, desk, end) && line.mid(end, 10) == ",\"action\":"
            && plainString(line, end + 10, action, end) && line.mid(end, 12) == ",\"citation\":") {
            const qsizetype at = end + 12;
            bool ok = line.mid(at, 5) == "null,";
            if (!ok)
                ok = plainString(line, at, citation, end);
            const QDateTime utc = QDateTime::fromString(utcText, Qt::ISODate);
            const QDateTime local = QDateTime::fromString(localText, Qt::ISODate);
            const std::optional<AuditAction> a = auditActionFromName(action);
            if (ok && a && utc.isValid() && local.isValid()) {
                r.action = quint16(*a);
                r.utcSeconds = utc.toSecsSinceEpoch();
                r.localDay = qint32(local.date().toJulianDay());
                r.userKey = auditKey(user);
                r.citationKey = auditKey(citation);
                return r;
            }
        }
    }
    const AuditLine::Parsed parsed = AuditLine::parse(line);
    if (parsed.readable)
        fromEntry(parsed.entry);
    return r;
}

QByteArray indexBytes(const AuditIndexRecord& r)
{
    QByteArray b(IndexRecordLength, '\0');
    char* p = b.data();
    qToLittleEndian<qint64>(r.offset, p);
    qToLittleEndian<quint32>(r.length, p + 8);
    qToLittleEndian<quint16>(r.action, p + 12);
    qToLittleEndian<qint64>(r.utcSeconds, p + 16);
    qToLittleEndian<qint32>(r.localDay, p + 24);
    qToLittleEndian<quint64>(r.userKey, p + 28);
    qToLittleEndian<quint64>(r.citationKey, p + 36);
    return b;
}

AuditIndexRecord indexFromBytes(const char* p)
{
    AuditIndexRecord r;
    r.offset = qFromLittleEndian<qint64>(p);
    r.length = qFromLittleEndian<quint32>(p + 8);
    r.action = qFromLittleEndian<quint16>(p + 12);
    r.utcSeconds = qFromLittleEndian<qint64>(p + 16);
    r.localDay = qFromLittleEndian<qint32>(p + 24);
    r.userKey = qFromLittleEndian<quint64>(p + 28);
    r.citationKey = qFromLittleEndian<quint64>(p + 36);
    return r;
}

// Where the next entry goes: after a crash between an entry and its count,
// or a withdrawal cut short, the files are first put in order. A trail
// changed by hand is not repaired: the next entry chains onto what is
// there and numbers on after the highest number seen, so the damage stays
// visible to a check.
struct Settled {
    qint64 size = 0;
    qint64 next = 1;
    QByteArray previous = AuditLine::genesisHash();
    CountState count;
};

bool settle(File& trail, File& count, Settled& s, FileError& error)
{
    const QString trailName = trail.path();
    QByteArray countBytes;
    if (!readCountBytes(count, countBytes, error))
        return false;
    s.size = trail.size();
    if (s.size < 0) {
        error = unreadable(trailName, trail);
        return false;
    }
    Tail tail;
    if (!readTail(trail, s.size, tail)) {
        error = unreadable(trailName, trail);
        return false;
    }
    const bool cutOff = tail.present && tail.terminated
        && cutOffCount(countBytes, storedNumber(tail.line), storedHash(tail.line), storedPrev(tail.line))
        && AuditLine::contentHash(tail.line) == storedHash(tail.line);
    const bool counted = !cutOff && (countBytes.isEmpty() || parseCount(countBytes, s.count));
    if (!counted && !cutOff) {
        error = damagedCount(count.path()); // and nothing is written
        return false;
    }
    CountState& c = s.count;
    QString reason;
    if (tail.present && !tail.terminated) {
        // The program adds an entry whole before it counts it: after the
        // entry the count names, an unfinished line is one cut off while it
        // was added, and comes off.
        Tail before;
        if (!readTail(trail, tail.offset, before)) {
            error = unreadable(trailName, trail);
            return false;
        }
        const bool addedAfterCount = c.state == ' '
            && (before.present ? storedNumber(before.line) == c.count && storedHash(before.line) == c.hash
                               : c.count == 0);
        if (addedAfterCount) {
            if (!trail.truncate(tail.offset) || !trail.sync()) {
                error = unwritable(trailName, trail.reason());
                return false;
            }
            s.size = tail.offset;
            tail = before;
        } else {
            // Cut off by something else: end that line, so the next entry is a
            // line of its own and the damage stays visible to a check.
            if (!FileIo::writeWithoutIntent(trail, s.size, QByteArrayLiteral("\r\n"), reason)) {
                error = unwritable(trailName, reason);
                return false;
            }
            s.size += 2;
        }
    }
    const qint64 lastNumber = tail.present ? storedNumber(tail.line) : 0;
    const QByteArray lastHash = tail.present ? storedHash(tail.line) : QByteArray();
    auto writeCount = [&](qint64 n, const QByteArray& hash) {
        if (!FileIo::writeWithoutIntent(count, 0, countRecord(n, hash, ' '), reason)) {
            error = unwritable(count.path(), reason);
            return false;
        }
        c.count = n;
        c.hash = hash;
        c.state = ' ';
        return true;
    };
    if (cutOff && !writeCount(lastNumber, lastHash))
        return false;
    if (c.state == 'x') {
        if (tail.present && lastNumber == c.count + 1) {
            if (!trail.truncate(tail.offset) || !trail.sync()) {
                error = unwritable(trailName, trail.reason());
                return false;
            }
            s.size = tail.offset;
            if (!readTail(trail, s.size, tail)) {
                error = unreadable(trailName, trail);
                return false;
            }
        }
        if (!writeCount(c.count, c.hash))
            return false;
        s.next = c.count + 1;
        s.previous = c.hash;
        return true;
    }
    if (tail.present && lastNumber == c.count + 1 && !lastHash.isEmpty() && storedPrev(tail.line) == c.hash
        && AuditLine::contentHash(tail.line) == lastHash) {
        if (!writeCount(lastNumber, lastHash))
            return false;
    }
    s.next = qMax(lastNumber, c.count) + 1;
    s.previous = tail.present ? (lastHash.isEmpty() ? AuditLine::contentHash(tail.line) : lastHash) : c.hash;
    if (s.previous.isEmpty())
        s.previous = AuditLine::genesisHash();
    return true;
}

bool openWriting(File& trail, File& count, FileError& error)
{
    QString what;
    if (!trail.open(AuditFiles::trail(), File::Update, what, trailShape())) {
        error = notOpened(AuditFiles::trail(), what);
        return false;
    }
    if (!trail.isWritable()) {
        error = unwritable(AuditFiles::trail(), trail.reason());
        return false;
    }
    if (!count.open(AuditFiles::count(), File::Update, what, countShape())) {
        error = notOpened(AuditFiles::count(), what);
        return false;
    }
    if (!count.isWritable()) {
        error = unwritable(AuditFiles::count(), count.reason());
        return false;
    }
    return true;
}

// A trail with no entry left is no trail: its files go, so that a refused
// first change leaves the folder exactly as it was. The count goes last, so
// a crash in between leaves a count of none beside no trail.
void removeEmptyTrail(File& trail, File& count)
{
    trail.close();
    count.close();
    QString ignored;
    FileIo::removeFile(AuditFiles::index(), ignored);
    FileIo::removeFile(AuditFiles::trail(), ignored);
    FileIo::removeFile(AuditFiles::count(), ignored);
}

} // namespace

bool AuditTrailFile::append(AuditEntry& entry, FileError& error)
{
    error.clear();
    File trail, count;
    // Files this append makes are taken away again when it fails.
    const bool fresh = !QFileInfo::exists(AuditFiles::trail()) && !QFileInfo::exists(AuditFiles::count());
    const bool added = appendTo(trail, count, entry, error);
    if (!added && fresh && trail.size() <= 0 && count.size() <= 0)
        removeEmptyTrail(trail, count);
    return added;
}

bool AuditTrailFile::appendTo(File& trail, File& count, AuditEntry& entry, FileError& error)
{
    if (!openWriting(trail, count, error))
        return false;
    Settled s;
    if (!settle(trail, count, s, error))
        return false;
    entry.number = s.next;
    entry.previousHash = s.previous;
    QByteArray line = AuditLine::encode(entry, s.previous);
    entry.hash = storedHash(line);
    line += "\r\n";
    if (line.size() > AuditFiles::MaxEntryLength) {
        error = unwritable(AuditFiles::trail(), QStringLiteral("the entry is longer than %1 bytes").arg(AuditFiles::MaxEntryLength));
        return false;
    }
    QString reason;
    if (!FileIo::writeWithoutIntent(trail, s.size, line, reason)) {
        error = unwritable(AuditFiles::trail(), reason);
        return false;
    }
    if (!FileIo::writeWithoutIntent(count, 0, countRecord(entry.number, entry.hash, ' '), reason)) {
        error = unwritable(AuditFiles::count(), reason);
        // Neither: take the entry off again.
        if (!trail.truncate(s.size) || !trail.sync())
            error.what += QStringLiteral(", and the entry could not be taken off the trail again: %1").arg(trail.reason());
        return false;
    }
    // The index follows when it is up to date; a reader rebuilds it otherwise.
    if (m_writeIndex) {
        File index;
        QString what;
        if (index.open(AuditFiles::index(), File::Update, what) && index.isWritable()) {
            const qint64 size = index.size();
            if (size == (entry.number - 1) * IndexRecordLength && s.next == entry.number) {
                const AuditIndexRecord r = indexRecord(line.chopped(2), s.size, line.size());
                const QByteArray bytes = indexBytes(r);
                index.writeAt(size, bytes.constData(), bytes.size());
            }
        }
    }
    return true;
}

bool AuditTrailFile::finishInterrupted(FileError& error)
{
    error.clear();
    if (!QFileInfo::exists(AuditFiles::trail()) && !QFileInfo::exists(AuditFiles::count()))
        return true; // no trail yet: nothing to put in order, and nothing made
    File trail, count;
    Settled s;
    return openWriting(trail, count, error) && settle(trail, count, s, error);
}

bool AuditTrailFile::withdraw(qint64 number, FileError& error)
{
    error.clear();
    File trail, count;
    if (!openWriting(trail, count, error))
        return false;
    CountState c;
    if (!readCount(count, c, error))
        return false;
    const qint64 size = trail.size();
    Tail tail;
    if (size < 0 || !readTail(trail, size, tail)) {
        error = unreadable(AuditFiles::trail(), trail);
        return false;
    }
    if (!tail.present || storedNumber(tail.line) != number || c.count != number || storedHash(tail.line) != c.hash
        || c.state != ' ') {
        error = {AuditFiles::trail(), QStringLiteral("could not be changed: entry %1 is not its last entry").arg(number)};
        return false;
    }
    // The count goes back first, marked: a crash before the entry is cut
    // off leaves it to the next writer to cut, never a count ahead of the
    // trail.
    QString reason;
    const QByteArray previous = storedPrev(tail.line);
    if (!FileIo::writeWithoutIntent(count, 0, countRecord(number - 1, previous, 'x'), reason)) {
        error = unwritable(AuditFiles::count(), reason);
        return false;
    }
    if (!trail.truncate(tail.offset) || !trail.sync()) {
        error = unwritable(AuditFiles::trail(), trail.reason());
        return false; // the mark stays: the next entry cuts it
    }
    if (number == 1 && tail.offset == 0) {
        removeEmptyTrail(trail, count);
        m_indexedSize = -1;
        return true;
    }
    FileIo::writeWithoutIntent(count, 0, countRecord(number - 1, previous, ' '), reason);
    File index;
    QString what;
    if (index.open(AuditFiles::index(), File::Update, what) && index.isWritable()
        && index.size() > (number - 1) * IndexRecordLength)
        index.truncate((number - 1) * IndexRecordLength);
    m_indexedSize = -1;
    return true;
}

bool AuditTrailFile::readLine(qint64 offset, quint32 length, QByteArray& line, FileError& error)
{
    File trail;
    QString what;
    if (!trail.open(AuditFiles::trail(), File::ReadOnly, what)) {
        error = notOpened(AuditFiles::trail(), what);
        return false;
    }
    line.resize(qsizetype(length));
    if (trail.readAt(offset, line.data(), length) != qint64(length)) {
        error = unreadable(AuditFiles::trail(), trail);
        return false;
    }
    return true;
}

// Brings m_index up to the trail as it is now: from the index file when it
// fits the trail, then from the lines after it.
bool AuditTrailFile::updateIndex(FileError& error)
{
    // The files are named in the working folder: another folder's trail
    // (a test's, a second data folder's) starts an index of its own.
    const QString folder = QDir::currentPath();
    if (folder != m_folder) {
        m_folder = folder;
        m_index.clear();
        m_indexedSize = -1;
        m_lastFilterSize = -1;
    }
    File trail;
    QString what;
    if (!trail.open(AuditFiles::trail(), File::ReadOnly, what, trailShape())) {
        if (trail.lastErrno() == ENOENT) {
            m_index.clear();
            m_indexedSize = 0;
            m_lines = 0;
            return true;
        }
        error = notOpened(AuditFiles::trail(), what);
        return false;
    }
    const qint64 size = trail.size();
    if (size < 0) {
        error = unreadable(AuditFiles::trail(), trail);
        return false;
    }
    // A line ends where its index record says, with a line end, right after
    // the one before it: else the index is not this trail's.
    auto fits = [&](const AuditIndexRecord& r) {
        if (r.offset < 0 || r.offset + qint64(r.length) > size || r.length < 2)
            return false;
        char before = '\n', last = 0;
        if (r.offset > 0 && trail.readAt(r.offset - 1, &before, 1) != 1)
            return false;
        return trail.readAt(r.offset + r.length - 1, &last, 1) == 1 && before == '\n' && last == '\n';
    };
    if (m_indexedSize > size || (!m_index.empty() && !fits(m_index.back()))) {
        m_index.clear();
        m_indexedSize = -1;
    }
    if (m_indexedSize < 0) {
        m_index.clear();
        File file;
        if (file.open(AuditFiles::index(), File::ReadOnly, what)) {
            const qint64 bytes = file.size();
            const qint64 records = bytes > 0 ? bytes / IndexRecordLength : 0;
            QByteArray all(qsizetype(records * IndexRecordLength), Qt::Uninitialized);
            if (records > 0 && file.readAt(0, all.data(), all.size()) == all.size()) {
                m_index.resize(size_t(records));
                for (qint64 i = 0; i < records; ++i)
                    m_index[size_t(i)] = indexFromBytes(all.constData() + i * IndexRecordLength);
                // Line after line from the start, the last one where the
                // trail has it.
                bool contiguous = m_index.front().offset == 0;
                for (size_t i = 1; contiguous && i < m_index.size(); ++i)
                    contiguous = m_index[i].offset == m_index[i - 1].offset + qint64(m_index[i - 1].length);
                if (!contiguous || !fits(m_index.back()))
                    m_index.clear();
            }
        }
        m_indexedSize = m_index.empty() ? 0 : m_index.back().offset + m_index.back().length;
    }
    const size_t known = m_index.size();
    if (m_indexedSize < size) {
        const bool ok = forEachRawLine(trail, m_indexedSize, size, [&](qint64 offset, qint64 length, const QByteArray& line, bool ended) {
            if (!ended)
                return false; // a line still being written, or cut: not an entry
            m_index.push_back(indexRecord(line, offset, length));
            m_indexedSize = offset + length;
            return true;
        });
        if (!ok) {
            error = unreadable(AuditFiles::trail(), trail);
            return false;
        }
    }
    if (m_writeIndex && m_index.size() != known) {
        File file;
        if (file.open(AuditFiles::index(), File::Update, what) && file.isWritable()) {
            QByteArray bytes;
            bytes.reserve(qsizetype((m_index.size() - known) * IndexRecordLength));
            for (size_t i = known; i < m_index.size(); ++i)
                bytes += indexBytes(m_index[i]);
            if (file.size() != qint64(known) * IndexRecordLength)
                file.truncate(qint64(known) * IndexRecordLength);
            file.writeAt(qint64(known) * IndexRecordLength, bytes.constData(), bytes.size());
        }
    }
    // A withdrawal cut short leaves a line the count no longer covers.
    m_lines = qint64(m_index.size());
    File count;
    CountState c;
    FileError ignored;
    if (count.open(AuditFiles::count(), File::ReadOnly, what) && readCount(count, c, ignored) && c.state == 'x'
        && m_lines == c.count + 1)
        --m_lines;
    return true;
}

bool AuditTrailFile::read(const AuditFilter& filter, qint64 first, int count, QList<AuditEntry>& entries,
                          qint64& total, FileError& error)
{
    error.clear();
    entries.clear();
    total = 0;
    if (!updateIndex(error))
        return false;
    if (m_lastFilterSize != m_indexedSize || !(m_lastFilter == filter)) {
        m_matches.clear();
        const quint64 user = auditKey(filter.user);
        const quint64 citation = auditKey(filter.citation);
        const qint32 fromDay = filter.from.isValid() ? qint32(filter.from.toJulianDay()) : INT32_MIN;
        const qint32 toDay = filter.to.isValid() ? qint32(filter.to.toJulianDay()) : INT32_MAX;
        const quint16 action = filter.action ? quint16(*filter.action) : 0xffff;
        const bool any = filter.isEmpty();
        m_matches.reserve(any ? size_t(m_lines) : 1024);
        for (qint64 i = m_lines - 1; i >= 0; --i) {
            const AuditIndexRecord& r = m_index[size_t(i)];
            if (any
                || ((!user || r.userKey == user) && (!citation || r.citationKey == citation)
                    && r.localDay >= fromDay && r.localDay <= toDay && (action == 0xffff || r.action == action)))
                m_matches.push_back(qint32(i));
        }
        m_lastFilter = filter;
        m_lastFilterSize = m_indexedSize;
    }
    total = qint64(m_matches.size());
    if (first < 0 || first >= total || count <= 0)
        return true;
    const qint64 last = qMin(total, first + count);
    File trail;
    QString what;
    if (!trail.open(AuditFiles::trail(), File::ReadOnly, what)) {
        error = notOpened(AuditFiles::trail(), what);
        return false;
    }
    for (qint64 i = first; i < last; ++i) {
        const AuditIndexRecord& r = m_index[size_t(m_matches[size_t(i)])];
        QByteArray line(qsizetype(r.length), Qt::Uninitialized);
        if (trail.readAt(r.offset, line.data(), r.length) != qint64(r.length)) {
            error = unreadable(AuditFiles::trail(), trail);
            return false;
        }
        AuditLine::Parsed parsed = AuditLine::parse(line);
        if (!parsed.readable) {
            // Shown as what it is, so a damaged line is never hidden.
            parsed.entry = {};
            parsed.entry.number = 0;
            parsed.entry.details.insert(QStringLiteral("unreadable line"), QString::fromUtf8(line.trimmed()));
        }
        entries << parsed.entry;
    }
    return true;
}

bool AuditTrailFile::forEachLine(const std::function<bool(qint64, const QByteArray&, const AuditLine::Parsed&)>& visit,
                                 FileError& error)
{
    error.clear();
    File trail;
    QString what;
    if (!trail.open(AuditFiles::trail(), File::ReadOnly, what, trailShape())) {
        if (trail.lastErrno() == ENOENT)
            return true;
        error = notOpened(AuditFiles::trail(), what);
        return false;
    }
    const qint64 size = trail.size();
    qint64 number = 0;
    if (size < 0 || !forEachRawLine(trail, 0, size, [&](qint64, qint64, const QByteArray& line, bool) {
            return visit(++number, line, AuditLine::parse(line));
        })) {
        error = unreadable(AuditFiles::trail(), trail);
        return false;
    }
    return true;
}

AuditVerdict AuditTrailFile::verify()
{
    AuditVerdict v;
    const QString trailName = AuditFiles::trail();
    const QString countName = AuditFiles::count();
    auto fail = [&](qint64 at, const QString& problem) {
        v.clean = false;
        v.firstBad = at;
        v.problem = problem;
        return v;
    };
    File trail, count;
    QString what;
    qint64 size = 0;
    if (trail.open(trailName, File::ReadOnly, what, trailShape())) {
        size = trail.size();
        if (size < 0)
            return fail(0, unreadable(trailName, trail).message());
    } else if (trail.lastErrno() != ENOENT) {
        return fail(0, notOpened(trailName, what).message());
    }
    CountState c;
    bool countReadable = true;
    FileError countError;
    QByteArray countBytes;
    if (count.open(countName, File::ReadOnly, what, countShape())) {
        countReadable = readCountBytes(count, countBytes, countError);
        if (countReadable && !countBytes.isEmpty() && !parseCount(countBytes, c))
            countReadable = false, countError = damagedCount(countName);
    } else if (count.lastErrno() != ENOENT) {
        countReadable = false, countError = notOpened(countName, what);
    }

    // Summaries of the lines: the one before the first break, the break and
    // the one after it are all the verdict needs.
    struct Summary {
        qint64 offset = 0, length = 0;
        qint64 number = 0;
        QByteArray prev, hash;
        bool ownOk = false, ended = true;
    };
    auto summarise = [](qint64 offset, qint64 length, const QByteArray& line, bool ended) {
        Summary s{offset, length, storedNumber(line), storedPrev(line), storedHash(line), false, ended};
        s.ownOk = !s.hash.isEmpty() && !s.prev.isEmpty() && AuditLine::contentHash(line) == s.hash;
        return s;
    };
    Summary before, bad, after;
    bool haveBad = false, haveAfter = false;
    qint64 lines = 0;
    QByteArray expectedPrev = AuditLine::genesisHash();
    Summary last;
    if (size > 0
        && !forEachRawLine(trail, 0, size, [&](qint64 offset, qint64 length, const QByteArray& line, bool ended) {
               const Summary s = summarise(offset, length, line, ended);
               ++lines;
               if (haveBad) {
                   after = s;
                   haveAfter = true;
                   return false;
               }
               if (!s.ended || !s.ownOk || s.prev != expectedPrev || s.number != lines) {
                   bad = s;
                   haveBad = true;
                   return true;
               }
               before = s;
               expectedPrev = s.hash;
               last = s;
               return true;
           }))
        return fail(0, unreadable(trailName, trail).message());
    if (haveBad) {
        const qint64 i = haveAfter ? lines - 1 : lines; // the bad line's number
        v.entries = i;
        if (!bad.ended) {
            // Added after the entry the count names: the program stopped
            // while adding it, and the next start takes it off.
            if (countReadable && c.state == ' ' && c.count == i - 1 && (i == 1 || last.hash == c.hash)) {
                v.entries = i - 1;
                v.notes << QStringLiteral("Entry %1 is unfinished (the program stopped while adding it); it is taken "
                                          "off at the next start.").arg(i);
                return v;
            }
            return fail(i, QStringLiteral("Entry %1 is cut off: the trail ends %2 bytes into it.").arg(i).arg(bad.length));
        }
        if (!bad.ownOk) {
            if (haveAfter && after.prev == expectedPrev && after.number == i)
                return fail(i, QStringLiteral("Line %1 was inserted: it is not an entry of the trail, and entry %1 "
                                              "follows it.").arg(i));
            return fail(i, QStringLiteral("Entry %1 was changed: its content no longer matches its hash.").arg(i));
        }
        if (bad.number > i) {
            if (bad.number == i + 1)
                return fail(i, QStringLiteral("Entry %1 was removed: entry %2 follows entry %3.").arg(i).arg(i + 1).arg(i - 1));
            return fail(i, QStringLiteral("Entries %1 to %2 were removed: entry %3 follows entry %4.")
                               .arg(i).arg(bad.number - 1).arg(bad.number).arg(i - 1));
        }
        if (haveAfter && after.prev == expectedPrev)
            return fail(i, QStringLiteral("Line %1 was inserted: it is not an entry of the trail, and entry %1 "
                                          "follows it.").arg(i));
        if (bad.number < i && i > 1 && bad.prev == before.prev)
            return fail(i - 1, QStringLiteral("Line %1 was inserted: entry %2 follows the entry before it.")
                                   .arg(i - 1).arg(bad.number));
        if (bad.number == i && i > 1)
            return fail(i - 1, QStringLiteral("Entry %1 was changed: entry %2 no longer follows it.").arg(i - 1).arg(i));
        return fail(i, QStringLiteral("Entry %1 does not follow the entry before it.").arg(i));
    }
    v.entries = lines;
    if (lines > 0 && last.number == lines && cutOffCount(countBytes, lines, last.hash, last.prev)) {
        v.notes << QStringLiteral("The count beside the trail is unfinished (the program stopped while writing it); "
                                  "it is put right at the next start.");
        return v;
    }
    if (!countReadable)
        return fail(lines, countError.message());
    // No count yet is a count of none: a first entry whose count was not
    // written yet is the crash case below.
    if (!c.present && lines > 1)
        return fail(lines, QStringLiteral("The count kept beside the trail (\"%1\") is missing, so its last "
                                          "entries cannot be checked.").arg(countName));
    if (c.state == 'x' && lines == c.count + 1) {
        v.notes << QStringLiteral("Entry %1 was withdrawn because its change was refused; it is removed with the "
                                  "next entry.").arg(lines);
        return v;
    }
    if (lines < c.count) {
        if (c.count == lines + 1)
            return fail(lines + 1, QStringLiteral("Entry %1, the last one, was removed: \"%2\" counts %1 entries.")
                                       .arg(lines + 1).arg(countName));
        return fail(lines + 1, QStringLiteral("Entries %1 to %2, the last ones, were removed: \"%3\" counts %2 entries.")
                                   .arg(lines + 1).arg(c.count).arg(countName));
    }
    if (lines == c.count) {
        if (lines > 0 && last.hash != c.hash)
            return fail(lines, QStringLiteral("Entry %1, the last one, was replaced: its hash is not the one \"%2\" "
                                              "keeps.").arg(lines).arg(countName));
        return v;
    }
    if (lines == c.count + 1 && before.prev == c.hash) {
        v.notes << QStringLiteral("The count beside the trail is one entry behind (the program stopped while adding "
                                  "entry %1); it is brought up to date with the next entry.").arg(lines);
        return v;
    }
    return fail(c.count + 1, QStringLiteral("Entries %1 to %2 were added after the last entry counted in \"%3\".")
                                 .arg(c.count + 1).arg(lines).arg(countName));
}

#include "store/CitationNumberIndex.h"

#include "store/AnsiText.h"
#include "store/CitationFile.h"
#include "store/DataFileNames.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <sys/stat.h>

CitationNumberIndex::CitationNumberIndex(QString fileName)
    : m_fileName(std::move(fileName))
{
}

QString CitationNumberIndex::normalised(const QString& number) { return number.trimmed().toUpper(); }

quint64 CitationNumberIndex::keyOf(const QString& number)
{
    return keyOf(QByteArrayView(Ansi::encode(number)));
}

quint64 CitationNumberIndex::keyOf(QByteArrayView number)
{
    // Worked on the file's bytes, so that a list of a million rows gives its
    // numbers without decoding them. Numbers equal under normalised() must
    // get equal keys; unequal ones may share a key, which costs one more
    // record read, no more. So: every byte trimmed() may take is trimmed,
    // ASCII letters are upper-cased, the sharp s is "SS" as in toUpper(),
    // every other byte past ASCII is one and the same, and a NUL ends the number.
    const auto isBlank = [](unsigned char c) { return (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x20) || c == 0xA0; };
    qsizetype first = 0, last = number.size();
    if (const qsizetype nul = number.indexOf('\0'); nul >= 0)
        last = nul; // what follows a NUL only makes the key finer than it needs to be
    while (first < last && isBlank(uchar(number[first])))
        ++first;
    while (last > first && isBlank(uchar(number[last - 1])))
        --last;
    quint64 key = 14695981039346656037ULL; // FNV-1a
    const auto mix = [&key](unsigned char c) {
        key ^= c;
        key *= 1099511628211ULL;
    };
    for (qsizetype i = first; i < last; ++i) {
        const unsigned char c = uchar(number[i]);
        if (c == 0xDF) {
            mix('S');
            mix('S');
        } else if (c >= 0x80) {
            mix(0x80);
        } else {
            mix(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    return key;
}

CitationNumberIndex::Stamp CitationNumberIndex::stampNow() const
{
    Stamp s;
    struct stat st;
    const QString file = m_fileName.isEmpty() ? CitationFileName : m_fileName;
    if (::stat(QFile::encodeName(file).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modified = qint64(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return s;
}

void CitationNumberIndex::invalidate()
{
    waitForFill();
    m_built = false;
    m_records.clear();
    m_count = 0;
}

bool CitationNumberIndex::build(FileError& error)
{
    invalidate();
    const Stamp before = stampNow();
    CitationFileView reader(m_fileName);
    if (!reader.open()) {
        error = reader.lastError();
        return false;
    }
    m_records.reserve(reader.count());
    const FieldSpec& number = CitationLayout::field(CitationField::CitationNumber);
    for (int n = 1; n <= reader.count(); ++n) {
        const char* record = reader.record(n);
        if (!record) {
            error = reader.lastError();
            invalidate();
            return false;
        }
        m_records.insert(keyOf(QByteArrayView(record + number.offset, number.width)), n);
    }
    m_count = reader.count();
    m_stamp = before;
    m_built = true;
    ++m_builds;
    return true;
}

bool CitationNumberIndex::find(const QString& number, int except, QList<int>& records, FileError& error)
{
    waitForFill();
    records.clear();
    error.clear();
    if (!m_built || stampNow() != m_stamp) {
        if (!build(error))
            return false;
    }
    const QString wanted = normalised(number);
    QList<int> candidates = m_records.find(keyOf(wanted));
    candidates.removeAll(except);
    if (candidates.isEmpty())
        return true;
    std::sort(candidates.begin(), candidates.end());
    CitationFileView reader(m_fileName);
    if (!reader.open()) {
        error = reader.lastError();
        return false;
    }
    for (int n : candidates) {
        const char* record = reader.record(n);
        if (!record) {
            error = reader.lastError();
            return false;
        }
        if (normalised(CitationBytes::text(record, CitationField::CitationNumber)) == wanted)
            records << n;
    }
    return true;
}

void CitationNumberIndex::recordWritten(int n, const QString& oldNumber, const QString& number, bool wasCurrent)
{
    waitForFill();
    if (!m_built)
        return;
    if (!wasCurrent || n < 1 || n > m_count + 1) {
        invalidate();
        return;
    }
    if (n <= m_count) {
        if (!m_records.erase(keyOf(oldNumber), n)) {
            // The index did not describe the record as it was: start afresh.
            invalidate();
            return;
        }
    } else {
        m_count = n;
    }
    m_records.insert(keyOf(number), n);
    m_stamp = stampNow();
}

void CitationNumberIndex::recordRemoved(int n, bool wasCurrent)
{
    waitForFill();
    if (!m_built)
        return;
    if (!wasCurrent || n < 1 || n > m_count) {
        invalidate();
        return;
    }
    m_records.removeRecord(n);
    --m_count;
    m_stamp = stampNow();
}

void CitationNumberIndex::adopt(const Stamp& before, int count, const std::function<QByteArrayView(int n)>& numberOf)
{
    invalidate();
    if (!before.exists || stampNow() != before)
        return;
    beginFill(count);
    for (int n = 1; n <= count; ++n)
        fill(n, numberOf(n));
    endFill(before, count, true);
}

void CitationNumberIndex::beginFill(int count)
{
    invalidate();
    // Not cleared: every record's key is written by exactly one filler.
    m_keys.reset(new quint64[size_t(qMax(count, 1))]);
}

void CitationNumberIndex::endFill(const Stamp& before, int count, bool complete, std::function<void()> fillFirst)
{
    if (!complete || !before.exists || stampNow() != before) {
        invalidate();
        return;
    }
    m_count = count;
    m_stamp = before;
    m_built = true;
    m_filling = std::thread([this, count, fillFirst = std::move(fillFirst)] {
        if (fillFirst)
            fillFirst();
        m_records.reserve(count);
        for (int n = 1; n <= count; ++n)
            m_records.insert(m_keys[size_t(n - 1)], n);
    });
}

void CitationNumberIndex::waitForFill()
{
    if (m_filling.joinable())
        m_filling.join();
    m_keys.reset();
}

CitationNumberIndex::~CitationNumberIndex() { waitForFill(); }

void CitationNumberIndex::Table::clear()
{
    m_slots.clear();
    m_used = 0;
    m_live = 0;
}

void CitationNumberIndex::Table::reserve(qsizetype entries)
{
    size_t length = 16;
    while (length < 2 * size_t(qMax<qsizetype>(entries, 0)))
        length *= 2;
    if (length > m_slots.size())
        rehash(length);
}

size_t CitationNumberIndex::Table::home(quint64 key) const
{
    // The low bits of FNV-1a alone cluster; mix the high bits in.
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return size_t(key) & (m_slots.size() - 1);
}

void CitationNumberIndex::Table::rehash(size_t length)
{
    std::vector<Slot> old;
    old.swap(m_slots);
    m_slots.assign(length, Slot());
    m_used = 0;
    m_live = 0;
    for (const Slot& s : old)
        if (s.recNum > 0)
            insert(s.key, s.recNum);
}

void CitationNumberIndex::Table::insert(quint64 key, int recNum)
{
    if (2 * (m_used + 1) > m_slots.size()) {
        // Full of entries: double; full of removed marks: sweep them out.
        size_t length = 16;
        while (length < 4 * (m_live + 1))
            length *= 2;
        rehash(length);
    }
    const size_t mask = m_slots.size() - 1;
    size_t i = home(key);
    while (m_slots[i].recNum != Empty)
        i = (i + 1) & mask;
    m_slots[i] = {key, recNum};
    ++m_used;
    ++m_live;
}

bool CitationNumberIndex::Table::erase(quint64 key, int recNum)
{
    if (m_slots.empty())
        return false;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = home(key); m_slots[i].recNum != Empty; i = (i + 1) & mask) {
        if (m_slots[i].recNum == recNum && m_slots[i].key == key) {
            m_slots[i].recNum = Removed; // keeps the chain behind it reachable
            --m_live;
            return true;
        }
    }
    return false;
}

QList<int> CitationNumberIndex::Table::find(quint64 key) const
{
    QList<int> found;
    if (m_slots.empty())
        return found;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = home(key); m_slots[i].recNum != Empty; i = (i + 1) & mask)
        if (m_slots[i].recNum > 0 && m_slots[i].key == key)
            found << m_slots[i].recNum;
    return found;
}

void CitationNumberIndex::Table::removeRecord(int recNum)
{
    for (Slot& s : m_slots) {
        if (s.recNum == recNum) {
            s.recNum = Removed;
            --m_live;
        } else if (s.recNum > recNum) {
            --s.recNum;
        }
    }
}

CitationNumberIndex& citationNumberIndex()
{
    static CitationNumberIndex index;
    return index;
}

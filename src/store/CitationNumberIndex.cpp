#include "store/CitationNumberIndex.h"

#include "store/AnsiText.h"
#include "store/CitationReader.h"
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
    m_built = false;
    m_records.clear();
    m_count = 0;
}

bool CitationNumberIndex::build(FileError& error)
{
    invalidate();
    const Stamp before = stampNow();
    CitationReader reader(m_fileName);
    if (!reader.open()) {
        error = reader.lastError();
        return false;
    }
    m_records.reserve(size_t(reader.count()));
    const FieldSpec& number = CitationLayout::field(CitationField::CitationNumber);
    for (int n = 1; n <= reader.count(); ++n) {
        const char* record = reader.record(n);
        if (!record) {
            error = reader.lastError();
            invalidate();
            return false;
        }
        m_records.emplace(keyOf(QByteArrayView(record + number.offset, number.width)), n);
    }
    m_count = reader.count();
    m_stamp = before;
    m_built = true;
    ++m_builds;
    return true;
}

bool CitationNumberIndex::find(const QString& number, int except, QList<int>& records, FileError& error)
{
    records.clear();
    error.clear();
    if (!m_built || stampNow() != m_stamp) {
        if (!build(error))
            return false;
    }
    const QString wanted = normalised(number);
    auto [first, last] = m_records.equal_range(keyOf(wanted));
    QList<int> candidates;
    for (auto it = first; it != last; ++it)
        if (it->second != except)
            candidates << it->second;
    if (candidates.isEmpty())
        return true;
    std::sort(candidates.begin(), candidates.end());
    CitationReader reader(m_fileName);
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
    if (!m_built)
        return;
    if (!wasCurrent || n < 1 || n > m_count + 1) {
        invalidate();
        return;
    }
    if (n <= m_count) {
        auto [first, last] = m_records.equal_range(keyOf(oldNumber));
        auto it = std::find_if(first, last, [n](const auto& entry) { return entry.second == n; });
        if (it == last) {
            // The index did not describe the record as it was: start afresh.
            invalidate();
            return;
        }
        m_records.erase(it);
    } else {
        m_count = n;
    }
    m_records.emplace(keyOf(number), n);
    m_stamp = stampNow();
}

void CitationNumberIndex::recordRemoved(int n, bool wasCurrent)
{
    if (!m_built)
        return;
    if (!wasCurrent || n < 1 || n > m_count) {
        invalidate();
        return;
    }
    for (auto it = m_records.begin(); it != m_records.end();) {
        if (it->second == n) {
            it = m_records.erase(it);
            continue;
        }
        if (it->second > n)
            --it->second;
        ++it;
    }
    --m_count;
    m_stamp = stampNow();
}

void CitationNumberIndex::adopt(const Stamp& before, int count, const std::function<QByteArrayView(int n)>& numberOf)
{
    invalidate();
    if (!before.exists || stampNow() != before)
        return;
    m_records.reserve(size_t(count));
    for (int n = 1; n <= count; ++n)
        m_records.emplace(keyOf(numberOf(n)), n);
    m_count = count;
    m_stamp = before;
    m_built = true;
}

CitationNumberIndex& citationNumberIndex()
{
    static CitationNumberIndex index;
    return index;
}

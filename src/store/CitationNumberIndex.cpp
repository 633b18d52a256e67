#include "store/CitationNumberIndex.h"

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
    // A collision costs one more record read, no more.
    return quint64(qHash(normalised(number)));
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
    for (int n = 1; n <= reader.count(); ++n) {
        const char* record = reader.record(n);
        if (!record) {
            error = reader.lastError();
            invalidate();
            return false;
        }
        m_records.emplace(keyOf(CitationBytes::text(record, CitationField::CitationNumber)), n);
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

CitationNumberIndex& citationNumberIndex()
{
    static CitationNumberIndex index;
    return index;
}

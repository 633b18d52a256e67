#include "store/CitationReader.h"

#include "store/CitationFile.h"
#include "store/DataFileNames.h"

#include <QFileInfo>
#include <cstring>
#include <limits>

using CitationLayout::RecordLength;

CitationReader::CitationReader(QString fileName)
    : m_fileName(fileName.isEmpty() ? CitationFileName : std::move(fileName))
{
}

bool CitationReader::open()
{
    m_error.clear();
    m_file.close();
    m_count = 0;
    m_size = 0;
    const QFileInfo info(m_fileName);
    if (!info.exists() && !info.isSymLink())
        return true;
    QString what;
    if (!m_file.open(m_fileName, FileIo::File::ReadOnly, what)) {
        m_error = {m_fileName, what};
        return false;
    }
    m_size = m_file.size();
    if (m_size < 0) {
        m_error = {m_fileName, QStringLiteral("could not be read: %1").arg(m_file.reason())};
        return false;
    }
    const qint64 count = CitationFile::CountForLength(m_size);
    if (count > std::numeric_limits<int>::max()) {
        m_error = {m_fileName, QStringLiteral("holds more citations than can be numbered")};
        return false;
    }
    m_count = int(count);
    return true;
}

const char* CitationReader::record(int n)
{
    if (n < 1 || n > m_count || !m_file.isOpen()) {
        m_error = {m_fileName, QStringLiteral("has no record %1").arg(n)};
        return nullptr;
    }
    const bool sequential = n == m_last + 1;
    m_last = n;
    if (n >= m_first && n < m_first + m_inBuffer)
        return m_buffer.constData() + qsizetype(n - m_first) * RecordLength;

    // A run through the file reads ahead; a jump reads one record.
    constexpr int BlockRecords = 256;
    const int wanted = sequential ? qMin(BlockRecords, m_count - n + 1) : 1;
    m_buffer.resize(qsizetype(wanted) * RecordLength);
    m_inBuffer = 0;
    const qint64 got = m_file.readAt(qint64(n - 1) * RecordLength, m_buffer.data(), m_buffer.size());
    if (got < 0) {
        m_error = {m_fileName, QStringLiteral("could not be read: %1").arg(m_file.reason())};
        return nullptr;
    }
    if (got < m_buffer.size()) {
        // The file ends early (it shrank, or its last record is cut short):
        // the missing bytes read as those of empty records.
        const CitationRecord emptyRecord;
        const QByteArray& empty = emptyRecord.bytes();
        for (qint64 at = got; at < m_buffer.size(); ++at)
            m_buffer[at] = empty[at % RecordLength];
    }
    m_first = n;
    m_inBuffer = wanted;
    return m_buffer.constData();
}

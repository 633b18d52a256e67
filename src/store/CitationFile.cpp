#include "store/CitationFile.h"

#include "store/DataFileNames.h"
#include "store/RecordFile.h"

#include <QFileInfo>

using CitationLayout::RecordLength;

namespace {
QString describe(const QFile& file) { return file.errorString(); }
} // namespace

CitationFile::CitationFile(QString fileName)
    : m_fileName(fileName.isEmpty() ? CitationFileName : std::move(fileName))
{
}

CitationFile::~CitationFile() { CloseCitationFile(); }

int CitationFile::CountForLength(qint64 length) { return RecordFile::CountForLength(length, RecordLength); }

bool CitationFile::fail(const QString& what)
{
    m_error = {m_fileName, what};
    return false;
}

bool CitationFile::OpenCitationFile()
{
    CloseCitationFile();
    m_error.clear();
    m_file.setFileName(m_fileName);
    // ReadWrite creates a missing file; a read-only file or folder still opens
    // for reading so the list can be shown.
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        if (!QFile::exists(m_fileName) || !m_file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("could not be opened: %1").arg(describe(m_file)));
    }
    m_count = CountForLength(m_file.size());
    return true;
}

void CitationFile::CloseCitationFile()
{
    if (m_file.isOpen())
        m_file.close();
}

bool CitationFile::ReadCitation(int n, CitationRecord& record)
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("is not open"));
    if (n < 1 || n > m_count)
        return fail(QStringLiteral("has no record %1").arg(n));
    if (!m_file.seek(qint64(n - 1) * RecordLength))
        return fail(QStringLiteral("could not be read: %1").arg(describe(m_file)));
    const QByteArray bytes = m_file.read(RecordLength);
    if (bytes.isEmpty() && m_file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("could not be read: %1").arg(describe(m_file)));
    record = CitationRecord::fromBytes(bytes.constData(), bytes.size());
    return true;
}

bool CitationFile::WriteCitation(int n, const CitationRecord& record)
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("is not open"));
    if (!m_file.isWritable())
        return fail(QStringLiteral("could not be written: it is read-only"));
    if (n < 1 || n > m_count + 1)
        return fail(QStringLiteral("has no record %1").arg(n));
    const qint64 oldSize = m_file.size();
    const qint64 at = qint64(n - 1) * RecordLength;
    if (!m_file.seek(at))
        return fail(QStringLiteral("could not be written: the record's place in it cannot be reached"));
    if (m_file.write(record.bytes()) != RecordLength || !m_file.flush()) {
        const QString reason = describe(m_file);
        // Undo a partial append so the file keeps whole records only.
        if (at >= oldSize)
            m_file.resize(oldSize);
        return fail(QStringLiteral("could not be written: %1").arg(reason));
    }
    m_count = CountForLength(m_file.size());
    return true;
}

bool CitationFile::DeleteCitation(int n)
{
    if (!OpenCitationFile())
        return false;
    const int total = m_count;
    CloseCitationFile();
    if (n < 1 || n > total)
        return fail(QStringLiteral("has no record %1").arg(n));
    const int kept = RecordFile::RemoveRecord(m_fileName, RecordLength, n, CitationRecord().bytes(), m_error);
    if (kept < 0)
        return false;
    m_count = kept;
    return true;
}

CitationFileView::CitationFileView(QString fileName)
    : m_fileName(fileName.isEmpty() ? CitationFileName : std::move(fileName))
{
}

CitationFileView::~CitationFileView()
{
    if (m_data)
        m_file.unmap(const_cast<uchar*>(m_data));
}

bool CitationFileView::open()
{
    m_error.clear();
    m_count = 0;
    if (!QFileInfo::exists(m_fileName))
        return true;
    m_file.setFileName(m_fileName);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_error = {m_fileName, QStringLiteral("could not be opened: %1").arg(m_file.errorString())};
        return false;
    }
    m_length = m_file.size();
    m_count = CitationFile::CountForLength(m_length);
    if (m_length > 0) {
        m_data = m_file.map(0, m_length);
        if (!m_data) {
            m_fallback = m_file.readAll();
            if (m_fallback.size() != m_length) {
                m_error = {m_fileName, QStringLiteral("could not be read: %1").arg(m_file.errorString())};
                m_count = 0;
                return false;
            }
        }
    }
    return true;
}

const char* CitationFileView::record(int n)
{
    Q_ASSERT(n >= 1 && n <= m_count);
    const char* base = m_data ? reinterpret_cast<const char*>(m_data) : m_fallback.constData();
    const qint64 at = qint64(n - 1) * RecordLength;
    if (at + RecordLength <= m_length)
        return base + at;
    m_partial = CitationRecord::fromBytes(base + at, m_length - at);
    return m_partial.bytes().constData();
}

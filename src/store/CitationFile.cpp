#include "store/CitationFile.h"

#include "store/DataFileNames.h"
#include "store/RecordFile.h"

#include <cerrno>
#include <cstring>

using CitationLayout::RecordLength;

CitationFile::CitationFile(QString fileName)
    : m_fileName(fileName.isEmpty() ? CitationFileName : std::move(fileName))
{
}

CitationFile::~CitationFile() { CloseCitationFile(); }

qint64 CitationFile::CountForLength(qint64 length) { return RecordFile::CountForLength(length, RecordLength); }

bool CitationFile::fail(const QString& what)
{
    m_error = {m_fileName, what};
    return false;
}

bool CitationFile::OpenCitationFile()
{
    CloseCitationFile();
    m_error.clear();
    // A missing file is created; a read-only file or folder still opens for
    // reading so the list can be shown.
    return RecordFile::Open(m_file, m_fileName, FileIo::File::Update, RecordLength, m_count, m_error);
}

void CitationFile::CloseCitationFile() { m_file.close(); }

bool CitationFile::ReadCitation(int n, CitationRecord& record)
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("is not open"));
    if (n < 1 || n > m_count)
        return fail(QStringLiteral("has no record %1").arg(n));
    QByteArray bytes(RecordLength, Qt::Uninitialized);
    const qint64 got = m_file.readAt(qint64(n - 1) * RecordLength, bytes.data(), RecordLength);
    if (got < 0)
        return fail(QStringLiteral("could not be read: %1").arg(m_file.reason()));
    record = CitationRecord::fromBytes(bytes.constData(), got);
    return true;
}

bool CitationFile::WriteCitation(int n, const CitationRecord& record)
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("is not open"));
    if (n < 1 || n > m_count + 1)
        return fail(QStringLiteral("has no record %1").arg(n));
    if (!RecordFile::WriteRecord(m_file, RecordLength, n, record.bytes(), CitationRecord().bytes(), m_error))
        return false;
    m_count = qMax(m_count, n);
    return true;
}

bool CitationFile::DeleteCitation(int n, const ProgressFn& progress)
{
    if (!OpenCitationFile())
        return false;
    const int total = m_count;
    CloseCitationFile();
    if (n < 1 || n > total)
        return fail(QStringLiteral("has no record %1").arg(n));
    const qint64 kept = RecordFile::RemoveRecord(m_fileName, RecordLength, n, CitationRecord().bytes(), m_error, progress);
    if (kept < 0)
        return false;
    m_count = int(kept);
    return true;
}

CitationFileView::CitationFileView(QString fileName)
    : m_fileName(fileName.isEmpty() ? CitationFileName : std::move(fileName))
{
}

CitationFileView::~CitationFileView() = default;

bool CitationFileView::open()
{
    m_error.clear();
    m_file.close();
    m_length = 0;
    m_first = m_inBlock = m_last = 0;
    m_readFailed = false;
    if (RecordFile::Open(m_file, m_fileName, FileIo::File::ReadOnly, RecordLength, m_count, m_error, &m_length))
        return true;
    if (m_file.lastErrno() != ENOENT)
        return false;
    m_error.clear(); // no file yet: no citations
    return true;
}

bool CitationFileView::loadBlock(int n, int records)
{
    records = qMin(records, m_count - n + 1);
    const qint64 at = qint64(n - 1) * RecordLength;
    const qint64 expected = qMin(qint64(records) * RecordLength, m_length - at);
    m_block.resize(qint64(records) * RecordLength);
    m_inBlock = 0;
    const qint64 got = m_file.readAt(at, m_block.data(), expected);
    if (got < 0) {
        m_error = {m_fileName, QStringLiteral("could not be read: %1").arg(m_file.reason())};
        return false;
    }
    m_first = n;
    if (got < expected) {
        // Another program shortened the file since it was opened: keep the
        // whole records that came, and say that the rest is missing.
        m_inBlock = int(got / RecordLength);
        m_error = {m_fileName, QStringLiteral("could not be read to its end: it became shorter while it was read")};
        return m_inBlock > 0;
    }
    if (expected < m_block.size()) {
        // The damaged tail of the file: complete it as an empty record.
        const QByteArray blank = CitationRecord().bytes();
        const qint64 partial = expected % RecordLength;
        std::memcpy(m_block.data() + expected, blank.constData() + partial, size_t(RecordLength - partial));
    }
    m_inBlock = records;
    return true;
}

const char* CitationFileView::record(int n)
{
    if (n < 1 || n > m_count) {
        m_error = {m_fileName, QStringLiteral("has no record %1").arg(n)};
        return nullptr;
    }
    const bool inOrder = m_last == 0 || n == m_last + 1;
    m_last = n;
    if (n < m_first || n >= m_first + m_inBlock) {
        // About a mebibyte at a time in order: few system calls, little
        // memory. A jump (a sorted list's records) reads one record.
        constexpr int BlockRecords = 350;
        if (m_readFailed || !loadBlock(n, inOrder ? BlockRecords : 1)) {
            m_readFailed = true;
            return nullptr;
        }
    }
    if (n >= m_first + m_inBlock) {
        m_readFailed = true; // past what a shortened file still held
        return nullptr;
    }
    return m_block.constData() + qint64(n - m_first) * RecordLength;
}

CitationSource ViewSource(CitationFileView& view)
{
    return [&view](const QList<int>& keys, const CitationVisit& visit, FileError& error) {
        for (int n : keys) {
            const char* record = view.record(n);
            if (!record) {
                error = view.lastError();
                return false;
            }
            if (!visit(n, record))
                break;
        }
        return true;
    };
}

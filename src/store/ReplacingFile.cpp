#include "store/ReplacingFile.h"

#include <QFileInfo>

ReplacingFile::ReplacingFile(const QString& target)
    : m_target(QFileInfo(target).absoluteFilePath())
{
}

ReplacingFile::~ReplacingFile() { discard(); }

QString ReplacingFile::workFileName() const { return m_target + QStringLiteral(".part"); }

void ReplacingFile::fail(const QString& what)
{
    if (!m_error.isError())
        m_error = {m_target, what};
}

bool ReplacingFile::begin()
{
    m_error.clear();
    m_at = 0;
    const QFileInfo info(m_target);
    if (info.exists() && !info.isFile()) {
        fail(QStringLiteral("could not be written: it is not a regular file"));
        return false;
    }
    QString what;
    if (!m_file.open(workFileName(), FileIo::File::CreateNew, what)) {
        fail(QStringLiteral("could not be written: the work file \"%1\" %2")
                 .arg(QFileInfo(workFileName()).fileName(), what));
        return false;
    }
    // A file written over keeps who may read it.
    if (info.exists()) {
        FileIo::File old;
        QString ignored;
        if (old.open(m_target, FileIo::File::ReadOnly, ignored))
            m_file.setPermissions(old.permissions());
    }
    return QIODevice::open(QIODevice::WriteOnly);
}

qint64 ReplacingFile::writeData(const char* data, qint64 length)
{
    // After the first failure nothing more is written: the file is lost
    // anyway, and a later write must not hide the reason.
    if (m_error.isError() || !m_file.isOpen())
        return -1;
    if (!m_file.writeAt(m_at, data, length)) {
        fail(QStringLiteral("could not be written: %1").arg(m_file.reason()));
        return -1;
    }
    m_at += length;
    return length;
}

bool ReplacingFile::commit()
{
    if (!m_error.isError() && !m_file.isOpen())
        fail(QStringLiteral("could not be written: it was not begun"));
    if (!m_error.isError() && !m_file.sync())
        fail(QStringLiteral("could not be written: %1").arg(m_file.reason()));
    if (!m_error.isError()) {
        m_file.close();
        QIODevice::close();
        FileError renamed;
        if (FileIo::replaceFile(workFileName(), m_target, renamed))
            return true;
        m_error = renamed;
    }
    discard();
    return false;
}

void ReplacingFile::discard()
{
    if (isOpen())
        QIODevice::close();
    if (m_file.isOpen()) {
        m_file.close();
        QString ignored;
        FileIo::removeFile(workFileName(), ignored);
    } else if (m_error.isError()) {
        QString ignored;
        FileIo::removeFile(workFileName(), ignored);
    }
}

#include "FaultInjection.h"

#include <unistd.h>

InjectedFaults::InjectedFaults()
{
    FileIo::setInterceptor([this](FileIo::Call call, const QString& path, qint64 bytes) {
        return decide(call, path, bytes);
    });
}

InjectedFaults::~InjectedFaults() { FileIo::setInterceptor({}); }

InjectedFaults& InjectedFaults::diskFullAfter(qint64 k, int error)
{
    m_budget = k;
    m_writeError = error;
    return *this;
}

InjectedFaults& InjectedFaults::failNextSync(int error)
{
    m_syncError = error;
    return *this;
}

InjectedFaults& InjectedFaults::failNextFolderSync(int error)
{
    m_folderSyncError = error;
    return *this;
}

InjectedFaults& InjectedFaults::onlyFile(const QString& name)
{
    m_file = name;
    return *this;
}

InjectedFaults& InjectedFaults::stopBeforeCall(int k)
{
    m_stopAt = k;
    return *this;
}

FileIo::Verdict InjectedFaults::decide(FileIo::Call call, const QString& path, qint64 bytes)
{
    ++m_calls;
    if (m_stopAt > 0 && m_calls == m_stopAt)
        ::_exit(9);
    if (!m_file.isEmpty() && !path.endsWith(m_file))
        return {};
    if (call == FileIo::Call::Sync && m_syncError) {
        const int error = m_syncError;
        m_syncError = 0;
        m_fired = true;
        return {error, -1};
    }
    if (call == FileIo::Call::SyncFolder && m_folderSyncError) {
        const int error = m_folderSyncError;
        m_folderSyncError = 0;
        m_fired = true;
        return {error, -1};
    }
    if (call == FileIo::Call::Write && m_budget >= 0) {
        if (m_budget == 0) {
            m_budget = -1;
            m_fired = true;
            return {m_writeError, -1};
        }
        const qint64 allowed = qMin(bytes, m_budget);
        m_budget -= allowed;
        return {0, allowed};
    }
    return {};
}

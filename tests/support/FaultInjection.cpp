#include "FaultInjection.h"

#include <csignal>
#include <utility>
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

InjectedFaults& InjectedFaults::stopAfterBytes(qint64 k)
{
    m_stopBytes = k;
    return *this;
}

InjectedFaults& InjectedFaults::failNextRead(int error)
{
    m_readError = error;
    m_readErrorStays = false;
    return *this;
}

InjectedFaults& InjectedFaults::failEveryRead(int error)
{
    m_readError = error;
    m_readErrorStays = true;
    return *this;
}

InjectedFaults& InjectedFaults::failNextRename(int error)
{
    m_renameError = error;
    return *this;
}

InjectedFaults& InjectedFaults::beforeCall(int k, std::function<void()> action)
{
    m_actionAt = k;
    m_action = std::move(action);
    return *this;
}

namespace {
[[noreturn]] void die()
{
    ::kill(::getpid(), SIGKILL);
    ::_exit(9); // not reached
}
} // namespace

FileIo::Verdict InjectedFaults::decide(FileIo::Call call, const QString& path, qint64 bytes)
{
    ++m_calls;
    if (m_stopAt > 0 && m_calls == m_stopAt)
        die();
    if (m_stopBytes == 0)
        die();
    if (m_actionAt > 0 && m_calls == m_actionAt && m_action)
        m_action();
    if (call == FileIo::Call::Write && m_stopBytes > 0) {
        const qint64 allowed = qMin(bytes, m_stopBytes);
        m_stopBytes -= allowed;
        m_writes << allowed;
        return {0, allowed};
    }
    if (call == FileIo::Call::Write)
        m_writes << bytes;
    if (!m_file.isEmpty() && !path.endsWith(m_file))
        return {};
    if (call == FileIo::Call::Read && m_readError) {
        const int error = m_readErrorStays ? m_readError : std::exchange(m_readError, 0);
        m_fired = true;
        return {error, -1};
    }
    if (call == FileIo::Call::Rename && m_renameError) {
        const int error = std::exchange(m_renameError, 0);
        m_fired = true;
        return {error, -1};
    }
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

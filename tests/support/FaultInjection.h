#pragma once
// Scripted faults for the file layer: the disk fills after k bytes, a flush
// fails, or the process is stopped at a chosen system call. Installs itself
// when constructed and lets every call run again when destroyed.
#include "store/FileIo.h"

#include <QList>
#include <QString>
#include <functional>
#include <cerrno>

class InjectedFaults {
public:
    InjectedFaults();
    ~InjectedFaults();
    InjectedFaults(const InjectedFaults&) = delete;
    InjectedFaults& operator=(const InjectedFaults&) = delete;

    // Writes move k more bytes in all; the write that finds none left fails
    // with `error` (a write asking for more than is left is cut short first,
    // as a disk filling up does). One failure only: later calls run, as
    // writing over bytes a file already holds still works on a full disk.
    InjectedFaults& diskFullAfter(qint64 k, int error = ENOSPC);
    // The next flush to the disk fails with `error`.
    InjectedFaults& failNextSync(int error = EIO);
    // The next flush of a folder (after a rename or removal) fails with `error`.
    InjectedFaults& failNextFolderSync(int error = EIO);
    // Only calls on paths ending with this name are touched (all when empty).
    InjectedFaults& onlyFile(const QString& name);
    // The next read fails with `error`.
    InjectedFaults& failNextRead(int error = EIO);
    // Every read fails with `error`, as a bad sector keeps failing.
    InjectedFaults& failEveryRead(int error = EIO);
    // The next rename over a file fails with `error`.
    InjectedFaults& failNextRename(int error = EIO);
    // Kills the process (SIGKILL, nothing flushed or cleaned up) before
    // system call number k (from 1) of the layer runs.
    InjectedFaults& stopBeforeCall(int k);
    // Kills the process once k bytes have been written in all: the write
    // that would pass the k-th byte moves only up to it and the process dies
    // at the next call of the layer.
    InjectedFaults& stopAfterBytes(qint64 k);
    // Runs before call number k (from 1) of the layer, e.g. to take a folder
    // away in the middle of a copy.
    InjectedFaults& beforeCall(int k, std::function<void()> action);

    int calls() const { return m_calls; }
    // The bytes each write call was let move, in order (as asked, unless a
    // stop after k bytes cut the last one short).
    const QList<qint64>& writes() const { return m_writes; }
    bool fired() const { return m_fired; }

private:
    FileIo::Verdict decide(FileIo::Call call, const QString& path, qint64 bytes);

    qint64 m_budget = -1; // -1: writes are not limited
    int m_writeError = 0;
    int m_syncError = 0;
    int m_folderSyncError = 0;
    int m_readError = 0;
    bool m_readErrorStays = false;
    int m_renameError = 0;
    int m_stopAt = 0;
    qint64 m_stopBytes = -1;
    int m_actionAt = 0;
    std::function<void()> m_action;
    QList<qint64> m_writes;
    int m_calls = 0;
    bool m_fired = false;
    QString m_file;
};
